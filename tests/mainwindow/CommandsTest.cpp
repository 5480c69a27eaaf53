// The main window's commands: remove, erase, clear, explore, options, log, help, scan, properties.
#include <QAction>
#include <QCoreApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <filesystem>
#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>

#include "support/ScriptedPrompter.h"
#include "WindowTestKit.h"
#include "catalogue/Scan.h"
#include "dialogs/About.h"
#include "dialogs/Edit.h"
#include "dialogs/Emuadd.h"
#include "dialogs/Emulist.h"
#include "dialogs/Romadd.h"
#include "dialogs/Romprop.h"
#include "stalker/Stalkmain.h"
#include "dialogs/Help.h"
#include "dialogs/Options.h"
#include "mainwindow/ErrorDisplay.h"
#include "mainwindow/Main.h"
#include "mainwindow/Settings.h"
#include "toolkit/FileEdit.h"
#include "toolkit/StatusPanels.h"

namespace fs = std::filesystem;

namespace {

const char* const UnlinkQuestion = "Do you really want to unlink this ROM?";
const std::string EraseQuestion = "Do you really want to phisically remove this ROM?\n";

class Commands : public TwoRomRun {
protected:
    void SetUp() override {
        TwoRomRun::SetUp();
        MainWnd->show();
    }
    int Rows() const { return MainWnd->List->Model()->rowCount(); }
};

// Receives the folders the desktop is asked to show.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void Show(const QUrl& url) { urls << url; }
};

}  // namespace

TEST_F(Commands, RemoveAsksInMessageModeAndDeletesOnlyTheRow) {
    Settings.MessageMode = true;
    MainWnd->List->SelectRow(0);
    prompts_.Box(BoxNo);
    Trigger("Remove1");
    EXPECT_EQ(prompts_.BoxTexts(), (std::vector<std::string>{UnlinkQuestion}));
    EXPECT_EQ(Emus->RomCount(), 2);
    prompts_.Box(BoxYes);
    Trigger("Remove1");
    EXPECT_EQ(Emus->RomCount(), 1);
    ASSERT_EQ(Rows(), 1);
    EXPECT_EQ(MainWnd->List->Model()->data(MainWnd->List->Model()->index(0, 0), Qt::DisplayRole).toString(),
              "B");
    EXPECT_EQ(MainWnd->SelectedRom() < 1, true);
    EXPECT_TRUE(fs::exists(a_));  // unlinked, the file stays
    Settings.MessageMode = false;
    MainWnd->List->SelectRow(0);
    Trigger("Remove1");
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(MainWnd->StatBar->Panel(1), "0");
    EXPECT_EQ(MainWnd->StatusText(), "Ready");
    MainWnd->RemoveExecute();  // nothing selected: nothing happens
}

TEST_F(Commands, EraseMovesTheFileToTheTrashAfterAQuestionThatNamesItAndDefaultsToNo) {
    Settings.MessageMode = true;
    MainWnd->List->SelectRow(1);
    prompts_.Box(BoxNo);
    Trigger("EraseROM1");
    ASSERT_EQ(prompts_.Shown().size(), 1u);
    EXPECT_EQ(prompts_.Shown()[0].text, EraseQuestion + b_ + "\n(The file will be moved to the trash)");
    EXPECT_EQ(prompts_.Shown()[0].defaultButton, BoxNo);
    EXPECT_TRUE(fs::exists(b_));
    EXPECT_EQ(Emus->RomCount(), 2);

    const std::string content = TempDir::read(b_);
    prompts_.Box(BoxYes);
    Trigger("EraseROM1");
    EXPECT_FALSE(fs::exists(b_));
    EXPECT_EQ(Emus->RomCount(), 1);
    const std::string name = fs::path(b_).filename();
    EXPECT_EQ(TempDir::read(program_.Trash("files/" + name)), content);
    const std::string info = TempDir::read(program_.Trash("info/" + name + ".trashinfo"));
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + b_ + "\nDeletionDate=", 0), 0u) << info;
}

