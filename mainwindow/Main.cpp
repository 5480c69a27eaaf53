#include "mainwindow/Main.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <cmath>
#include <QVBoxLayout>
#include <cstdio>
#include <unistd.h>

#include "catalogue/Emusystem.h"
#include "catalogue/LaunchJournal.h"
#include "catalogue/Prompter.h"
#include "catalogue/Scan.h"
#include "catalogue/Sorting.h"
#include "catalogue/Upkeep.h"
#include "catalogue/Splash.h"
#include "catalogue/Useful.h"
#include "dialogs/About.h"
#include "dialogs/Edit.h"
#include "dialogs/Emuadd.h"
#include "dialogs/Emulist.h"
#include "dialogs/Help.h"
#include "dialogs/Options.h"
#include "dialogs/Romadd.h"
#include "dialogs/Romprop.h"
#include "mainwindow/ErrorDisplay.h"
#include "mainwindow/FirstPaint.h"
#include "mainwindow/Icons.h"
#include "mainwindow/Launch.h"
#include "mainwindow/ListExport.h"
#include "mainwindow/ReportView.h"
#include "mainwindow/Session.h"
#include "mainwindow/Settings.h"
#include "mainwindow/StatusProgress.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Trash.h"
#include "stalker/Stalkmain.h"
#include "toolkit/StatusPanels.h"
#include "zip/ZipArchiver.h"

TMainWnd* MainWnd = nullptr;

namespace {

// Said of a file that is there but could not be read at start.
const std::string LeftAsItIs = "The file is left as it is and will not be saved in this session.";

QAction* MakeAction(QObject* owner, const char* name, const char* category, const char* caption) {
    auto* a = new QAction(QString::fromUtf8(caption), owner);
    a->setObjectName(name);
    a->setProperty("category", category);
    return a;
}

// A menu item with its own caption that runs an action, as a form's menu item bound to it.
QAction* MenuItem(QMenu* menu, const char* name, const char* caption, QAction* action) {
    QAction* item = menu->addAction(QString::fromUtf8(caption));
    item->setObjectName(name);
    QObject::connect(item, &QAction::triggered, action, &QAction::trigger);
    return item;
}

QToolButton* ToolButton(QToolBar* bar, const char* name, QAction* action, const char* hint) {
    auto* b = new QToolButton(bar);
    b->setObjectName(name);
    b->setDefaultAction(action);
    b->setToolTip(hint);
    bar->addWidget(b);
    return b;
}

}  // namespace

TMainWnd::TMainWnd(QWidget* parent) : QMainWindow(parent) {
    setObjectName("MainWnd");
    MainWnd = this;
    setWindowTitle("Tarnwick");
    setFont(QFont("MS Sans Serif", 8));
    BuildActions();
    BuildMenus();
    BuildCoolBar();
    BuildBottom();
    BindList();
    BindKeys();
    PlaceFirstTime();

    new EmuManager;  // becomes the process-wide Emus
    zipMan_ = std::make_unique<TZipArchiver>();
    zipMan_->ExtrOptions = ExtrOpts{ExtrOverWrite};
    zipMan_->OnProgress = [this](TZipArchiver*, ProgressType type, const std::string&, int32_t size) {
        ZipManProgress(*this, type, size);
    };
    zipMan_->Load_Unz_Dll();
    zipMan_->Load_Zip_Dll();
    FormCreate();
}

TMainWnd::~TMainWnd() {
    if (!closed_) FormClose();
    if (MainWnd == this) MainWnd = nullptr;
}

// ---- Building the window -------------------------------------------------------------------

