// Path parts, case-insensitive program files, and the code-page rules for record texts.
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

TEST(PathParts, SplitAtTheLastSlash) {
    EXPECT_EQ(FolderPart("/roms/nes/game.nes"), "/roms/nes/");
    EXPECT_EQ(FileNamePart("/roms/nes/game.nes"), "game.nes");
    EXPECT_EQ(ExtensionPart("/roms/nes/game.tar.gz"), ".gz");
    EXPECT_EQ(ExtensionPart("/roms/v1.0/readme"), "");  // a dot in a folder is no extension
    EXPECT_EQ(WithoutExtension("/a/b.zip"), "/a/b");
    EXPECT_EQ(FolderPart("game.nes"), "");
    EXPECT_EQ(FileNamePart("/roms/"), "");
    EXPECT_EQ(JoinPath("/roms", "a.zip"), "/roms/a.zip");
    EXPECT_EQ(JoinPath("/roms/", "a.zip"), "/roms/a.zip");
    EXPECT_EQ(JoinPath("", "a.zip"), "a.zip");
    EXPECT_EQ(SlashPath("LISTS\\EMUS.LST"), "LISTS/EMUS.LST");
    EXPECT_EQ(AbsolutePath("/a/./b//c/../d"), "/a/b/d");
    EXPECT_EQ(AbsolutePath("/.."), "/");
}

TEST(ProgramFiles, ComponentsMatchIgnoringCase) {
    TempDir dir;
    dir.write("LISTS/Systems.lst", "NES\r\n");
    SetProgramFolder(dir.path().substr(0, dir.path().size() - 1));  // the '/' is added
    EXPECT_EQ(ProgramFolder(), dir.path());
    EXPECT_EQ(ProgramFile("Lists\\systems.LST"), dir.path() + "LISTS/Systems.lst");
    // Nothing matches: spelled as given, from the first missing component on.
    EXPECT_EQ(ProgramFile("LISTS\\EMUS.LST"), dir.path() + "LISTS/EMUS.LST");
    EXPECT_EQ(ProgramFile("hlp\\Tarnwick.html"), dir.path() + "hlp/Tarnwick.html");
    // An exact match wins over another spelling.
    dir.write("LISTS/systems.lst", "");
    EXPECT_EQ(ProgramFile("LISTS\\systems.lst"), dir.path() + "LISTS/systems.lst");
}

TEST(ProgramFiles, DefaultIsTheExecutablesFolder) {
    SetProgramFolder("");
    const std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(FolderExists(folder));
}

TEST(Texts, CaseRulesAndNameOrder) {
    EXPECT_TRUE(EqualsNoCase("GAME.ZIP", "game.zip"));
    EXPECT_FALSE(EqualsNoCase("\xC3\x84", "\xC3\xA4"));  // only ASCII letters fold
    EXPECT_TRUE(EndsWithNoCase("pacman.Zip", ".ZIP"));
    EXPECT_FALSE(EndsWithNoCase("zip", ".zip"));
    EXPECT_LT(CompareFileNames("a.zip", "B.zip"), 0);
    EXPECT_LT(CompareFileNames("B.zip", "b.zip"), 0);  // case ties broken by bytes
    EXPECT_LT(CompareFileNames("z", "\xC3\xA4"), 0);   // high bytes after ASCII
    EXPECT_EQ(CompareFileNames("x", "x"), 0);
}

TEST(Texts, CutAtCharacterBoundary) {
    const std::string text = "ab\xC3\xA4\xE2\x82\xAC";  // a b ä €
    EXPECT_EQ(CutUtf8(text, 10), text);
    EXPECT_EQ(CutUtf8(text, 3), "ab");  // ä would be split
    EXPECT_EQ(CutUtf8(text, 4), "ab\xC3\xA4");
    EXPECT_EQ(CutUtf8(text, 6), "ab\xC3\xA4");  // € would be split
    EXPECT_EQ(CutUtf8("", 0), "");
    // Single-byte texts (not UTF-8) are cut at the byte.
    EXPECT_EQ(CutUtf8("\xE4\xE4\xE4\xE4", 3), "\xE4\xE4\xE4");
    EXPECT_EQ(CutUtf8("a\x80\x80\x80", 2), "a\x80");
}

TEST(Texts, DisplayUtf8OrWindows1252) {
    EXPECT_EQ(DisplayText("Caf\xC3\xA9"), "Caf\xC3\xA9");
    EXPECT_EQ(DisplayText("Caf\xE9"), "Caf\xC3\xA9");
    EXPECT_EQ(DisplayText("\x80 \x9F"), "\xE2\x82\xAC \xC5\xB8");        // € Ÿ
    EXPECT_EQ(DisplayText("\x81"), "\xC2\x81");                          // unassigned byte kept
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));                               // overlong '/'
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));                           // surrogate
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));                               // cut short
    EXPECT_EQ(Cp437ToUtf8("\x81\xE1\xFF"), "\xC3\xBC\xC3\x9F\xC2\xA0");  // ü ß nbsp
}
