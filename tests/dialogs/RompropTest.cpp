// The ROM properties dialog: showing and applying, stepping, the file tab's sizes and member
// list, renaming, member deletion, and files or lists that cannot be read.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <set>

#include "support/Archives.h"
#include "DialogTestKit.h"
#include "support/ScriptedPrompter.h"
#include "dialogs/Romprop.h"
#include "mainwindow/StatusProgress.h"
#include "platform/Files.h"
#include "zip/ZipArchiver.h"
#include "zip/ZipUi.h"

namespace {

struct RomProp : ::testing::Test {
    DialogCatalogue cat;
    ScriptedPrompter prompts;
    SilentZipUi zipUi;
    TRomPropDlg dlg;
    int selected = 0;

    RomProp() {
        SetZipUi(&zipUi);
        dlg.SelectedRow = [this] { return selected; };
        dlg.Zip->SetDLLDirectory(TARNWICK_APP_DIR);
        cat.AddEmu("Nes");
    }
    ~RomProp() override { SetZipUi(nullptr); }

    void ShowFileTab() { dlg.PageControl1->setCurrentWidget(dlg.TabSheet2); }
    void SelectMember(const QString& name) {
        auto found = dlg.Contents->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        found.first()->setSelected(true);
    }
    // Empties the rating field as a user deleting its digits would.
    void EmptyRating() { dlg.RomRating->findChild<QLineEdit*>()->setText(""); }
};

TEST_F(RomProp, ShowsTheSelectedRomAsStored) {
    cat.AddRom("first", "Nes");
    RomRecord* rom = cat.AddRom("Mario", "Nes", "/Games/Roms/Super Mario.NES");
    rom->Emulator.SystemIndex = 1;
    rom->LanguageIndex = 1;
    rom->TypeIndex = 2;
    rom->Rating = 55;
    rom->Emulator.MameMode = 1;
    selected = 1;
    dlg.FormShow();
    EXPECT_EQ(dlg.RomIndex, 1);
    EXPECT_EQ(dlg.RomDesc->text(), "Mario");
    EXPECT_EQ(dlg.RomEmu->text(), "Nes");
    EXPECT_EQ(dlg.RomSystem->text(), "SNES");
    EXPECT_EQ(dlg.RomParams->text(), "-rom-own");
    EXPECT_EQ(dlg.RomLanguage->currentText(), "Japanese");
    EXPECT_EQ(dlg.RomType->currentText(), "RPG");
    EXPECT_EQ(dlg.RomRating->value(), 55);
    EXPECT_EQ(dlg.RomPath->text(), "/Games/Roms/");
    EXPECT_EQ(dlg.RomFile->text(), "Super Mario.NES");
    EXPECT_EQ(dlg.RomFile->toolTip(), "/Games/Roms/Super Mario.NES");  // the panels cut long paths
    EXPECT_TRUE(dlg.RomUnzipInDir->isChecked());
    EXPECT_FALSE(dlg.RomZipSupport->isChecked());
    EXPECT_EQ(dlg.StatusBar->Panel(1), "2");
    EXPECT_EQ(dlg.StatusBar->Panel(3), "1");
    EXPECT_FALSE(dlg.Changed);
}

TEST_F(RomProp, SteppingAppliesAndStopsAtBothEnds) {
    cat.AddRom("a", "Nes");
    cat.AddRom("b", "Nes");
    dlg.FormShow();
    dlg.RomDesc->setText("a2");
    dlg.SpeedButton1Click();  // at the first ROM: applied, same ROM again
    EXPECT_EQ(dlg.RomIndex, 0);
    EXPECT_EQ(cat.RomName(0), "a2");
    EXPECT_TRUE(dlg.Changed);
    dlg.SpeedButton2Click();
    EXPECT_EQ(dlg.RomIndex, 1);
    EXPECT_EQ(dlg.RomDesc->text(), "b");
    dlg.RomRating->setValue(90);
    dlg.SpeedButton2Click();  // at the last ROM
    EXPECT_EQ(dlg.RomIndex, 1);
    EXPECT_EQ(cat.manager->GetRom(1)->Rating, 90);
    EXPECT_EQ(dlg.StatusBar->Panel(3), "1");
}

TEST_F(RomProp, CancelAfterSteppingKeepsWhatSteppingApplied) {
    cat.AddRom("a", "Nes");
    cat.AddRom("b", "Nes");
    dlg.FormShow();
    dlg.RomParams->setText("-stepped");
    dlg.SpeedButton2Click();
    dlg.RomDesc->setText("never stored");
    dlg.BitBtn2->click();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(FieldText(cat.manager->GetRom(0)->Emulator.Params), "-stepped");
    EXPECT_EQ(cat.RomName(1), "b");
    EXPECT_TRUE(dlg.Changed);

    dlg.FormShow();  // the next showing starts clean
    EXPECT_FALSE(dlg.Changed);
    EXPECT_EQ(dlg.RomIndex, 0);
}

TEST_F(RomProp, OkAppliesEveryControlEvenUnchanged) {
    RomRecord* rom = cat.AddRom("a", "Nes");
    rom->LanguageIndex = 7;  // past the end of Languages
    rom->TypeIndex = 1;
    dlg.FormShow();
    EXPECT_EQ(dlg.RomLanguage->currentIndex(), -1);
    dlg.RomZipSupport->setChecked(true);
    dlg.OkBtnClick();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_TRUE(dlg.Changed);
    EXPECT_EQ(rom->LanguageIndex, -1);
    EXPECT_EQ(rom->TypeIndex, 1);
    EXPECT_EQ(rom->Emulator.ZipSupported, 1);
}

TEST_F(RomProp, ARatingThatIsNotANumberIsRefusedAndNothingIsStored) {
    cat.AddRom("a", "Nes")->Rating = 10;
    cat.AddRom("b", "Nes");
    dlg.FormShow();
    dlg.RomDesc->setText("edited");
    EmptyRating();
    prompts.Box(BoxOk);
    dlg.SpeedButton2Click();
    EXPECT_EQ(prompts.Shown().size(), 1u);
    EXPECT_EQ(dlg.RomIndex, 0);  // no step
    EXPECT_EQ(cat.RomName(0), "a");
    EXPECT_EQ(cat.manager->GetRom(0)->Rating, 10);
    EXPECT_FALSE(dlg.Changed);
    prompts.Box(BoxOk);
    dlg.OkBtnClick();
    EXPECT_NE(dlg.result(), QDialog::Accepted);
}

TEST_F(RomProp, TextsOfOldCataloguesKeepTheirBytesUnlessEdited) {
    RomRecord* rom = cat.AddRom("x", "Nes");
    const std::string cp1252 = std::string(30, '\xE9');  // 30 bytes here, 60 once in UTF-8
    SetFieldText(rom->Name, cp1252);
    dlg.FormShow();
    EXPECT_EQ(dlg.RomDesc->text(), QString(30, QChar(0xE9)));
    dlg.OkBtnClick();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(FieldText(rom->Name), cp1252);

    dlg.FormShow();
    dlg.RomDesc->setText(QString(25, QChar(0xE9)));  // edited: 50 bytes do not fit
    prompts.Box(BoxOk);
    dlg.OkBtnClick();
    EXPECT_EQ(prompts.Shown().size(), 1u);
    EXPECT_EQ(FieldText(rom->Name), cp1252);
    dlg.RomDesc->setText("Plain");
    dlg.OkBtnClick();
    EXPECT_EQ(FieldText(rom->Name), "Plain");
}

TEST_F(RomProp, ListsAreReadAtEveryShowing) {
    cat.AddRom("a", "Nes");
    dlg.FormShow();
    EXPECT_EQ(dlg.RomType->count(), 3);
    cat.dir.write("LISTS/Types.lst", "One\r\nTwo\r\nThree\r\nFour\r\n");
    dlg.FormShow();
    EXPECT_EQ(dlg.RomType->count(), 4);
}

TEST_F(RomProp, AnUnreadableListIsReportedAndTheSelectedRomStillShownAndKept) {
    cat.AddRom("a", "Nes");
    RomRecord* b = cat.AddRom("b", "Nes");
    b->LanguageIndex = 1;
    selected = 0;
    dlg.FormShow();  // a first showing at another ROM
    selected = 1;
    std::remove(cat.dir.file("LISTS/Languages.lst").c_str());
    prompts.Box(BoxOk);
    dlg.FormShow();
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_NE(prompts.Shown()[0].text.find("Languages.lst"), std::string::npos);
    EXPECT_EQ(dlg.RomIndex, 1);
    EXPECT_EQ(dlg.RomDesc->text(), "b");
    EXPECT_EQ(dlg.RomLanguage->count(), 0);
    dlg.OkBtnClick();
    EXPECT_EQ(b->LanguageIndex, 1);  // the list could not show it, so it is kept
    EXPECT_EQ(cat.RomName(0), "a");
}

TEST_F(RomProp, APositionOutsideTheCatalogueShowsNothingAndChangesNothing) {
    cat.AddRom("a", "Nes");
    selected = 5;
    dlg.FormShow();
    EXPECT_FALSE(dlg.OkBtn->isEnabled());
    dlg.OkBtnClick();
    EXPECT_EQ(cat.RomName(0), "a");
    EXPECT_FALSE(dlg.Changed);
}

TEST_F(RomProp, SizeTextsFollowTheLargeSizeRule) {
    EXPECT_EQ(TRomPropDlg::LargeSize(150000, true) + TRomPropDlg::LargeSize(600000, false), "146 Kb/585 Kb");
    EXPECT_EQ(TRomPropDlg::LargeSize(1048576, false), "1024 Kb");
    EXPECT_EQ(TRomPropDlg::LargeSize(1049600, false), "1 Mb");
    EXPECT_EQ(TRomPropDlg::LargeSize(2097151, true), "1 Mb/");
    EXPECT_EQ(TRomPropDlg::LargeSize(1023, false), "0 Kb");
    EXPECT_EQ(TRomPropDlg::LargeSize(-3000, false), "-2 Kb");
}

TEST_F(RomProp, PlainFileSizesAndAFileThatVanished) {
    cat.AddRom("exact", "Nes", cat.dir.write("exact.nes", std::string(1048576, 'x')));
    cat.AddRom("over", "Nes", cat.dir.write("over.nes", std::string(1049600, 'x')));
    dlg.FormShow();
    ShowFileTab();
    EXPECT_EQ(dlg.FileSize->text(), "1024 Kb");
    dlg.SpeedButton2Click();
    EXPECT_EQ(dlg.FileSize->text(), "1 Mb");
    EXPECT_EQ(dlg.Contents->count(), 0);

    std::remove(cat.dir.file("exact.nes").c_str());
    dlg.SpeedButton1Click();  // stepping back on the file tab to the file that vanished
    EXPECT_EQ(dlg.StatusBar->Panel(4), "Error accessing file");
    EXPECT_EQ(dlg.FileSize->text(), "1 Mb");  // kept from before
    dlg.SpeedButton2Click();
    EXPECT_EQ(dlg.StatusBar->Panel(4), "");

    // A folder typed as a ROM path has no size to show.
    cat.AddRom("folder", "Nes", cat.dir.path());
    dlg.SpeedButton2Click();
    EXPECT_EQ(dlg.StatusBar->Panel(4), "Error accessing file");
    EXPECT_EQ(dlg.FileSize->text(), "1 Mb");
}

TEST_F(RomProp, ALowerCaseZipIsListedWithBothSizes) {
    const std::string data(300000, 'a');
    const std::string zip =
        archives::InfoZipArchive(cat.dir, "game.zip", {{"game.nes", data}, {"readme.txt", "hi"}});
    cat.AddRom("game", "Nes", zip);
    dlg.FormShow();
    ShowFileTab();
    ASSERT_EQ(dlg.Contents->count(), 2);
    EXPECT_EQ(dlg.Contents->item(0)->text(), "game.nes");
    const QString expected =
        TRomPropDlg::LargeSize(FileSize(zip), true) + TRomPropDlg::LargeSize(300002, false);
    EXPECT_EQ(dlg.FileSize->text(), expected);
    EXPECT_TRUE(dlg.FileSize->text().endsWith("/292 Kb"));
}

TEST_F(RomProp, AnArchiveThatCannotBeReadIsReportedByTheZipComponentAndShowsNoMembers) {
    const std::string good =
        archives::InfoZipArchive(cat.dir, "good.zip", {{"big.nes", std::string(200000, 'b')}});
    cat.AddRom("good", "Nes", good);
    cat.AddRom("broken", "Nes", cat.dir.write("broken.zip", std::string(5000, 'j')));
    cat.AddRom("gone", "Nes", cat.dir.file("gone.zip"));
    dlg.FormShow();
    ShowFileTab();
    EXPECT_EQ(dlg.Contents->count(), 1);
    for (int step = 0; step < 2; ++step) {  // to the broken archive, then to the missing one
        zipUi.boxes.clear();
        dlg.SpeedButton2Click();
        EXPECT_EQ(dlg.Contents->count(), 0);
        EXPECT_FALSE(zipUi.boxes.empty());
        EXPECT_TRUE(dlg.FileSize->text().endsWith("/0 Kb")) << dlg.FileSize->text().toStdString();
    }
    EXPECT_EQ(dlg.RomIndex, 2);
    EXPECT_EQ(dlg.FileSize->text(), "0 Kb/0 Kb");
}

TEST_F(RomProp, RenamingByAMemberWithTwoDotsKeepsTheFolderAndTheRomsExtension) {
    const std::string zip = archives::InfoZipArchive(cat.dir, "sm.Zip", {{"Super.Mario.smc", "x"}});
    RomRecord* rom = cat.AddRom("sm", "Nes", zip);
    dlg.FormShow();
    ShowFileTab();
    SelectMember("Super.Mario.smc");
    dlg.Button1Click();
    EXPECT_TRUE(prompts.Shown().empty());
    EXPECT_EQ(FieldText(rom->FilePath), cat.dir.file("Super.Mario.Zip"));
    EXPECT_TRUE(FileExists(cat.dir.file("Super.Mario.Zip")));
    EXPECT_FALSE(FileExists(zip));
    EXPECT_EQ(dlg.RomFile->text(), "Super.Mario.Zip");
    EXPECT_EQ(FieldText(rom->Name), "sm");
    EXPECT_FALSE(dlg.Changed);
}

TEST_F(RomProp, RenamingByInputBoxAndOntoAnExistingFile) {
    RomRecord* rom = cat.AddRom("a", "Nes", cat.dir.write("a.nes", "x"));
    cat.dir.write("taken.nes", "y");
    dlg.FormShow();
    dlg.RomDesc->setText("typed, not applied");
    prompts.Input("taken.nes").Box(BoxOk);
    dlg.Button1Click();
    EXPECT_EQ(prompts.Shown().at(0).caption, "Rename File");
    EXPECT_EQ(prompts.Shown().at(1).text, "Error Renaming File");
    EXPECT_EQ(FieldText(rom->FilePath), cat.dir.file("a.nes"));

    prompts.Input(std::nullopt);  // cancelled: nothing happens
    dlg.Button1Click();
    cat.manager->Stats().SetFavourite(cat.dir.file("a.nes"), true);
    cat.manager->Stats().RecordPlay(cat.dir.file("a.nes"), 100, 60);
    prompts.Input("b.nes");
    dlg.Button1Click();
    EXPECT_EQ(FieldText(rom->FilePath), cat.dir.file("b.nes"));
    EXPECT_EQ(cat.manager->Facts(*rom).PlaySeconds, 60);  // the facts follow the file
    EXPECT_TRUE(cat.manager->Facts(*rom).Favourite);
    EXPECT_EQ(cat.manager->Stats().Facts(cat.dir.file("a.nes")), RomFacts{});
    EXPECT_TRUE(FileExists(cat.dir.file("b.nes")));
    EXPECT_EQ(dlg.RomDesc->text(), "typed, not applied");  // the General page's edit survives
}

TEST_F(RomProp, AMemberNameThatClimbsOutOfTheFolderIsNotUsed) {
    archives::PyMember climbing;
    climbing.name = "../outside.bin";
    climbing.data = "x";
    const std::string zip = archives::PythonZipArchive(cat.dir, "evil.zip", {climbing});
    RomRecord* rom = cat.AddRom("evil", "Nes", zip);
    dlg.FormShow();
    ShowFileTab();
    ASSERT_EQ(dlg.Contents->count(), 1);
    dlg.Contents->item(0)->setSelected(true);
    prompts.Box(BoxOk);
    dlg.Button1Click();
    EXPECT_EQ(prompts.Shown().at(0).text, "Error Renaming File");
    EXPECT_EQ(FieldText(rom->FilePath), zip);
    EXPECT_TRUE(FileExists(zip));
}

TEST_F(RomProp, InMessageModeDeletingAMemberAsksFirstAndNoKeepsTheArchiveByteForByte) {
    const std::string zip =
        archives::InfoZipArchive(cat.dir, "pack.zip", {{"game.nes", "data"}, {"readme.txt", "junk"}});
    const std::string before = TempDir::read(zip);
    cat.AddRom("pack", "Nes", zip);
    Settings.MessageMode = true;
    dlg.FormShow();
    dlg.show();
    ShowFileTab();
    SelectMember("readme.txt");
    prompts.Box(BoxNo);
    dlg.Button2->click();
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_EQ(prompts.Shown()[0].caption, "Question");
    EXPECT_EQ(prompts.Shown()[0].text, "Do you really want to delete readme.txt from this archive?");
    EXPECT_EQ(prompts.Shown()[0].defaultButton, BoxNo);
    EXPECT_EQ(TempDir::read(zip), before);
    EXPECT_EQ(dlg.Contents->count(), 2);

    prompts.Box(BoxYes);
    dlg.Button2->click();
    EXPECT_EQ(archives::UnzipNames(zip), (std::vector<std::string>{"game.nes"}));
    ASSERT_EQ(dlg.Contents->count(), 1);
    dlg.hide();
}

TEST_F(RomProp, DeletingAMemberAsksNothingAndRelistsTheArchive) {
    const std::string zip =
        archives::InfoZipArchive(cat.dir, "pack.zip", {{"game.nes", "data"}, {"readme.txt", "junk"}});
    cat.AddRom("pack", "Nes", zip);
    dlg.FormShow();
    ShowFileTab();
    dlg.Button2Click();  // nothing selected: nothing happens
    EXPECT_EQ(archives::UnzipNames(zip).size(), 2u);
    SelectMember("readme.txt");
    dlg.Button2Click();
    EXPECT_TRUE(prompts.Shown().empty());
    EXPECT_TRUE(zipUi.boxes.empty()) << zipUi.boxes.front().text;
    const std::string listing = ShellOutput("unzip -l " + archives::ShellQuote(zip));
    EXPECT_EQ(listing.find("readme.txt"), std::string::npos) << listing;
    EXPECT_NE(listing.find("game.nes"), std::string::npos) << listing;
    ASSERT_EQ(dlg.Contents->count(), 1);
    EXPECT_EQ(dlg.Contents->item(0)->text(), "game.nes");
}

// Esc while a member is deleted stops the rewrite, not the dialog: the archive stays byte for
// byte, and no file of the rewrite is left beside it.
TEST_F(RomProp, EscStopsADeleteAndLeavesTheArchiveAsItWas) {
    std::string kept(300000, '\0');
    for (size_t i = 0; i < kept.size(); ++i) kept[i] = static_cast<char>((i * 7919) >> 3);
    const std::string zip =
        archives::InfoZipArchive(cat.dir, "pack.zip", {{"game.nes", kept}, {"readme.txt", "junk"}}, "-0");
    const std::string before = TempDir::read(zip);
    const auto entries = [&] {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(zip).parent_path()))
            names.insert(e.path().filename().string());
        return names;
    };
    const std::set<std::string> entriesBefore = entries();
    cat.AddRom("pack", "Nes", zip);
    dlg.FormShow();
    dlg.show();
    ShowFileTab();
    SelectMember("readme.txt");
    bool stopped = false;
    zipUi.onProcessMessages = [&] {
        if (stopped || !dlg.WorkProgress->Busy()) return;
        stopped = true;
        EXPECT_EQ(dlg.WorkProgress->WorkText->text().left(8), "Deleting");
        QTest::keyClick(dlg.Contents, Qt::Key_Escape);
    };
    dlg.Button2Click();
    ASSERT_TRUE(stopped);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(dlg.WorkProgress->Busy());
    EXPECT_EQ(TempDir::read(zip), before);
    EXPECT_EQ(entries(), entriesBefore);
    EXPECT_EQ(dlg.Contents->count(), 2);
    EXPECT_EQ(dlg.StatusBar->Panel(4), "Delete stopped");
    EXPECT_TRUE(prompts.Shown().empty());

    // Esc with no work running still closes the dialog as before.
    zipUi.onProcessMessages = nullptr;
    QTest::keyClick(dlg.Contents, Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());
}

TEST_F(RomProp, DeletingTheLastMemberAsksFirstInMessageModeAsItRemovesTheArchive) {
    const std::string zip = archives::InfoZipArchive(cat.dir, "one.zip", {{"game.nes", "data"}});
    cat.AddRom("one", "Nes", zip);
    Settings.MessageMode = true;
    dlg.FormShow();
    ShowFileTab();
    SelectMember("game.nes");
    prompts.Box(BoxNo);
    dlg.Button2Click();
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_EQ(prompts.Shown()[0].text,
              "Do you really want to delete game.nes from this archive?\n"
              "(It is the last file: the archive, the ROM's file, will be removed with it)");
    EXPECT_EQ(archives::UnzipNames(zip).size(), 1u);  // answered No: untouched

    prompts.Box(BoxYes);
    dlg.Button2Click();
    EXPECT_FALSE(FileExists(zip));
    EXPECT_EQ(dlg.Contents->count(), 0);
    EXPECT_EQ(dlg.FileSize->text(), "0 Kb/0 Kb");
}

}  // namespace
