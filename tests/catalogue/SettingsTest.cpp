// The settings file: every key, its default, encodings, order, in-place rewrite and failures.
#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "support/ScriptedPrompter.h"
#include "support/TempDir.h"
#include "mainwindow/Settings.h"
#include "platform/Paths.h"

namespace {

struct SettingsFile : ::testing::Test {
    TempDir dir;
    std::string ini = dir.file("Tarnwick.ini");
    void SetUp() override {
        SetProgramFolder(dir.path());
        Settings = SettingsRecord();
    }
    void TearDown() override { Settings = SettingsRecord(); }
    WindowSettings Load(const std::string& text) {
        dir.write("Tarnwick.ini", text);
        WindowSettings w;
        LoadSettings(w);
        return w;
    }
};

const char* const FreshFile =
    "[General]\r\n"
    "Remember size and position=0\r\n"
    "Window State=0\r\n"
    "X=10\r\n"
    "Y=10\r\n"
    "Height=450\r\n"
    "Width=600\r\n"
    "Show ToolBar=1\r\n"
    "Show StatusBar=1\r\n"
    "Enable ToolTips=1\r\n"
    "View Style=3\r\n"
    "Show Progress Bars=1\r\n"
    "HotTrack=0\r\n"
    "\r\n[Font]\r\n"
    "Name=MS Sans Serif\r\n"
    "Size=8\r\n"
    "Bold=0\r\n"
    "Italic=0\r\n"
    "Underline=0\r\n"
    "StrikeOut=0\r\n"
    "Color=0\r\n"
    "\r\n[Default]\r\n"
    "Rating=0\r\n"
    "Type=0\r\n"
    "Sort Method=0\r\n"
    "\r\n[Security]\r\n"
    "Log=0\r\n"
    "Validate=0\r\n"
    "Message Mode=1\r\n"
    "\r\n[Stalker Engine]\r\n"
    "Path=\r\n"
    "\r\n[Columns]\r\n"
    "Save Columns Width=1\r\n"
    "Column0=75\r\n"
    "Column1=75\r\n"
    "Column2=75\r\n"
    "Column3=75\r\n"
    "Column4=75\r\n"
    "Column5=75\r\n"
    "Column6=75\r\n"
    "Column7=75\r\n"
    "Column8=75\r\n"
    "Column9=75\r\n"
    "Column10=75\r\n";

}  // namespace

TEST_F(SettingsFile, FirstRunReadsDefaultsAndWritesEveryKeyInOrder) {
    WindowSettings w;
    LoadSettings(w);
    EXPECT_TRUE(w.Read);
    EXPECT_FALSE(w.HaveBounds);
    EXPECT_TRUE(Settings.ShowToolBar && Settings.ShowStatusBar && Settings.MessageMode);
    EXPECT_TRUE(Settings.SaveColumnsWidth);
    EXPECT_FALSE(Settings.HotTrack || Settings.LogEnabled || Settings.Validate);
    EXPECT_EQ(w.ViewStyle, 3);
    EXPECT_EQ(w.Font, FontChoice());
    for (int i = 0; i < ColumnCount; ++i) EXPECT_EQ(Settings.ColumnWidths[i], 75);
    EXPECT_TRUE(SaveSettings(w));
    EXPECT_EQ(TempDir::read(ini), FreshFile);
}

TEST_F(SettingsFile, EveryValueRoundTrips) {
    Settings.RememberSizeAndPosition = true;
    Settings.HotTrack = true;
    Settings.DefaultRating = -5;
    Settings.DefaultType = 4;
    Settings.SortMethod = 13;
    Settings.LogEnabled = Settings.Validate = true;
    Settings.MessageMode = false;
    Settings.StalkerEnginePath = "/opt/zip engine";
    Settings.SaveColumnsWidth = false;
    WindowSettings w;
    w.X = -20;
    w.Y = 30;
    w.Height = 700;
    w.Width = 900;
    w.EnableToolTips = w.ShowProgressBars = false;
    w.ViewStyle = 1;
    w.Font = {"Courier New", 12, true, false, true, true, static_cast<int32_t>(0x80000005)};
    w.ColumnWidths = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    ASSERT_TRUE(SaveSettings(w));

    const SettingsRecord saved = Settings;
    Settings = SettingsRecord();
    WindowSettings r;
    LoadSettings(r);
    EXPECT_TRUE(r.HaveBounds);
    EXPECT_EQ(r.X, -20);
    EXPECT_EQ(r.Y, 30);
    EXPECT_EQ(r.Height, 700);
    EXPECT_EQ(r.Width, 900);
    EXPECT_FALSE(r.EnableToolTips);
    EXPECT_FALSE(r.ShowProgressBars);
    EXPECT_EQ(r.ViewStyle, 1);
    EXPECT_EQ(r.Font, w.Font);
    EXPECT_EQ(r.ColumnWidths, w.ColumnWidths);
    EXPECT_EQ(r.ColumnSaved, (std::array<bool, ColumnCount>{true, true, true, true, true, true, true, true,
                                                            true, true, true}));
    EXPECT_EQ(Settings.ColumnWidths, w.ColumnWidths);
    EXPECT_EQ(Settings.StalkerEnginePath, saved.StalkerEnginePath);
    EXPECT_EQ(Settings.SortMethod, 13);
    EXPECT_EQ(Settings.DefaultRating, -5);
    EXPECT_EQ(Settings.DefaultType, 4);
    EXPECT_FALSE(Settings.MessageMode);
    EXPECT_TRUE(Settings.LogEnabled && Settings.Validate && Settings.HotTrack);
    EXPECT_FALSE(Settings.SaveColumnsWidth);
}

