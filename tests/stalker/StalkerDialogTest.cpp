// The Stalker's window and the parts of a run that need no engine: archive names, the file
// list, the filter buttons, the level, the refusal, the progress event and closing.
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>

#include <sys/stat.h>

#include "StalkerFixture.h"
#include "support/Trigger.h"
#include "dialogs/Help.h"

using Files = std::vector<std::string>;

TEST(StalkerNames, ArchiveNameCutsAfterTheLastDot) {
    EXPECT_EQ(TStalkDlg::ArchiveName("mario.nes"), "mario.zip");
    EXPECT_EQ(TStalkDlg::ArchiveName("game.eu.smc"), "game.eu.zip");
    EXPECT_EQ(TStalkDlg::ArchiveName("a.b.c"), "a.b.zip");
    EXPECT_EQ(TStalkDlg::ArchiveName("trailing."), "trailing.zip");
    EXPECT_EQ(TStalkDlg::ArchiveName("old.zip"), "old.zip");
    // No dot: the whole name, so two such files never share one archive.
    EXPECT_EQ(TStalkDlg::ArchiveName("README"), "README.zip");
    EXPECT_EQ(TStalkDlg::ArchiveName("LICENSE"), "LICENSE.zip");
}

TEST_F(StalkerTest, FormHasItsCaptionsNamesAndSize) {
    EXPECT_EQ(dlg.windowTitle().toStdString(), "Stalker Engine 0.7");
    EXPECT_EQ(dlg.size(), QSize(401, 186));
    EXPECT_EQ(dlg.BtnGo->text().toStdString(), "&GO!");
    EXPECT_TRUE(dlg.BtnGo->isDefault());
    EXPECT_EQ(dlg.GroupBox1->title().toStdString(), "Source Folder:");
    EXPECT_EQ(dlg.GroupBox2->title().toStdString(), "Destination Folder:");
    EXPECT_EQ(dlg.GroupBox3->title().toStdString(), "Filters:");
    EXPECT_EQ(dlg.Label1->text().toStdString(), "Compr. Lev:");
    EXPECT_TRUE(dlg.Dest->AllowNewFolder);
    EXPECT_FALSE(dlg.Source->AllowNewFolder);
    ASSERT_EQ(dlg.CL->count(), 10);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(dlg.CL->itemText(i).toInt(), i);
    for (const char* name : {"BtnGo", "BtnStop", "BitBtn1", "GroupBox1", "Source", "GroupBox2", "Dest", "GroupBox3",
                             "Ext", "SpeedButton3", "SpeedButton4", "SpeedButton5", "Label1", "CL", "ProgressBar1",
                             "ProgressBar2", "StatusBar1"})
        EXPECT_NE(dlg.findChild<QWidget*>(name), nullptr) << name;
    EXPECT_EQ(dlg.ProgressBar1->maximum(), 100);
    EXPECT_EQ(dlg.Zip->SFXCaption, "Self-extracting Archive");
    EXPECT_EQ(dlg.Zip->VersionInfo(), "1.52 L");
    ExpectIdle();
}

TEST_F(StalkerTest, LevelComesFromClAndShowingSelectsNine) {
    dlg.CL->setCurrentIndex(3);
    dlg.FormShow();
    EXPECT_EQ(dlg.CL->currentText().toStdString(), "9");
    EXPECT_EQ(dlg.CompressionLevel(), 9);
    dlg.CL->setCurrentIndex(0);
    EXPECT_EQ(dlg.CompressionLevel(), 0);
    dlg.CL->setCurrentText("5");
    EXPECT_EQ(dlg.CompressionLevel(), 5);
    // Typed text that names no level: the best level, never an invalid one.
    for (const char* typed : {"", "high", "12", "-1", "5x"}) {
        dlg.CL->setCurrentText(typed);
        EXPECT_EQ(dlg.CompressionLevel(), 9) << typed;
    }
    EXPECT_EQ(dlg.CL->count(), 10);  // typing never adds items
}

TEST_F(StalkerTest, FileListFollowsTheFiltersInOrderAndKeepsDuplicates) {
    for (const char* f : {"b.nes", "A.NES", "c.smc", "notes.txt", ".hidden.nes", "sub/d.nes"}) tmp.write(f, "x");
    mkfifo(tmp.file("pipe.nes").c_str(), 0600);
    const Files got = TStalkDlg::CollectFiles(tmp.path(), {"*.smc", "*.nes", "b.*"});
    // Name order ignoring case inside each filter; plain files only (no hidden, folder or pipe).
    EXPECT_EQ(got, (Files{tmp.file("c.smc"), tmp.file("A.NES"), tmp.file("b.nes"), tmp.file("b.nes")}));
    EXPECT_EQ(TStalkDlg::CollectFiles(tmp.path(), {"sub/*"}), Files{tmp.file("sub/d.nes")});
    EXPECT_EQ(TStalkDlg::CollectFiles(tmp.path(), {tmp.file("sub/d.nes")}), Files{tmp.file("sub/d.nes")});
}

TEST_F(StalkerTest, FileListOfNothingOrOddMasksIsEmptyOrLiteral) {
    tmp.write("[x].nes", "x");
    tmp.write("a b.nes", "x");
    EXPECT_TRUE(TStalkDlg::CollectFiles(tmp.file("missing/"), {"*.*"}).empty());
    EXPECT_TRUE(TStalkDlg::CollectFiles(tmp.path(), {"*.gb", "", "/", "sub/", "..", "*\n"}).empty());
    EXPECT_EQ(TStalkDlg::CollectFiles(tmp.path(), {"[x].nes"}), Files{tmp.file("[x].nes")});
    EXPECT_EQ(TStalkDlg::CollectFiles(tmp.path(), {"a b.*"}), Files{tmp.file("a b.nes")});
}

