// The scan dialog: what it resets and keeps between showings, its refusal, and the scan it
// hands to the catalogue.
#include <gtest/gtest.h>

#include <cstring>

#include "DialogTestKit.h"
#include "support/ScriptedPrompter.h"
#include "catalogue/Scan.h"

namespace {

struct ScanDialog : ::testing::Test {
    DialogCatalogue cat;
    ScriptedPrompter prompts;
    TScanDlg dlg;

    QStringList Patterns() const {
        QStringList p;
        for (int i = 0; i < dlg.Extensions->count(); ++i) p << dlg.Extensions->item(i)->text();
        return p;
    }
    void ShowAgain() {
        dlg.show();
        dlg.hide();
    }
};

TEST_F(ScanDialog, EachShowingResetsChoicesButKeepsTheFolder) {
    cat.AddEmu("Nestopia");
    cat.AddEmu("Snes9x");
    ShowAgain();
    dlg.Emus->setCurrentIndex(1);
    dlg.Check->setChecked(false);
    dlg.SubDirs->setChecked(true);
    prompts.Input("*.nes");
    dlg.SpeedButton1Click();
    dlg.Dir->setText("/roms/nes");

    ShowAgain();
    ASSERT_EQ(dlg.Emus->count(), 2);  // refilled, not appended
    EXPECT_EQ(dlg.Emus->itemText(0), "Nestopia");
    EXPECT_EQ(dlg.Emus->currentIndex(), 0);
    EXPECT_EQ(Patterns(), QStringList{"*.ZIP"});
    EXPECT_TRUE(dlg.Extensions->item(0)->isSelected());
    EXPECT_TRUE(dlg.Check->isChecked());
    EXPECT_EQ(dlg.Dir->text(), "/roms/nes");
    EXPECT_TRUE(dlg.SubDirs->isChecked());
    EXPECT_EQ(dlg.windowTitle(), "Scan");
}

TEST_F(ScanDialog, AddingAndRemovingPatterns) {
    dlg.FormShow();
    prompts.Input("*.smc").Input("").Input(std::nullopt).Input("nes").Input("game.gb").Input("rom?");
    dlg.SpeedButton1Click();
    dlg.SpeedButton1Click();                              // empty answer adds nothing
    dlg.SpeedButton1Click();                              // cancelled adds nothing
    for (int i = 0; i < 3; ++i) dlg.SpeedButton1Click();  // a bare extension means *.ext
    EXPECT_EQ(Patterns(), (QStringList{"*.ZIP", "*.smc", "*.nes", "game.gb", "rom?"}));
    while (Patterns().size() > 2) delete dlg.Extensions->takeItem(2);
    ASSERT_EQ(prompts.Shown().size(), 6u);
    EXPECT_EQ(prompts.Shown()[0].caption, "Extension");
    EXPECT_EQ(prompts.Shown()[0].text, "Extension:");
    EXPECT_EQ(prompts.Shown()[0].initial, "");

    dlg.Extensions->clearSelection();
    dlg.SpeedButton2Click();  // nothing selected: nothing removed
    EXPECT_EQ(Patterns().size(), 2);
    dlg.Extensions->item(1)->setSelected(true);
    dlg.SpeedButton2Click();
    EXPECT_EQ(Patterns(), QStringList{"*.ZIP"});
}

TEST_F(ScanDialog, OkIsRefusedWithoutEmulatorOrPattern) {
    dlg.FormShow();  // no emulators
    prompts.Box(BoxOk);
    dlg.BitBtn2Click();
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_EQ(prompts.Shown()[0].caption, "Error");
    EXPECT_EQ(prompts.Shown()[0].text, "You must provide at least a file extension and an emulator");
    EXPECT_EQ(prompts.Shown()[0].icon, BoxIcon::None);
    EXPECT_NE(dlg.result(), QDialog::Accepted);

    cat.AddEmu("Nestopia");
    dlg.FormShow();
    dlg.Extensions->item(0)->setSelected(true);
    dlg.SpeedButton2Click();  // no pattern left
    prompts.Box(BoxOk);
    dlg.BitBtn2Click();
    EXPECT_EQ(prompts.Shown().size(), 2u);
    EXPECT_NE(dlg.result(), QDialog::Accepted);

    dlg.FormShow();
    dlg.BitBtn2Click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST_F(ScanDialog, ScanSelectedAddsMatchingFilesForTheChosenEmulator) {
    cat.AddEmu("Nestopia");
    EmulatorRecord* snes = cat.AddEmu("Snes9x", "-fs");
    cat.dir.write("roms/a.zip", "x");
    cat.dir.write("roms/b.ZIP", "x");
    cat.dir.write("roms/c.txt", "x");
    cat.dir.write("roms/d.zip/inner", "x");
    cat.dir.write("roms/sub/e.zip", "x");
    Settings.DefaultType = 2;
    Settings.DefaultRating = 40;
    dlg.FormShow();
    dlg.Emus->setCurrentIndex(1);
    dlg.Dir->setText(QString::fromStdString(cat.dir.file("roms")));

    EXPECT_EQ(dlg.ScanSelected()->added, 2);
    ASSERT_EQ(cat.manager->RomCount(), 2);
    const RomRecord* a = cat.manager->GetRom(0);
    EXPECT_EQ(FieldText(a->Name), "a.zip");
    EXPECT_EQ(FieldText(a->FilePath), cat.dir.file("roms/a.zip"));
    EXPECT_EQ(std::memcmp(&a->Emulator, snes, sizeof(EmulatorRecord)), 0);
    EXPECT_EQ(a->TypeIndex, 2);
    EXPECT_EQ(a->Rating, 40);

    EXPECT_EQ(dlg.ScanSelected()->added, 0);  // duplicate check on
    dlg.Check->setChecked(false);
    EXPECT_EQ(dlg.ScanSelected()->added, 2);
    dlg.SubDirs->setChecked(true);  // now d.zip/ is entered too
    EXPECT_EQ(dlg.ScanSelected()->added, 3);
    EXPECT_EQ(FieldText(cat.manager->GetRom(6)->FilePath), cat.dir.file("roms/sub/e.zip"));
}

TEST_F(ScanDialog, ScanSelectedWithoutEmulatorAddsNothing) {
    dlg.FormShow();
    dlg.Dir->setText(QString::fromStdString(cat.dir.path()));
    EXPECT_FALSE(dlg.ScanSelected().has_value());
    EXPECT_EQ(cat.manager->RomCount(), 0);
}

}  // namespace
