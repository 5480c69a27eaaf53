// The main window's start-up, settings, fill, sorting, rename, pop-up rules and close.
#include <QAction>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>
#include <gtest/gtest.h>

#include "support/ScriptedPrompter.h"
#include "WindowTestKit.h"
#include "mainwindow/Icons.h"
#include "mainwindow/Main.h"
#include "mainwindow/Settings.h"
#include "mainwindow/ReportView.h"
#include "platform/Drives.h"
#include "toolkit/StatusPanels.h"

namespace fs = std::filesystem;

namespace {

const char* const LoadRomsError = "Error Loading Roms List. The file will be created from scratch.";
const char* const LoadEmusError = "Error Loading Emu List. The file will be created from scratch.";

QString Cell(int row, int column) {
    return MainWnd->List->Model()
        ->data(MainWnd->List->Model()->index(row, column), Qt::DisplayRole)
        .toString();
}

// The picture a row shows in the Name column, as pixels, and the one an icon draws.
QImage Picture(const QIcon& icon) {
    return icon.pixmap(16, 16).toImage();
}
QImage RowPicture(int row) {
    return Picture(MainWnd->List->Model()
                       ->data(MainWnd->List->Model()->index(row, 0), Qt::DecorationRole)
                       .value<QIcon>());
}

// Lets the window take in the presence answers until every file's is known.
void WaitForPresence() {
    while (!MainWnd->List->Model()->PresenceComplete())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
}

std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (int i = 0; i < Emus->RomCount(); ++i) names.push_back(FieldText(Emus->GetRom(i)->Name));
    return names;
}

}  // namespace

TEST(MainWindow, FirstRunShowsTheDesignAndWritesEveryKeyAtClose) {
    TestProgram program;
    ScriptedPrompter prompts;
    prompts.Box(BoxOk).Box(BoxOk);  // both list files are missing, Message Mode is on
    RunWindows windows;
    MainWnd->show();
    EXPECT_EQ(prompts.BoxTexts(), (std::vector<std::string>{LoadRomsError, LoadEmusError}));

    EXPECT_EQ(MainWnd->windowTitle(), "Tarnwick");
    // A third of the screen's area, never below the designed size.
    EXPECT_GE(MainWnd->width(), 628);
    EXPECT_GE(MainWnd->height(), 450);
    EXPECT_EQ(MainWnd->List->ViewStyle(), 3);
    EXPECT_TRUE(MainWnd->Rep->isChecked());
    EXPECT_FALSE(MainWnd->Icns->isChecked());
    EXPECT_TRUE(MainWnd->ToolBar1->isVisible());
    EXPECT_TRUE(MainWnd->ToolBar2->isVisible());
    EXPECT_TRUE(MainWnd->StatBar->isVisible());
    EXPECT_FALSE(MainWnd->PPanel->isVisible());  // no work runs: no empty strip
    for (QAction* item :
         {MainWnd->ShowStatusBar, MainWnd->ShowToolBar1, MainWnd->EnableToolTips, MainWnd->ShowProgressBars})
        EXPECT_TRUE(item->isChecked()) << item->objectName().toStdString();
    EXPECT_FALSE(MainWnd->List->HotTrack());
    EXPECT_TRUE(Settings.MessageMode);
    EXPECT_FALSE(Settings.LogEnabled);
    EXPECT_FALSE(Settings.Validate);
    // No saved widths: Name and File share what the other columns, fitted, leave (at least their
    // designed widths in a window this small).
    const int nameWidth = MainWnd->List->ColumnWidth(0);
    EXPECT_GE(nameWidth, 150);
    EXPECT_GE(MainWnd->List->ColumnWidth(1), 100);
    EXPECT_EQ(MainWnd->StatBar->Panel(0), "Games:");
    EXPECT_EQ(MainWnd->StatBar->Panel(1), "0");
    EXPECT_EQ(MainWnd->StatusText(), "Ready");

    MainWnd->close();
    EXPECT_TRUE(MainWnd->Closed());
    EXPECT_EQ(Emus, nullptr);
    EXPECT_TRUE(fs::exists(program.path("LISTS/ROMS.LST")));
    EXPECT_EQ(fs::file_size(program.path("LISTS/EMUS.LST")), 0u);
    const std::pair<const char*, std::vector<const char*>> keys[] = {
        {"General",
         {"Remember size and position", "Window State", "X", "Y", "Height", "Width", "Show ToolBar",
          "Show StatusBar", "Enable ToolTips", "View Style", "Show Progress Bars", "HotTrack"}},
        {"Font", {"Name", "Size", "Bold", "Italic", "Underline", "StrikeOut", "Color"}},
        {"Default", {"Rating", "Type", "Sort Method"}},
        {"Security", {"Log", "Validate", "Message Mode"}},
        {"Stalker Engine", {"Path"}},
        {"Columns",
         {"Save Columns Width", "Column0", "Column1", "Column2", "Column3", "Column4", "Column5", "Column6",
          "Column7", "Column8", "Column9", "Column10"}}};
    for (const auto& [section, names] : keys)
        for (const char* key : names)
            EXPECT_NE(program.IniValue(section, key), "<missing>") << section << " " << key;
    EXPECT_EQ(program.IniValue("General", "View Style"), "3");
    EXPECT_EQ(program.IniValue("Font", "Name"), "MS Sans Serif");
    EXPECT_EQ(program.IniValue("Font", "Color"), "0");
    EXPECT_EQ(program.IniValue("Columns", "Column0"), std::to_string(nameWidth));  // the fitted widths
}

