// Long work in the main window: the status bar's bar and Stop button, Esc, the input dropped
// meanwhile, the scan's ends (stopped, nothing new, a folder that is not there), and the upkeep
// commands (removing the ROMs whose files are gone, exporting the list).
#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "WindowTestKit.h"
#include "platform/Files.h"
#include "catalogue/Scan.h"
#include "mainwindow/Main.h"
#include "mainwindow/Settings.h"
#include "mainwindow/StatusProgress.h"
#include "toolkit/FileEdit.h"
#include "toolkit/StatusPanels.h"

namespace {

class LongWork : public TwoRomRun {
protected:
    void SetUp() override {
        TwoRomRun::SetUp();
        MainWnd->show();
    }
    StatusProgress& Work() { return *MainWnd->WorkProgress; }
    int Rows() const { return MainWnd->List->Model()->rowCount(); }

    // Runs the scan command over a folder of the program folder, ticking the choices given.
    void ScanFolder(const std::string& folder, bool subDirs = false) {
        OnNextModal([this, folder, subDirs](QWidget*) {
            ScanDlg->Dir->setText(QString::fromStdString(program_.path(folder)));
            ScanDlg->SubDirs->setChecked(subDirs);
            ScanDlg->BitBtn2->click();
        });
        MainWnd->Scan->trigger();
    }
};

// Acts once, the moment the progress display appears (that is, as the work begins).
class OnShow : public QObject {
public:
    OnShow(QWidget* watched, std::function<void()> act) : act(std::move(act)) {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Show && act) std::exchange(act, nullptr)();
        return false;
    }
    std::function<void()> act;
};

TEST_F(LongWork, BarAndStopShowOnlyWhileWorkRunsAndNestedPartsGiveBackTheWhole) {
    EXPECT_FALSE(Work().isVisible());
    Work().Begin("Packing", 4);
    EXPECT_TRUE(Work().isVisible());
    EXPECT_TRUE(Work().WorkStop->isVisible());
    Work().Advance(1, "");
    EXPECT_EQ(Work().WorkBar->value(), 25);
    EXPECT_EQ(Work().WorkText->text(), "Packing");
    Work().Begin("game.nes", 0);  // a part of it, its size unknown: a busy bar
    EXPECT_EQ(Work().WorkText->text(), "game.nes");
    EXPECT_EQ(Work().WorkBar->maximum(), 0);
    Work().End();
    EXPECT_EQ(Work().WorkText->text(), "Packing");
    EXPECT_EQ(Work().WorkBar->value(), 25);
    Work().Advance(3, "3 of 4");
    EXPECT_EQ(Work().WorkText->text(), "3 of 4");
    EXPECT_EQ(Work().WorkBar->value(), 75);
    Work().End();
    EXPECT_FALSE(Work().isVisible());
    EXPECT_FALSE(Work().Busy());
}

TEST_F(LongWork, EscAndStopAskToStopWhileOtherInputIsDropped) {
    QWidget* list = MainWnd->List->CurrentView();
    MainWnd->List->SelectRow(0);
    list->setFocus();
    MainWnd->SetStatus("Working");
    Work().Begin("Scanning", 0);
    QTest::keyClick(list, Qt::Key_Delete);  // would remove the selected ROM
    QTest::mouseClick(MainWnd->findChild<QWidget*>("ToolButton16"), Qt::LeftButton);  // would refill
    EXPECT_FALSE(Work().Cancelled());
    EXPECT_EQ(Emus->RomCount(), 2);
    EXPECT_EQ(MainWnd->StatusText(), "Working");
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_TRUE(Work().Cancelled());
    Work().End();

    Work().Begin("Scanning", 0);  // a new piece of work starts unstopped
    EXPECT_FALSE(Work().Cancelled());
    QTest::mouseClick(Work().WorkStop, Qt::LeftButton);
    EXPECT_TRUE(Work().Cancelled());
    // Closing the window while work runs stops the work and keeps the window.
    Work().End();
    Work().Begin("Scanning", 0);
    MainWnd->close();
    EXPECT_TRUE(Work().Cancelled());
    EXPECT_FALSE(MainWnd->Closed());
    Work().End();

    // Afterwards keys act again.
    Settings.MessageMode = false;
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(Emus->RomCount(), 1);
}