void TMainWnd::BuildActions() {
    Add = MakeAction(this, "Add", "Emus", "&Add Emu");
    ListEmu = MakeAction(this, "ListEmu", "Emus", "ListEmu");
    ClearEmuList = MakeAction(this, "ClearEmuList", "Emus", "Clear Emus list");
    Run = MakeAction(this, "Run", "Roms", "Run");
    Remove = MakeAction(this, "Remove", "Roms", "Remove");
    Erase = MakeAction(this, "Erase", "Roms", "Erase");
    AddRom = MakeAction(this, "AddRom", "Roms", "Add Rom...");
    Scan = MakeAction(this, "Scan", "Roms", "Scan");
    ClearRomList = MakeAction(this, "ClearRomList", "Roms", "Clear ROMs list");
    RemoveMissing = MakeAction(this, "RemoveMissing", "Roms", "Remove Missing ROMs...");
    ExportList = MakeAction(this, "ExportList", "Roms", "Export List...");
    Explore = MakeAction(this, "Explore", "Roms", "Explore Directory...");
    Properties = MakeAction(this, "Properties", "Roms", "Properties");
    Favourite = MakeAction(this, "Favourite", "Roms", "Favourite");
    Options = MakeAction(this, "Options", "Tools", "Options");
    ViewLog = MakeAction(this, "ViewLog", "Tools", "View Log file...");
    ClearLog = MakeAction(this, "ClearLog", "Tools", "Clear Log file");
    Refresh = MakeAction(this, "Refresh", "Tools", "Refresh List");
    Stalker = MakeAction(this, "Stalker", "Tools", "Import ROMs...");
    Contents = MakeAction(this, "Contents", "Help", "Contents");
    About = MakeAction(this, "About", "Help", "About...");
    BigIcons = MakeAction(this, "BigIcons", "Visualization", "Big Icons");
    SmallIcns = MakeAction(this, "SmallIcns", "Visualization", "Small Icons");
    ListIcons = MakeAction(this, "ListIcons", "Visualization", "List");
    Report = MakeAction(this, "Report", "Visualization", "Report");

    const std::pair<QAction*, void (TMainWnd::*)()> handlers[] = {
        {Add, &TMainWnd::AddExecute},
        {ListEmu, &TMainWnd::ListEmuExecute},
        {ClearEmuList, &TMainWnd::ClearEmuListExecute},
        {Run, &TMainWnd::RunExecute},
        {Remove, &TMainWnd::RemoveExecute},
        {Erase, &TMainWnd::EraseExecute},
        {AddRom, &TMainWnd::AddRomExecute},
        {Scan, &TMainWnd::ScanExecute},
        {ClearRomList, &TMainWnd::ClearRomListExecute},
        {Explore, &TMainWnd::ExploreExecute},
        {Properties, &TMainWnd::PropertiesExecute},
        {Favourite, &TMainWnd::FavouriteExecute},
        {RemoveMissing, &TMainWnd::RemoveMissingExecute},
        {ExportList, &TMainWnd::ExportListExecute},
        {Options, &TMainWnd::OptionsExecute},
        {ViewLog, &TMainWnd::ViewLogExecute},
        {ClearLog, &TMainWnd::ClearLogExecute},
        {Refresh, &TMainWnd::RefreshExecute},
        {Stalker, &TMainWnd::StalkerExecute},
        {Contents, &TMainWnd::ContentsExecute},
        {About, &TMainWnd::AboutExecute},
        {BigIcons, &TMainWnd::BigIconsExecute},
        {SmallIcns, &TMainWnd::SmallIcnsExecute},
        {ListIcons, &TMainWnd::ListIconsExecute},
        {Report, &TMainWnd::ReportExecute},
    };
    for (const auto& [action, handler] : handlers)
        connect(action, &QAction::triggered, this,
                [this, handler = handler] { Command([&] { (this->*handler)(); }); });

    viewGroup_ = new QActionGroup(this);
    viewGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (QAction* a : {BigIcons, SmallIcns, ListIcons, Report}) {
        a->setCheckable(true);
        viewGroup_->addAction(a);
    }
    ListEmu->setIcon(ToolIcon(ToolPicture::EmuList));
    Run->setIcon(ToolIcon(ToolPicture::Run));
    Scan->setIcon(ToolIcon(ToolPicture::Scan));
    Refresh->setIcon(ToolIcon(ToolPicture::Refresh));
    Options->setIcon(ToolIcon(ToolPicture::Options));
    Contents->setIcon(ToolIcon(ToolPicture::Help));
    BigIcons->setIcon(ToolIcon(ToolPicture::BigIcons));
    SmallIcns->setIcon(ToolIcon(ToolPicture::SmallIcons));
    ListIcons->setIcon(ToolIcon(ToolPicture::List));
    Report->setIcon(ToolIcon(ToolPicture::Report));
    // The hints of the icon buttons; menus carry their own captions.
    ListEmu->setToolTip("Emus List");
    Contents->setToolTip("Help Contents");
    BigIcons->setToolTip("Big Icons View");
    SmallIcns->setToolTip("Small Icons View");
    ListIcons->setToolTip("List View");
    Report->setToolTip("Report View");
}