TEST_F(SettingsFile, MaximisedKeepsTheLastNormalBounds) {
    Load(
        "[general]\r\nremember SIZE and position=1\r\nx=5\r\nY=6\r\nHeight=7\r\nWidth=8\r\nWindow "
        "State=2\r\n");
    WindowSettings w;
    w.WindowState = 2;
    w.X = 500;
    ASSERT_TRUE(SaveSettings(w));
    WindowSettings r;
    LoadSettings(r);
    EXPECT_EQ(r.WindowState, 2);
    EXPECT_EQ(r.X, 5);
    EXPECT_EQ(r.Width, 8);
    const std::string text = TempDir::read(ini);
    EXPECT_NE(text.find("x=5\r\n"), std::string::npos);  // rewritten in place only when changed
    EXPECT_EQ(text.find("X=500"), std::string::npos);
}

TEST_F(SettingsFile, BoundsAreIgnoredWhenNotRemembered) {
    const auto w = Load("[General]\nX=99\nWindow State=2\n");
    EXPECT_FALSE(w.HaveBounds);
    EXPECT_EQ(w.X, 10);
    EXPECT_EQ(w.WindowState, 0);
}

TEST_F(SettingsFile, NumbersInEveryFormAndGarbage) {
    const auto w = Load(
        "garbage line without equals\r\n=\r\n[Columns]\r\nColumn0=0x3C\r\nColumn1=$3C\r\nColumn2=abc\r\n"
        "Column3=0x\r\nColumn4=-5\r\nColumn5= 12 \r\nColumn6=99999999999\r\nColumn7=\r\n"
        "[General]\r\nView Style=7\r\nShow ToolBar=abc\r\nShow StatusBar=0x0\r\nHotTrack=2\r\n"
        "[Security]\r\nMessage Mode=\x01\xff\r\n[[broken\r\n");
    EXPECT_EQ(w.ColumnWidths, (std::array<int32_t, ColumnCount>{60, 60, 75, 75, -5, 12, 75, 75, 75, 75, 75}));
    // Only the keys the file holds count as saved: the three columns an older file did not know
    // are fitted to their contents.
    EXPECT_EQ(w.ColumnSaved, (std::array<bool, ColumnCount>{true, true, true, true, true, true, true, true,
                                                            false, false, false}));
    EXPECT_EQ(w.ViewStyle, 3);
    EXPECT_TRUE(Settings.ShowToolBar);     // not a number: default
    EXPECT_FALSE(Settings.ShowStatusBar);  // 0x0 is 0
    EXPECT_TRUE(Settings.HotTrack);        // any non-zero
    EXPECT_TRUE(Settings.MessageMode);
}

TEST_F(SettingsFile, RandomBytesLoadAndSave) {
    std::mt19937 random(11);
    static const char bytes[] = "[]=\r\n \t$0xX-9aZ\0\xff";
    const std::string alphabet(bytes, sizeof bytes - 1);  // the NUL included
    for (int round = 0; round < 200; ++round) {
        std::string text(random() % 300, ' ');
        for (char& c : text) c = alphabet[random() % alphabet.size()];
        const auto w = Load(text);
        EXPECT_TRUE(w.Read);
        EXPECT_TRUE(w.ViewStyle >= 0 && w.ViewStyle <= 3);
        EXPECT_TRUE(w.WindowState >= 0 && w.WindowState <= 2);
        ASSERT_TRUE(SaveSettings(w));
    }
}

TEST_F(SettingsFile, ForeignLinesSurviveASave) {
    Load("; my comment\r\n[Other]\r\nmine=1\r\n\r\n[General]\r\nCustom Key=x\r\nHotTrack=1\r\n");
    ASSERT_TRUE(SaveSettings(WindowSettings()));
    const std::string text = TempDir::read(ini);
    EXPECT_EQ(
        text.rfind("; my comment\r\n[Other]\r\nmine=1\r\n\r\n[General]\r\nCustom Key=x\r\nHotTrack=1\r\n", 0),
        0u)
        << text;
}

TEST_F(SettingsFile, UnreadableFileSetsTheFailureDefaults) {
    Settings.RememberSizeAndPosition = true;
    Settings.SortMethod = 9;
    Settings.ShowToolBar = false;
    // A folder where the file should be cannot be read, whoever runs the test.
    dir.write("Tarnwick.ini/inside", "");
    WindowSettings w;
    LoadSettings(w);
    EXPECT_FALSE(w.Read);
    EXPECT_FALSE(Settings.RememberSizeAndPosition);
    EXPECT_EQ(Settings.SortMethod, 0);
    EXPECT_TRUE(Settings.MessageMode);
    EXPECT_TRUE(Settings.SaveColumnsWidth);
    EXPECT_FALSE(Settings.ShowToolBar);  // not among the failure defaults
}

TEST_F(SettingsFile, UnwritableFileShowsOneErrorAndStaysWhole) {
    dir.write("Tarnwick.ini", "[General]\r\nHotTrack=1\r\n");
    chmod(ini.c_str(), 0444);
    ScriptedPrompter prompts;
    prompts.Box(BoxOk);
    EXPECT_FALSE(SaveSettings(WindowSettings()));
    EXPECT_EQ(prompts.BoxTexts(), std::vector<std::string>{"Error Writing INI File"});
    EXPECT_EQ(prompts.Shown()[0].caption, "Error");
    EXPECT_EQ(TempDir::read(ini), "[General]\r\nHotTrack=1\r\n");
}