TEST(MainWindow, SettingsComeBackAsTheyWereLeft) {
    TestProgram program;
    program.WriteEmptyCatalogue();
    program.WriteIni(
        "[General]\r\nRemember size and position=1\r\nX=40\r\nY=50\r\nHeight=300\r\nWidth=500\r\n"
        "View Style=1\r\nHotTrack=1\r\nShow ToolBar=0\r\nShow Progress Bars=0\r\nEnable ToolTips=0\r\n"
        "[Font]\r\nName=Courier New\r\nSize=12\r\nBold=1\r\nColor=$FF\r\n"
        "[Columns]\r\nColumn0=0x3C\r\nColumn1=abc\r\nColumn2=120\r\n");
    RunWindows windows;
    EXPECT_EQ(MainWnd->pos(), QPoint(40, 50));
    EXPECT_EQ(MainWnd->size(), QSize(500, 300));
    EXPECT_EQ(MainWnd->List->ViewStyle(), 1);
    EXPECT_TRUE(MainWnd->SIcns->isChecked());
    EXPECT_TRUE(MainWnd->List->HotTrack());
    EXPECT_FALSE(MainWnd->ShowToolBar1->isChecked());
    EXPECT_FALSE(MainWnd->EnableToolTips->isChecked());
    EXPECT_FALSE(MainWnd->ShowProgressBars->isChecked());
    EXPECT_EQ(MainWnd->List->ColumnWidth(0), 60);
    EXPECT_EQ(MainWnd->List->ColumnWidth(1), 75);
    EXPECT_EQ(MainWnd->List->ColumnWidth(2), 120);
    const FontChoice font = MainWnd->ListFontChoice();
    EXPECT_EQ(font.Name, "Courier New");
    EXPECT_EQ(font.Size, 12);
    EXPECT_TRUE(font.Bold);
    EXPECT_EQ(font.Color, 255);
    MainWnd->show();
    EXPECT_FALSE(MainWnd->ToolBar1->isVisible());
    EXPECT_TRUE(MainWnd->ToolBar2->isVisible());  // the menu buttons always stay
    EXPECT_FALSE(MainWnd->PPanel->isVisible());

    // Closing maximised keeps the last normal bounds in the file.
    MainWnd->setWindowState(Qt::WindowMaximized);
    MainWnd->close();
    EXPECT_EQ(program.IniValue("General", "Window State"), "2");
    EXPECT_EQ(program.IniValue("General", "X"), "40");
    EXPECT_EQ(program.IniValue("General", "Width"), "500");
    EXPECT_EQ(program.IniValue("Columns", "Column0"), "60");
    EXPECT_EQ(program.IniValue("Font", "Size"), "12");
    EXPECT_EQ(program.IniValue("Font", "Color"), "255");
}

TEST(MainWindow, ColumnWidthsStayDesignedWhenNotRemembered) {
    TestProgram program;
    program.WriteEmptyCatalogue();
    program.WriteIni(
        "[Columns]\r\nSave Columns Width=0\r\nColumn0=200\r\n[General]\r\nRemember size and "
        "position=0\r\nX=400\r\n");
    RunWindows windows;
    const int designed[] = {150, 100, 80, 80, 50, 60, 50, 60, 110, 70, 80};
    for (int c = 0; c < 11; ++c) EXPECT_EQ(MainWnd->List->ColumnWidth(c), designed[c]);
    EXPECT_GE(MainWnd->width(), 628);
    EXPECT_NE(MainWnd->pos().x(), 400);
    MainWnd->close();
    EXPECT_EQ(program.IniValue("Columns", "Column0"), "150");  // the widths are written anyway
}