void TMainWnd::BuildMenus() {
    EMUsMenu = new QMenu(this);
    EMUsMenu->setObjectName("EMUsMenu");
    MenuItem(EMUsMenu, "Prova1", "&Add", Add);
    MenuItem(EMUsMenu, "List1", "Emulators &List...", ListEmu);
    EMUsMenu->addSeparator();
    MenuItem(EMUsMenu, "ClearEmuslist1", "&Clear Emus list", ClearEmuList);

    ROMsMenu = new QMenu(this);
    ROMsMenu->setObjectName("ROMsMenu");
    Run1 = MenuItem(ROMsMenu, "Run1", "&Run", Run);
    Favourite1 = MenuItem(ROMsMenu, "Favourite1", "Favourite", Favourite);
    Favourite1->setCheckable(true);  // shows the selected ROM's mark
    ROMsMenu->addSeparator();
    Remove1 = MenuItem(ROMsMenu, "Remove1", "Re&move", Remove);
    Remove1->setShortcut(QKeySequence(Qt::Key_Delete));
    EraseROM1 = MenuItem(ROMsMenu, "EraseROM1", "&Erase", Erase);
    EraseROM1->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    ROMsMenu->addSeparator();
    AddRom1 = MenuItem(ROMsMenu, "AddRom1", "&Add Rom...", AddRom);
    Scan1 = MenuItem(ROMsMenu, "Scan1", "&Scan...", Scan);
    ROMsMenu->addSeparator();
    ClearROMslist1 = MenuItem(ROMsMenu, "ClearROMslist1", "C&lear ROMs list", ClearRomList);
    RemoveMissingROMs1 = MenuItem(ROMsMenu, "RemoveMissingROMs1", "Remove M&issing ROMs...", RemoveMissing);
    ExportList1 = MenuItem(ROMsMenu, "ExportList1", "Expor&t List...", ExportList);
    ROMsMenu->addSeparator();
    ExploreDirectory1 = MenuItem(ROMsMenu, "ExploreDirectory1", "E&xplore Directory...", Explore);
    Properties1 = MenuItem(ROMsMenu, "Properties1", "&Properties...", Properties);
    connect(ROMsMenu, &QMenu::aboutToShow, this, [this] { Guarded([this] { ROMsMenuPopup(); }); });

    Tools = new QMenu(this);
    Tools->setObjectName("Tools");
    MenuItem(Tools, "Options1", "&Options...", Options);
    Tools->addSeparator();
    MenuItem(Tools, "ViewLogFile1", "&View Log file...", ViewLog);
    MenuItem(Tools, "ClearLOGfile1", "&Clear Log file", ClearLog);
    Tools->addSeparator();
    MenuItem(Tools, "Stalker1", "Import ROMs...", Stalker);
    Tools->addSeparator();
    RefreshList1 = MenuItem(Tools, "RefreshList1", "&Refresh List", Refresh);

    HelpMenu = new QMenu(this);
    HelpMenu->setObjectName("HelpMenu");
    MenuItem(HelpMenu, "Help1", "&Contents", Contents);
    HelpMenu->addSeparator();
    MenuItem(HelpMenu, "About1", "&About...", About);

    CoolBarMenu = new QMenu(this);
    CoolBarMenu->setObjectName("CoolBarMenu");
    const std::pair<QAction**, std::pair<const char*, const char*>> items[] = {
        {&ShowStatusBar, {"ShowStatusBar", "Show Status Bar"}},
        {&ShowToolBar1, {"ShowToolBar1", "Show Tool Bar"}},
        {&EnableToolTips, {"EnableToolTips", "Enable ToolTips"}},
        {&ShowProgressBars, {"ShowProgressBars", "Show Progress Bars"}},
    };
    for (const auto& [slot, names] : items) {
        QAction* a = CoolBarMenu->addAction(names.second);
        a->setObjectName(names.first);
        a->setCheckable(true);
        a->setChecked(true);
        *slot = a;
    }
    // Each handler flips its own check mark, so the toggle Qt already made is undone first.
    const std::pair<QAction*, void (TMainWnd::*)()> switches[] = {
        {ShowStatusBar, &TMainWnd::ShowStatusBarClick},
        {ShowToolBar1, &TMainWnd::ShowToolBar1Click},
        {EnableToolTips, &TMainWnd::EnableToolTipsClick},
        {ShowProgressBars, &TMainWnd::ShowProgressBarsClick},
    };
    for (const auto& [item, handler] : switches)
        connect(item, &QAction::triggered, this, [this, item = item, handler = handler](bool checked) {
            item->setChecked(!checked);
            Guarded([&] { (this->*handler)(); });
        });
}

void TMainWnd::BuildCoolBar() {
    CoolBar1 = new QWidget(this);
    CoolBar1->setObjectName("CoolBar1");
    CoolBar1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(CoolBar1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { EMUsMenu->popup(CoolBar1->mapToGlobal(p)); });
    auto* layout = new QVBoxLayout(CoolBar1);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    ToolBar2 = new QToolBar(CoolBar1);
    ToolBar2->setObjectName("ToolBar2");
    ToolBar2->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const std::pair<const char*, QMenu*> dropDowns[] = {
        {"&Emulators", EMUsMenu}, {"&ROMs", ROMsMenu}, {"&Tools", Tools}, {"&Help", HelpMenu}};
    const char* buttonNames[] = {"EmulatorsButton", "ROMsButton", "ToolsButton", "HelpButton"};
    int i = 0;
    for (const auto& [caption, menu] : dropDowns) {
        auto* b = new QToolButton(ToolBar2);
        b->setObjectName(buttonNames[i++]);
        b->setText(caption);
        b->setMenu(menu);
        b->setPopupMode(QToolButton::InstantPopup);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setStyleSheet("QToolButton::menu-indicator { image: none; }");
        ToolBar2->addWidget(b);
    }
    BuildFindBar();

    ToolBar1 = new QToolBar("Main Controls", CoolBar1);
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setIconSize({16, 16});
    ToolButton(ToolBar1, "ToolButton1", ListEmu, "Emus List");
    ToolBar1->addSeparator();
    ToolButton(ToolBar1, "ToolButton3", Run, "Run");
    ToolButton(ToolBar1, "ToolButton4", Scan, "Scan");
    ToolButton(ToolBar1, "ToolButton16", Refresh, "Refresh List");
    ToolBar1->addSeparator();
    ToolButton(ToolBar1, "ToolButton17", Options, "Options");
    ToolBar1->addSeparator();
    Icns = ToolButton(ToolBar1, "Icns", BigIcons, "Big Icons View");
    SIcns = ToolButton(ToolBar1, "SIcns", SmallIcns, "Small Icons View");
    Lst = ToolButton(ToolBar1, "Lst", ListIcons, "List View");
    Rep = ToolButton(ToolBar1, "Rep", Report, "Report View");
    ToolBar1->addSeparator();
    ToolButton(ToolBar1, "ToolButton15", Contents, "Help Contents");

    for (QToolBar* bar : {ToolBar2, ToolBar1}) {
        bar->setMovable(false);
        bar->setFloatable(false);
        bar->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(bar, &QWidget::customContextMenuRequested, this,
                [this, bar](const QPoint& p) { CoolBarMenu->popup(bar->mapToGlobal(p)); });
        layout->addWidget(bar);
        for (QToolButton* b : bar->findChildren<QToolButton*>()) b->installEventFilter(this);
    }
    setMenuWidget(CoolBar1);
}

