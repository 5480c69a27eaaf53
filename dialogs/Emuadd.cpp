#include "dialogs/Emuadd.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "catalogue/Emusystem.h"
#include "catalogue/Prompter.h"
#include "catalogue/Useful.h"
#include "dialogs/Edit.h"
#include "dialogs/FormParts.h"
#include "dialogs/Help.h"
#include "mainwindow/Settings.h"
#include "platform/Paths.h"

TAddDlg* AddDlg = nullptr;

namespace {

QGroupBox* Group(QWidget* page, const QString& caption) {
    auto* g = new QGroupBox(caption, page);
    auto* column = new QVBoxLayout(page);
    column->addWidget(g);
    return g;
}

// The text of a field that did not fit, for the refusal.
std::string TooLong(const char* what, int most) {
    return std::string("The ") + what + " is too long: at most " + std::to_string(most) +
           " bytes can be stored.";
}

// A typed path with a folder part, relative to today's current folder, names another program
// tomorrow: it is stored absolute. A bare name stays as typed, for the search path.
QString ProgramPathToStore(const QString& typed) {
    const std::string path = typed.toStdString();
    if (FolderPart(path).empty() || path.front() == '/') return typed;
    return QString::fromStdString(AbsolutePath(path));
}

}  // namespace

TAddDlg::TAddDlg(QWidget* parent) : QDialog(parent) {
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    BuildGeneralPage();
    BuildZipPage();
    BuildAdvancedPage();
    BuildButtons();
    ConnectHandlers();
    // Wider than its first design, so that long system names and paths show whole.
    FormParts::FixFrame(this, "AddDlg", tr("Add Emulator"), 400, 228);
    LoadSystems();
}

void TAddDlg::BuildGeneralPage() {
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName("TabSheet1");
    QGroupBox* general = Group(TabSheet1, tr("General Settings:"));
    EmuName = new QLineEdit(general);
    EmuName->setObjectName("EmuName");
    EmuName->setMaxLength(39);
    SysBox = new QComboBox(general);
    SysBox->setObjectName("SysBox");
    SysBox->setEditable(false);
    EmuPath = new FileEdit(general);
    EmuPath->setObjectName("EmuPath");
    // Linux programs have no extension: they are told by the execute bit.
    EmuPath->Filter = QString("All Files|*|Executables|") + ExecutablePattern;
    CfgPath = new FileEdit(general);
    CfgPath->setObjectName("CfgPath");
    CfgPath->Filter = "All Files|*|Configuration Files|*.ini;*.cfg;*.conf;*.dat";
    Params = new QLineEdit(general);
    Params->setObjectName("Params");
    Params->setMaxLength(127);
    auto* rows = new QFormLayout(general);
    rows->addRow(tr("Name"), EmuName);
    rows->addRow(tr("System"), SysBox);
    rows->addRow(tr("Emulator:"), EmuPath);
    rows->addRow(tr("CFG file:"), CfgPath);
    rows->addRow(tr("Params:"), Params);
    rows->addRow(QString(), FormParts::ParametersHint(general));
    PageControl1->addTab(TabSheet1, tr("General"));
}

void TAddDlg::BuildZipPage() {
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName("TabSheet2");
    QGroupBox* zip = Group(TabSheet2, tr("ZIP files settings:"));
    ZipSupport = new QCheckBox(tr("ZIP supported by this Emulator"), zip);
    ZipSupport->setObjectName("ZipSupport");
    UnZipInDir = new QCheckBox(tr("MAME Mode"), zip);
    UnZipInDir->setObjectName("UnZipInDir");
    auto* checks = new QVBoxLayout(zip);
    checks->addWidget(ZipSupport);
    checks->addWidget(UnZipInDir);
    checks->addStretch(1);
    PageControl1->addTab(TabSheet2, tr("ZIP Handling"));
}

void TAddDlg::BuildAdvancedPage() {
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName("TabSheet3");
    auto* warning = new QGroupBox(tr("Warning!"), TabSheet3);
    auto* warningText = new QLabel(tr("Only expert users may change these settings."), warning);
    warningText->setWordWrap(true);
    (new QVBoxLayout(warning))->addWidget(warningText);
    auto* cfg = new QGroupBox(tr("Configuration File:"), TabSheet3);
    Button1 = new QPushButton(tr("Edit Confguration File..."), cfg);
    Button1->setObjectName("Button1");
    Button1->setAutoDefault(false);
    (new QVBoxLayout(cfg))->addWidget(Button1);
    auto* advanced = new QVBoxLayout(TabSheet3);
    advanced->addWidget(warning);
    advanced->addWidget(cfg);
    advanced->addStretch(1);
    PageControl1->addTab(TabSheet3, tr("Advanced"));
}