TEST(MainWindow, FillShowsEveryColumnTheIconAndTheCount) {
    TestProgram program;
    const std::string present = program.dir.write("roms/present.nes", "x");
    EmulatorRecord emu = MakeEmu("Nestopia", "/usr/bin/true", "", true, false, 1);
    RomRecord a = MakeRom(emu, "Present", present);
    a.Rating = 7;
    a.TimesPlayed = 3;
    a.LanguageIndex = 0;
    a.TypeIndex = 1;
    RomRecord b = MakeRom(emu, "Missing", program.path("roms/missing.nes"));
    b.Emulator.SystemIndex = -1;
    b.TypeIndex = 99;
    b.LanguageIndex = 99;
    program.WriteRoms({a, b});
    program.WriteEmus({emu});
    RunWindows windows;
    MainWnd->show();
    ASSERT_EQ(MainWnd->List->Model()->rowCount(), 2);
    EXPECT_EQ(MainWnd->StatBar->Panel(1), "2");
    EXPECT_EQ(Cell(0, 0), "Present");
    EXPECT_EQ(Cell(0, 1).toStdString(), present);
    EXPECT_EQ(Cell(0, 2), "Nestopia");
    EXPECT_EQ(Cell(0, 3).toStdString(), Emus->SystemName(1));
    EXPECT_EQ(Cell(0, 4), "7");
    EXPECT_EQ(Cell(0, 5).toStdString(), Emus->LanguageName(0));
    EXPECT_EQ(Cell(0, 6).toStdString(), Emus->TypeName(1));
    EXPECT_EQ(Cell(0, 7), "3");
    for (int c : {3, 5, 6}) EXPECT_EQ(Cell(1, c), "Invalid");
    // Asked before the walk has answered, a row's presence is tested on the spot.
    EXPECT_TRUE(MainWnd->List->Model()->FilePresent(0));
    EXPECT_FALSE(MainWnd->List->Model()->FilePresent(1));

    // The icons follow as the answers come in, and the list is told so it repaints them.
    int told = 0;
    QObject::connect(MainWnd->List->Model(), &RomListModel::IconsChanged, [&] { ++told; });
    WaitForPresence();
    EXPECT_EQ(RowPicture(0), Picture(RomPresentIcon()));
    EXPECT_EQ(RowPicture(1), Picture(RomMissingIcon()));
    EXPECT_NE(Picture(RomUncheckedIcon()), Picture(RomPresentIcon()));

    // A file deleted outside the program shows as missing after the next fill.
    fs::remove(present);
    Trigger("RefreshList1");
    EXPECT_FALSE(MainWnd->List->Model()->FilePresent(0));
    WaitForPresence();
    EXPECT_EQ(RowPicture(0), Picture(RomMissingIcon()));
    EXPECT_GE(told, 1);
    MainWnd->close();
}

TEST(MainWindow, IconsStayWithTheirRomsThroughSortsFiltersAndRemovals) {
    TestProgram program;
    EmulatorRecord emu = MakeEmu("E", "/usr/bin/true");
    std::vector<RomRecord> roms;
    for (int i = 0; i < 40; ++i) {
        const std::string file = "roms/" + std::to_string(i) + ".nes";
        if (i % 3 == 0) program.dir.write(file, "x");
        roms.push_back(
            MakeRom(emu, (i % 3 == 0 ? "there " : "gone ") + std::to_string(100 - i), program.path(file)));
    }
    program.WriteRoms(roms);
    program.WriteEmus({emu});
    ScriptedPrompter prompts;
    prompts.Box(BoxYes);  // the removal's question
    RunWindows windows;
    MainWnd->show();
    RomListModel* model = MainWnd->List->Model();
    const auto iconsMatchNames = [&] {
        WaitForPresence();
        for (int row = 0; row < model->rowCount(); ++row) {
            const bool there = Cell(row, 0).startsWith("there");
            ASSERT_EQ(RowPicture(row), Picture(there ? RomPresentIcon() : RomMissingIcon())) << row;
            ASSERT_EQ(model->FilePresent(row), there) << row;
        }
    };
    iconsMatchNames();
    MainWnd->ListColumnClick(0);  // by name: the order changes, the answers are found anew
    iconsMatchNames();
    MainWnd->SearchBox->setText("gone");
    iconsMatchNames();
    MainWnd->SearchBox->clear();
    MainWnd->List->SelectRow(0);
    Trigger("Remove1");  // later rows move up; each keeps its own answer
    iconsMatchNames();
    MainWnd->close();
}

