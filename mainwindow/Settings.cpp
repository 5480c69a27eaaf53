#include "mainwindow/Settings.h"

#include <cerrno>
#include <string>
#include <variant>
#include <vector>

#include "catalogue/Useful.h"
#include "platform/Paths.h"
#include "platform/Profile.h"

SettingsRecord Settings;

std::string SettingsFileName() {
    return DataFile("Tarnwick.ini");
}

namespace {

// Where one key's value lives: a field of Settings or of the window's record.
using Field = std::variant<bool*, int32_t*, std::string*>;

// The window's place: its state is read only when remembered; its bounds are read only when
// remembered and written only while the window is in its normal state.
enum class Group { Plain, State, Bounds };

struct Key {
    const char* section;
    std::string name;
    Field (*field)(WindowSettings& w, int column);
    int32_t number = 0;     // default of a boolean or integer key
    const char* text = "";  // default of a string key
    Group group = Group::Plain;
    int column = 0;  // for the column widths
};

#define FIELD(expr)                         \
    [](WindowSettings& w, int c) -> Field { \
        (void)w, (void)c;                   \
        return &(expr);                     \
    }

// Every key, in the order in which a save writes them.
const std::vector<Key>& KeyTable() {
    static const std::vector<Key> table = [] {
        std::vector<Key> t = {
            {"General", "Remember size and position", FIELD(Settings.RememberSizeAndPosition), 0},
            {"General", "Window State", FIELD(w.WindowState), 0, "", Group::State},
            {"General", "X", FIELD(w.X), 10, "", Group::Bounds},
            {"General", "Y", FIELD(w.Y), 10, "", Group::Bounds},
            {"General", "Height", FIELD(w.Height), 450, "", Group::Bounds},
            {"General", "Width", FIELD(w.Width), 600, "", Group::Bounds},
            {"General", "Show ToolBar", FIELD(Settings.ShowToolBar), 1},
            {"General", "Show StatusBar", FIELD(Settings.ShowStatusBar), 1},
            {"General", "Enable ToolTips", FIELD(w.EnableToolTips), 1},
            {"General", "View Style", FIELD(w.ViewStyle), 3},
            {"General", "Show Progress Bars", FIELD(w.ShowProgressBars), 1},
            {"General", "HotTrack", FIELD(Settings.HotTrack), 0},
            {"Font", "Name", FIELD(w.Font.Name), 0, "MS Sans Serif"},
            {"Font", "Size", FIELD(w.Font.Size), 8},
            {"Font", "Bold", FIELD(w.Font.Bold), 0},
            {"Font", "Italic", FIELD(w.Font.Italic), 0},
            {"Font", "Underline", FIELD(w.Font.Underline), 0},
            {"Font", "StrikeOut", FIELD(w.Font.StrikeOut), 0},
            {"Font", "Color", FIELD(w.Font.Color), 0},
            {"Default", "Rating", FIELD(Settings.DefaultRating), 0},
            {"Default", "Type", FIELD(Settings.DefaultType), 0},
            {"Default", "Sort Method", FIELD(Settings.SortMethod), 0},
            {"Security", "Log", FIELD(Settings.LogEnabled), 0},
            {"Security", "Validate", FIELD(Settings.Validate), 0},
            {"Security", "Message Mode", FIELD(Settings.MessageMode), 1},
            {"Stalker Engine", "Path", FIELD(Settings.StalkerEnginePath), 0, ""},
            {"Columns", "Save Columns Width", FIELD(Settings.SaveColumnsWidth), 1},
        };
        for (int i = 0; i < ColumnCount; ++i)
            t.push_back({"Columns", "Column" + std::to_string(i),
                         FIELD(Settings.ColumnWidths[static_cast<std::size_t>(c)]), 75, "", Group::Plain, i});
        return t;
    }();
    return table;
}

#undef FIELD

void ReadKey(const Profile& ini, const Key& key, WindowSettings& w) {
    const Field field = key.field(w, key.column);
    if (auto* b = std::get_if<bool*>(&field))
        **b = ini.ReadBool(key.section, key.name, key.number != 0);
    else if (auto* n = std::get_if<int32_t*>(&field))
        **n = ini.ReadInteger(key.section, key.name, key.number);
    else
        *std::get<std::string*>(field) = ini.ReadString(key.section, key.name, key.text);
}

void WriteKey(Profile& ini, const Key& key, WindowSettings& w) {
    const Field field = key.field(w, key.column);
    if (auto* b = std::get_if<bool*>(&field))
        ini.WriteBool(key.section, key.name, **b);
    else if (auto* n = std::get_if<int32_t*>(&field))
        ini.WriteInteger(key.section, key.name, **n);
    else
        ini.WriteString(key.section, key.name, *std::get<std::string*>(field));
}

int32_t InRange(int32_t value, int32_t low, int32_t high, int32_t fallback) {
    return value >= low && value <= high ? value : fallback;
}

// The values a failed read leaves behind.
void SetFailureDefaults() {
    Settings.RememberSizeAndPosition = false;
    Settings.MessageMode = true;
    Settings.LogEnabled = false;
    Settings.SaveColumnsWidth = true;
    Settings.DefaultRating = 0;
    Settings.DefaultType = 0;
    Settings.SortMethod = 0;
    Settings.Validate = false;
}

}  // namespace

void LoadSettings(WindowSettings& window, const std::string& iniPath) {
    Profile ini(iniPath);
    window.Read = false;
    window.HaveBounds = false;
    window.ReadError = 0;
    if (!ini.Load()) {
        window.ReadError = errno;
        SetFailureDefaults();
        return;
    }
    const WindowSettings designed;
    for (const Key& key : KeyTable()) {
        if (key.group != Group::Plain && !Settings.RememberSizeAndPosition) continue;
        ReadKey(ini, key, window);
    }
    window.HaveBounds = Settings.RememberSizeAndPosition;
    window.WindowState = InRange(window.WindowState, 0, 2, designed.WindowState);
    window.ViewStyle = InRange(window.ViewStyle, 0, 3, designed.ViewStyle);
    window.ColumnWidths = Settings.ColumnWidths;
    for (int c = 0; c < ColumnCount; ++c)
        window.ColumnSaved[static_cast<std::size_t>(c)] =
            ini.Value("Columns", "Column" + std::to_string(c)).has_value();
    window.Read = true;
}

bool SaveSettings(const WindowSettings& window, const std::string& iniPath) {
    Profile ini(iniPath);
    // Keeps the lines of the file that this program does not write (comments, foreign keys).
    ini.Load();
    Settings.ColumnWidths = window.ColumnWidths;
    WindowSettings w = window;
    for (const Key& key : KeyTable()) {
        // Bounds of a minimised or maximised window are not its normal bounds.
        if (key.group == Group::Bounds && w.WindowState != 0) continue;
        WriteKey(ini, key, w);
    }
    if (!ini.Save()) {
        ErrorBox("Error Writing INI File");
        return false;
    }
    return true;
}