void TMainWnd::BuildBottom() {
    auto* centre = new QWidget(this);
    auto* layout = new QVBoxLayout(centre);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    List = new TRomListView(centre);
    const RomIcons plain{RomPresentIcon(), RomMissingIcon(), RomUncheckedIcon()};
    List->Model()->SetIcons(plain, {WithFavouriteStar(plain.Present), WithFavouriteStar(plain.Missing),
                                    WithFavouriteStar(plain.Unchecked)});
    layout->addWidget(List, 1);

    PPanel = new QWidget(centre);
    PPanel->setObjectName("PPanel");
    PPanel->setFixedHeight(11);
    auto* panelLayout = new QVBoxLayout(PPanel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    ProgressBar1 = new QProgressBar(PPanel);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    panelLayout->addWidget(ProgressBar1);
    layout->addWidget(PPanel);
    PPanel->hide();  // until work reports progress
    setCentralWidget(centre);

    StatBar = new StatusPanels({50, 50, 0}, this);
    StatBar->setObjectName("StatBar");
    StatBar->SetPanel(0, "Games:");
    StatBar->SetPanel(1, "Number");
    WorkProgress = new StatusProgress(StatBar);
    StatBar->addPermanentWidget(WorkProgress);
    setStatusBar(StatBar);
    for (QWidget* w : {static_cast<QWidget*>(PPanel), static_cast<QWidget*>(StatBar)}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this,
                [this, w](const QPoint& p) { CoolBarMenu->popup(w->mapToGlobal(p)); });
    }
}

void TMainWnd::BindList() {
    List->Model()->OnEdited = [this](int row, QString& text) { Command([&] { ListEdited(row, text); }); };
    List->OnColumnClick = [this](int c) { Command([&] { ListColumnClick(c); }); };
    List->OnDblClick = [this] { Command([this] { ListDblClick(); }); };
    List->OnMouseUp = [this](Qt::MouseButton b) { Command([&] { ListMouseUp(b); }); };
    List->OnContextMenu = [this](const QPoint& p) { ROMsMenu->popup(p); };
    // A fill without a filter learns its emulators in idle steps, after the list shows.
    connect(List->Model(), &RomListModel::Indexed, this, [this] { Guarded([this] { RefreshEmuFilter(); }); });
    // The shortcuts (Del, Shift+Del) work while the list has the focus, and follow the same
    // enabling as the pop-up menu.
    List->OnSelectionChanged = [this] { Guarded([this] { ROMsMenuPopup(); }); };
    for (QAction* item : {Remove1, EraseROM1}) {
        item->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        List->addAction(item);
    }
}

void TMainWnd::Command(const std::function<void()>& handler) {
    // Input is dropped during a launch; this also stops a command reached any other way, as
    // removing or re-sorting ROMs under the launch would free the record it counts the play on.
    if (launching_) return;
    Guarded(handler);
}

void TMainWnd::BindDialogs() {
    if (OptionsDlg) {
        OptionsDlg->GetListFont = [this] { return ListFontChoice(); };
        OptionsDlg->SetListFont = [this](const FontChoice& f) { SetListFontChoice(f); };
    }
    if (RomPropDlg) RomPropDlg->SelectedRow = [this] { return SelectedRom(); };
    if (EmuListDlg) EmuListDlg->FillRomList = [this] { FillRomList(); };
}

FontChoice TMainWnd::ListFontChoice() const {
    const QFont f = List->ListFont();
    FontChoice c;
    c.Name = f.family().toStdString();  // the face asked for, not the one substituted
    c.Size = f.pointSize() > 0 ? f.pointSize() : QFontInfo(f).pointSize();
    c.Bold = f.bold();
    c.Italic = f.italic();
    c.Underline = f.underline();
    c.StrikeOut = f.strikeOut();
    c.Color = List->FontColor();
    return c;
}

void TMainWnd::SetListFontChoice(const FontChoice& c) {
    QFont f(QString::fromStdString(c.Name));
    if (c.Size > 0) f.setPointSize(c.Size);
    f.setBold(c.Bold);
    f.setItalic(c.Italic);
    f.setUnderline(c.Underline);
    f.setStrikeOut(c.StrikeOut);
    List->SetListFont(f);
    List->SetFontColor(c.Color);
}

// ---- Start-up and close --------------------------------------------------------------------