TEST(MainWindow, ColumnClicksToggleAsTheSortRuleSays) {
    TestProgram program;
    EmulatorRecord emu = MakeEmu("E", "/usr/bin/true");
    program.WriteRoms({MakeRom(emu, "b", "/r/2"), MakeRom(emu, "A", "/r/3"), MakeRom(emu, "c", "/r/1")});
    program.WriteEmus({emu});
    program.WriteIni("[Default]\r\nSort Method=5\r\n");
    RunWindows windows;
    MainWnd->show();
    EXPECT_EQ(Settings.SortMethod, 5);
    MainWnd->ListColumnClick(0);
    EXPECT_EQ(Settings.SortMethod, 1);
    EXPECT_EQ(Names(), (std::vector<std::string>{"c", "b", "A"}));
    MainWnd->ListColumnClick(0);
    EXPECT_EQ(Settings.SortMethod, 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "b", "c"}));
    EXPECT_EQ(Cell(0, 0), "A");
    // A header click reaches the same handler.
    emit MainWnd->List->ReportView()->horizontalHeader()->sectionClicked(1);
    EXPECT_EQ(Settings.SortMethod, 2);
    EXPECT_EQ(Names(), (std::vector<std::string>{"c", "b", "A"}));
    EXPECT_EQ(MainWnd->StatusText(), "Ready");
    MainWnd->close();
    EXPECT_EQ(program.IniValue("Default", "Sort Method"), "2");
}

TEST(MainWindow, RenameKeepsTheOldNameForEmptyTextAndCutsLongText) {
    TestProgram program;
    EmulatorRecord emu = MakeEmu("E", "/usr/bin/true");
    program.WriteRoms({MakeRom(emu, "Old", "/r/1")});
    program.WriteEmus({emu});
    RunWindows windows;
    MainWnd->show();
    RomListModel* model = MainWnd->List->Model();
    model->setData(model->index(0, 0), "", Qt::EditRole);
    EXPECT_EQ(FieldText(Emus->GetRom(0)->Name), "Old");
    EXPECT_EQ(Cell(0, 0), "Old");
    model->setData(model->index(0, 0), "New name", Qt::EditRole);
    EXPECT_EQ(FieldText(Emus->GetRom(0)->Name), "New name");
    // 25 two-byte letters do not fit 39 bytes: 19 whole letters stay.
    model->setData(model->index(0, 0), QString(25, QChar(0xE9)), Qt::EditRole);
    EXPECT_EQ(Cell(0, 0), QString(19, QChar(0xE9)));
    EXPECT_EQ(FieldText(Emus->GetRom(0)->Name).size(), 38u);
    MainWnd->close();
}

TEST(MainWindow, PopupOffersNoEraseOnACdRom) {
    TestProgram program;
    const std::string cd = program.path("cd"), share = program.path("share");
    fs::create_directories(cd);
    fs::create_directories(share);
    program.dir.write("mountinfo",
                      "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                      "40 22 11:0 / " +
                          cd +
                          " ro - iso9660 /dev/sr0 ro\n"
                          "41 22 0:50 / " +
                          share + " rw - nfs4 server:/games rw\n");
    SystemDriveProvider drives(program.path("mountinfo"), program.path("nosys"));
    SetDriveProvider(&drives);
    EmulatorRecord emu = MakeEmu("E", "/usr/bin/true");
    program.WriteRoms({MakeRom(emu, "On CD", cd + "/a.iso"), MakeRom(emu, "On share", share + "/b.zip")});
    program.WriteEmus({emu});
    RunWindows windows;
    MainWnd->show();

    MainWnd->List->SelectRow(-1);
    MainWnd->ROMsMenuPopup();
    for (QAction* item : {MainWnd->Run1, MainWnd->Remove1, MainWnd->EraseROM1, MainWnd->Properties1,
                          MainWnd->ExploreDirectory1})
        EXPECT_FALSE(item->isEnabled()) << item->objectName().toStdString();
    for (QAction* item : {MainWnd->AddRom1, MainWnd->Scan1, MainWnd->ClearROMslist1})
        EXPECT_TRUE(item->isEnabled());

    MainWnd->List->SelectRow(0);
    MainWnd->ROMsMenuPopup();
    EXPECT_TRUE(MainWnd->Run1->isEnabled());
    EXPECT_TRUE(MainWnd->Remove1->isEnabled());
    EXPECT_FALSE(MainWnd->EraseROM1->isEnabled());

    MainWnd->List->SelectRow(1);
    emit MainWnd->ROMsMenu->aboutToShow();
    EXPECT_TRUE(MainWnd->EraseROM1->isEnabled());
    MainWnd->close();
    SetDriveProvider(nullptr);
}

