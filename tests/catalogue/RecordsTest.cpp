// Records, list files, lookup lists and the log, against files built byte by byte.
#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "ListBuilders.h"
#include "support/TempDir.h"
#include "catalogue/Emusystem.h"
#include "platform/Paths.h"

using namespace builders;

namespace {

struct Catalogue : ::testing::Test {
    TempDir dir;
    void SetUp() override {
        SetProgramFolder(dir.path());
        dir.write("LISTS/.keep", "");
    }
    std::string Lists(const std::string& name) const { return dir.file("LISTS/" + name); }
};

Emu NamedEmu(const std::string& name, int32_t system = 0) {
    Emu e;
    e.name = name;
    e.system = system;
    return e;
}

Rom NamedRom(const std::string& name, int32_t played = 0) {
    Rom r;
    r.name = name;
    r.path = "/roms/" + name;
    r.played = played;
    return r;
}

}  // namespace

TEST_F(Catalogue, LoadReadsEveryFieldAtItsOffset) {
    Rom r;
    r.emulator = {"Snes9x", 3, "/opt/snes9x", "/etc/snes.cfg", "-a -b", 2, 1};
    r.name = "Mario";
    r.path = "/roms/mario.sfc";
    r.played = 7;
    r.language = 2;
    r.type = -4;
    r.rating = 100;
    dir.write("LISTS/ROMS.LST", r.Bytes());

    EmuManager m(dir.file("Tarnwick.log"));
    m.LoadRomList();
    ASSERT_EQ(m.RomCount(), 1);
    const RomRecord& rom = *m.GetRom(0);
    EXPECT_EQ(FieldView(rom.Emulator.Name), "Snes9x");
    EXPECT_EQ(rom.Emulator.SystemIndex, 3);
    EXPECT_EQ(FieldView(rom.Emulator.ExePath), "/opt/snes9x");
    EXPECT_EQ(FieldView(rom.Emulator.CfgPath), "/etc/snes.cfg");
    EXPECT_EQ(FieldView(rom.Emulator.Params), "-a -b");
    EXPECT_TRUE(FlagSet(rom.Emulator.ZipSupported));  // 2 reads as true
    EXPECT_TRUE(FlagSet(rom.Emulator.MameMode));
    EXPECT_EQ(FieldView(rom.Name), "Mario");
    EXPECT_EQ(FieldView(rom.FilePath), "/roms/mario.sfc");
    EXPECT_EQ(rom.TimesPlayed, 7);
    EXPECT_EQ(rom.LanguageIndex, 2);
    EXPECT_EQ(rom.TypeIndex, -4);
    EXPECT_EQ(rom.Rating, 100);
}

TEST_F(Catalogue, LoadAndSaveKeepEveryByte) {
    std::string roms = NamedRom("a").Bytes() + NamedRom("b", 3).Bytes() + NamedRom("c").Bytes();
    std::string emus = NamedEmu("Nes").Bytes() + NamedEmu("NES", 5).Bytes();
    dir.write("LISTS/ROMS.LST", roms);
    dir.write("LISTS/EMUS.LST", emus);

    EmuManager m(dir.file("Tarnwick.log"));
    m.LoadRomList();
    m.LoadEmuList();
    std::remove(Lists("ROMS.LST").c_str());
    std::remove(Lists("EMUS.LST").c_str());
    m.SaveRomList();
    m.SaveEmuList();
    EXPECT_EQ(TempDir::read(Lists("ROMS.LST")), roms);  // filler after the terminators included
    EXPECT_EQ(TempDir::read(Lists("EMUS.LST")), emus);
    EXPECT_EQ(TempDir::read(Lists("ROMS.LST")).size(), 3 * RomSize);
}

