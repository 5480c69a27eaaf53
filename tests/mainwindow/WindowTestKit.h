#pragma once
// What the main-window tests share: a program folder of their own, records to put in it, the
// windows of a run, and a helper that acts on the next modal window.

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/ScriptedPrompter.h"
#include "support/TempDir.h"
#include "support/Trigger.h"
#include "catalogue/Emusystem.h"

// A program folder in a temporary folder: LISTS/ with the lookup lists of the source tree (unless
// told otherwise) and links to the engine libraries. The program folder points at it while the
// object lives.
class TestProgram {
public:
    explicit TestProgram(bool withLookupLists = true);
    ~TestProgram();
    TempDir dir;
    std::string path(const std::string& name) const { return dir.file(name); }
    std::string Read(const std::string& name) const;  // "" when missing
    void WriteRoms(const std::vector<RomRecord>& roms) const;
    void WriteEmus(const std::vector<EmulatorRecord>& emus) const;
    void WriteEmptyCatalogue() const {
        WriteRoms({});
        WriteEmus({});
    }
    void WriteIni(const std::string& text) const { dir.write("Tarnwick.ini", text); }
    // The value of key in section of Tarnwick.ini, nullopt-like "<missing>" when absent.
    std::string IniValue(const std::string& section, const std::string& key) const;
    // The desktop's trash while the object lives ($XDG_DATA_HOME points into the folder).
    std::string Trash(const std::string& name) const { return dir.file("xdg/Trash/" + name); }

private:
    std::optional<std::string> oldDataHome_;
};

EmulatorRecord MakeEmu(const std::string& name, const std::string& exe, const std::string& params = "",
                       bool zip = true, bool mame = false, int system = 0);
RomRecord MakeRom(const EmulatorRecord& emu, const std::string& name, const std::string& file);

// The windows of one run, made as start-up makes them, released at the end.
class RunWindows {
public:
    RunWindows();
    ~RunWindows();
};

// A run of the windows over a catalogue of one emulator and two present ROMs, "A" (a) and
// "B" (b); the window is not shown yet.
class TwoRomRun : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    TestProgram program_;
    EmulatorRecord emu_;
    std::string a_, b_;
    std::unique_ptr<RunWindows> windows_;
    ScriptedPrompter prompts_;
};

// Runs `act` on the next modal window once it is up (polled from the event loop), so a test can
// press its buttons while the code under test waits in it.
void OnNextModal(std::function<void(QWidget*)> act);