TEST(MainWindow, BarSwitchesFlipTheirMarksAndSettings) {
    TestProgram program;
    program.WriteEmptyCatalogue();
    RunWindows windows;
    MainWnd->show();
    // The view buttons first: they sit on the tool bar that is hidden next.
    Trigger("Icns");
    EXPECT_EQ(MainWnd->List->ViewStyle(), 0);
    EXPECT_TRUE(MainWnd->Icns->isChecked());
    EXPECT_FALSE(MainWnd->Rep->isChecked());
    Trigger("Lst");
    EXPECT_TRUE(MainWnd->Lst->isChecked());
    Trigger("ShowToolBar1");
    EXPECT_FALSE(MainWnd->ShowToolBar1->isChecked());
    EXPECT_FALSE(MainWnd->ToolBar1->isVisible());
    EXPECT_FALSE(Settings.ShowToolBar);
    Trigger("ShowStatusBar");
    EXPECT_FALSE(MainWnd->StatBar->isVisible());
    EXPECT_FALSE(Settings.ShowStatusBar);
    Trigger("ShowProgressBars");
    EXPECT_FALSE(MainWnd->PPanel->isVisible());
    Trigger("EnableToolTips");
    EXPECT_FALSE(MainWnd->EnableToolTips->isChecked());
    MainWnd->close();
    EXPECT_EQ(program.IniValue("General", "Show ToolBar"), "0");
    EXPECT_EQ(program.IniValue("General", "Show StatusBar"), "0");
    EXPECT_EQ(program.IniValue("General", "Enable ToolTips"), "0");
    EXPECT_EQ(program.IniValue("General", "Show Progress Bars"), "0");
    EXPECT_EQ(program.IniValue("General", "View Style"), "2");
}

TEST(MainWindow, AFailedLookupListLeavesEveryStoredFileAlone) {
    TestProgram program(false);  // no lookup lists
    EmulatorRecord emu = MakeEmu("E", "/usr/bin/true");
    program.WriteRoms({MakeRom(emu, "Kept", "/r/1")});
    program.WriteEmus({emu});
    program.WriteIni("[General]\r\nView Style=0\r\n; a comment\r\n");
    const std::string roms = program.Read("LISTS/ROMS.LST"), emus = program.Read("LISTS/EMUS.LST"),
                      ini = program.Read("Tarnwick.ini");
    ScriptedPrompter prompts;
    prompts.Box(BoxOk).Box(BoxOk);  // the main window's report, then the emulator editor's own
    {
        RunWindows windows;
        EXPECT_FALSE(MainWnd->CatalogueLoaded());
        ASSERT_GE(prompts.Shown().size(), 1u);
        EXPECT_EQ(prompts.Shown()[0].caption, "Tarnwick");
        EXPECT_NE(prompts.Shown()[0].text.find("Languages.lst"), std::string::npos);
        EXPECT_EQ(Emus->RomCount(), 0);
        MainWnd->show();
        MainWnd->close();
    }
    EXPECT_EQ(program.Read("LISTS/ROMS.LST"), roms);
    EXPECT_EQ(program.Read("LISTS/EMUS.LST"), emus);
    EXPECT_EQ(program.Read("Tarnwick.ini"), ini);
}

