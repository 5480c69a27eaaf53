#include "mainwindow/Settings.h"

#include <string>

#include "catalogue/Useful.h"
#include "platform/Paths.h"
#include "platform/Profile.h"

SettingsRecord Settings;

std::string SettingsFileName() { return ProgramFile("Tarnwick.ini"); }

namespace {

constexpr const char* General = "General";
constexpr const char* FontSection = "Font";
constexpr const char* Default = "Default";
constexpr const char* Security = "Security";
constexpr const char* Stalker = "Stalker Engine";
constexpr const char* Columns = "Columns";

std::string ColumnKey(int column) { return "Column" + std::to_string(column); }

int32_t InRange(int32_t value, int32_t low, int32_t high, int32_t fallback)
{
    return value >= low && value <= high ? value : fallback;
}

// The values a failed read leaves behind.
void SetFailureDefaults()
{
    Settings.RememberSizeAndPosition = false;
    Settings.MessageMode = true;
    Settings.LogEnabled = false;
    Settings.SaveColumnsWidth = true;
    Settings.DefaultRating = 0;
    Settings.DefaultType = 0;
    Settings.SortMethod = 0;
    Settings.Validate = false;
}

void ReadGeneral(const Profile& ini, WindowSettings& w)
{
    const WindowSettings d;
    Settings.RememberSizeAndPosition = ini.ReadBool(General, "Remember size and position", false);
    w.HaveBounds = Settings.RememberSizeAndPosition;
    if (w.HaveBounds) {
        w.X = ini.ReadInteger(General, "X", d.X);
        w.Y = ini.ReadInteger(General, "Y", d.Y);
        w.Height = ini.ReadInteger(General, "Height", d.Height);
        w.Width = ini.ReadInteger(General, "Width", d.Width);
        w.WindowState = InRange(ini.ReadInteger(General, "Window State", d.WindowState), 0, 2, d.WindowState);
    }
    Settings.ShowToolBar = ini.ReadBool(General, "Show ToolBar", true);
    Settings.ShowStatusBar = ini.ReadBool(General, "Show StatusBar", true);
    w.EnableToolTips = ini.ReadBool(General, "Enable ToolTips", d.EnableToolTips);
    w.ViewStyle = InRange(ini.ReadInteger(General, "View Style", d.ViewStyle), 0, 3, d.ViewStyle);
    w.ShowProgressBars = ini.ReadBool(General, "Show Progress Bars", d.ShowProgressBars);
    Settings.HotTrack = ini.ReadBool(General, "HotTrack", false);
}

void ReadOthers(const Profile& ini)
{
    Settings.DefaultRating = ini.ReadInteger(Default, "Rating", 0);
    Settings.DefaultType = ini.ReadInteger(Default, "Type", 0);
    Settings.SortMethod = ini.ReadInteger(Default, "Sort Method", 0);
    Settings.LogEnabled = ini.ReadBool(Security, "Log", false);
    Settings.Validate = ini.ReadBool(Security, "Validate", false);
    Settings.MessageMode = ini.ReadBool(Security, "Message Mode", true);
    Settings.SaveColumnsWidth = ini.ReadBool(Columns, "Save Columns Width", true);
    Settings.StalkerEnginePath = ini.ReadString(Stalker, "Path", "");
}

void ReadFont(const Profile& ini, FontChoice& font)
{
    const FontChoice d;
    font.Name = ini.ReadString(FontSection, "Name", d.Name);
    font.Size = ini.ReadInteger(FontSection, "Size", d.Size);
    font.Bold = ini.ReadBool(FontSection, "Bold", false);
    font.Italic = ini.ReadBool(FontSection, "Italic", false);
    font.Underline = ini.ReadBool(FontSection, "Underline", false);
    font.StrikeOut = ini.ReadBool(FontSection, "StrikeOut", false);
    font.Color = ini.ReadInteger(FontSection, "Color", d.Color);
}

void ReadColumns(const Profile& ini, WindowSettings& w)
{
    for (int i = 0; i < ColumnCount; ++i) {
        Settings.ColumnWidths[i] = ini.ReadInteger(Columns, ColumnKey(i), 75);
        w.ColumnWidths[i] = Settings.ColumnWidths[i];
    }
}

void WriteGeneral(Profile& ini, const WindowSettings& w)
{
    ini.WriteBool(General, "Remember size and position", Settings.RememberSizeAndPosition);
    ini.WriteInteger(General, "Window State", w.WindowState);
    // Bounds of a minimised or maximised window are not its normal bounds.
    if (w.WindowState == 0) {
        ini.WriteInteger(General, "X", w.X);
        ini.WriteInteger(General, "Y", w.Y);
        ini.WriteInteger(General, "Height", w.Height);
        ini.WriteInteger(General, "Width", w.Width);
    }
    ini.WriteBool(General, "Show ToolBar", Settings.ShowToolBar);
    ini.WriteBool(General, "Show StatusBar", Settings.ShowStatusBar);
    ini.WriteBool(General, "Enable ToolTips", w.EnableToolTips);
    ini.WriteInteger(General, "View Style", w.ViewStyle);
    ini.WriteBool(General, "Show Progress Bars", w.ShowProgressBars);
    ini.WriteBool(General, "HotTrack", Settings.HotTrack);
}

void WriteFont(Profile& ini, const FontChoice& font)
{
    ini.WriteString(FontSection, "Name", font.Name);
    ini.WriteInteger(FontSection, "Size", font.Size);
    ini.WriteBool(FontSection, "Bold", font.Bold);
    ini.WriteBool(FontSection, "Italic", font.Italic);
    ini.WriteBool(FontSection, "Underline", font.Underline);
    ini.WriteBool(FontSection, "StrikeOut", font.StrikeOut);
    ini.WriteInteger(FontSection, "Color", font.Color);
}

void WriteOthers(Profile& ini, const WindowSettings& w)
{
    ini.WriteInteger(Default, "Rating", Settings.DefaultRating);
    ini.WriteInteger(Default, "Type", Settings.DefaultType);
    ini.WriteInteger(Default, "Sort Method", Settings.SortMethod);
    ini.WriteBool(Security, "Log", Settings.LogEnabled);
    ini.WriteBool(Security, "Validate", Settings.Validate);
    ini.WriteBool(Security, "Message Mode", Settings.MessageMode);
    ini.WriteString(Stalker, "Path", Settings.StalkerEnginePath);
    ini.WriteBool(Columns, "Save Columns Width", Settings.SaveColumnsWidth);
    for (int i = 0; i < ColumnCount; ++i) {
        Settings.ColumnWidths[i] = w.ColumnWidths[i];
        ini.WriteInteger(Columns, ColumnKey(i), Settings.ColumnWidths[i]);
    }
}

} // namespace

void LoadSettings(WindowSettings& window, const std::string& iniPath)
{
    Profile ini(iniPath);
    window.Read = false;
    window.HaveBounds = false;
    if (!ini.Load()) {
        SetFailureDefaults();
        return;
    }
    ReadGeneral(ini, window);
    ReadOthers(ini);
    ReadFont(ini, window.Font);
    ReadColumns(ini, window);
    window.Read = true;
}

bool SaveSettings(const WindowSettings& window, const std::string& iniPath)
{
    Profile ini(iniPath);
    // Keeps the lines of the file that this program does not write (comments, foreign keys).
    ini.Load();
    WriteGeneral(ini, window);
    WriteFont(ini, window.Font);
    WriteOthers(ini, window);
    if (!ini.Save()) {
        ErrorBox("Error Writing INI File");
        return false;
    }
    return true;
}
