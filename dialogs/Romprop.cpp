#include "dialogs/Romprop.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <sys/stat.h>

#include <cstdio>

#include "catalogue/Emusystem.h"
#include "catalogue/Progress.h"
#include "catalogue/Prompter.h"
#include "catalogue/Useful.h"
#include "dialogs/FormParts.h"
#include "dialogs/Help.h"
#include "mainwindow/Settings.h"
#include "mainwindow/StatusProgress.h"
#include "mainwindow/ZipProgressFeed.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "toolkit/Pictures.h"
#include "zip/ZipArchiver.h"

TRomPropDlg* RomPropDlg = nullptr;

namespace {

enum StatusPanel { RomsLabel, RomsCount, PositionLabel, Position, Message };

QLabel* TextPanel(QWidget* parent, const char* name) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    l->setMargin(2);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    l->setMinimumWidth(160);
    return l;
}

QWidget* Page(QTabWidget* pages, const char* name, const QString& caption) {
    auto* w = new QWidget;
    w->setObjectName(name);
    pages->addTab(w, caption);
    return w;
}

// Member names travel beside their items byte for byte: they are given back to the zip
// component and used for renaming.
constexpr int MemberRole = Qt::UserRole;

std::string MemberName(const QListWidgetItem* item) {
    return item->data(MemberRole).toByteArray().toStdString();
}

// A name taken from an archive must not lead the file out of its folder.
bool LeavesFolder(const std::string& name) {
    if (name.starts_with('/')) return true;
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = std::min(name.find('/', start), name.size());
        if (name.compare(start, end - start, "..") == 0) return true;
        start = end + 1;
    }
    return false;
}

// Size of a file as the position of its end; -1 when it cannot be opened for reading. A folder
// opens here too, and its "end" is no size at all, so only plain files count.
int64_t OpenedFileSize(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return -1;
    int64_t size = -1;
    struct stat st {};
    if (fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && std::fseek(f, 0, SEEK_END) == 0)
        size = ftello(f);
    std::fclose(f);
    return size;
}

}  // namespace