TEST_F(StalkerTest, FilterButtonsAddAndRemoveLines) {
    prompts.Input("*.nes").Input("").Input(std::nullopt).Input("*.s?c");
    for (int i = 0; i < 4; ++i) Trigger(dlg, "SpeedButton3");
    ASSERT_EQ(dlg.Ext->count(), 2);
    EXPECT_EQ(prompts.Shown().at(0).caption, "Add Extension");
    EXPECT_EQ(prompts.Shown().at(0).text, "");
    EXPECT_EQ(prompts.Shown().at(0).initial, "");
    EXPECT_EQ(dlg.Ext->item(1)->text().toStdString(), "*.s?c");

    dlg.Ext->clearSelection();
    Trigger(dlg, "SpeedButton4");  // nothing selected: nothing removed
    EXPECT_EQ(dlg.Ext->count(), 2);
    dlg.Ext->item(0)->setSelected(true);
    Trigger(dlg, "SpeedButton4");
    ASSERT_EQ(dlg.Ext->count(), 1);
    EXPECT_EQ(dlg.Ext->item(0)->text().toStdString(), "*.s?c");
}

TEST_F(StalkerTest, PickedFileBecomesAFilterThatMatchesIt) {
    const std::string inside = tmp.write("roms/game.eu.smc", "x");
    tmp.write("roms/game.us.smc", "x");
    const std::string outside = tmp.write("elsewhere/other.nes", "x");
    dlg.Source->setText(QString::fromStdString(tmp.file("roms")));
    prompts.OpenFile(inside).OpenFile(outside).OpenFile(std::nullopt);
    for (int i = 0; i < 3; ++i) Trigger(dlg, "SpeedButton5");
    EXPECT_EQ(prompts.Shown().at(0).filter, "All files (*.*)|*.*");
    EXPECT_EQ(prompts.Shown().at(0).initial, tmp.file("roms"));
    ASSERT_EQ(dlg.Ext->count(), 2);
    EXPECT_EQ(dlg.Ext->item(0)->text().toStdString(), "game.eu.smc");
    EXPECT_EQ(dlg.Ext->item(1)->text().toStdString(), outside);
    const Files masks{dlg.Ext->item(0)->text().toStdString(), dlg.Ext->item(1)->text().toStdString()};
    EXPECT_EQ(TStalkDlg::CollectFiles(tmp.file("roms/"), masks), (Files{inside, outside}));
}

TEST_F(StalkerTest, RunWithoutSourceOrFiltersIsRefused) {
    tmp.write("a.nes", "x");
    const std::string refusal = "You must specify at least the source\ndirectory and almost one filter!";
    prompts.Box(BoxOk).Box(BoxOk);
    Prepare("", "", {"*.nes"});
    Trigger(dlg, "BtnGo");
    Prepare(tmp.path(), "", {});
    Trigger(dlg, "BtnGo");
    ASSERT_EQ(prompts.Shown().size(), 2u);
    for (const auto& box : prompts.Shown()) {
        EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(box.text, refusal);
        EXPECT_EQ(box.icon, BoxIcon::Exclamation);
        EXPECT_EQ(box.buttons, BoxButtons::Ok);
    }
    EXPECT_FALSE(RunShell("test -e '" + tmp.file("a.zip") + "'") == 0);
    EXPECT_EQ(Status(), "");
    ExpectIdle();
}

TEST_F(StalkerTest, ProgressEventShowsTheFileAndItsShare) {
    dlg.ZipProgress(dlg.Zip.get(), ptFileBegin, "/roms/sub/game.nes", 524288);
    EXPECT_EQ(Status(), "Processing: game.nes (512 Kb)");
    EXPECT_EQ(dlg.ProgressBar2->value(), 0);
    dlg.ZipProgress(dlg.Zip.get(), ptBytesDone, "", 131072);
    EXPECT_EQ(dlg.ProgressBar2->value(), 25);
    dlg.ZipProgress(dlg.Zip.get(), ptBytesDone, "", 393216);
    EXPECT_EQ(dlg.ProgressBar2->value(), 100);
    for (ProgressType other : {ptBatchEnd, ptFileCount, ptByteCount}) dlg.ZipProgress(dlg.Zip.get(), other, "x", 7);
    EXPECT_EQ(Status(), "Processing: game.nes (512 Kb)");
    EXPECT_EQ(dlg.ProgressBar2->value(), 100);

    dlg.ZipProgress(dlg.Zip.get(), ptFileBegin, "tiny", 1023);
    EXPECT_EQ(Status(), "Processing: tiny (0 Kb)");
    // A large file: bytes x 100 must not overflow.
    dlg.ZipProgress(dlg.Zip.get(), ptFileBegin, "big.iso", 2000000000);
    dlg.ZipProgress(dlg.Zip.get(), ptBytesDone, "", 1000000000);
    EXPECT_EQ(dlg.ProgressBar2->value(), 50);
    // An empty file: no share is computed.
    dlg.ZipProgress(dlg.Zip.get(), ptFileBegin, "empty", 0);
    dlg.ZipProgress(dlg.Zip.get(), ptBytesDone, "", 10);
    EXPECT_EQ(dlg.ProgressBar2->value(), 0);
}

TEST_F(StalkerTest, HelpButtonOpensTheStalkerTopic) {
    Trigger(dlg, "BitBtn1");
    ASSERT_NE(HelpWindow(), nullptr);
    EXPECT_EQ(HelpWindow()->CurrentTopic(), "stalkdlg");
    HelpWindow()->hide();
}
