// Start-up (the splash and the windows made once each), the error display and the Qt prompter.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileSystemModel>
#include <QTimer>
#include <sys/stat.h>
#include <QPointer>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <gtest/gtest.h>
#include <stdexcept>

#include "WindowTestKit.h"
#include "catalogue/Splash.h"
#include "dialogs/Edit.h"
#include "dialogs/Options.h"
#include "mainwindow/ErrorDisplay.h"
#include "mainwindow/Icons.h"
#include "mainwindow/Main.h"
#include "mainwindow/QtPrompter.h"
#include "mainwindow/Windows.h"
#include "stalker/Stalkmain.h"
#include "platform/Paths.h"
#include "support/ScriptedPrompter.h"

#include <filesystem>

TEST(StartUp, TheSplashFillsWhileTheWindowsAreMadeAndGoesWhenTheMainWindowShows) {
    TestProgram program;
    program.WriteEmptyCatalogue();
    SplashWnd = new TSplashWnd;
    SplashWnd->show();
    EXPECT_EQ(SplashWnd->size(), QSize(315, 160));
    EXPECT_TRUE(SplashWnd->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(SplashWnd->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(SplashWnd->Label2->text(), "Tarnwick 2.0");
    EXPECT_EQ(SplashWnd->Label1->text(), "Tarnwick is Loading...");
    EXPECT_EQ(SplashWnd->Progress->value(), 0);
    TSplashWnd* splash = SplashWnd;
    QPointer<QProgressBar> progress = splash->Progress;
    CreateWindows(splash);
    EXPECT_EQ(splash->Progress->value(), 100);
    EXPECT_EQ(splash->Msg->text(), "Initializing program...");
    ASSERT_NE(EditWnd, nullptr);
    ASSERT_NE(StalkDlg, nullptr);
    ASSERT_NE(OptionsDlg, nullptr);
    EXPECT_TRUE(OptionsDlg->GetListFont);  // the dialogs are bound to the main window
    MainWnd->show();
    EXPECT_EQ(SplashWnd, nullptr);
    EXPECT_TRUE(progress.isNull());  // destroyed, not only hidden
    MainWnd->hide();
    MainWnd->show();  // a later showing only refills
    EXPECT_EQ(MainWnd->StatusText(), "Ready");
    MainWnd->close();
    DestroyWindows();
    EXPECT_EQ(MainWnd, nullptr);
    EXPECT_EQ(EditWnd, nullptr);
}

// A program folder as installed and a user's data folder that does not exist yet.
struct FirstStart : ::testing::Test {
    TestProgram program;
    TempDir home;
    std::string data = home.file("share/tarnwick/");
    ScriptedPrompter prompts;  // a box nobody scripted fails the test
    void SetUp() override { SetFolders(program.dir.path(), data); }
};

TEST_F(FirstStart, AFreshDataFolderGivesAnEmptyWindowWithoutABoxAndKeepsTheCatalogueThere) {
    PrepareDataFolder();
    {
        RunWindows windows;
        MainWnd->show();
        EXPECT_EQ(Emus->RomCount(), 0);
        EXPECT_EQ(Emus->EmuCount(), 0);
        EXPECT_EQ(MainWnd->StatusText(), "Ready");
        Emus->AddEmu(std::make_unique<EmulatorRecord>(MakeEmu("Nestopia", "/usr/games/nestopia")));
        MainWnd->close();
    }
    EXPECT_TRUE(prompts.Shown().empty());
    EXPECT_EQ(TempDir::read(data + "LISTS/EMUS.LST").size(), sizeof(EmulatorRecord));
    EXPECT_EQ(TempDir::read(data + "LISTS/ROMS.LST"), "");
    EXPECT_TRUE(std::filesystem::exists(data + "Tarnwick.ini"));
    for (const char* written : {"LISTS/EMUS.LST", "LISTS/ROMS.LST", "Tarnwick.ini"})
        EXPECT_FALSE(std::filesystem::exists(program.path(written))) << written;
}

TEST_F(FirstStart, ADataFolderThatCannotBeMadeIsNamedOnceAndNothingIsSaved) {
    home.write("share", "a file where the folder should be");
    prompts.Box(BoxOk);
    PrepareDataFolder();
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_NE(prompts.Shown()[0].text.find(data), std::string::npos);
    EXPECT_NE(prompts.Shown()[0].text.find("nothing of this session will be saved"), std::string::npos);
    {
        RunWindows windows;
        MainWnd->show();
        EXPECT_EQ(prompts.Shown().size(), 1u);  // the missing list files say nothing more
        Emus->AddEmu(std::make_unique<EmulatorRecord>(MakeEmu("Nestopia", "/usr/games/nestopia")));
        prompts.Box(BoxOk);
        MainWnd->close();
    }
    ASSERT_EQ(prompts.Shown().size(), 2u);
    EXPECT_NE(prompts.Shown()[1].text.find("Nothing of this session was saved"), std::string::npos);
    EXPECT_EQ(TempDir::read(home.file("share")), "a file where the folder should be");
    for (const char* written : {"LISTS/EMUS.LST", "LISTS/ROMS.LST", "Tarnwick.ini"})
        EXPECT_FALSE(std::filesystem::exists(program.path(written))) << written;
}

TEST(StartUp, EveryWindowCarriesTheProgramsIcon) {
    TestProgram program;
    program.WriteEmptyCatalogue();
    UseProgramIcon();
    const QImage drawn = ProgramIcon().pixmap(48, 48).toImage();
    ASSERT_FALSE(drawn.isNull());
    EXPECT_GT(drawn.pixelColor(24, 24).alpha(), 200);  // a drawing, not an empty square
    RunWindows windows;
    int windowsSeen = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isWindow() || w->objectName().isEmpty()) continue;
        ++windowsSeen;
        EXPECT_TRUE(w->windowIcon().availableSizes().contains(QSize(256, 256)))
            << w->objectName().toStdString();
        EXPECT_EQ(w->windowIcon().pixmap(48, 48).toImage(), drawn) << w->objectName().toStdString();
    }
    EXPECT_GE(windowsSeen, 10);
    MainWnd->close();
}