TEST_F(LongWork, EscDuringAScanKeepsWhatWasAddedAndSaysSo) {
    for (const char* name : {"scan/c.zip", "scan/d.zip", "scan/e.zip"}) program_.dir.write(name, "x");
    OnShow esc(&Work(), [] { QTest::keyClick(MainWnd->List->CurrentView(), Qt::Key_Escape); });
    ScanFolder("scan");
    EXPECT_EQ(Emus->RomCount(), 3);  // the first file was added before the stop was seen
    EXPECT_EQ(Rows(), 3);
    EXPECT_EQ(MainWnd->StatBar->Panel(1), "3");
    EXPECT_EQ(MainWnd->StatusText(), "Scan stopped: 1 ROMs added");
    EXPECT_FALSE(Work().isVisible());
}

TEST_F(LongWork, ScanEndsSayNothingNewAndNameAMissingFolder) {
    program_.dir.write("scan/sub/c.zip", "x");
    ScanFolder("scan");
    EXPECT_EQ(Emus->RomCount(), 2);
    EXPECT_EQ(MainWnd->StatusText(), "No new ROMs found");
    ScanFolder("scan", true);
    EXPECT_EQ(Emus->RomCount(), 3);
    EXPECT_EQ(MainWnd->StatusText(), "Ready");

    prompts_.Box(BoxOk);
    ScanFolder("not there");
    ASSERT_EQ(prompts_.Shown().size(), 1u);
    EXPECT_EQ(prompts_.Shown()[0].caption, "Error");
    EXPECT_EQ(prompts_.Shown()[0].text, "The folder to scan does not exist:\n" + program_.path("not there"));
    EXPECT_EQ(MainWnd->StatusText(), "Ready");
    EXPECT_EQ(Emus->RomCount(), 3);
}

const char* const RemoveQuestion =
    "Do you really want to remove the 2 ROMs whose files are missing?\n(No file is deleted: only the list "
    "changes.)";

TEST_F(LongWork, RemoveMissingAsksWithTheCountInEveryModeAndDeletesNoFile) {
    const std::string c = program_.dir.write("roms/c.nes", "c");
    for (const char* name : {"C", "D"}) Emus->AddRom(std::make_unique<RomRecord>(MakeRom(emu_, name, c)));
    Emus->GetRom(3)->FilePath[0] = 0;  // D names no file at all
    ASSERT_TRUE(DeleteFile(a_));
    Emus->Stats().SetFavourite(a_, true);
    Settings.MessageMode = false;  // asked all the same
    MainWnd->FillRomList();

    prompts_.Box(BoxNo);
    MainWnd->RemoveMissing->trigger();
    ASSERT_EQ(prompts_.BoxTexts(), std::vector<std::string>{RemoveQuestion});
    EXPECT_EQ(prompts_.Shown()[0].caption, "Question");
    EXPECT_EQ(Emus->RomCount(), 4);

    prompts_.Box(BoxYes);
    MainWnd->RemoveMissing->trigger();
    ASSERT_EQ(Emus->RomCount(), 2);
    EXPECT_EQ(FieldText(Emus->GetRom(0)->Name), "B");
    EXPECT_EQ(FieldText(Emus->GetRom(1)->Name), "C");
    EXPECT_EQ(Rows(), 2);
    EXPECT_EQ(MainWnd->StatBar->Panel(1), "2");
    EXPECT_EQ(MainWnd->StatusText(), "2 missing ROMs removed");
    EXPECT_TRUE(FileExists(b_));
    EXPECT_TRUE(FileExists(c));
    EXPECT_TRUE(Emus->Stats().Facts(a_).Favourite);  // a ROM added again gets its facts back

    MainWnd->RemoveMissing->trigger();  // nothing left to ask about
    EXPECT_EQ(prompts_.Shown().size(), 2u);
    EXPECT_EQ(MainWnd->StatusText(), "No missing ROMs found");
}

