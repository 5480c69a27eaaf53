// Shows one dialog on a real display with a small sample catalogue, so that a person can look
// at it (and take a screenshot): dialogs_look <Scan|Add|EmuList|RomAdd|RomProp|Options|About|Help>
// [page]. The page number picks a tab of the dialogs that have them; for Help it is the topic.
// Closing the dialog ends it.
#include <QApplication>
#include <QTabWidget>
#include <cstdio>
#include <memory>
#include <string>

#include "catalogue/Emusystem.h"
#include "catalogue/Scan.h"
#include "dialogs/About.h"
#include "dialogs/Emuadd.h"
#include "dialogs/Emulist.h"
#include "dialogs/Help.h"
#include "dialogs/Options.h"
#include "dialogs/Romadd.h"
#include "dialogs/Romprop.h"
#include "mainwindow/QtPrompter.h"
#include "mainwindow/Settings.h"
#include "platform/Paths.h"
#include "support/Archives.h"
#include "support/TempDir.h"
#include "zip/QtZipUi.h"

namespace {

void SampleCatalogue(EmuManager& emus, const TempDir& dir) {
    emus.LoadSystems(ProgramFile("LISTS\\Systems.lst"));
    for (const char* name : {"FCE Ultra", "Snes9x", "Gens"}) {
        auto emu = NewEmulatorRecord();
        SetFieldText(emu->Name, name);
        SetFieldText(emu->ExePath, std::string("/usr/games/") + name);
        emu->SystemIndex = emus.EmuCount();
        emu->ZipSupported = 1;
        emus.AddEmu(std::move(emu));
    }
    const std::string zip = archives::InfoZipArchive(
        dir, "Super Mario Bros.zip",
        {{"Super Mario Bros (E).nes", std::string(40960, 'm')}, {"readme.txt", "Have fun"}});
    auto rom = NewRomRecord();
    rom->Emulator = *emus.GetEmu(0);
    SetFieldText(rom->Name, "Super Mario Bros");
    SetFieldText(rom->FilePath, zip);
    rom->Rating = 90;
    emus.AddRom(std::move(rom));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: dialogs_look <Scan|Add|EmuList|RomAdd|RomProp|Options|About|Help> [page]\n");
        return 2;
    }
    const std::string which = argv[1];
    const int page = argc > 2 ? std::atoi(argv[2]) : 0;
    UseQtPrompter();
    UseQtZipUi();
    SetProgramFolder(TARNWICK_APP_DIR);
    TempDir dir;
    EmuManager emus(dir.file("Tarnwick.log"));
    SampleCatalogue(emus, dir);
    Settings.MessageMode = true;
    Settings.DefaultRating = 50;

    AddDlg = new TAddDlg;
    std::unique_ptr<QDialog> dlg;
    if (which == "Scan")
        dlg.reset(ScanDlg = new TScanDlg);
    else if (which == "Add") {
        AddDlg->PrepareFrom(*emus.GetEmu(1));
        dlg.reset(AddDlg);
        AddDlg = nullptr;
    } else if (which == "EmuList")
        dlg.reset(EmuListDlg = new TEmuListDlg);
    else if (which == "RomAdd")
        dlg.reset(RomAddDlg = new TRomAddDlg);
    else if (which == "RomProp") {
        auto* prop = new TRomPropDlg;
        prop->SelectedRow = [] { return 0; };
        dlg.reset(RomPropDlg = prop);
    } else if (which == "Options")
        dlg.reset(OptionsDlg = new TOptionsDlg);
    else if (which == "About")
        dlg.reset(AboutDlg = new TAboutDlg);
    else if (which == "Help") {
        ShowHelpTopic(argc > 2 ? argv[2] : "");
        return app.exec();
    } else
        return 2;
    dlg->show();
    if (auto* pages = dlg->findChild<QTabWidget*>("PageControl1")) pages->setCurrentIndex(page);
    const int result = app.exec();
    delete AddDlg;
    return result;
}
