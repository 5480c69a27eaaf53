// The emulator editor and the emulator list: preparations, refusals and limits, the Advanced
// tab, and carrying removals and changes over to linked ROMs.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <map>

#include "DialogTestKit.h"
#include "support/ScriptedPrompter.h"
#include "dialogs/Edit.h"
#include "dialogs/Emuadd.h"
#include "dialogs/Emulist.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace {

struct Emulators : ::testing::Test {
    DialogCatalogue cat;
    ScriptedPrompter prompts;
    std::unique_ptr<TAddDlg> add{AddDlg = new TAddDlg};
    TEmuListDlg list;
    int mainRefills = 0;

    Emulators() {
        list.FillRomList = [this] { ++mainRefills; };
    }
    ~Emulators() override { AddDlg = nullptr; }

    void Select(int row) { list.Emus->setCurrentRow(row); }
    // Fills the editor that the next handler opens and presses its OK.
    void EditNextWith(const QString& name, const QString& params) {
        OnNextModal([name, params](QDialog*) {
            AddDlg->EmuName->setText(name);
            AddDlg->Params->setText(params);
            Trigger("BitBtn1");
        });
    }
};

TEST_F(Emulators, PreparingForNewAfterAnExistingOneClearsEverything) {
    EmulatorRecord* emu = cat.AddEmu("Snes9x", "-fs", 1);
    SetFieldText(emu->CfgPath, "/etc/snes9x.cfg");
    emu->MameMode = 1;
    emu->ZipSupported = 0;
    add->PrepareFrom(*emu);
    EXPECT_EQ(add->windowTitle(), "Emulator Proprierties");
    EXPECT_EQ(add->EmuName->text(), "Snes9x");
    EXPECT_EQ(add->SysBox->currentIndex(), 1);
    EXPECT_EQ(add->CfgPath->text(), "/etc/snes9x.cfg");
    EXPECT_TRUE(add->UnZipInDir->isChecked());
    EXPECT_FALSE(add->ZipSupport->isChecked());

    add->PrepareNew();
    EXPECT_EQ(add->windowTitle(), "Add Emulator");
    for (QString t : {add->EmuName->text(), add->EmuPath->text(), add->CfgPath->text(), add->Params->text()})
        EXPECT_TRUE(t.isEmpty());
    EXPECT_EQ(add->SysBox->currentIndex(), 0);
    EXPECT_TRUE(add->ZipSupport->isChecked());
    EXPECT_FALSE(add->UnZipInDir->isChecked());
}

TEST_F(Emulators, OkNeedsNameAndPathAndStoresWhatWasTyped) {
    add->PrepareNew();
    add->EmuName->setText("Nestopia");
    prompts.Box(BoxOk);
    Trigger(*add, "BitBtn1");
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_EQ(prompts.Shown()[0].text, "You must provide at least the Name and Path of the emulator");
    EXPECT_EQ(prompts.Shown()[0].caption, "Error");
    EXPECT_EQ(prompts.Shown()[0].icon, BoxIcon::None);
    EXPECT_FALSE(add->NewEmu);
    EXPECT_EQ(add->EmuName->text(), "Nestopia");  // the input stays

    const QString name39(39, 'n'), params127(127, 'p');
    add->EmuName->setText(name39 + "overflow");
    add->Params->setText(params127 + "overflow");
    EXPECT_EQ(add->EmuName->text(), name39);  // the edits take no more
    EXPECT_EQ(add->Params->text(), params127);
    add->EmuPath->setText("/usr/games/nestopia");
    add->SysBox->setCurrentIndex(2);
    add->UnZipInDir->setChecked(true);
    Trigger(*add, "BitBtn1");
    ASSERT_TRUE(add->NewEmu);
    EXPECT_EQ(FieldText(add->NewEmu->Name), name39.toStdString());
    EXPECT_EQ(FieldText(add->NewEmu->Params), params127.toStdString());
    EXPECT_EQ(FieldText(add->NewEmu->ExePath), "/usr/games/nestopia");
    EXPECT_EQ(add->NewEmu->SystemIndex, 2);
    EXPECT_EQ(add->NewEmu->ZipSupported, 1);
    EXPECT_EQ(add->NewEmu->MameMode, 1);
    EXPECT_EQ(add->result(), QDialog::Accepted);
}