TEST_F(LongWork, StoppedLookForMissingRomsRemovesNothing) {
    ASSERT_TRUE(DeleteFile(a_));
    OnShow esc(&Work(), [] { QTest::keyClick(MainWnd->List->CurrentView(), Qt::Key_Escape); });
    MainWnd->RemoveMissing->trigger();
    EXPECT_TRUE(prompts_.Shown().empty());
    EXPECT_EQ(Emus->RomCount(), 2);
    EXPECT_EQ(MainWnd->StatusText(), "Ready");
}

TEST_F(LongWork, ExportedListReadsBackAsATableWithPythonsCsvModule) {
    const std::vector<std::string> names{"Comma, the game",          "Say \"hi\"",    "Two\nlines",
                                         "Caf\xC3\xA9 \xE2\x98\x85", "Old \xE9t\xE9", " padded "};
    for (const std::string& name : names) {
        RomRecord rom = MakeRom(emu_, name, b_);
        rom.Rating = 7;
        rom.TimesPlayed = 12;
        Emus->AddRom(std::make_unique<RomRecord>(rom));
    }
    MainWnd->FillRomList();
    const std::string out = program_.path("export/list.csv");
    CreateFolder(program_.path("export"));
    prompts_.SaveFile(out);
    MainWnd->ExportList->trigger();
    ASSERT_EQ(prompts_.Shown().size(), 1u);
    EXPECT_EQ(prompts_.Shown()[0].kind, PromptKind::SaveFile);
    EXPECT_EQ(prompts_.Shown()[0].suffix, "csv");
    EXPECT_EQ(MainWnd->StatusText(), "8 ROMs exported");

    // Each record as Python reads it: fields joined by '|', numbers told apart from texts.
    const std::string script =
        "import csv,sys\n"
        "rows=list(csv.reader(open(sys.argv[1],encoding='utf-8',newline=''),strict=True))\n"
        "for i,r in enumerate(rows):\n"
        "  assert len(r)==len(rows[0])\n"
        "  print('|'.join(c if not c.isdigit() else '#'+c for c in (r if i==0 else "
        "r[:8])).replace('\\n','<LF>'))\n";
    program_.dir.write("read.py", script);
    const std::string table = ShellOutput("python3 " + program_.path("read.py") + " " + out);
    std::string expected =
        "Name|File|Emulator|System|Rating|Language|Type|#Played|Last Played|Play Time|Added\n";
    auto line = [&](const std::string& name, const std::string& file, const std::string& rating,
                    const std::string& played) {
        const RomRecord* first = Emus->GetRom(0);
        return name + "|" + file + "|E|" + Emus->SystemName(0) + "|#" + rating + "|" +
               Emus->LanguageName(first->LanguageIndex) + "|" + Emus->TypeName(first->TypeIndex) + "|#" +
               played + "\n";
    };
    expected += line("A", a_, std::to_string(Emus->GetRom(0)->Rating), "0");
    expected += line("B", b_, std::to_string(Emus->GetRom(1)->Rating), "0");
    for (std::string name : names) {
        if (name == "Two\nlines") name = "Two<LF>lines";
        if (name == "Old \xE9t\xE9") name = "Old \xC3\xA9t\xC3\xA9";  // catalogues written on Windows
        expected += line(name, b_, "7", "12");
    }
    EXPECT_EQ(table, expected);
    EXPECT_NE(TempDir::read(out).find("\r\n"), std::string::npos);

    // Cancelling the dialog writes nothing; the next export offers the last file again.
    prompts_.SaveFile(std::nullopt);
    MainWnd->ExportList->trigger();
    EXPECT_EQ(prompts_.Shown()[1].initial, out);
}

}  // namespace