void TMainWnd::FormCreate() {
    FinishInterruptedLaunch();
    try {
        Emus->LoadLanguages(LookupFile("Lists\\Languages.lst"));
        Emus->LoadSystems(LookupFile("Lists\\Systems.lst"));
        Emus->LoadTypes(LookupFile("Lists\\Types.lst"));
    } catch (const std::exception& e) {
        // Start-up stops here: nothing else is read, and so nothing is written at close.
        ShowException(e.what());
        return;
    }
    WindowSettings w;
    LoadSettings(w);
    ApplyWindowSettings(w);
    loaded_ = true;
    settingsUnread_ = !w.Read && EntryExists(SettingsFileName());
    if (settingsUnread_)
        ErrorBox("Error Loading Settings.\n" + SettingsFileName() + ": " + ReadErrorText(w.ReadError) + "\n" +
                 LeftAsItIs);
    LoadListFile(&EmuManager::LoadRomList, RomListFileName(), "Error Loading Roms List.");
    LoadListFile(&EmuManager::LoadEmuList, EmuListFileName(), "Error Loading Emu List.");
    // Read once the list has first painted, its facts shown as they come (StatsRead): the read
    // would otherwise take from the making of the windows. Without a writable data folder the
    // facts live in memory, as the lists do.
    if (!DataFolderWritable()) return;
    // Told on the reading thread; this window may be gone by the time the event loop hears it.
    Emus->Stats().SetOnRead([] {
        QMetaObject::invokeMethod(
            qApp,
            [] {
                Guarded([] {
                    if (MainWnd && Emus) MainWnd->StatsRead();
                });
            },
            Qt::QueuedConnection);
    });
    Emus->StartOpeningStats(RomStatsFileName(), true);
    AfterFirstPaint({List->ReportView()->viewport(), List->IconView()->viewport()}, [] {
        if (Emus) Emus->Stats().Proceed();
    });
}

void TMainWnd::StatsRead() {
    Emus->FinishOpeningStats();
    List->RepaintRows();
}

// A missing list file starts its list empty, said in Lamer Mode (a data folder that could not be
// made holds no lists: its one box at start said so). One that is there but cannot be read is said
// in either mode, as the close then leaves it alone.
void TMainWnd::LoadListFile(void (EmuManager::*load)(const std::string&), const std::string& path,
                            const std::string& failure) {
    try {
        (Emus->*load)(path);
    } catch (const std::exception& e) {
        if (Emus->UnreadFile(path))
            ErrorBox(failure + "\n" + e.what() + "\n" + LeftAsItIs);
        else if (Settings.MessageMode && DataFolderWritable())
            ErrorBox(failure + " The file will be created from scratch.");
    }
}

void TMainWnd::FormShow() {
    if (SplashWnd) {
        delete SplashWnd;
        SplashWnd = nullptr;
    }
    FillRomList();
    if (!columnsToFit_.empty()) {  // the first showing, once the list has its width
        List->FitColumns(columnsToFit_);
        columnsToFit_.clear();
    }
}

void TMainWnd::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (!e->spontaneous()) Guarded([this] { FormShow(); });
}

void TMainWnd::closeEvent(QCloseEvent* e) {
    if (launching_) {  // the launch needs the engines and the catalogue until it has cleaned up
        SetStatus("A game is running: close it first");
        e->ignore();
        return;
    }
    if (WorkProgress->Busy()) {  // long work holds the catalogue: closing asks it to stop first
        WorkProgress->RequestStop();
        e->ignore();
        return;
    }
    Guarded([this] { FormClose(); });
    e->accept();
}

void TMainWnd::FormClose() {
    if (closed_) return;
    SaveAtClose();
    zipMan_->Unload_Unz_Dll();
    zipMan_->Unload_Zip_Dll();
    List->Model()->Clear();
    delete Emus;
}

// Where the settings give no bounds: a third of the screen's area (never less than the
// designed 628 x 450 where the screen has room), centred.
void TMainWnd::PlaceFirstTime() {
    resize(628, 450);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect room = screen->availableGeometry();
    const double side = std::sqrt(1.0 / 3.0);
    const QSize third(static_cast<int>(room.width() * side), static_cast<int>(room.height() * side));
    resize(third.expandedTo(size()).boundedTo(room.size()));
    move(room.center() - rect().center());
}

void TMainWnd::EndSession() {
    if (closed_) return;
    if (launching_ || TApplication::DispatchDepth() > 1) {
        SaveAtClose();
        ReleaseDataFolder();
        std::fflush(nullptr);
        _exit(0);
    }
    FormClose();
    close();
    QCoreApplication::quit();  // a window of its own (help) would keep the run going
}

void TMainWnd::SaveAtClose() {
    closed_ = true;
    SetStatus("Closing...");
    if (loaded_ && !DataFolderWritable())
        ErrorBox("Nothing of this session was saved: the data folder " + DataFolder() +
                 " could not be created.");
    else if (loaded_)
        SaveSession();
    SayWhatIsNotKept();
}

void TMainWnd::SaveSession() {
    if (!settingsUnread_) SaveSettings(TakeWindowSettings());
    SaveListFile(&EmuManager::SaveEmuList, EmuListFileName(), "Error writing Emulator List file.");
    SaveListFile(&EmuManager::SaveRomList, RomListFileName(), "Error writing Roms List file.");
}

// A list that cannot be written (a full disk) is offered again, so that the user can make room
// first; Cancel gives it up, and the old file stays whole.
void TMainWnd::SaveListFile(void (EmuManager::*save)(const std::string&) const, const std::string& path,
                            const std::string& failure) {
    for (;;) {
        try {
            (Emus->*save)(path);
            return;
        } catch (const std::exception& e) {
            const std::string text = failure + "\n" + e.what();  // which file, and why
            if (CurrentPrompter().MessageBox("Error", text, BoxIcon::Exclamation, BoxButtons::RetryCancel,
                                             BoxRetry) != BoxRetry)
                return;
        }
    }
}

