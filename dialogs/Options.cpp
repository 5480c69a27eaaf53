#include "dialogs/Options.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QVBoxLayout>

#include "catalogue/DataFolder.h"
#include "catalogue/Useful.h"
#include "dialogs/Edit.h"
#include "dialogs/FormParts.h"
#include "dialogs/Help.h"
#include "mainwindow/Settings.h"
#include "platform/Paths.h"

TOptionsDlg* OptionsDlg = nullptr;

namespace {

QWidget* Page(QTabWidget* pages, const char* name, const QString& caption) {
    auto* w = new QWidget;
    w->setObjectName(name);
    pages->addTab(w, caption);
    return w;
}

QCheckBox* CheckIn(QGroupBox* group, const char* name, const QString& caption) {
    auto* c = new QCheckBox(caption, group);
    c->setObjectName(name);
    group->layout()->addWidget(c);
    return c;
}

QGroupBox* GroupIn(QWidget* page, const QString& caption) {
    auto* g = new QGroupBox(caption, page);
    new QVBoxLayout(g);
    page->layout()->addWidget(g);
    return g;
}

}  // namespace

TOptionsDlg::TOptionsDlg(QWidget* parent) : QDialog(parent) {
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    BuildGeneralPage();
    BuildVisualizationPage();
    BuildAdvancedPage();
    BuildButtons();
    ConnectHandlers();
    FormParts::FixFrame(this, "OptionsDlg", tr("Options"), 359, 232);
}

void TOptionsDlg::BuildGeneralPage() {
    TabSheet1 = Page(PageControl1, "TabSheet1", tr("General"));
    auto* general = new QGridLayout(TabSheet1);
    MsgMode = new RadioGroup(tr("Message Settings:"), {tr("Lamer Mode"), tr("Expert Mode")}, TabSheet1);
    MsgMode->setObjectName("MsgMode");
    auto* logging = new QGroupBox(tr("Logging:"), TabSheet1);
    new QVBoxLayout(logging);
    Log = CheckIn(logging, "Log", tr("Log To File"));
    auto* validation = new QGroupBox(tr("Validation:"), TabSheet1);
    new QVBoxLayout(validation);
    Verify = CheckIn(validation, "Verify", tr("Verify ROM existance before execution"));
    auto* defaults = new QGroupBox(tr("Default Settings:"), TabSheet1);
    StartRating = new QSpinBox(defaults);
    StartRating->setObjectName("StartRating");
    StartRating->setRange(0, 100);
    StartType = new QComboBox(defaults);
    StartType->setObjectName("StartType");
    StartType->setEditable(false);
    auto* defaultRows = new QFormLayout(defaults);
    defaultRows->addRow(tr("Rating:"), StartRating);
    defaultRows->addRow(tr("Type:"), StartType);
    general->addWidget(MsgMode, 0, 0);
    general->addWidget(logging, 0, 1);
    general->addWidget(validation, 1, 0, 1, 2);
    general->addWidget(defaults, 2, 0, 1, 2);
}

void TOptionsDlg::BuildVisualizationPage() {
    TabSheet2 = Page(PageControl1, "TabSheet2", tr("Visualization"));
    new QVBoxLayout(TabSheet2);
    SNP = CheckIn(GroupIn(TabSheet2, tr("Window:")), "SNP", tr("Remember &Size && Position"));
    QGroupBox* listView = GroupIn(TabSheet2, tr("List View:"));
    HotT = CheckIn(listView, "HotT", tr("Enable &Hot Track"));
    Remember = CheckIn(listView, "Remember", tr("Remember columns &width"));
    QGroupBox* font = GroupIn(TabSheet2, tr("Font:"));
    Button4 = FormParts::Button(font, "Button4", tr("&Change..."), QIcon());
    font->layout()->addWidget(Button4);
    static_cast<QVBoxLayout*>(TabSheet2->layout())->addStretch(1);
}

void TOptionsDlg::BuildAdvancedPage() {
    TabSheet3 = Page(PageControl1, "TabSheet3", tr("Advanced"));
    new QVBoxLayout(TabSheet3);
    QGroupBox* warning = GroupIn(TabSheet3, tr("Warning!"));
    auto* warningText = new QLabel(tr("Only expert users may change these settings."), warning);
    warningText->setWordWrap(true);
    warning->layout()->addWidget(warningText);
    QGroupBox* change = GroupIn(TabSheet3, tr("Change:"));
    Button1 = FormParts::Button(change, "Button1", tr("&Types List..."), QIcon());
    Button2 = FormParts::Button(change, "Button2", tr("&Systems List..."), QIcon());
    Button3 = FormParts::Button(change, "Button3", tr("&Languages List..."), QIcon());
    for (QPushButton* b : {Button1, Button2, Button3}) change->layout()->addWidget(b);
    static_cast<QVBoxLayout*>(TabSheet3->layout())->addStretch(1);
}