// A loaded list's records are the file's bytes mapped copy-on-write: what changes in memory must
// never reach the file but through a save, and the mapping must go with the list's last record.
TEST_F(Catalogue, ChangesReachTheListFileOnlyBySaveAndTheFileIsLetGoWithTheList) {
    const std::string roms = NamedRom("a").Bytes() + NamedRom("b").Bytes() + NamedRom("c").Bytes();
    dir.write("LISTS/ROMS.LST", roms);
    const auto mapsNameTheList = [&] {
        return TempDir::read("/proc/self/maps").find(Lists("ROMS.LST")) != std::string::npos;
    };
    {
        EmuManager m(dir.file("Tarnwick.log"));
        m.LoadRomList();
        SetFieldText(m.GetRom(1)->Name, "changed");
        m.GetRom(2)->TimesPlayed = 7;
        m.DeleteRom(0);
        auto added = NewRomRecord();
        SetFieldText(added->Name, "added");
        m.AddRom(std::move(added));
        EXPECT_EQ(TempDir::read(Lists("ROMS.LST")), roms);
        EmuManager other(dir.file("Other.log"));
        other.LoadRomList();
        EXPECT_EQ(FieldView(other.GetRom(1)->Name), "b");

        m.SaveRomList();
        EmuManager reread(dir.file("Reread.log"));
        reread.LoadRomList();
        ASSERT_EQ(reread.RomCount(), 3);
        EXPECT_EQ(FieldView(reread.GetRom(0)->Name), "changed");
        EXPECT_EQ(reread.GetRom(1)->TimesPlayed, 7);
        EXPECT_EQ(FieldView(reread.GetRom(2)->Name), "added");
        EXPECT_TRUE(mapsNameTheList());
    }
    EXPECT_FALSE(mapsNameTheList());
}

TEST_F(Catalogue, SaveFollowsTheListOrderAfterASort) {
    const std::string a = NamedRom("a").Bytes(), b = NamedRom("b").Bytes(), c = NamedRom("c").Bytes();
    dir.write("LISTS/ROMS.LST", b + a + c);
    EmuManager m(dir.file("Tarnwick.log"));
    m.LoadRomList();
    m.SortRoms();  // by name: the first two change places, the last stays next to the second
    m.SaveRomList();
    EXPECT_EQ(TempDir::read(Lists("ROMS.LST")), a + b + c);
}

TEST_F(Catalogue, TrailingPieceIsIgnoredAndLoadsAppend) {
    dir.write("LISTS/EMUS.LST", NamedEmu("One").Bytes() + std::string(308, 'x'));  // 1000 bytes
    EmuManager m(dir.file("Tarnwick.log"));
    auto first = NewEmulatorRecord();
    SetFieldText(first->Name, "Kept");
    m.AddEmu(std::move(first));
    m.LoadEmuList();
    ASSERT_EQ(m.EmuCount(), 2);
    EXPECT_EQ(FieldView(m.GetEmu(0)->Name), "Kept");
    EXPECT_EQ(FieldView(m.GetEmu(1)->Name), "One");
    m.LoadEmuList();
    EXPECT_EQ(m.EmuCount(), 3);
}

TEST_F(Catalogue, EmptyAndMissingListFiles) {
    EmuManager m(dir.file("Tarnwick.log"));
    m.AddRom(NewRomRecord());
    EXPECT_THROW(m.LoadRomList(), ECatalogueError);
    EXPECT_EQ(m.RomCount(), 1);  // keeps what it had
    dir.write("LISTS/ROMS.LST", "");
    m.ClearRoms();
    m.LoadRomList();
    EXPECT_EQ(m.RomCount(), 0);
    m.SaveRomList();
    EXPECT_EQ(TempDir::read(Lists("ROMS.LST")), "");
}

TEST_F(Catalogue, FailedSaveThrowsAndKeepsTheOldFile) {
    const std::string old = NamedRom("old").Bytes();
    dir.write("LISTS/ROMS.LST", old);
    EmuManager m(dir.file("Tarnwick.log"));
    m.AddRom(NewRomRecord());
    chmod(Lists("ROMS.LST").c_str(), 0444);
    EXPECT_THROW(m.SaveRomList(), ECatalogueError);
    EXPECT_EQ(TempDir::read(Lists("ROMS.LST")), old);
    // A folder in the file's place cannot be replaced either.
    dir.write("LISTS/EMUS.LST/inside", "");
    EXPECT_THROW(m.SaveEmuList(), ECatalogueError);
    EXPECT_THROW(m.LoadEmuList(), ECatalogueError);
}