TEST_F(Commands, EraseWhereNoTrashCanBeUsedSaysTheFileGoesForGood) {
    program_.dir.write("xdg/Trash", "a file where the trash folder would be");
    Settings.MessageMode = true;
    MainWnd->List->SelectRow(0);
    prompts_.Box(BoxYes);
    Trigger("EraseROM1");
    EXPECT_EQ(prompts_.BoxTexts(),
              (std::vector<std::string>{EraseQuestion + a_ +
                                        "\n(No trash can take this file: it will be deleted for good)"}));
    EXPECT_FALSE(fs::exists(a_));
    EXPECT_EQ(TempDir::read(program_.path("xdg/Trash")), "a file where the trash folder would be");

    Settings.MessageMode = false;  // a file already gone: reported, the ROM leaves the catalogue
    fs::remove(b_);
    MainWnd->List->SelectRow(0);
    prompts_.Box(BoxOk);
    Trigger("EraseROM1");
    EXPECT_EQ(prompts_.BoxTexts().back(), "Cannot phisically delete this ROM...");
    EXPECT_EQ(Emus->RomCount(), 0);
    EXPECT_EQ(MainWnd->StatBar->Panel(1), "0");
}

TEST_F(Commands, ClearingAsksOnlyInMessageMode) {
    Settings.MessageMode = true;
    prompts_.Box(BoxNo).Box(BoxYes);
    Trigger("ClearROMslist1");
    EXPECT_EQ(Emus->RomCount(), 2);
    Trigger("ClearEmuslist1");
    EXPECT_EQ(prompts_.BoxTexts(), (std::vector<std::string>{"Do you really want clear the ROMs list?",
                                                             "Do you really want clear the EMUs list?"}));
    EXPECT_EQ(Emus->EmuCount(), 0);
    EXPECT_EQ(Emus->RomCount(), 2);  // the ROMs keep their own emulator copies
    Settings.MessageMode = false;
    Trigger("ClearROMslist1");
    EXPECT_EQ(Emus->RomCount(), 0);
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(MainWnd->StatBar->Panel(1), "0");
}

TEST_F(Commands, ExploreShowsTheRomsFolder) {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "Show");
    MainWnd->ExploreExecute();  // nothing selected
    EXPECT_TRUE(catcher.urls.isEmpty());
    MainWnd->List->SelectRow(0);
    Trigger("ExploreDirectory1");
    QDesktopServices::unsetUrlHandler("file");
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0].toLocalFile().toStdString(), program_.path("roms/"));
    EXPECT_EQ(MainWnd->StatusText(), "Ready");
}

TEST_F(Commands, OptionsTakeTheValuesBackOnOkOnly) {
    Settings.HotTrack = false;
    OnNextModal([](QWidget* d) {
        OptionsDlg->HotT->setChecked(true);
        OptionsDlg->Log->setChecked(true);
        d->close();  // as Cancel
    });
    Trigger("Options1");
    EXPECT_FALSE(Settings.HotTrack);
    OnNextModal([](QWidget*) {
        OptionsDlg->HotT->setChecked(true);
        OptionsDlg->Log->setChecked(true);
        Trigger("BitBtn1");
    });
    Trigger("ToolButton17");
    EXPECT_TRUE(Settings.HotTrack);
    EXPECT_TRUE(Settings.LogEnabled);
    EXPECT_TRUE(MainWnd->List->HotTrack());
}

TEST_F(Commands, TheLogIsViewedReadOnlyAndClearedAtOnce) {
    program_.dir.write("Tarnwick.log", "- Executing: x\r\n  Zip Supported\r\n");
    OnNextModal([](QWidget* d) {
        EXPECT_EQ(d, EditWnd);
        EXPECT_EQ(EditWnd->windowTitle(), "Viewing Log file");
        EXPECT_TRUE(EditWnd->Edit->isReadOnly());
        EXPECT_EQ(EditWnd->Edit->toPlainText(), "- Executing: x\n  Zip Supported");
        QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
        QCoreApplication::sendEvent(EditWnd->Edit, &key);
        d->close();  // no question although a key was typed
    });
    Trigger("ViewLogFile1");
    EXPECT_FALSE(EditWnd->Edit->isReadOnly());
    EXPECT_TRUE(prompts_.Shown().empty());
    Settings.MessageMode = true;
    Trigger("ClearLOGfile1");  // no question in any mode
    EXPECT_EQ(program_.Read("Tarnwick.log"), "");
    EXPECT_TRUE(fs::exists(program_.path("Tarnwick.log")));
}