void TOptionsDlg::BuildButtons() {
    BitBtn1 = FormParts::OkButton(this, "BitBtn1");
    BitBtn2 = FormParts::CancelButton(this, "BitBtn2");
    BitBtn3 = FormParts::HelpButton(this, "BitBtn3");
    // "Enable &Hot Track" holds Alt+H on this dialog; help answers F1 instead.
    BitBtn3->setText(tr("Help"));
    BitBtn3->setShortcut(QKeySequence(Qt::Key_F1));
    auto* all = new QHBoxLayout(this);
    all->addWidget(PageControl1, 1);
    all->addLayout(FormParts::ButtonColumn({BitBtn1, BitBtn2, BitBtn3}));
}

void TOptionsDlg::ConnectHandlers() {
    connect(Button1, &QPushButton::clicked, this, &TOptionsDlg::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TOptionsDlg::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TOptionsDlg::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TOptionsDlg::Button4Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TOptionsDlg::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(BitBtn3, &QPushButton::clicked, this, &TOptionsDlg::BitBtn3Click);
}

void TOptionsDlg::showEvent(QShowEvent* e) {
    FormShow();
    QDialog::showEvent(e);
}

void TOptionsDlg::FormShow() {
    MsgMode->SetItemIndex(Settings.MessageMode ? 0 : 1);
    Log->setChecked(Settings.LogEnabled);
    Verify->setChecked(Settings.Validate);
    Remember->setChecked(Settings.SaveColumnsWidth);
    SNP->setChecked(Settings.RememberSizeAndPosition);
    HotT->setChecked(Settings.HotTrack);
    // A stored rating outside the usual range is shown as it is, so OK keeps it.
    StartRating->setRange(std::min(0, Settings.DefaultRating), std::max(100, Settings.DefaultRating));
    StartRating->setValue(Settings.DefaultRating);
    typesRead_ = FormParts::LoadListFile(StartType, "LISTS\\Types.lst");
    FormParts::SelectPosition(StartType, Settings.DefaultType);
    PageControl1->setCurrentWidget(TabSheet1);
    ListsChanged = false;
}

void TOptionsDlg::EditList(const char* caption, const char* file) {
    if (!EditWnd) return;
    EditWnd->setWindowTitle(caption);
    // An edited list is the user's own, kept in the data folder; its first edit starts from the
    // program's copy. The lists are read from there first (LookupFile).
    CopyToDataFolder(file);
    EditWnd->FileName = DataFile(file);
    EditWnd->ShowModal("\r\n");
    if (EditWnd->Modified) ListsChanged = true;
}

void TOptionsDlg::Button1Click() {
    EditList("Edit Types List", "LISTS\\Types.lst");
    if (EditWnd && EditWnd->Modified) ReloadTypes();
}

void TOptionsDlg::ReloadTypes() {
    // The positions of the saved file are the ones OK stores: keep the chosen type by its name.
    const QString chosen = StartType->currentText();
    const bool hadChoice = StartType->currentIndex() >= 0;
    const bool wasRead = typesRead_;
    typesRead_ = FormParts::LoadListFile(StartType, "LISTS\\Types.lst");
    if (hadChoice)
        StartType->setCurrentIndex(StartType->findText(chosen, Qt::MatchExactly));
    else if (!wasRead)
        FormParts::SelectPosition(StartType, Settings.DefaultType);  // a list made anew
    else
        StartType->setCurrentIndex(-1);
}
void TOptionsDlg::Button2Click() {
    EditList("Edit Systems List", "LISTS\\Systems.lst");
}
void TOptionsDlg::Button3Click() {
    EditList("Edit Languages List", "LISTS\\Languages.lst");
}

void TOptionsDlg::Button4Click() {
    FontChoice font = GetListFont ? GetListFont() : FontChoice{};
    if (CurrentPrompter().ChooseFont(font) && SetListFont) SetListFont(font);
}

bool TOptionsDlg::RatingValid(int32_t& rating) {
    if (FormParts::WholeNumber(StartRating->text(), StartRating->minimum(), StartRating->maximum(), rating))
        return true;
    ErrorBox("The default rating must be a whole number from 0 to 100.");
    return false;
}

void TOptionsDlg::BitBtn1Click() {
    int32_t rating = 0;
    if (RatingValid(rating)) accept();
}

bool TOptionsDlg::TakeBack() {
    int32_t rating = 0;
    if (!RatingValid(rating)) return false;
    Settings.MessageMode = MsgMode->ItemIndex() == 0;
    Settings.LogEnabled = Log->isChecked();
    Settings.SaveColumnsWidth = Remember->isChecked();
    Settings.DefaultRating = rating;
    if (typesRead_) Settings.DefaultType = StartType->currentIndex();
    Settings.RememberSizeAndPosition = SNP->isChecked();
    Settings.Validate = Verify->isChecked();
    Settings.HotTrack = HotT->isChecked();
    return true;
}

void TOptionsDlg::BitBtn3Click() {
    ShowHelpTopic("optdlg");
}
