#pragma once
// The user's preferences: the process-wide `Settings` record read by the catalogue core and the
// dialogs, and the settings file Tarnwick.ini in the program folder, read once while the main
// window is created (LoadSettings) and written once when it closes (SaveSettings).
//
// Values that belong to the main window's controls (bounds, state, view style, font, two check
// marks, column widths) travel in a WindowSettings record: LoadSettings fills it for the window
// to apply, SaveSettings writes what the window put in it. Nothing here depends on Qt.
//
// Main window start-up:
//     WindowSettings w;                 // defaults = the file's defaults
//     LoadSettings(w);
//     if (w.Read) {
//         if (w.HaveBounds) { move/resize to X, Y, Width, Height; apply WindowState; }
//         apply EnableToolTips, ViewStyle, ShowProgressBars, Font;
//         if (Settings.SaveColumnsWidth) apply w.ColumnWidths;
//         apply the switches (HotTrack, tool tips, bars, the view button);
//     }                                 // !w.Read: the file could not be read; keep the design
// Close:
//     fill w from the window (WindowState, and the bounds when the state is normal, ...);
//     SaveSettings(w);                  // shows "Error Writing INI File" once when it fails
#include <array>
#include <cstdint>
#include <string>

#include "catalogue/Prompter.h"  // FontChoice
#include "catalogue/RomColumns.h"

// The ROM list's columns whose widths are kept.
constexpr int ColumnCount = RomColumn::Count;

struct SettingsRecord {
    bool RememberSizeAndPosition = false;
    bool ShowToolBar = false;
    bool ShowStatusBar = false;
    bool HotTrack = false;
    int32_t DefaultRating = 0;
    int32_t DefaultType = 0;
    int32_t SortMethod = 0;  // 0..21: column * 2, plus 1 for descending
    bool LogEnabled = false;
    bool Validate = false;
    bool MessageMode = false;  // on: "Lamer Mode" (questions and warnings shown)
    std::string StalkerEnginePath;
    bool SaveColumnsWidth = false;
    std::array<int32_t, ColumnCount> ColumnWidths{};
};

// The one record of the run. Every field is 0, false or empty until LoadSettings runs.
extern SettingsRecord Settings;

// Window-side values. The member initialisers are the settings file's defaults.
struct WindowSettings {
    // Set by LoadSettings: true when the file was read (a missing file reads as all defaults);
    // false when reading failed, in which case the window keeps its designed look and the
    // switches are not applied.
    bool Read = false;
    // Set by LoadSettings: the errno of a file that is there but could not be read, else 0.
    int ReadError = 0;
    // Set by LoadSettings: true when "Remember size and position" is on, so X, Y, Height, Width
    // and WindowState were read and are to be applied.
    bool HaveBounds = false;

    int32_t WindowState = 0;  // 0 normal, 1 minimised, 2 maximised (others read as 0)
    // Outer bounds in pixels; SaveSettings writes them only when WindowState is 0.
    int32_t X = 10;
    int32_t Y = 10;
    int32_t Height = 450;
    int32_t Width = 600;
    bool EnableToolTips = true;    // check mark of EnableToolTips
    int32_t ViewStyle = 3;         // 0 big icons, 1 small icons, 2 list, 3 report (others read as 3)
    bool ShowProgressBars = true;  // check mark of ShowProgressBars
    FontChoice Font;               // font of the ROM list view
    // Load: the widths read (also in Settings.ColumnWidths), to apply when SaveColumnsWidth is
    // on. Save: the current widths of the list's columns, copied into Settings.ColumnWidths.
    std::array<int32_t, ColumnCount> ColumnWidths{75, 75, 75, 75, 75, 75, 75, 75, 75, 75, 75};
    // Load: whether the file holds a width for the column (none at a first start, and none for
    // the columns an older file did not know); the window fits the others to their contents.
    std::array<bool, ColumnCount> ColumnSaved{};
};

// The program folder followed by "Tarnwick.ini".
std::string SettingsFileName();

// Reads every key of the settings file into Settings and `window`. Never reports anything:
// missing or unreadable values take their defaults; when the file cannot be read at all, the
// failure defaults are set (Remember off, Message Mode on, Log off, Save Columns Width on,
// Rating/Type/Sort Method 0, Validate off) and window.Read stays false.
void LoadSettings(WindowSettings& window, const std::string& iniPath = SettingsFileName());

// Writes Settings and `window` to the settings file, keeping the file's other lines. When the
// file cannot be written, shows ErrorBox("Error Writing INI File") once, leaves the old file
// whole and returns false.
bool SaveSettings(const WindowSettings& window, const std::string& iniPath = SettingsFileName());