TEST(ErrorDisplay, AnEscapedFailureIsShownWithItsOwnText) {
    ScriptedPrompter prompts;
    prompts.Box(BoxOk).Box(BoxOk);
    Guarded([] { throw std::runtime_error("Cannot write Tarnwick.log"); });
    Guarded([] { throw 42; });  // not even an exception object: still shown, and the run goes on
    ASSERT_EQ(prompts.Shown().size(), 2u);
    EXPECT_EQ(prompts.Shown()[0].caption, "Tarnwick");
    EXPECT_EQ(prompts.Shown()[0].text, "Cannot write Tarnwick.log");
    EXPECT_EQ(prompts.Shown()[0].icon, BoxIcon::Stop);
    EXPECT_EQ(prompts.Shown()[1].text, "Unknown error");
}

TEST(QtPrompter, BoxesAnswerWithTheButtonPressed) {
    QtPrompter prompter;
    OnNextModal([](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "Question");
        EXPECT_EQ(box->text(), "Do you really want clear the ROMs list?");
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(prompter.MessageBox("Question", "Do you really want clear the ROMs list?", BoxIcon::Question,
                                  BoxButtons::YesNo),
              BoxNo);
    OnNextModal([](QWidget* w) { w->close(); });  // closed without a button
    EXPECT_EQ(prompter.MessageBox("Question", "?", BoxIcon::Question, BoxButtons::YesNo), BoxNo);
    OnNextModal([](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Retry));
        box->button(QMessageBox::Retry)->click();
    });
    EXPECT_EQ(
        prompter.MessageBox("Error", "Disk full", BoxIcon::Exclamation, BoxButtons::RetryCancel, BoxRetry),
        BoxRetry);
}

TEST(QtPrompter, FileFiltersIgnoreLetterCase) {
    EXPECT_EQ(QtNameFilters("Programs (*.exe)|*.exe|All Files (*.*)|*.*"),
              "Programs (*.exe) (*.[eE][xX][eE]);;All Files (*.*) (*)");
    EXPECT_EQ(QtNameFilters("ROMs|*.zip;*.nes"), "ROMs (*.[zZ][iI][pP] *.[nN][eE][sS])");
    EXPECT_EQ(QtNameFilters(""), "");
    EXPECT_EQ(QtNameFilters(std::string("All Files|*|Executables|") + ExecutablePattern),
              "All Files (*);;Executables (*)");
}

TEST(QtPrompter, DialogsStartAtTheCurrentValueElseAtHome) {
    TempDir dir;
    const std::string emu = dir.write("emus/nestopia", "x");
    EXPECT_EQ(DialogStart(emu).toStdString(), emu);
    EXPECT_EQ(DialogStart(dir.file("emus")).toStdString(), dir.file("emus"));
    EXPECT_EQ(DialogStart(dir.file("emus/gone")).toStdString(), dir.file("emus/"));  // its folder
    EXPECT_EQ(DialogStart(dir.file("gone/nestopia")), QDir::homePath());
    EXPECT_EQ(DialogStart(""), QDir::homePath());
}

TEST(QtPrompter, TheExecutablesChoiceShowsFoldersAndFilesWithTheExecuteBit) {
    TempDir dir;
    const std::string program = dir.write("emu", "#!/bin/sh\n");
    chmod(program.c_str(), 0755);
    dir.write("emu.cfg", "video=on\n");
    dir.write("roms/a.nes", "a");
    QFileSystemModel files;
    QEventLoop loaded;
    QObject::connect(&files, &QFileSystemModel::directoryLoaded, &loaded, &QEventLoop::quit);
    const QModelIndex folder = files.index(QString::fromStdString(dir.path()));
    files.setRootPath(QString::fromStdString(dir.path()));
    QTimer::singleShot(10000, &loaded, &QEventLoop::quit);
    loaded.exec();
    ASSERT_EQ(files.rowCount(folder), 3);
    bool executablesChosen = true;
    ExecutableFilesOnly proxy;
    proxy.active = [&] { return executablesChosen; };
    proxy.setSourceModel(&files);
    auto names = [&] {
        QStringList shown;
        const QModelIndex f = proxy.mapFromSource(folder);
        for (int r = 0; r < proxy.rowCount(f); ++r) shown << proxy.index(r, 0, f).data().toString();
        shown.sort();
        return shown;
    };
    EXPECT_EQ(names(), (QStringList{"emu", "roms"}));
    executablesChosen = false;  // "All Files"
    proxy.invalidate();
    EXPECT_EQ(names(), (QStringList{"emu", "emu.cfg", "roms"}));
}

TEST(QtPrompter, NoBoxIsCoveredByTheSplash) {
    SplashWnd = new TSplashWnd;
    SplashWnd->show();
    QtPrompter prompter;
    bool splashShown = true;
    OnNextModal([&](QWidget* w) {
        splashShown = SplashWnd->isVisible();
        w->close();
    });
    prompter.MessageBox("Error", "Error Loading Roms List. The file will be created from scratch.",
                        BoxIcon::Exclamation, BoxButtons::Ok);
    EXPECT_FALSE(splashShown);
    delete SplashWnd;
    SplashWnd = nullptr;
}
