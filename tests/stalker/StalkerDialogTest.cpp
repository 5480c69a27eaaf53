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
    EXPECT_EQ(dlg_.windowTitle().toStdString(), "Stalker Engine 0.7");
    EXPECT_EQ(dlg_.size(), QSize(401, 186));
    EXPECT_EQ(dlg_.BtnGo->text().toStdString(), "&GO!");
    EXPECT_TRUE(dlg_.BtnGo->isDefault());
    EXPECT_EQ(dlg_.GroupBox1->title().toStdString(), "Source Folder:");
    EXPECT_EQ(dlg_.GroupBox2->title().toStdString(), "Destination Folder:");
    EXPECT_EQ(dlg_.GroupBox3->title().toStdString(), "Filters:");
    EXPECT_EQ(dlg_.Label1->text().toStdString(), "Compr. Lev:");
    EXPECT_TRUE(dlg_.Dest->AllowNewFolder);
    EXPECT_FALSE(dlg_.Source->AllowNewFolder);
    ASSERT_EQ(dlg_.CL->count(), 10);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(dlg_.CL->itemText(i).toInt(), i);
    for (const char* name : {"BtnGo", "BtnStop", "BitBtn1", "GroupBox1", "Source", "GroupBox2", "Dest",
                             "GroupBox3", "Ext", "SpeedButton3", "SpeedButton4", "SpeedButton5", "Label1",
                             "CL", "ProgressBar1", "ProgressBar2", "StatusBar1"})
        EXPECT_NE(dlg_.findChild<QWidget*>(name), nullptr) << name;
    EXPECT_EQ(dlg_.ProgressBar1->maximum(), 100);
    EXPECT_EQ(dlg_.Zip->SFXCaption, "Self-extracting Archive");
    EXPECT_EQ(dlg_.Zip->VersionInfo(), "1.52 L");
    ExpectIdle();
}

TEST_F(StalkerTest, LevelComesFromClAndShowingSelectsNine) {
    dlg_.CL->setCurrentIndex(3);
    dlg_.FormShow();
    EXPECT_EQ(dlg_.CL->currentText().toStdString(), "9");
    EXPECT_EQ(dlg_.CompressionLevel(), 9);
    dlg_.CL->setCurrentIndex(0);
    EXPECT_EQ(dlg_.CompressionLevel(), 0);
    dlg_.CL->setCurrentText("5");
    EXPECT_EQ(dlg_.CompressionLevel(), 5);
    // Typed text that names no level: the best level, never an invalid one.
    for (const char* typed : {"", "high", "12", "-1", "5x"}) {
        dlg_.CL->setCurrentText(typed);
        EXPECT_EQ(dlg_.CompressionLevel(), 9) << typed;
    }
    EXPECT_EQ(dlg_.CL->count(), 10);  // typing never adds items
}

TEST_F(StalkerTest, FileListFollowsTheFiltersInOrderAndKeepsDuplicates) {
    for (const char* f : {"b.nes", "A.NES", "c.smc", "notes.txt", ".hidden.nes", "sub/d.nes"})
        tmp_.write(f, "x");
    mkfifo(tmp_.file("pipe.nes").c_str(), 0600);
    const Files got = TStalkDlg::CollectFiles(tmp_.path(), {"*.smc", "*.nes", "b.*"});
    // Name order ignoring case inside each filter; plain files only (no hidden, folder or pipe).
    EXPECT_EQ(got, (Files{tmp_.file("c.smc"), tmp_.file("A.NES"), tmp_.file("b.nes"), tmp_.file("b.nes")}));
    EXPECT_EQ(TStalkDlg::CollectFiles(tmp_.path(), {"sub/*"}), Files{tmp_.file("sub/d.nes")});
    EXPECT_EQ(TStalkDlg::CollectFiles(tmp_.path(), {tmp_.file("sub/d.nes")}), Files{tmp_.file("sub/d.nes")});
}

TEST_F(StalkerTest, FileListOfNothingOrOddMasksIsEmptyOrLiteral) {
    tmp_.write("[x].nes", "x");
    tmp_.write("a b.nes", "x");
    EXPECT_TRUE(TStalkDlg::CollectFiles(tmp_.file("missing/"), {"*.*"}).empty());
    EXPECT_TRUE(TStalkDlg::CollectFiles(tmp_.path(), {"*.gb", "", "/", "sub/", "..", "*\n"}).empty());
    EXPECT_EQ(TStalkDlg::CollectFiles(tmp_.path(), {"[x].nes"}), Files{tmp_.file("[x].nes")});
    EXPECT_EQ(TStalkDlg::CollectFiles(tmp_.path(), {"a b.*"}), Files{tmp_.file("a b.nes")});
}