// Changes made to a list that is not saved in this run are named, so that nothing is lost without
// a word: its file could not be read at start, or start-up stopped before the lists were read.
void TMainWnd::SayWhatIsNotKept() {
    std::string lost;
    const auto note = [&](const std::string& path, int32_t count, const char* what) {
        if (count > 0 && (!loaded_ || Emus->UnreadFile(path)))
            lost += "\n" + path + " (" + std::to_string(count) + " " + what + (count == 1 ? ")" : "s)");
    };
    note(EmuListFileName(), Emus->EmuCount(), "emulator");
    note(RomListFileName(), Emus->RomCount(), "ROM");
    if (!lost.empty())
        ErrorBox(
            "These lists could not be read at start and are left as they are: what they hold now is not "
            "kept." +
            lost);
}

void TMainWnd::ApplyWindowSettings(const WindowSettings& w) {
    if (!w.Read) {
        // The file could not be read: the window keeps its design, and the bar settings say so,
        // so the close does not write the bars away.
        Settings.ShowToolBar = true;
        Settings.ShowStatusBar = true;
        return;
    }
    if (w.HaveBounds) {
        move(w.X, w.Y);
        resize(w.Width, w.Height);
        if (w.WindowState == 1)
            setWindowState(Qt::WindowMinimized);
        else if (w.WindowState == 2)
            setWindowState(Qt::WindowMaximized);
    }
    EnableToolTips->setChecked(w.EnableToolTips);
    SetViewStyle(w.ViewStyle);
    ShowProgressBars->setChecked(w.ShowProgressBars);
    SetListFontChoice(w.Font);
    // Columns the file holds no width for (all of them at a first start) fit what they show.
    columnsToFit_.assign(ColumnCount, false);
    if (Settings.SaveColumnsWidth)
        for (int c = 0; c < ColumnCount; ++c) {
            if (w.ColumnSaved[c])
                List->SetColumnWidth(c, w.ColumnWidths[c]);
            else
                columnsToFit_[c] = true;
        }
    List->ShowSortMethod(Settings.SortMethod);
    ApplyHotTrack(Settings.HotTrack);
    ShowToolBar1->setChecked(Settings.ShowToolBar);
    ToolBar1->setVisible(Settings.ShowToolBar);
    ShowStatusBar->setChecked(Settings.ShowStatusBar);
    StatBar->setVisible(Settings.ShowStatusBar);
}

WindowSettings TMainWnd::TakeWindowSettings() const {
    WindowSettings w;
    w.WindowState = isMinimized() ? 1 : isMaximized() ? 2 : 0;
    w.X = pos().x();
    w.Y = pos().y();
    w.Width = width();
    w.Height = height();
    w.EnableToolTips = EnableToolTips->isChecked();
    w.ViewStyle = List->ViewStyle();
    w.ShowProgressBars = ShowProgressBars->isChecked();
    w.Font = ListFontChoice();
    for (int c = 0; c < ColumnCount; ++c) w.ColumnWidths[c] = List->ColumnWidth(c);
    return w;
}

// ---- The list --------------------------------------------------------------------------------

void TMainWnd::FillRomList() {
    List->setUpdatesEnabled(false);
    SetStatus("Updating list...");
    List->Model()->Fill();
    RefreshEmuFilter();
    ShowCount();
    SetStatus("Ready");
    List->setUpdatesEnabled(true);
}

void TMainWnd::SetStatus(const std::string& text) {
    StatBar->SetPanel(2, QString::fromStdString(text));
}

std::string TMainWnd::StatusText() const {
    return StatBar->Panel(2).toStdString();
}

int TMainWnd::SelectedRom() const {
    return List->Model()->RomPosition(List->SelectedRow());
}

void TMainWnd::ListColumnClick(int column) {
    if (column >= 0 && column < SortColumnCount) SelectSortColumn(*Emus, column);
    Settings.SortMethod = Emus->SortState();
    SetStatus("Sorting...");
    Emus->SortRoms();
    FillRomList();
    List->ShowSortMethod(Settings.SortMethod);
}

void TMainWnd::ListEdited(int row, QString& text) {
    RomRecord* rom = Emus->GetRom(List->Model()->RomPosition(row));
    if (!rom) return;
    const QString shown = QString::fromStdString(DisplayText(FieldView(rom->Name)));
    // The shown text of a Windows-1252 name is not its bytes: confirmed unchanged, the name stays.
    if (!text.isEmpty() && text != shown)
        SetFieldText(rom->Name, text.toStdString());  // cut to 39 bytes whole
    text = QString::fromStdString(DisplayText(FieldView(rom->Name)));
}

void TMainWnd::ListDblClick() {
    RunExecute();
}

void TMainWnd::ListMouseUp(Qt::MouseButton button) {
    if (List->HotTrack() && button == Qt::LeftButton) RunExecute();
}