TEST(MainWindow, CloseReportsEachListThatCannotBeWritten) {
    TestProgram program;
    program.WriteEmptyCatalogue();
    RunWindows windows;
    MainWnd->show();
    fs::remove_all(program.path("LISTS"));
    program.dir.write("LISTS", "not a folder");
    ScriptedPrompter prompts;
    prompts.Box(BoxCancel).Box(BoxCancel);
    MainWnd->close();
    // Each box names its file and the system's reason under the first line.
    EXPECT_EQ(prompts.BoxTexts(),
              (std::vector<std::string>{"Error writing Emulator List file.\nCannot create file \"" +
                                            program.path("LISTS/EMUS.LST") + "\". Not a directory",
                                        "Error writing Roms List file.\nCannot create file \"" +
                                            program.path("LISTS/ROMS.LST") + "\". Not a directory"}));
    EXPECT_NE(program.IniValue("General", "View Style"), "<missing>");  // the settings went first
}

TEST(MainWindow, LayoutCarriesTheGivenNamesAndHints) {
    TestProgram program;
    program.WriteEmptyCatalogue();
    RunWindows windows;
    const std::pair<const char*, const char*> hints[] = {
        {"ToolButton1", "Emus List"},     {"ToolButton3", "Run"},      {"ToolButton4", "Scan"},
        {"ToolButton16", "Refresh List"}, {"ToolButton17", "Options"}, {"Icns", "Big Icons View"},
        {"SIcns", "Small Icons View"},    {"Lst", "List View"},        {"Rep", "Report View"},
        {"ToolButton15", "Help Contents"}};
    for (const auto& [name, hint] : hints) {
        auto* b = MainWnd->ToolBar1->findChild<QToolButton*>(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->toolTip().toStdString(), hint);
        EXPECT_FALSE(b->icon().isNull()) << name;
    }
    EXPECT_EQ(MainWnd->ToolBar1->windowTitle(), "Main Controls");
    QStringList captions;
    for (QToolButton* b : MainWnd->ToolBar2->findChildren<QToolButton*>())
        if (b->menu() && !b->text().isEmpty()) captions << b->text();
    EXPECT_EQ(captions, (QStringList{"&Emulators", "&ROMs", "&Tools", "&Help"}));
    EXPECT_EQ(MainWnd->Remove1->shortcut(), QKeySequence(Qt::Key_Delete));
    EXPECT_EQ(MainWnd->EraseROM1->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    EXPECT_EQ(MainWnd->findChild<QAction*>("Stalker")->property("category").toString(), "Tools");
    EXPECT_EQ(MainWnd->findChild<QAction*>("Stalker1")->text(), "Import ROMs...");
    EXPECT_EQ(MainWnd->findChild<QAction*>("Prova1")->text(), "&Add");
    QStringList items;
    for (QAction* a : MainWnd->ROMsMenu->actions()) items << (a->isSeparator() ? "-" : a->objectName());
    EXPECT_EQ(items, (QStringList{"Run1", "Favourite1", "-", "Remove1", "EraseROM1", "-", "AddRom1", "Scan1",
                                  "-", "ClearROMslist1", "RemoveMissingROMs1", "ExportList1", "-",
                                  "ExploreDirectory1", "Properties1"}));
    MainWnd->close();
}

TEST(MainWindow, ToolIconsNeverLookDisabled) {
    // Every theme start-up may choose that is installed here, and the fallbacks with none.
    QStringList themes{"no-such-theme"};
    for (const char* theme : {"Adwaita", "gnome", "breeze"})
        if (fs::exists(std::string("/usr/share/icons/") + theme)) themes << theme;
    const QString before = QIcon::themeName();
    const QStringList paths = QIcon::themeSearchPaths();
    QIcon::setThemeSearchPaths(paths + QStringList{"/usr/share/icons"});  // as a desktop session has it
    for (const QString& theme : themes) {
        QIcon::setThemeName(theme);
        for (ToolPicture p : {ToolPicture::EmuList, ToolPicture::Run, ToolPicture::Scan, ToolPicture::Refresh,
                              ToolPicture::Options, ToolPicture::Help, ToolPicture::BigIcons,
                              ToolPicture::SmallIcons, ToolPicture::List, ToolPicture::Report})
            EXPECT_FALSE(LooksDisabled(ToolIcon(p))) << theme.toStdString() << " " << static_cast<int>(p);
    }
    QIcon::setThemeName(before);
    QIcon::setThemeSearchPaths(paths);
    QPixmap pale(16, 16);
    pale.fill(QColor(225, 225, 225));
    EXPECT_TRUE(LooksDisabled(QIcon(pale)));
}