TEST_F(Emulators, ARelativeProgramPathIsStoredAbsoluteAndABareNameAsTyped) {
    const std::string here = CurrentFolder();
    const std::map<QString, std::string> typed = {{"emus/fceux", JoinPath(here, "emus/fceux")},
                                                  {"./bin/../mame", JoinPath(here, "mame")},
                                                  {"fceux", "fceux"},  // found on the search path
                                                  {"/opt/a/../b", "/opt/a/../b"}};
    for (const auto& [text, stored] : typed) {
        add->PrepareNew();
        add->EmuName->setText("E");
        add->EmuPath->setText(text);
        Trigger(*add, "BitBtn1");
        ASSERT_TRUE(add->NewEmu) << text.toStdString();
        EXPECT_EQ(FieldText(add->NewEmu->ExePath), stored) << text.toStdString();
    }
}

TEST_F(Emulators, TextsThatWouldBeCutAreRefusedNotStored) {
    add->PrepareNew();
    add->EmuName->setText(QString(30, QChar(0xE9)));  // 30 characters, 60 bytes
    add->EmuPath->setText("/x");
    prompts.Box(BoxOk);
    Trigger(*add, "BitBtn1");
    EXPECT_FALSE(add->NewEmu);
    EXPECT_EQ(prompts.Shown().at(0).caption, "Error");

    add->EmuName->setText("Fine");
    add->EmuPath->setText("/" + QString(300, 'p'));
    prompts.Box(BoxOk);
    Trigger(*add, "BitBtn1");
    EXPECT_FALSE(add->NewEmu);
    EXPECT_EQ(prompts.Shown().size(), 2u);
}

TEST_F(Emulators, UneditedTextsOfOldCataloguesKeepTheirBytes) {
    EmulatorRecord* emu = cat.AddEmu("x");
    const std::string cp1252(30, '\xE9');  // 60 bytes once in UTF-8: too long for Name
    SetFieldText(emu->Name, cp1252);
    add->PrepareFrom(*emu);
    add->Params->setText("-edited");
    Trigger(*add, "BitBtn1");
    ASSERT_TRUE(add->NewEmu);
    EXPECT_EQ(FieldText(add->NewEmu->Name), cp1252);
    EXPECT_EQ(FieldText(add->NewEmu->Params), "-edited");
}

TEST_F(Emulators, EmptySystemsListSelectsNothingAndStoresMinusOne) {
    cat.dir.write("LISTS/Systems.lst", "");
    TAddDlg empty;
    empty.PrepareNew();
    EXPECT_EQ(empty.SysBox->currentIndex(), -1);
    empty.EmuName->setText(" ");  // blanks only are accepted
    empty.EmuPath->setText("/bin/true");
    Trigger(empty, "BitBtn1");
    ASSERT_TRUE(empty.NewEmu);
    EXPECT_EQ(empty.NewEmu->SystemIndex, -1);
}

TEST_F(Emulators, SystemsAreReadOnceAtCreation) {
    cat.dir.write("LISTS/Systems.lst", "Only\r\n");
    add->PrepareNew();
    EXPECT_EQ(add->SysBox->count(), 3);
}

TEST_F(Emulators, UnreadableSystemsListIsReportedAndTheEditorStillWorks) {
    std::remove(cat.dir.file("LISTS/Systems.lst").c_str());
    prompts.Box(BoxOk);
    TAddDlg broken;
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_NE(prompts.Shown()[0].text.find("Systems.lst"), std::string::npos);
    EXPECT_EQ(broken.SysBox->count(), 0);
    // Without the list an existing emulator keeps its system; a new one has none.
    EmulatorRecord* nes = cat.AddEmu("Nes", "", 2);
    broken.PrepareFrom(*nes);
    Trigger(broken, "BitBtn1");
    ASSERT_TRUE(broken.NewEmu);
    EXPECT_EQ(broken.NewEmu->SystemIndex, 2);
    broken.PrepareNew();
    broken.EmuName->setText("New");
    broken.EmuPath->setText("/bin/true");
    Trigger(broken, "BitBtn1");
    ASSERT_TRUE(broken.NewEmu);
    EXPECT_EQ(broken.NewEmu->SystemIndex, -1);
}

