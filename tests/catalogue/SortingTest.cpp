// The text comparison, every ROM sort method, the emulator order and the column-click rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "support/TempDir.h"
#include "catalogue/Emusystem.h"
#include "catalogue/Sorting.h"
#include "mainwindow/Settings.h"

namespace {

struct Sorting : ::testing::Test {
    TempDir dir;
    EmuManager m{dir.file("Tarnwick.log")};
    void SetUp() override {
        m.LoadTypes(dir.write("Types.lst", "Puzzle\r\nAction\r\n"));
        m.LoadSystems(dir.write("Systems.lst", "Sega\r\nAtari\r\n"));
        m.LoadLanguages(dir.write("Languages.lst", "english\r\nENGLISH\r\nDutch\r\n"));
    }
    void TearDown() override { Settings = SettingsRecord(); }

    RomRecord& Add(const std::string& name) {
        auto rom = NewRomRecord();
        SetFieldText(rom->Name, name);
        RomRecord& ref = *rom;
        m.AddRom(std::move(rom));
        return ref;
    }
    std::vector<std::string> SortedNames(int32_t method) {
        Settings.SortMethod = method;
        m.SortRoms();
        std::vector<std::string> names;
        for (int32_t i = 0; i < m.RomCount(); ++i) names.push_back(FieldText(m.GetRom(i)->Name));
        return names;
    }
    using Names = std::vector<std::string>;
};

}  // namespace

TEST(CompareTexts, MapsOnlyAsciiLettersAndShorterFirst) {
    EXPECT_EQ(CompareTexts("apple", "APPLE"), 0);
    EXPECT_LT(CompareTexts("Z", "_"), 0);  // 0x5A before 0x5F
    EXPECT_LT(CompareTexts("z", "_"), 0);  // z maps to 0x5A
    EXPECT_EQ(CompareTexts("b", "a"), 1);
    EXPECT_LT(CompareTexts("ab", "abc"), 0);
    EXPECT_GT(CompareTexts("abc", "ab"), 0);
    EXPECT_NE(CompareTexts("\xC3\xA9", "\xC3\x89"), 0);  // é and É differ
    EXPECT_GT(CompareTexts("\xE9", "z"), 0);             // unsigned bytes
    EXPECT_EQ(CompareTexts("", ""), 0);
}

TEST_F(Sorting, TextColumnsBothWays) {
    for (const char* n : {"b", "A", "c"}) Add(n);
    EXPECT_EQ(SortedNames(0), (Names{"A", "b", "c"}));
    EXPECT_EQ(SortedNames(1), (Names{"c", "b", "A"}));

    m.ClearRoms();
    auto& x = Add("x");
    auto& y = Add("y");
    auto& z = Add("z");
    SetFieldText(x.FilePath, "/roms/b");
    SetFieldText(y.FilePath, "/ROMS/a");
    SetFieldText(z.FilePath, "/roms/_");
    SetFieldText(x.Emulator.Name, "nes");
    SetFieldText(y.Emulator.Name, "Snes");
    SetFieldText(z.Emulator.Name, "Mame");
    EXPECT_EQ(SortedNames(2), (Names{"y", "x", "z"}));
    EXPECT_EQ(SortedNames(3), (Names{"z", "x", "y"}));
    EXPECT_EQ(SortedNames(4), (Names{"z", "x", "y"}));
    EXPECT_EQ(SortedNames(5), (Names{"y", "x", "z"}));
}

TEST_F(Sorting, NumberColumnsAreSigned) {
    Add("ten").Rating = 10;
    Add("minus").Rating = -5;
    Add("seven").Rating = 7;
    m.GetRom(0)->TimesPlayed = INT32_MIN;
    m.GetRom(1)->TimesPlayed = INT32_MAX;
    m.GetRom(2)->TimesPlayed = 0;
    EXPECT_EQ(SortedNames(8), (Names{"minus", "seven", "ten"}));
    EXPECT_EQ(SortedNames(9), (Names{"ten", "seven", "minus"}));
    EXPECT_EQ(SortedNames(14), (Names{"ten", "seven", "minus"}));
    EXPECT_EQ(SortedNames(15), (Names{"minus", "seven", "ten"}));
}

TEST_F(Sorting, LookupColumnsCompareNamesWithInvalid) {
    Add("puzzle").TypeIndex = 0;
    Add("action").TypeIndex = 1;
    Add("nine").TypeIndex = 9;
    EXPECT_EQ(SortedNames(12), (Names{"action", "nine", "puzzle"}));
    EXPECT_EQ(SortedNames(13), (Names{"puzzle", "nine", "action"}));

    m.ClearRoms();
    Add("sega").Emulator.SystemIndex = 0;
    Add("atari").Emulator.SystemIndex = 1;
    Add("none").Emulator.SystemIndex = -1;
    EXPECT_EQ(SortedNames(6), (Names{"atari", "none", "sega"}));
    EXPECT_EQ(SortedNames(7), (Names{"sega", "none", "atari"}));

    m.ClearRoms();
    Add("dutch").LanguageIndex = 2;
    Add("upper").LanguageIndex = 1;
    Add("lower").LanguageIndex = 0;
    auto byLanguage = SortedNames(10);
    EXPECT_EQ(byLanguage[0], "dutch");
    // english and ENGLISH are the same name to the sort
    EXPECT_EQ(CompareRoms(*m.GetRom(1), *m.GetRom(2), 10, m), 0);
    EXPECT_EQ(SortedNames(11)[2], "dutch");
}