void TMainWnd::ROMsMenuPopup() {
    const int position = SelectedRom();
    const RomRecord* rom = position >= 0 && Emus ? Emus->GetRom(position) : nullptr;
    for (QAction* item : {Run1, Favourite1, Remove1, EraseROM1, Properties1, ExploreDirectory1})
        item->setEnabled(rom != nullptr);
    Favourite1->setChecked(rom && Emus->Facts(*rom).Favourite);
    if (rom && DriveTypeOf(FieldView(rom->FilePath)) == DriveCdRom) EraseROM1->setEnabled(false);
}

void TMainWnd::SetViewStyle(int style) {
    List->SetViewStyle(style);
    QAction* pressed[] = {BigIcons, SmallIcns, ListIcons, Report};
    for (int i = 0; i < 4; ++i) pressed[i]->setChecked(i == style);
}

void TMainWnd::BigIconsExecute() {
    SetViewStyle(0);
}
void TMainWnd::SmallIcnsExecute() {
    SetViewStyle(1);
}
void TMainWnd::ListIconsExecute() {
    SetViewStyle(2);
}
void TMainWnd::ReportExecute() {
    SetViewStyle(3);
}

void TMainWnd::ShowToolBar1Click() {
    ShowToolBar1->setChecked(!ShowToolBar1->isChecked());
    ToolBar1->setVisible(ShowToolBar1->isChecked());
    Settings.ShowToolBar = ShowToolBar1->isChecked();
}

void TMainWnd::ShowStatusBarClick() {
    ShowStatusBar->setChecked(!ShowStatusBar->isChecked());
    StatBar->setVisible(ShowStatusBar->isChecked());
    Settings.ShowStatusBar = ShowStatusBar->isChecked();
}

void TMainWnd::EnableToolTipsClick() {
    EnableToolTips->setChecked(!EnableToolTips->isChecked());
}

void TMainWnd::ShowProgressBarsClick() {
    ShowProgressBars->setChecked(!ShowProgressBars->isChecked());
    ShowProgressStrip(progressShown_);
}

void TMainWnd::ShowProgressStrip(bool working) {
    // Idle, the empty strip would look like a text field: it shows only while work reports progress.
    progressShown_ = working;
    PPanel->setVisible(working && ShowProgressBars->isChecked());
}

void TMainWnd::ApplyHotTrack(bool on) {
    List->SetHotTrack(on);
}

bool TMainWnd::eventFilter(QObject* watched, QEvent* e) {
    if (watched == SearchBox && e->type() == QEvent::KeyPress && SearchBoxKey(static_cast<QKeyEvent*>(e)))
        return true;
    // Tool tips of the tool bar area follow the "Enable ToolTips" check mark.
    if (e->type() == QEvent::ToolTip && !EnableToolTips->isChecked()) return true;
    return QMainWindow::eventFilter(watched, e);
}

// ---- Emulator commands -------------------------------------------------------------------------

void TMainWnd::AddExecute() {
    AddDlg->PrepareNew();
    if (AddDlg->exec() == QDialog::Accepted && AddDlg->NewEmu) {
        Emus->AddEmu(std::move(AddDlg->NewEmu));
        Emus->SortEmus();
    }
}

void TMainWnd::ListEmuExecute() {
    EmuListDlg->exec();
}

void TMainWnd::ClearEmuListExecute() {
    if (Settings.MessageMode && !QuestionBox("Do you really want clear the EMUs list?")) return;
    Emus->ClearEmus();
}

// ---- ROM commands ------------------------------------------------------------------------------

void TMainWnd::RunExecute() {
    const int position = SelectedRom();
    if (position < 0) return;
    List->CancelPendingRename();  // a click on the row just before must not rename it meanwhile
    SetStatus("Running Emulator...");
    struct StripHidden {  // also when the launch ends early with a box
        TMainWnd& w;
        ~StripHidden() { w.ShowProgressStrip(false); }
    } strip{*this};
    LaunchRom(*this, position);
    List->Model()->RomChanged(List->Model()->RowOf(position));  // the new play count and time at once
    SetStatus("Ready");
}

void TMainWnd::RemoveExecute() {
    const int row = List->SelectedRow();
    if (row < 0) return;
    if (Settings.MessageMode && !QuestionBox("Do you really want to unlink this ROM?")) return;
    Emus->DeleteRom(List->Model()->RomPosition(row));
    List->Model()->RemoveRow(row);
    ShowCount();
    SetStatus("Ready");
}

void TMainWnd::EraseExecute() {
    const int row = List->SelectedRow();
    if (row < 0) return;
    const RomRecord* selected = Emus->GetRom(List->Model()->RomPosition(row));
    if (!selected) return;
    // The file goes to the desktop's trash, so an erase can be undone there; only where no trash
    // can take it is it deleted for good, and the question says so.
    const std::string path = FieldText(selected->FilePath);
    const bool toTrash = CanMoveToTrash(path);
    if (Settings.MessageMode &&
        !QuestionBox("Do you really want to phisically remove this ROM?\n" + DisplayText(path) + "\n" +
                         (toTrash ? "(The file will be moved to the trash)"
                                  : "(No trash can take this file: it will be deleted for good)"),
                     BoxNo))
        return;
    Emus->DeleteRom(List->Model()->RomPosition(row));
    List->Model()->RemoveRow(row);
    if (!(toTrash ? MoveToTrash(path) == 0 : DeleteFile(path)))
        ErrorBox("Cannot phisically delete this ROM...");
    ShowCount();
    SetStatus("Ready");
}

