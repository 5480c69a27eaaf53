// The INI file: reading rules, saving that keeps foreign lines, and failures that lose nothing.
#include "platform/Files.h"
#include "platform/Profile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(ProfileIntegers, DecimalAndHexadecimal) {
    EXPECT_EQ(ParseProfileInteger("-5"), -5);
    EXPECT_EQ(ParseProfileInteger(" 75 "), 75);
    EXPECT_EQ(ParseProfileInteger("0x3C"), 60);
    EXPECT_EQ(ParseProfileInteger("$3c"), 60);
    EXPECT_EQ(ParseProfileInteger("$FFFFFFFF"), -1);
    EXPECT_EQ(ParseProfileInteger("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseProfileInteger("2147483648"), std::nullopt);
    EXPECT_EQ(ParseProfileInteger("0x"), std::nullopt);
    EXPECT_EQ(ParseProfileInteger("abc"), std::nullopt);
    EXPECT_EQ(ParseProfileInteger("12abc"), std::nullopt);
    EXPECT_EQ(ParseProfileInteger(""), std::nullopt);
}

TEST(ProfileReading, NamesIgnoreCaseAndEveryLineEndReads) {
    Profile p;
    p.LoadText(
        "; comment\r\n[general]\rRemember size and position = 1\nshow toolbar=0\r\n"
        "[Columns]\r\nColumn0=0x3C\r\nColumn1=abc\r\n[Font]\r\nName=Courier New\r\n");
    EXPECT_TRUE(p.ReadBool("General", "Remember size and position", false));
    EXPECT_FALSE(p.ReadBool("GENERAL", "Show ToolBar", true));
    EXPECT_EQ(p.ReadInteger("Columns", "Column0", 75), 60);
    EXPECT_EQ(p.ReadInteger("Columns", "Column1", 75), 75);
    EXPECT_EQ(p.ReadInteger("Columns", "Column2", 75), 75);
    EXPECT_EQ(p.ReadString("font", "name", "MS Sans Serif"), "Courier New");
    EXPECT_EQ(p.ReadString("Font", "Size", "8"), "8");
    EXPECT_EQ(p.ReadString("Nowhere", "Name", "d"), "d");
    EXPECT_EQ(p.Keys("general"), (std::vector<std::string>{"Remember size and position", "show toolbar"}));

    p.LoadText("[S]\r\nLong=" + std::string(3000, 'x') + "\r\n");
    EXPECT_EQ(p.ReadString("S", "Long", "").size(), Profile::MaxStringLength);
}

TEST(ProfileSaving, RewritesInPlaceAndAppendsKeepingForeignLines) {
    TempDir dir;
    const std::string ini = dir.write("Tarnwick.ini",
                                      "; my settings\r\n[General]\r\nX=5\r\nForeign Key=keep me\r\n\r\n"
                                      "[Other Tool]\r\nA=b\r\n");
    Profile p(ini);
    ASSERT_TRUE(p.Load());
    p.WriteInteger("general", "x", 10);
    p.WriteBool("General", "Show ToolBar", true);
    p.WriteString("Columns", "Column0", "75");
    p.WriteString("Columns", "Column1", "80");
    ASSERT_TRUE(p.Save());
    EXPECT_EQ(TempDir::read(ini),
              "; my settings\r\n[General]\r\nX=10\r\nForeign Key=keep me\r\nShow ToolBar=1\r\n\r\n"
              "[Other Tool]\r\nA=b\r\n\r\n[Columns]\r\nColumn0=75\r\nColumn1=80\r\n");

    // A value with a line break cannot break the file apart.
    p.WriteString("General", "X", "1\r\n[Evil]");
    EXPECT_FALSE(p.HasSection("Evil"));

    Profile fresh(dir.file("new.ini"));
    EXPECT_TRUE(fresh.Load());  // a missing file is an empty profile
    fresh.WriteString("General", "Remember size and position", "0");
    ASSERT_TRUE(fresh.Save());
    EXPECT_EQ(TempDir::read(dir.file("new.ini")), "[General]\r\nRemember size and position=0\r\n");
}

TEST(ProfileSaving, FailureKeepsTheOldFileWhole) {
    TempDir dir;
    const std::string old = "[General]\r\nX=5\r\n";
    const std::string ini = dir.write("Tarnwick.ini", old);
    Profile p(ini);
    ASSERT_TRUE(p.Load());
    p.WriteInteger("General", "X", 99);
    SetReadOnly(ini, true);
    EXPECT_FALSE(p.Save());
    EXPECT_EQ(TempDir::read(ini), old);
    EXPECT_EQ(p.ReadInteger("General", "X", 0), 99);  // the values stay in memory

    Profile nowhere(dir.file("no folder/Tarnwick.ini"));
    nowhere.WriteInteger("General", "X", 1);
    EXPECT_FALSE(nowhere.Save());
    EXPECT_FALSE(Profile().Save());

    Profile unreadable(dir.path());  // a folder cannot be read as a file
    EXPECT_FALSE(unreadable.Load());
}

TEST(ProfileReading, AByteOrderMarkIsNoPartOfTheFirstSectionAndStaysOnSave) {
    TempDir dir;
    const std::string ini = dir.write("Tarnwick.ini", "\xEF\xBB\xBF[General]\r\nView Style=1\r\n; mine\r\n");
    Profile p(ini);
    ASSERT_TRUE(p.Load());
    EXPECT_EQ(p.ReadInteger("General", "View Style", 3), 1);
    p.WriteInteger("General", "View Style", 2);
    ASSERT_TRUE(p.Save());
    EXPECT_EQ(TempDir::read(ini), "\xEF\xBB\xBF[General]\r\nView Style=2\r\n; mine\r\n");  // one [General]
}

TEST(ProfileReading, AFifoInPlaceOfTheFileIsRefusedAtOnce) {
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("Tarnwick.ini").c_str(), 0644), 0);
    Profile p(dir.file("Tarnwick.ini"));
    EXPECT_FALSE(p.Load());  // would wait for a writer for good if it were opened as a file
}