TEST_F(Emulators, AdvancedTabEnablesTheEditButtonOnlyWithACfgText) {
    add->PrepareNew();
    add->show();
    add->PageControl1->setCurrentWidget(add->TabSheet3);
    EXPECT_FALSE(add->Button1->isEnabled());
    add->PageControl1->setCurrentWidget(add->TabSheet1);
    add->CfgPath->setText("/nowhere/at/all.cfg");
    add->PageControl1->setCurrentWidget(add->TabSheet3);
    EXPECT_TRUE(add->Button1->isEnabled());
    add->hide();
    add->show();  // each showing starts on the General tab
    EXPECT_EQ(add->PageControl1->currentWidget(), add->TabSheet1);
    add->hide();
}

TEST_F(Emulators, EditingTheCfgFileWarnsOnlyInMessageMode) {
    std::unique_ptr<TEditWnd> editor(EditWnd = new TEditWnd);
    const std::string cfg = cat.dir.write("nes.cfg", "fullscreen=1\r\n");
    add->PrepareNew();
    add->CfgPath->setText(QString::fromStdString(cfg));
    add->PageControl1->setCurrentWidget(add->TabSheet3);  // where the button is

    Settings.MessageMode = true;
    prompts.Box(BoxOk);
    OnNextModal([](QDialog* d) { d->close(); });
    Trigger(*add, "Button1");
    ASSERT_EQ(prompts.Shown().size(), 1u);
    EXPECT_EQ(prompts.Shown()[0].caption, "Message");
    EXPECT_EQ(prompts.Shown()[0].icon, BoxIcon::None);
    EXPECT_EQ(prompts.Shown()[0].text,
              "Warning! Modifying the CFG file of an emulator may result in the emulator malfunction!\n"
              "Use this option only if you are sure of what to do!");
    EXPECT_EQ(editor->FileName, cfg);
    EXPECT_EQ(editor->windowTitle(), "Edit Configuration File");
    EXPECT_TRUE(editor->Edit->toPlainText().startsWith("fullscreen=1"));

    Settings.MessageMode = false;
    prompts.ClearShown();
    OnNextModal([](QDialog* d) { d->close(); });
    Trigger(*add, "Button1");
    EXPECT_TRUE(prompts.Shown().empty());
    EditWnd = nullptr;
}

TEST_F(Emulators, ListShowsTheCatalogueEachTime) {
    list.FormShow();
    EXPECT_EQ(list.Emus->count(), 0);
    EXPECT_EQ(list.StatusBar->Panel(0), "Emulators:");
    EXPECT_EQ(list.StatusBar->Panel(1), "0");
    cat.AddEmu("B");
    cat.AddEmu("A");
    list.FormShow();
    list.FormShow();
    EXPECT_EQ(list.Emus->count(), 2);
    EXPECT_EQ(list.Emus->item(0)->text(), "B");
    EXPECT_EQ(list.StatusBar->Panel(1), "2");
}

TEST_F(Emulators, RemoveOrPropertiesWithoutSelectionDoNothing) {
    cat.AddEmu("Nestopia");
    list.FormShow();
    list.Emus->clearSelection();
    Trigger(list, "BitBtn4");
    Trigger(list, "BitBtn5");
    EXPECT_EQ(cat.manager->EmuCount(), 1);
    EXPECT_TRUE(prompts.Shown().empty());
}

TEST_F(Emulators, RemoveAnsweredNoKeepsTheRoms) {
    cat.AddEmu("Nestopia");
    cat.AddRom("mario", "Nestopia");
    list.FormShow();
    Select(0);
    prompts.Box(BoxNo);
    Trigger(list, "BitBtn4");
    EXPECT_EQ(prompts.Shown().at(0).text,
              "Do you want to delete the all the ROMs\npreviously linked to this Emulator?");
    EXPECT_EQ(cat.manager->EmuCount(), 0);
    EXPECT_EQ(cat.manager->RomCount(), 1);
    EXPECT_EQ(list.Emus->count(), 0);
    EXPECT_EQ(mainRefills, 1);
}