void TAddDlg::BuildButtons() {
    BitBtn1 = FormParts::OkButton(this, "BitBtn1");
    BitBtn2 = FormParts::CancelButton(this, "BitBtn2");
    BitBtn4 = FormParts::HelpButton(this, "BitBtn4");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn4);
    auto* all = new QVBoxLayout(this);
    all->addWidget(PageControl1, 1);
    all->addLayout(buttons);
}

void TAddDlg::ConnectHandlers() {
    connect(PageControl1, &QTabWidget::currentChanged, this, &TAddDlg::PageControl1Change);
    connect(Button1, &QPushButton::clicked, this, &TAddDlg::Button1Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TAddDlg::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(BitBtn4, &QPushButton::clicked, this, &TAddDlg::BitBtn4Click);
}

TAddDlg::~TAddDlg() = default;

void TAddDlg::LoadSystems() {
    systemsRead_ = FormParts::LoadListFile(SysBox, "LISTS\\Systems.lst");
}

void TAddDlg::PrepareNew() {
    NewEmu.reset();
    source_ = NewEmulatorRecord();
    source_->SystemIndex = -1;  // a new emulator has no system until one is chosen
    setWindowTitle("Add Emulator");
    EmuName->clear();
    EmuPath->clear();
    CfgPath->clear();
    Params->clear();
    FormParts::SelectPosition(SysBox, 0);
    ZipSupport->setChecked(true);
    UnZipInDir->setChecked(false);
}

void TAddDlg::PrepareFrom(const EmulatorRecord& emu) {
    NewEmu.reset();
    source_ = std::make_unique<EmulatorRecord>(emu);
    setWindowTitle("Emulator Proprierties");
    EmuName->setText(FormParts::Shown(emu.Name));
    FormParts::SelectPosition(SysBox, emu.SystemIndex);
    EmuPath->setText(FormParts::Shown(emu.ExePath));
    CfgPath->setText(FormParts::Shown(emu.CfgPath));
    Params->setText(FormParts::Shown(emu.Params));
    ZipSupport->setChecked(FlagSet(emu.ZipSupported));
    UnZipInDir->setChecked(FlagSet(emu.MameMode));
}

void TAddDlg::showEvent(QShowEvent* e) {
    FormShow();
    QDialog::showEvent(e);
}

void TAddDlg::FormShow() {
    PageControl1->setCurrentWidget(TabSheet1);
    EmuName->setFocus();
}

void TAddDlg::PageControl1Change(int page) {
    if (PageControl1->widget(page) == TabSheet3) Button1->setEnabled(!CfgPath->text().isEmpty());
}

void TAddDlg::Button1Click() {
    if (!EditWnd) return;
    EditWnd->FileName = CfgPath->text().toStdString();
    EditWnd->setWindowTitle("Edit Configuration File");
    if (Settings.MessageMode)
        NoticeBox(
            "Warning! Modifying the CFG file of an emulator may result in the emulator malfunction!\n"
            "Use this option only if you are sure of what to do!");
    EditWnd->ShowModal();
}

void TAddDlg::BitBtn1Click() {
    if (EmuName->text().isEmpty() || EmuPath->text().isEmpty()) {
        CurrentPrompter().MessageBox("Error", "You must provide at least the Name and Path of the emulator",
                                     BoxIcon::None, BoxButtons::Ok);
        return;
    }
    if (!source_) source_ = NewEmulatorRecord();
    auto emu = NewEmulatorRecord();
    // Refuse what would be cut on storing rather than store a different text.
    if (!FormParts::TakeText(emu->Name, source_->Name, EmuName->text()))
        return void(ErrorBox(TooLong("Name", 39)));
    if (!FormParts::TakeText(emu->ExePath, source_->ExePath, ProgramPathToStore(EmuPath->text())))
        return void(ErrorBox(TooLong("Emulator path", 255)));
    if (!FormParts::TakeText(emu->CfgPath, source_->CfgPath, CfgPath->text()))
        return void(ErrorBox(TooLong("CFG file path", 255)));
    if (!FormParts::TakeText(emu->Params, source_->Params, Params->text()))
        return void(ErrorBox(TooLong("Params text", 127)));
    emu->ZipSupported = ZipSupport->isChecked() ? 1 : 0;
    emu->MameMode = UnZipInDir->isChecked() ? 1 : 0;
    emu->SystemIndex = systemsRead_ ? SysBox->currentIndex() : source_->SystemIndex;
    NewEmu = std::move(emu);
    accept();
}

void TAddDlg::BitBtn4Click() {
    ShowHelpTopic("addemu");
}
