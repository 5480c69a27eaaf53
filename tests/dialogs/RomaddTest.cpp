// The ROM add dialog: the emulator names refilled at each showing, the path kept, the refusal,
// and the record it adds.
#include <gtest/gtest.h>

#include <cstring>

#include "DialogTestKit.h"
#include "support/ScriptedPrompter.h"
#include "dialogs/Romadd.h"

namespace {

struct RomAdd : ::testing::Test {
    DialogCatalogue cat;
    ScriptedPrompter prompts;
    TRomAddDlg dlg;
};

TEST_F(RomAdd, WithoutEmulatorsOkIsAlwaysRefused) {
    dlg.FormShow();
    dlg.Edit1->setText("/roms/a.nes");
    for (int i = 0; i < 2; ++i) {
        prompts.Box(BoxOk);
        Trigger(dlg, "BitBtn1");
    }
    ASSERT_EQ(prompts.Shown().size(), 2u);
    EXPECT_EQ(prompts.Shown()[1].text, "You must choose an Emulator!");
    EXPECT_EQ(prompts.Shown()[1].caption, "Error");
    EXPECT_EQ(prompts.Shown()[1].icon, BoxIcon::Exclamation);
    EXPECT_EQ(cat.manager->RomCount(), 0);
    EXPECT_NE(dlg.result(), QDialog::Accepted);
}

TEST_F(RomAdd, ShowingTwiceListsEveryEmulatorOnceAndKeepsThePath) {
    cat.AddEmu("Nes");
    cat.AddEmu("Snes");
    dlg.show();
    dlg.ComboBox1->setCurrentIndex(1);
    dlg.Edit1->setText("/roms/kept.smc");
    dlg.hide();
    dlg.show();
    dlg.hide();
    EXPECT_EQ(dlg.ComboBox1->count(), 2);
    EXPECT_EQ(dlg.ComboBox1->currentIndex(), 0);
    EXPECT_EQ(dlg.Edit1->text(), "/roms/kept.smc");
    EXPECT_EQ(dlg.windowTitle(), "Add ROM...");
}

TEST_F(RomAdd, OkAddsAFilledRecordAndSortsTheList) {
    cat.AddEmu("Nes");
    EmulatorRecord* snes = cat.AddEmu("Snes", "-fast");
    cat.AddRom("zelda", "Nes");
    Settings.DefaultType = 1;
    Settings.DefaultRating = 75;
    Settings.SortMethod = 0;  // by name
    dlg.FormShow();
    dlg.ComboBox1->setCurrentIndex(1);
    dlg.Edit1->setText("/roms/snes/Aladdin.smc");
    const int64_t before = NowSeconds();
    Trigger(dlg, "BitBtn1");
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_GE(cat.manager->Stats().Facts("/roms/snes/Aladdin.smc").Added, before);  // dated
    ASSERT_EQ(cat.manager->RomCount(), 2);
    const RomRecord* rom = cat.manager->GetRom(0);  // sorted in front of zelda
    EXPECT_EQ(FieldText(rom->Name), "Aladdin.smc");
    EXPECT_EQ(FieldText(rom->FilePath), "/roms/snes/Aladdin.smc");
    EXPECT_EQ(rom->TimesPlayed, 0);
    EXPECT_EQ(rom->LanguageIndex, 0);
    EXPECT_EQ(rom->TypeIndex, 1);
    EXPECT_EQ(rom->Rating, 75);
    EXPECT_EQ(std::memcmp(&rom->Emulator, snes, sizeof(EmulatorRecord)), 0);

    SetFieldText(snes->Params, "-changed");  // the copy is the ROM's own
    EXPECT_EQ(FieldText(rom->Emulator.Params), "-fast");
}

TEST_F(RomAdd, EmptyPathAndTheSameFileTwiceAreAccepted) {
    cat.AddEmu("Nes");
    dlg.FormShow();
    Trigger(dlg, "BitBtn1");
    dlg.Edit1->setText("/roms/a.nes");
    Trigger(dlg, "BitBtn1");
    Trigger(dlg, "BitBtn1");
    ASSERT_EQ(cat.manager->RomCount(), 3);
    EXPECT_EQ(FieldText(cat.manager->GetRom(0)->FilePath), "");
}

TEST_F(RomAdd, AnOverlongPathIsRefusedAndALongNameIsCut) {
    cat.AddEmu("Nes");
    dlg.FormShow();
    dlg.Edit1->setText("/" + QString(300, 'r'));
    prompts.Box(BoxOk);
    Trigger(dlg, "BitBtn1");
    EXPECT_EQ(cat.manager->RomCount(), 0);
    EXPECT_EQ(prompts.Shown().size(), 1u);

    const std::string longName(60, 'n');
    dlg.Edit1->setText(QString::fromStdString("/roms/" + longName));
    Trigger(dlg, "BitBtn1");
    ASSERT_EQ(cat.manager->RomCount(), 1);
    EXPECT_EQ(FieldText(cat.manager->GetRom(0)->Name), longName.substr(0, 39));
    EXPECT_EQ(FieldText(cat.manager->GetRom(0)->FilePath), "/roms/" + longName);
}

}  // namespace
