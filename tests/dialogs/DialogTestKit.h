#pragma once
// What the dialog tests share: a program folder of their own with the three lookup lists, a
// catalogue manager for it, records made to order, and a way to act on a modal window that a
// handler under test opens.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "support/TempDir.h"
#include "support/Trigger.h"
#include "catalogue/Emusystem.h"
#include "mainwindow/Settings.h"
#include "platform/Paths.h"

class DialogCatalogue {
public:
    DialogCatalogue() {
        dir.write("LISTS/Systems.lst", "NES\r\nSNES\r\nGenesis\r\n");
        dir.write("LISTS/Types.lst", "Action\r\nPuzzle\r\nRPG\r\n");
        dir.write("LISTS/Languages.lst", "English\r\nJapanese\r\n");
        SetProgramFolder(dir.path());
        manager = std::make_unique<EmuManager>(dir.file("Tarnwick.log"));
        manager->LoadSystems(dir.file("LISTS/Systems.lst"));
        Settings = SettingsRecord{};
    }

    EmulatorRecord* AddEmu(const std::string& name, const std::string& params = "", int32_t system = 0) {
        auto emu = NewEmulatorRecord();
        SetFieldText(emu->Name, name);
        SetFieldText(emu->ExePath, "/usr/bin/" + name);
        SetFieldText(emu->Params, params);
        emu->SystemIndex = system;
        emu->ZipSupported = 1;
        return manager->GetEmu(manager->AddEmu(std::move(emu)));
    }

    // A ROM whose emulator copy is the emulator's record with the name given (which may differ
    // from any listed emulator's name).
    RomRecord* AddRom(const std::string& name, const std::string& emuName, const std::string& path = "") {
        auto rom = NewRomRecord();
        SetFieldText(rom->Name, name);
        SetFieldText(rom->FilePath, path.empty() ? dir.file(name) : path);
        SetFieldText(rom->Emulator.Name, emuName);
        SetFieldText(rom->Emulator.Params, "-rom-own");
        rom->Emulator.ZipSupported = 0;
        return manager->GetRom(manager->AddRom(std::move(rom)));
    }

    std::string RomName(int32_t i) const { return FieldText(manager->GetRom(i)->Name); }

    TempDir dir;
    std::unique_ptr<EmuManager> manager;
};

// Runs action on the next modal dialog that comes up, from inside its event loop. Call it just
// before the handler that opens the dialog; it keeps looking until one comes up.
inline void OnNextModal(std::function<void(QDialog*)> action) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dlg) return;
        timer->stop();
        timer->deleteLater();
        action(dlg);
    });
    timer->start();
}