void TMainWnd::AddRomExecute() {
    if (RomAddDlg->exec() == QDialog::Accepted) FillRomList();
}

void TMainWnd::ScanExecute() {
    if (ScanDlg->exec() != QDialog::Accepted) return;
    SetStatus("Scanning for new ROMs...");
    const std::string folder = ScanDlg->Dir->text().toStdString();
    if (!folder.empty() && !FolderExists(folder)) {
        ErrorBox("The folder to scan does not exist:\n" + folder);
        SetStatus("Ready");
        return;
    }
    const std::optional<ScanResult> result = ScanDlg->ScanSelected(*WorkProgress);
    if (!result) return;
    SetStatus("Sorting...");
    Emus->SortRoms();
    FillRomList();
    if (result->stopped)
        SetStatus("Scan stopped: " + std::to_string(result->added) + " ROMs added");
    else if (result->added == 0)
        SetStatus("No new ROMs found");
}

void TMainWnd::ClearRomListExecute() {
    if (Settings.MessageMode && !QuestionBox("Do you really want clear the ROMs list?")) return;
    Emus->ClearRoms();
    FillRomList();
}

void TMainWnd::RemoveMissingExecute() {
    SetStatus("Looking for missing ROMs...");
    const std::optional<std::vector<int32_t>> missing = MissingRoms(*Emus, *WorkProgress);
    if (!missing) {
        SetStatus("Ready");
        return;
    }
    if (missing->empty()) {
        SetStatus("No missing ROMs found");
        return;
    }
    // Asked in every mode: one answer can take thousands of ROMs out of the list.
    const std::string count = std::to_string(missing->size());
    if (!QuestionBox("Do you really want to remove the " + count +
                     " ROMs whose files are missing?\n(No file is deleted: only the list changes.)")) {
        SetStatus("Ready");
        return;
    }
    RemoveRoms(*Emus, *missing);
    FillRomList();
    SetStatus(count + " missing ROMs removed");
}

void TMainWnd::ExportListExecute() {
    const std::string initial =
        lastExport_.empty() ? WithTrailingSlash(QDir::homePath().toStdString()) + "ROMs.csv" : lastExport_;
    const std::optional<std::string> file = CurrentPrompter().SaveFileName(
        "Export List", "CSV files (*.csv)|*.csv|All files (*.*)|*.*", initial, "csv");
    if (!file) return;
    SetStatus("Exporting...");
    const int rows = List->Model()->rowCount();
    if (!WriteFileAtomic(*file, ListAsCsv(*List->Model()))) {
        ErrorBox("Cannot write the file " + *file);
        SetStatus("Ready");
        return;
    }
    lastExport_ = *file;
    SetStatus(std::to_string(rows) + " ROMs exported");
}

void TMainWnd::ExploreExecute() {
    const RomRecord* rom = Emus->GetRom(SelectedRom());
    if (!rom) return;
    SetStatus("Running Explorer...");
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(QString::fromStdString(FolderPart(FieldView(rom->FilePath)))));
    SetStatus("Ready");
}

void TMainWnd::PropertiesExecute() {
    if (SelectedRom() < 0) return;
    RomPropDlg->exec();
    if (RomPropDlg->Changed) {
        // The ROM shown last stays selected and in sight wherever the sort puts it.
        const RomRecord* edited = Emus->GetRom(RomPropDlg->RomIndex);
        Emus->SortRoms();
        FillRomList();
        SelectRom(edited);
    }
}

void TMainWnd::RefreshExecute() {
    FillRomList();
}

// ---- Tool commands -----------------------------------------------------------------------------

void TMainWnd::OptionsExecute() {
    if (OptionsDlg->exec() != QDialog::Accepted || !OptionsDlg->TakeBack()) return;
    ApplyHotTrack(Settings.HotTrack);
    if (OptionsDlg->ListsChanged) {
        ReloadLookupLists();
        FillRomList();
    }
}

// The lists edited in the options dialog name the list's systems, languages and types at once.
// A list that cannot be read now keeps the names loaded before.
void TMainWnd::ReloadLookupLists() {
    const std::pair<void (EmuManager::*)(const std::string&), const char*> lists[] = {
        {&EmuManager::LoadLanguages, "Lists\\Languages.lst"},
        {&EmuManager::LoadSystems, "Lists\\Systems.lst"},
        {&EmuManager::LoadTypes, "Lists\\Types.lst"}};
    for (const auto& [load, name] : lists) {
        try {
            (Emus->*load)(LookupFile(name));
        } catch (const std::exception&) {
        }
    }
}

void TMainWnd::ViewLogExecute() {
    EditWnd->setWindowTitle("Viewing Log file");
    EditWnd->FileName = DataFile("Tarnwick.log");
    EditWnd->Edit->setReadOnly(true);
    EditWnd->ShowModal();
    EditWnd->Edit->setReadOnly(false);
}

void TMainWnd::ClearLogExecute() {
    Emus->ClearLog();
}

void TMainWnd::StalkerExecute() {
    StalkDlg->ShowModal();
}

// ---- Help commands -----------------------------------------------------------------------------

void TMainWnd::ContentsExecute() {
    ShowHelpContents();
}

void TMainWnd::AboutExecute() {
    AboutDlg->exec();
}