TRomPropDlg::TRomPropDlg(QWidget* parent) : QDialog(parent), Zip(std::make_unique<TZipArchiver>()) {
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");

    TabSheet1 = Page(PageControl1, "TabSheet1", tr("General"));
    RomDesc = new QLineEdit(TabSheet1);
    RomDesc->setObjectName("RomDesc");
    RomDesc->setMaxLength(39);
    Text = new QLabel(tr("Emulator:"), TabSheet1);
    Text->setObjectName("Text");
    RomEmu = TextPanel(TabSheet1, "RomEmu");
    RomSystem = TextPanel(TabSheet1, "RomSystem");
    RomParams = new QLineEdit(TabSheet1);
    RomParams->setObjectName("RomParams");
    RomParams->setMaxLength(127);
    RomLanguage = new QComboBox(TabSheet1);
    RomLanguage->setObjectName("RomLanguage");
    RomRating = new QSpinBox(TabSheet1);
    RomRating->setObjectName("RomRating");
    RomRating->setRange(0, 100);
    RomType = new QComboBox(TabSheet1);
    RomType->setObjectName("RomType");
    auto* general = new QFormLayout(TabSheet1);
    general->addRow(tr("Description:"), RomDesc);
    general->addRow(Text, RomEmu);
    general->addRow(tr("System:"), RomSystem);
    general->addRow(tr("Parameters:"), RomParams);
    general->addRow(QString(), FormParts::ParametersHint(TabSheet1));
    general->addRow(tr("Language:"), RomLanguage);
    general->addRow(tr("Rating:"), RomRating);
    general->addRow(tr("Type:"), RomType);

    TabSheet2 = Page(PageControl1, "TabSheet2", tr("File Proprierties"));
    RomPath = TextPanel(TabSheet2, "RomPath");
    RomFile = TextPanel(TabSheet2, "RomFile");
    Button1 = FormParts::Button(TabSheet2, "Button1", tr("&Rename"), QIcon());
    FileSize = TextPanel(TabSheet2, "FileSize");
    Contents = new QListWidget(TabSheet2);
    Contents->setObjectName("Contents");
    Contents->setSelectionMode(QAbstractItemView::SingleSelection);
    Button2 = FormParts::Button(TabSheet2, "Button2", tr("&Delete"), QIcon());
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(RomFile, 1);
    fileRow->addWidget(Button1);
    auto* memberRow = new QHBoxLayout;
    memberRow->addWidget(Contents, 1);
    auto* memberSide = new QVBoxLayout;
    memberSide->addWidget(Button2);
    memberSide->addStretch(1);
    memberRow->addLayout(memberSide);
    auto* file = new QFormLayout(TabSheet2);
    file->addRow(tr("Path: "), RomPath);
    file->addRow(tr("File Name:"), fileRow);
    file->addRow(tr("Size:"), FileSize);
    file->addRow(memberRow);

    TabSheet3 = Page(PageControl1, "TabSheet3", tr("ZIP Handling"));
    auto* zipBox = new QGroupBox(tr("ZIP Options:"), TabSheet3);
    RomZipSupport = new QCheckBox(tr("ZIP support"), zipBox);
    RomZipSupport->setObjectName("RomZipSupport");
    RomUnzipInDir = new QCheckBox(tr("MAME Mode"), zipBox);
    RomUnzipInDir->setObjectName("RomUnzipInDir");
    auto* zipChecks = new QVBoxLayout(zipBox);
    zipChecks->addWidget(RomZipSupport);
    zipChecks->addWidget(RomUnzipInDir);
    zipChecks->addStretch(1);
    (new QVBoxLayout(TabSheet3))->addWidget(zipBox);

    OkBtn = FormParts::OkButton(this, "OkBtn");
    BitBtn2 = FormParts::CancelButton(this, "BitBtn2");
    BitBtn1 = FormParts::HelpButton(this, "BitBtn1");
    SpeedButton1 = new FlatButton(Pictures::Previous(), tr("Previous ROM"), this);
    SpeedButton1->setObjectName("SpeedButton1");
    SpeedButton2 = new FlatButton(Pictures::Next(), tr("Next ROM"), this);
    SpeedButton2->setObjectName("SpeedButton2");
    StatusBar = new StatusPanels({45, 50, 55, 50, 0}, this);
    StatusBar->setObjectName("StatusBar");
    StatusBar->SetPanel(RomsLabel, tr("ROMs:"));
    StatusBar->SetPanel(PositionLabel, tr("Position:"));
    WorkProgress = new StatusProgress(StatusBar);
    StatusBar->addPermanentWidget(WorkProgress);

    auto* steps = new QHBoxLayout;
    steps->addWidget(SpeedButton1);
    steps->addStretch(1);
    steps->addWidget(SpeedButton2);
    QVBoxLayout* right = FormParts::ButtonColumn({OkBtn, BitBtn2, BitBtn1});
    right->insertLayout(3, steps);
    auto* top = new QHBoxLayout;
    top->addWidget(PageControl1, 1);
    top->addLayout(right);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top, 1);
    all->addWidget(StatusBar);

    connect(PageControl1, &QTabWidget::currentChanged, this, &TRomPropDlg::PageControl1Change);
    connect(OkBtn, &QPushButton::clicked, this, &TRomPropDlg::OkBtnClick);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(BitBtn1, &QPushButton::clicked, this, &TRomPropDlg::BitBtn1Click);
    connect(SpeedButton1, &QToolButton::clicked, this, &TRomPropDlg::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TRomPropDlg::SpeedButton2Click);
    connect(Button1, &QPushButton::clicked, this, &TRomPropDlg::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TRomPropDlg::Button2Click);

    FormParts::FixFrame(this, "RomPropDlg", tr("Rom Proprieties"), 428, 222);
}

TRomPropDlg::~TRomPropDlg() = default;

void TRomPropDlg::showEvent(QShowEvent* e) {
    FormShow();
    QDialog::showEvent(e);
}

void TRomPropDlg::FormShow() {
    Changed = false;
    shown_ = nullptr;
    // The position first: a list that cannot be read must not leave the last showing's ROM.
    RomIndex = SelectedRow ? SelectedRow() : -1;
    languagesRead_ = FormParts::LoadListFile(RomLanguage, "LISTS\\Languages.lst");
    typesRead_ = FormParts::LoadListFile(RomType, "LISTS\\Types.lst");
    PageControl1->setCurrentWidget(TabSheet1);
    ShowRom();
}

RomRecord* TRomPropDlg::ShownRom() const {
    RomRecord* rom = ::Emus ? ::Emus->GetRom(RomIndex) : nullptr;
    return rom && rom == shown_ ? rom : nullptr;
}