TEST_F(Emulators, RemoveAnsweredYesDropsAdjacentLinkedRomsOnlyAndAsksInEveryMode) {
    cat.AddEmu("Nes");
    cat.AddEmu("Snes");
    cat.AddRom("first", "Snes");
    cat.AddRom("mario", "Nes");
    cat.AddRom("zelda", "Nes");
    cat.AddRom("upper", "NES");  // another emulator's name: not linked
    cat.AddRom("last", "Snes");
    Settings.MessageMode = false;
    list.FormShow();
    Select(0);
    prompts.Box(BoxYes);
    Trigger(list, "BitBtn4");
    EXPECT_EQ(prompts.Shown().size(), 1u);
    ASSERT_EQ(cat.manager->RomCount(), 3);
    EXPECT_EQ(cat.RomName(0), "first");
    EXPECT_EQ(cat.RomName(1), "upper");
    EXPECT_EQ(cat.RomName(2), "last");
    ASSERT_EQ(cat.manager->EmuCount(), 1);
    EXPECT_EQ(FieldText(cat.manager->GetEmu(0)->Name), "Snes");
    EXPECT_EQ(list.StatusBar->Panel(1), "1");
    EXPECT_EQ(list.StatusBar->Panel(2), "");
}

TEST_F(Emulators, PropertiesYesCarriesTheWholeRecordToLinkedRomsByTheOldName) {
    cat.AddEmu("Nes", "-old");
    cat.AddEmu("Zsnes");
    cat.AddRom("mario", "Nes");
    cat.AddRom("other", "nes");
    list.FormShow();
    Select(0);
    EditNextWith("Tnes", "-new");
    prompts.Box(BoxYes);
    Trigger(list, "BitBtn5");
    EXPECT_EQ(prompts.Shown().at(0).text,
              "Do you want to update the changes to all \nthe ROMs linked to this Emulator?");
    const RomRecord* mario = cat.manager->GetRom(0);
    EXPECT_EQ(FieldText(mario->Emulator.Name), "Tnes");
    EXPECT_EQ(FieldText(mario->Emulator.Params), "-new");  // per-ROM parameters replaced
    EXPECT_EQ(mario->Emulator.ZipSupported, 1);
    const RomRecord* other = cat.manager->GetRom(1);
    EXPECT_EQ(FieldText(other->Emulator.Name), "nes");
    EXPECT_EQ(FieldText(other->Emulator.Params), "-rom-own");
    // Sorted by name again: "Tnes" still comes before "Zsnes".
    EXPECT_EQ(FieldText(cat.manager->GetEmu(0)->Name), "Tnes");
    EXPECT_EQ(FieldText(cat.manager->GetEmu(0)->Params), "-new");
    EXPECT_EQ(mainRefills, 1);
}

TEST_F(Emulators, PropertiesNoRenamesOnlyTheEmulatorAndItsRomsAreLostToIt) {
    cat.AddEmu("Nes");
    cat.AddRom("mario", "Nes");
    list.FormShow();
    Select(0);
    EditNextWith("Famicom", "");
    prompts.Box(BoxNo);
    Trigger(list, "BitBtn5");
    EXPECT_EQ(FieldText(cat.manager->GetEmu(0)->Name), "Famicom");
    EXPECT_EQ(FieldText(cat.manager->GetRom(0)->Emulator.Name), "Nes");

    Select(0);
    prompts.Box(BoxYes);
    Trigger(list, "BitBtn4");  // the renamed emulator no longer finds its old ROM
    EXPECT_EQ(cat.manager->RomCount(), 1);
    EXPECT_EQ(cat.manager->EmuCount(), 0);
}

TEST_F(Emulators, PropertiesCancelledAsksNothingAndChangesNothing) {
    cat.AddEmu("Nes", "-old");
    list.FormShow();
    Select(0);
    OnNextModal([](QDialog*) {
        AddDlg->EmuName->setText("Changed");
        AddDlg->reject();
    });
    Trigger(list, "BitBtn5");
    EXPECT_TRUE(prompts.Shown().empty());
    EXPECT_EQ(FieldText(cat.manager->GetEmu(0)->Name), "Nes");
    EXPECT_EQ(mainRefills, 0);
}

TEST_F(Emulators, AddAppendsSortsAndRefreshesOnlyTheDialog) {
    cat.AddEmu("Zsnes");
    list.FormShow();
    OnNextModal([](QDialog*) {
        EXPECT_EQ(AddDlg->windowTitle(), "Add Emulator");
        AddDlg->EmuName->setText("Atari");
        AddDlg->EmuPath->setText("/usr/games/stella");
        Trigger("BitBtn1");
    });
    Trigger(list, "BitBtn3");
    ASSERT_EQ(cat.manager->EmuCount(), 2);
    EXPECT_EQ(FieldText(cat.manager->GetEmu(0)->Name), "Atari");
    EXPECT_EQ(list.Emus->item(0)->text(), "Atari");
    EXPECT_EQ(mainRefills, 0);
}

}  // namespace