TEST_F(StalkerTest, FilterButtonsAddAndRemoveLines) {
    prompts_.Input("*.nes").Input("").Input(std::nullopt).Input("*.s?c");
    for (int i = 0; i < 4; ++i) Trigger(dlg_, "SpeedButton3");
    ASSERT_EQ(dlg_.Ext->count(), 2);
    EXPECT_EQ(prompts_.Shown().at(0).caption, "Add Extension");
    EXPECT_EQ(prompts_.Shown().at(0).text, "");
    EXPECT_EQ(prompts_.Shown().at(0).initial, "");
    EXPECT_EQ(dlg_.Ext->item(1)->text().toStdString(), "*.s?c");

    dlg_.Ext->clearSelection();
    Trigger(dlg_, "SpeedButton4");  // nothing selected: nothing removed
    EXPECT_EQ(dlg_.Ext->count(), 2);
    dlg_.Ext->item(0)->setSelected(true);
    Trigger(dlg_, "SpeedButton4");
    ASSERT_EQ(dlg_.Ext->count(), 1);
    EXPECT_EQ(dlg_.Ext->item(0)->text().toStdString(), "*.s?c");
}

TEST_F(StalkerTest, PickedFileBecomesAFilterThatMatchesIt) {
    const std::string inside = tmp_.write("roms/game.eu.smc", "x");
    tmp_.write("roms/game.us.smc", "x");
    const std::string outside = tmp_.write("elsewhere/other.nes", "x");
    dlg_.Source->setText(QString::fromStdString(tmp_.file("roms")));
    prompts_.OpenFile(inside).OpenFile(outside).OpenFile(std::nullopt);
    for (int i = 0; i < 3; ++i) Trigger(dlg_, "SpeedButton5");
    EXPECT_EQ(prompts_.Shown().at(0).filter, "All files (*.*)|*.*");
    EXPECT_EQ(prompts_.Shown().at(0).initial, tmp_.file("roms"));
    ASSERT_EQ(dlg_.Ext->count(), 2);
    EXPECT_EQ(dlg_.Ext->item(0)->text().toStdString(), "game.eu.smc");
    EXPECT_EQ(dlg_.Ext->item(1)->text().toStdString(), outside);
    const Files masks{dlg_.Ext->item(0)->text().toStdString(), dlg_.Ext->item(1)->text().toStdString()};
    EXPECT_EQ(TStalkDlg::CollectFiles(tmp_.file("roms/"), masks), (Files{inside, outside}));
}

TEST_F(StalkerTest, RunWithoutSourceOrFiltersIsRefused) {
    tmp_.write("a.nes", "x");
    const std::string refusal = "You must specify at least the source\ndirectory and almost one filter!";
    prompts_.Box(BoxOk).Box(BoxOk);
    Prepare("", "", {"*.nes"});
    Trigger(dlg_, "BtnGo");
    Prepare(tmp_.path(), "", {});
    Trigger(dlg_, "BtnGo");
    ASSERT_EQ(prompts_.Shown().size(), 2u);
    for (const auto& box : prompts_.Shown()) {
        EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(box.text, refusal);
        EXPECT_EQ(box.icon, BoxIcon::Exclamation);
        EXPECT_EQ(box.buttons, BoxButtons::Ok);
    }
    EXPECT_FALSE(RunShell("test -e '" + tmp_.file("a.zip") + "'") == 0);
    EXPECT_EQ(Status(), "");
    ExpectIdle();
}

TEST_F(StalkerTest, ProgressEventShowsTheFileAndItsShare) {
    dlg_.ZipProgress(dlg_.Zip.get(), ptFileBegin, "/roms/sub/game.nes", 524288);
    EXPECT_EQ(Status(), "Processing: game.nes (512 Kb)");
    EXPECT_EQ(dlg_.ProgressBar2->value(), 0);
    dlg_.ZipProgress(dlg_.Zip.get(), ptBytesDone, "", 131072);
    EXPECT_EQ(dlg_.ProgressBar2->value(), 25);
    dlg_.ZipProgress(dlg_.Zip.get(), ptBytesDone, "", 393216);
    EXPECT_EQ(dlg_.ProgressBar2->value(), 100);
    for (ProgressType other : {ptBatchEnd, ptFileCount, ptByteCount})
        dlg_.ZipProgress(dlg_.Zip.get(), other, "x", 7);
    EXPECT_EQ(Status(), "Processing: game.nes (512 Kb)");
    EXPECT_EQ(dlg_.ProgressBar2->value(), 100);

    dlg_.ZipProgress(dlg_.Zip.get(), ptFileBegin, "tiny", 1023);
    EXPECT_EQ(Status(), "Processing: tiny (0 Kb)");
    // A large file: bytes x 100 must not overflow.
    dlg_.ZipProgress(dlg_.Zip.get(), ptFileBegin, "big.iso", 2000000000);
    dlg_.ZipProgress(dlg_.Zip.get(), ptBytesDone, "", 1000000000);
    EXPECT_EQ(dlg_.ProgressBar2->value(), 50);
    // An empty file: no share is computed.
    dlg_.ZipProgress(dlg_.Zip.get(), ptFileBegin, "empty", 0);
    dlg_.ZipProgress(dlg_.Zip.get(), ptBytesDone, "", 10);
    EXPECT_EQ(dlg_.ProgressBar2->value(), 0);
}

TEST_F(StalkerTest, HelpButtonOpensTheStalkerTopic) {
    Trigger(dlg_, "BitBtn1");
    ASSERT_NE(HelpWindow(), nullptr);
    EXPECT_EQ(HelpWindow()->CurrentTopic(), "stalkdlg");
    HelpWindow()->hide();
}