void TRomPropDlg::ShowRom() {
    Contents->clear();
    const RomRecord* rom = ::Emus ? ::Emus->GetRom(RomIndex) : nullptr;
    shown_ = rom;
    for (QWidget* w : {static_cast<QWidget*>(PageControl1), static_cast<QWidget*>(OkBtn)})
        w->setEnabled(rom != nullptr);
    StatusBar->SetPanel(RomsCount, QString::number(::Emus ? ::Emus->RomCount() : 0));
    StatusBar->SetPanel(Position, QString::number(RomIndex));
    if (!rom) {
        SetStatus(tr("No ROM at this position"));
        return;
    }
    SetStatus("");  // before the file tab, whose "Error accessing file" must stay in sight
    RomDesc->setText(FormParts::Shown(rom->Name));
    RomEmu->setText(FormParts::Shown(rom->Emulator.Name));
    RomSystem->setText(FormParts::Shown(::Emus->SystemName(rom->Emulator.SystemIndex)));
    RomParams->setText(FormParts::Shown(rom->Emulator.Params));
    FormParts::SelectPosition(RomLanguage, rom->LanguageIndex);
    // A stored rating outside the usual range is shown as it is, so applying keeps it.
    RomRating->setRange(std::min(0, rom->Rating), std::max(100, rom->Rating));
    RomRating->setValue(rom->Rating);
    FormParts::SelectPosition(RomType, rom->TypeIndex);
    ShowFileNames(*rom);
    RomUnzipInDir->setChecked(FlagSet(rom->Emulator.MameMode));
    RomZipSupport->setChecked(FlagSet(rom->Emulator.ZipSupported));
    if (PageControl1->currentWidget() == TabSheet2) FillFileTab();
}

void TRomPropDlg::ShowFileNames(const RomRecord& rom) {
    const std::string path = FieldText(rom.FilePath);
    RomPath->setText(FormParts::Shown(FolderPart(path)));
    RomFile->setText(FormParts::Shown(FileNamePart(path)));
    // Long paths do not fit the fixed panels: the whole path shows on hovering either one.
    for (QLabel* panel : {RomPath, RomFile}) panel->setToolTip(FormParts::Shown(path));
}

bool TRomPropDlg::ApplyChanges() {
    RomRecord* rom = ShownRom();
    if (!rom) {
        if (!shown_) return true;  // nothing is shown, so there is nothing to store
        ErrorBox("This ROM is no longer in the catalogue; nothing was changed.");
        return false;
    }
    int32_t rating = 0;
    if (!FormParts::WholeNumber(RomRating->text(), RomRating->minimum(), RomRating->maximum(), rating)) {
        ErrorBox("The rating must be a whole number from 0 to 100; nothing was changed.");
        return false;
    }
    if (!FormParts::FitsIfEdited(rom->Name, RomDesc->text()) ||
        !FormParts::FitsIfEdited(rom->Emulator.Params, RomParams->text())) {
        ErrorBox("The description or the parameters are too long to be stored; nothing was changed.");
        return false;
    }
    SetStatus(tr("Applying changes..."));
    FormParts::TakeText(rom->Name, rom->Name, RomDesc->text());
    FormParts::TakeText(rom->Emulator.Params, rom->Emulator.Params, RomParams->text());
    if (languagesRead_) rom->LanguageIndex = RomLanguage->currentIndex();
    rom->Rating = rating;
    if (typesRead_) rom->TypeIndex = RomType->currentIndex();
    rom->Emulator.ZipSupported = RomZipSupport->isChecked() ? 1 : 0;
    rom->Emulator.MameMode = RomUnzipInDir->isChecked() ? 1 : 0;
    ShowRom();
    Changed = true;
    return true;
}

void TRomPropDlg::SetStatus(const QString& text) {
    StatusBar->SetPanel(Message, text);
}

QString TRomPropDlg::LargeSize(int64_t n, bool slash) {
    const int64_t k = n / 1024;
    if (k > 1024) return QString::number(k / 1024) + (slash ? " Mb/" : " Mb");
    return QString::number(k) + (slash ? " Kb/" : " Kb");
}

