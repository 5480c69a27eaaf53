#include "WindowTestKit.h"

#include <QApplication>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

#include "mainwindow/Main.h"
#include "mainwindow/Windows.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace fs = std::filesystem;

TestProgram::TestProgram(bool withLookupLists) {
    fs::create_directories(dir.file("LISTS"));
    if (withLookupLists)
        for (const char* name : {"Systems.lst", "Types.lst", "Languages.lst"})
            fs::copy_file(std::string(TARNWICK_SOURCE_DIR) + "/data/LISTS/" + name,
                          dir.file("LISTS/") + name);
    for (const char* engine : {"libzipengine.so", "libunzengine.so"})
        fs::create_symlink(std::string(TARNWICK_APP_DIR) + "/" + engine, dir.file(engine));
    SetFolders(dir.path(), dir.path());  // portable: the catalogue lies beside the program
    // The desktop's data home, and with it the trash that an erase fills, lies here too.
    if (const char* old = getenv("XDG_DATA_HOME")) oldDataHome_ = old;
    setenv("XDG_DATA_HOME", dir.file("xdg").c_str(), 1);
}

TestProgram::~TestProgram() {
    SetFolders(TARNWICK_APP_DIR, TARNWICK_APP_DIR);
    if (oldDataHome_)
        setenv("XDG_DATA_HOME", oldDataHome_->c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

std::string TestProgram::Read(const std::string& name) const {
    try {
        return TempDir::read(dir.file(name));
    } catch (const std::exception&) {
        return "";
    }
}

void TestProgram::WriteRoms(const std::vector<RomRecord>& roms) const {
    dir.write("LISTS/ROMS.LST",
              std::string(reinterpret_cast<const char*>(roms.data()), roms.size() * sizeof(RomRecord)));
}

void TestProgram::WriteEmus(const std::vector<EmulatorRecord>& emus) const {
    dir.write("LISTS/EMUS.LST",
              std::string(reinterpret_cast<const char*>(emus.data()), emus.size() * sizeof(EmulatorRecord)));
}

std::string TestProgram::IniValue(const std::string& section, const std::string& key) const {
    const std::string text = Read("Tarnwick.ini");
    bool inSection = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        start = end + 1;
        if (!line.empty() && line.front() == '[') {
            inSection = EqualsNoCase(line, "[" + section + "]");
        } else if (inSection) {
            const size_t eq = line.find('=');
            if (eq != std::string::npos && EqualsNoCase(line.substr(0, eq), key)) return line.substr(eq + 1);
        }
    }
    return "<missing>";
}

EmulatorRecord MakeEmu(const std::string& name, const std::string& exe, const std::string& params, bool zip,
                       bool mame, int system) {
    EmulatorRecord e = *NewEmulatorRecord();
    SetFieldText(e.Name, name);
    SetFieldText(e.ExePath, exe);
    SetFieldText(e.Params, params);
    e.ZipSupported = zip;
    e.MameMode = mame;
    e.SystemIndex = system;
    return e;
}

RomRecord MakeRom(const EmulatorRecord& emu, const std::string& name, const std::string& file) {
    RomRecord r = *NewRomRecord();
    r.Emulator = emu;
    SetFieldText(r.Name, name);
    SetFieldText(r.FilePath, file);
    return r;
}

RunWindows::RunWindows() {
    CreateWindows(nullptr);
}

RunWindows::~RunWindows() {
    DestroyWindows();
}

void OnNextModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    auto started = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act, started] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        } else if (++*started > 1000) {  // ten seconds without a modal window
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no modal window appeared";
        }
    });
    timer->start();
}

void TwoRomRun::SetUp() {
    emu_ = MakeEmu("E", "/usr/bin/true");
    a_ = program_.dir.write("roms/a.nes", "a");
    b_ = program_.dir.write("roms/b.nes", "b");
    program_.WriteRoms({MakeRom(emu_, "A", a_), MakeRom(emu_, "B", b_)});
    program_.WriteEmus({emu_});
    windows_ = std::make_unique<RunWindows>();
}

void TwoRomRun::TearDown() {
    if (!MainWnd->Closed()) MainWnd->close();
    windows_.reset();
}