TEST_F(Sorting, OtherMethodsCompareEqual) {
    Add("b").Rating = 1;
    Add("a").Rating = 2;
    for (int32_t method : {22, -1, 1000}) {
        EXPECT_EQ(CompareRoms(*m.GetRom(0), *m.GetRom(1), method, m), 0);
        EXPECT_EQ(SortedNames(method).size(), 2u);
    }
}

TEST_F(Sorting, FactColumnsPutNeverAndUnknownFirst) {
    Add("old").FilePath[0] = 'o';
    Add("never").FilePath[0] = 'n';
    Add("recent").FilePath[0] = 'r';
    m.Stats().RecordPlay("o", 1000, 7200);
    m.Stats().RecordPlay("r", 5000, 60);
    m.Stats().RecordAdded({"r"}, 300);
    m.Stats().RecordAdded({"o"}, 200);
    EXPECT_EQ(SortedNames(16), (Names{"never", "old", "recent"}));
    EXPECT_EQ(SortedNames(17), (Names{"recent", "old", "never"}));
    EXPECT_EQ(SortedNames(18), (Names{"never", "recent", "old"}));
    EXPECT_EQ(SortedNames(19), (Names{"old", "recent", "never"}));
    EXPECT_EQ(SortedNames(20), (Names{"never", "old", "recent"}));
    EXPECT_EQ(SortedNames(21), (Names{"recent", "old", "never"}));
    EXPECT_LT(CompareRoms(*m.GetRom(1), *m.GetRom(0), 20, m), 0);
}

TEST_F(Sorting, SortAgreesWithCompareRomsForEveryMethod) {
    std::mt19937 random(7);
    const char* pieces[] = {"a", "B", "c", "_", "Z", "\xC3\xA9", ""};
    for (int i = 0; i < 300; ++i) {
        std::string name = std::string(pieces[random() % 7]) + pieces[random() % 7] + pieces[random() % 7];
        RomRecord& rom = Add(name);
        SetFieldText(rom.FilePath, pieces[random() % 7] + name);
        SetFieldText(rom.Emulator.Name, std::string(pieces[random() % 7]) + pieces[random() % 7]);
        rom.Emulator.SystemIndex = static_cast<int32_t>(random() % 5) - 1;
        rom.LanguageIndex = static_cast<int32_t>(random() % 5) - 1;
        rom.TypeIndex = static_cast<int32_t>(random() % 4) - 1;
        rom.Rating = static_cast<int32_t>(random() % 7) - 3;
        rom.TimesPlayed = static_cast<int32_t>(random() % 3);
        if (random() % 2) m.Stats().RecordPlay(FieldView(rom.FilePath), random() % 4, random() % 3);
        m.Stats().RecordAdded({FieldView(rom.FilePath)}, random() % 3);
    }
    m.MarkRomRemoved(5);
    for (int32_t method = 0; method < 2 * SortColumnCount; ++method) {
        std::map<const RomRecord*, int32_t> before;
        for (int32_t i = 0; i < m.RomCount(); ++i) before[m.GetRom(i)] = i;
        Settings.SortMethod = method;
        m.SortRoms();
        ASSERT_EQ(m.GetRom(m.RomCount() - 1), nullptr) << "empty slot goes last";
        for (int32_t i = 0; i + 2 < m.RomCount(); ++i) {
            const int order = CompareRoms(*m.GetRom(i), *m.GetRom(i + 1));
            ASSERT_LE(order, 0) << "method " << method << " at " << i;
            if (order == 0) {  // equal ROMs keep the order they had
                ASSERT_LT(before[m.GetRom(i)], before[m.GetRom(i + 1)]) << "method " << method << " at " << i;
            }
        }
    }
}

TEST_F(Sorting, EmulatorsSortByName) {
    for (const char* n : {"snes", "Nes", "NES", "atari"}) {
        auto emu = NewEmulatorRecord();
        SetFieldText(emu->Name, n);
        m.AddEmu(std::move(emu));
    }
    m.SortEmus();
    EXPECT_EQ(FieldView(m.GetEmu(0)->Name), "atari");
    EXPECT_EQ(CompareEmus(*m.GetEmu(1), *m.GetEmu(2)), 0);
    EXPECT_EQ(FieldView(m.GetEmu(3)->Name), "snes");
}

TEST_F(Sorting, ColumnClicksToggleAndStartAscending) {
    Settings.SortMethod = 4;  // as saved; the click state starts at 0 regardless
    EXPECT_EQ(m.SortState(), 0);
    EXPECT_EQ(SelectSortColumn(m, 2), 4);
    EXPECT_EQ(SelectSortColumn(m, 2), 5);
    EXPECT_EQ(SelectSortColumn(m, 2), 4);
    EXPECT_EQ(SelectSortColumn(m, 7), 14);
    EXPECT_EQ(Settings.SortMethod, 14);
    EXPECT_EQ(m.SortState(), 14);

    EmuManager fresh(dir.file("other.log"));
    EXPECT_EQ(SelectSortColumn(fresh, 0), 1);  // first click on Name after start-up
    EXPECT_EQ(SelectSortColumn(m, 10), 20);
    EXPECT_EQ(SelectSortColumn(m, 10), 21);
    for (int32_t column = 0; column < SortColumnCount; ++column) {
        EXPECT_EQ(ColumnClickSortMethod(column, 2 * column), 2 * column + 1);
        EXPECT_EQ(ColumnClickSortMethod(column, 2 * column + 1), 2 * column);
        EXPECT_EQ(ColumnClickSortMethod(column, 99), 2 * column);
    }
}