TEST_F(Commands, ContentsOpenTheHelpPage) {
    program_.dir.write("HLP/Tarnwick.html",
                       "<html><body><h1>Contents</h1><a name=\"romprop\">ROM</a></body></html>");
    Trigger("Help1");
    THelpWnd* help = HelpWindow();
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->CurrentTopic(), "");
    EXPECT_TRUE(help->Browser->toPlainText().contains("Contents"));
    ShowHelpTopic("romprop");
    EXPECT_EQ(help->Browser->source().fragment(), "romprop");
    help->close();
}

TEST_F(Commands, ScanAddsTheFolderAndRefills) {
    program_.dir.write("scan/x.zip", "1");
    program_.dir.write("scan/y.ZIP", "2");
    program_.dir.write("scan/z.txt", "3");
    OnNextModal([this](QWidget*) {
        ScanDlg->Dir->setText(QString::fromStdString(program_.path("scan")));
        ScanDlg->Check->setChecked(false);
        Trigger("BitBtn2");
    });
    Trigger("ToolButton4");
    EXPECT_EQ(Emus->RomCount(), 4);
    EXPECT_EQ(Rows(), 4);
    EXPECT_EQ(MainWnd->StatBar->Panel(1), "4");
    EXPECT_EQ(MainWnd->StatusText(), "Ready");
}

TEST_F(Commands, PropertiesNeedASelectedRowAndResortAfterAChange) {
    MainWnd->List->SelectRow(-1);
    MainWnd->PropertiesExecute();  // no dialog: a modal window would block here
    EXPECT_TRUE(prompts_.Shown().empty());
    MainWnd->List->SelectRow(1);
    OnNextModal([](QWidget* d) {
        EXPECT_EQ(d, RomPropDlg);
        EXPECT_EQ(RomPropDlg->RomIndex, 1);  // the dialog finds the selected row itself
        RomPropDlg->RomDesc->setText("0 first now");
        Trigger("OkBtn");
    });
    Trigger("Properties1");
    EXPECT_EQ(FieldText(Emus->GetRom(0)->Name), "0 first now");  // sorted by name again
    EXPECT_EQ(MainWnd->List->Model()->data(MainWnd->List->Model()->index(0, 0), Qt::DisplayRole).toString(),
              "0 first now");
}

TEST_F(Commands, ClicksReachOnlyWhatAUserCouldClickThroughTheApplication) {
    MainWnd->List->SelectRow(-1);
    emit MainWnd->ROMsMenu->aboutToShow();  // the menu opened with nothing selected
    EXPECT_NONFATAL_FAILURE(Trigger("Remove1"), "is disabled");
    EXPECT_NONFATAL_FAILURE(Trigger("Remove"), "is in no menu, tool bar or window");
    EXPECT_NONFATAL_FAILURE(Trigger("NoSuchControl"), "no action or button of that name");
    Trigger("ShowToolBar1");
    EXPECT_NONFATAL_FAILURE(Trigger("ToolButton17"), "is hidden");
    EXPECT_EQ(Emus->RomCount(), 2);
    EXPECT_TRUE(prompts_.Shown().empty()) << "no refused click ran its handler";

    // A click is an event the application object dispatches, where its error display sits.
    QWidget window;
    auto* button = new QPushButton("Depth", &window);
    button->setObjectName("Depth");
    int depth = 0;
    QObject::connect(button, &QPushButton::clicked, [&depth] { depth = TApplication::DispatchDepth(); });
    EXPECT_TRUE(Trigger(window, "Depth"));
    EXPECT_EQ(depth, 1);
}

TEST_F(Commands, EachDialogOpensFromItsMenuItem) {
    const std::pair<const char*, QDialog**> commands[] = {
        {"Prova1", reinterpret_cast<QDialog**>(&AddDlg)},
        {"List1", reinterpret_cast<QDialog**>(&EmuListDlg)},
        {"AddRom1", reinterpret_cast<QDialog**>(&RomAddDlg)},
        {"About1", reinterpret_cast<QDialog**>(&AboutDlg)},
        {"Stalker1", reinterpret_cast<QDialog**>(&StalkDlg)}};
    for (const auto& [item, dialog] : commands) {
        QWidget* shown = nullptr;
        OnNextModal([&shown](QWidget* d) {
            shown = d;
            d->close();
        });
        Trigger(item);
        EXPECT_EQ(shown, *dialog) << item;
    }
    EXPECT_EQ(Emus->EmuCount(), 1);  // a cancelled emulator editor adds nothing
    EXPECT_EQ(Emus->RomCount(), 2);
}

#include "CommandsTest.moc"