void TRomPropDlg::FillFileTab() {
    Contents->clear();
    const RomRecord* rom = ShownRom();
    if (!rom) return;
    const std::string path = FieldText(rom->FilePath);
    QString size;
    if (EqualsNoCase(ExtensionPart(path), ".ZIP")) {
        {
            ProgressRun listing(*WorkProgress, "Reading " + FileNamePart(path) + "...", 0);
            Zip->SetFileName(path);
        }
        int64_t total = 0;
        for (const ZipDirEntry& entry : Zip->DirEntries()) {
            auto* item = new QListWidgetItem(QString::fromStdString(entry.FileName), Contents);
            item->setData(MemberRole, QByteArray::fromStdString(entry.FileName));
            total += static_cast<int64_t>(entry.UncompressedSize64);
        }
        size = LargeSize(Zip->ArchiveFileSize(), true) + LargeSize(total, false);
    } else {
        const int64_t bytes = OpenedFileSize(path);
        if (bytes < 0) {
            SetStatus(tr("Error accessing file"));
            return;
        }
        size = LargeSize(bytes, false);
    }
    FileSize->setText(size);
}

void TRomPropDlg::PageControl1Change(int page) {
    if (PageControl1->widget(page) == TabSheet2) FillFileTab();
}

void TRomPropDlg::OkBtnClick() {
    if (ApplyChanges()) accept();
}

void TRomPropDlg::Step(int delta) {
    if (!ApplyChanges()) return;
    const int32_t next = RomIndex + delta;
    if (::Emus && next >= 0 && next < ::Emus->RomCount()) RomIndex = next;
    ShowRom();
}

void TRomPropDlg::SpeedButton1Click() {
    Step(-1);
}
void TRomPropDlg::SpeedButton2Click() {
    Step(+1);
}

void TRomPropDlg::BitBtn1Click() {
    ShowHelpTopic("romprop");
}

QString TRomPropDlg::NewNameFor(const RomRecord& rom) {
    const QList<QListWidgetItem*> selected = Contents->selectedItems();
    if (selected.isEmpty()) {
        auto typed = CurrentPrompter().InputBox("Rename File", "", "");
        return typed ? QString::fromStdString(*typed) : QString();
    }
    // The member's name without its last extension, with the ROM file's own extension.
    const std::string member = MemberName(selected.first());
    const size_t dot = member.rfind('.');
    const std::string stem = dot == std::string::npos ? std::string() : member.substr(0, dot);
    return QString::fromStdString(stem + ExtensionPart(FieldText(rom.FilePath)));
}

void TRomPropDlg::Button1Click() {
    RomRecord* rom = ShownRom();
    if (!rom) return;
    const std::string name = NewNameFor(*rom).toStdString();
    if (name.empty()) return;
    const std::string from = FieldText(rom->FilePath);
    const std::string to = FolderPart(from) + name;
    if (LeavesFolder(name) || !FitsField(rom->FilePath, to) || !MoveFile(from, to)) {
        ErrorBox("Error Renaming File");
        return;
    }
    SetFieldText(rom->FilePath, to);
    ::Emus->Stats().Rename(from, to);  // favourite and play time follow the file
    // Only the file tab follows the new name: edits on the other pages are not yet applied.
    ShowFileNames(*rom);
    if (PageControl1->currentWidget() == TabSheet2) FillFileTab();
}

void TRomPropDlg::Button2Click() {
    const QList<QListWidgetItem*> selected = Contents->selectedItems();
    const RomRecord* rom = ShownRom();
    if (selected.isEmpty() || !rom) return;
    const std::string member = MemberName(selected.first());
    // A member deleted is gone for good, and taking out the last one removes the archive itself,
    // the ROM's file.
    if (Settings.MessageMode &&
        !QuestionBox("Do you really want to delete " + selected.first()->text().toStdString() +
                         " from this archive?" +
                         (Contents->count() == 1 ? "\n(It is the last file: the archive, the ROM's file, "
                                                   "will be removed with it)"
                                                 : ""),
                     BoxNo))
        return;
    const std::string archive = FieldText(rom->FilePath);
    if (Zip->ZipFileName() != archive) Zip->SetFileName(archive);
    Zip->FSpecArgs = {member};
    ZipProgressFeed feed(*Zip, *WorkProgress, "Deleting");
    Zip->Delete();
    // A stopped delete leaves the archive as it was, which the tab then shows again.
    FillFileTab();
    if (feed.Stopped()) SetStatus(tr("Delete stopped"));
}