TEST_F(Catalogue, ListFilesThereButUnreadableAreNeverWrittenOver) {
    // A FIFO and a link to a drive that is not there: reading the one must not wait for a
    // writer, and neither may be replaced by the session's lists.
    ASSERT_EQ(mkfifo(Lists("ROMS.LST").c_str(), 0644), 0);
    ASSERT_EQ(symlink("/media/absent/EMUS.LST", Lists("EMUS.LST").c_str()), 0);
    EmuManager m(dir.file("Tarnwick.log"));
    try {
        m.LoadRomList();
        ADD_FAILURE() << "a FIFO was read as a list";
    } catch (const ECatalogueError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file \"" + Lists("ROMS.LST") + "\". Not a regular file");
    }
    EXPECT_THROW(m.LoadEmuList(), ECatalogueError);
    EXPECT_TRUE(m.UnreadFile(Lists("ROMS.LST")));
    EXPECT_TRUE(m.UnreadFile(Lists("EMUS.LST")));
    m.AddRom(NewRomRecord());
    m.AddEmu(NewEmulatorRecord());
    m.SaveRomList();
    m.SaveEmuList();
    struct stat st;
    ASSERT_EQ(lstat(Lists("ROMS.LST").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(lstat(Lists("EMUS.LST").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // A missing file is no such file: the list starts empty and the save creates it.
    const std::string other = dir.file("other/ROMS.LST");
    dir.write("other/.keep", "");
    EXPECT_THROW(m.LoadRomList(other), ECatalogueError);
    EXPECT_FALSE(m.UnreadFile(other));
    m.SaveRomList(other);
    EXPECT_EQ(TempDir::read(other).size(), RomSize);
}

TEST_F(Catalogue, ListFilesOfAnyLengthAndContentLoad) {
    std::mt19937 random(42);
    for (std::size_t length : {0u, 1u, 691u, 692u, 693u, 1003u, 1004u, 1005u, 2008u, 5000u}) {
        std::string bytes(length, '\0');
        for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
        // No NUL anywhere: every text runs to its field's width.
        for (char& c : bytes)
            if (c == '\0') c = 'z';
        dir.write("LISTS/ROMS.LST", bytes);
        dir.write("LISTS/EMUS.LST", bytes);
        EmuManager m(dir.file("Tarnwick.log"));
        m.LoadRomList();
        m.LoadEmuList();
        ASSERT_EQ(m.RomCount(), static_cast<int32_t>(length / RomSize));
        ASSERT_EQ(m.EmuCount(), static_cast<int32_t>(length / EmuSize));
        for (int32_t i = 0; i < m.RomCount(); ++i) {
            EXPECT_EQ(FieldView(m.GetRom(i)->Name).size(), 40u);
            EXPECT_EQ(FieldView(m.GetRom(i)->FilePath).size(), 256u);
            EXPECT_EQ(FieldView(m.GetRom(i)->Emulator.Params), bytes.substr(i * RomSize + 556, 128));
        }
        m.SaveRomList();
        EXPECT_EQ(TempDir::read(Lists("ROMS.LST")), bytes.substr(0, length / RomSize * RomSize));
    }
}

TEST(FieldText, StoreCutsAtCharacterBoundaryAndClearsTheRest) {
    EmulatorRecord emu;
    std::memset(&emu, 'q', sizeof emu);
    EXPECT_TRUE(SetFieldText(emu.Name, "short"));
    EXPECT_EQ(FieldView(emu.Name), "short");
    for (std::size_t i = 5; i < 40; ++i) EXPECT_EQ(emu.Name[i], '\0');
    EXPECT_EQ(emu.SystemIndex, 0x71717171);  // the next field is untouched

    // 38 ASCII bytes then a two-byte character: it would need bytes 38 and 39, so it goes.
    const std::string text = std::string(38, 'a') + "\xC3\xA9" + "tail";
    EXPECT_FALSE(SetFieldText(emu.Name, text));
    EXPECT_EQ(FieldView(emu.Name), std::string(38, 'a'));
    EXPECT_TRUE(SetFieldText(emu.Name, std::string(39, 'b')));
    EXPECT_FALSE(SetFieldText(emu.Name, std::string(40, 'b')));
    EXPECT_EQ(FieldView(emu.Name), std::string(39, 'b'));
    EXPECT_EQ(emu.Name[39], '\0');
}

TEST_F(Catalogue, LookupNamesAndInvalid) {
    dir.write("Lists/Types.lst", "Puzzle\r\nAction\n\rShooter\r\rLast");
    EmuManager m(dir.file("Tarnwick.log"));
    m.LoadTypes(dir.file("Lists/Types.lst"));
    ASSERT_EQ(m.Types().size(), 6u);
    EXPECT_EQ(m.TypeName(0), "Puzzle");
    EXPECT_EQ(m.TypeName(1), "Action");
    EXPECT_EQ(m.TypeName(2), "");  // LF then CR: an empty entry between them
    EXPECT_EQ(m.TypeName(3), "Shooter");
    EXPECT_EQ(m.TypeName(4), "");
    EXPECT_EQ(m.TypeName(5), "Last");
    EXPECT_EQ(m.TypeName(6), "Invalid");
    EXPECT_EQ(m.TypeName(-1), "Invalid");
    EXPECT_EQ(m.SystemName(0), "Invalid");  // not loaded
    EXPECT_EQ(m.LanguageName(INT32_MIN), "Invalid");

    std::string garbage;
    for (int i = 0; i < 256; ++i) garbage.push_back(static_cast<char>(i));
    dir.write("Lists/Languages.lst", garbage);
    m.LoadLanguages(dir.file("Lists/Languages.lst"));
    std::size_t total = 0;
    for (const auto& line : m.Languages()) total += line.size();
    EXPECT_EQ(total + 2, garbage.size());  // everything but the LF and CR

    EXPECT_THROW(m.LoadSystems(dir.file("Lists/none.lst")), ECatalogueError);
    EXPECT_THROW(m.LoadTypes(dir.file("Lists/none.lst")), ECatalogueError);
    EXPECT_EQ(m.TypeName(0), "Puzzle");  // a failed load leaves the list
}

TEST_F(Catalogue, LogIsReadAtStartAndWrittenWhole) {
    {
        EmuManager m(dir.file("Tarnwick.log"));
        EXPECT_TRUE(m.Log().empty());
        m.AddLogLine("first");
        m.AddLogLine("second");
        m.SaveLog();
    }
    EXPECT_EQ(TempDir::read(dir.file("Tarnwick.log")), "first\r\nsecond\r\n");
    EmuManager m(dir.file("Tarnwick.log"));
    ASSERT_EQ(m.Log().size(), 2u);
    m.AddLogLine("third");
    m.SaveLog();
    EXPECT_EQ(TempDir::read(dir.file("Tarnwick.log")), "first\r\nsecond\r\nthird\r\n");
    m.ClearLog();
    EXPECT_TRUE(m.Log().empty());
    EXPECT_EQ(TempDir::read(dir.file("Tarnwick.log")), "");

    // A file name holding line breaks stays on its one line, each break a blank.
    m.AddLogLine("- Executing: emu /roms/two\nlines\r\nand\rthree.nes");
    m.AddLogLine("case line");
    m.SaveLog();
    EXPECT_EQ(TempDir::read(dir.file("Tarnwick.log")),
              "- Executing: emu /roms/two lines and three.nes\r\ncase line\r\n");
    EXPECT_EQ(EmuManager(dir.file("Tarnwick.log")).Log().size(), 2u);
}

TEST_F(Catalogue, ProgramFolderNamesAndTheProcessWideManager) {
    EXPECT_EQ(Emus, nullptr);
    dir.write("Tarnwick.log", "old line\r\n");
    {
        EmuManager m;
        EXPECT_EQ(Emus, &m);
        EXPECT_EQ(m.LogFileName(), dir.file("Tarnwick.log"));
        EXPECT_EQ(m.Log(), std::vector<std::string>{"old line"});
        EmuManager second(dir.file("other.log"));
        EXPECT_EQ(Emus, &m);  // the first one stays the manager of the run
    }
    EXPECT_EQ(Emus, nullptr);
    EXPECT_EQ(RomListFileName(), dir.file("LISTS/ROMS.LST"));
    EXPECT_EQ(EmuListFileName(), dir.file("LISTS/EMUS.LST"));
}
