#pragma once
// TMainWnd: the main window. The ROM list with its tool bars, menus, progress panel and status
// bar; the catalogue's start-up and close; every main-window command.

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/Prompter.h"
#include "mainwindow/RomListView.h"

class QAction;
class QActionGroup;
class QComboBox;
class QKeyEvent;
class QLineEdit;
class QMenu;
class QProgressBar;
class StatusPanels;
class StatusProgress;
class QToolBar;
class QToolButton;
class TZipArchiver;
class EmuManager;
struct WindowSettings;

class TMainWnd : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window, creates the catalogue manager, loads the zip engines, then runs
    // FormCreate (lookup lists, settings, list files).
    explicit TMainWnd(QWidget* parent = nullptr);
    ~TMainWnd() override;

    // Controls (object names as given).
    QWidget* CoolBar1;
    QToolBar* ToolBar2;  // band 0: "&Emulators", "&ROMs", "&Tools", "&Help"
    QToolBar* ToolBar1;  // band 1: "Main Controls"
    TRomListView* List;
    QWidget* PPanel;
    QProgressBar* ProgressBar1;
    StatusPanels* StatBar;         // panels: "Games:", the ROM count, the status text
    StatusProgress* WorkProgress;  // at the bar's right end while long work runs
    QToolButton *Icns, *SIcns, *Lst, *Rep;
    // On ToolBar2: the search box, the emulator filter ("All emulators" first), the favourites
    // toggle. Each change narrows the list at once.
    QLineEdit* SearchBox;
    QComboBox* EmuFilter;
    QToolButton* FavouritesFilter;

    QMenu *EMUsMenu, *ROMsMenu, *Tools, *HelpMenu, *CoolBarMenu;
    // CoolBarMenu's check items.
    QAction *ShowStatusBar, *ShowToolBar1, *EnableToolTips, *ShowProgressBars;
    // ROMsMenu items whose enabling ROMsMenuPopup decides.
    QAction *Run1, *Favourite1, *Remove1, *EraseROM1, *AddRom1, *Scan1, *ClearROMslist1, *ExploreDirectory1,
        *Properties1;
    QAction* RefreshList1;  // Tools menu, F5
    // The upkeep items of ROMsMenu.
    QAction *RemoveMissingROMs1, *ExportList1;

    // The actions (ActionList1), object names as given.
    QAction *Add, *ListEmu, *ClearEmuList;
    QAction *Run, *Remove, *Erase, *AddRom, *Scan, *ClearRomList, *Explore, *Properties, *Favourite;
    QAction *RemoveMissing, *ExportList;
    QAction *Options, *ViewLog, *ClearLog, *Refresh, *Stalker;
    QAction *Contents, *About;
    QAction *BigIcons, *SmallIcns, *ListIcons, *Report;

    // The window's zip component (list and extract before a launch).
    TZipArchiver& ZipMan() { return *zipMan_; }
    // Unzip progress counters of the launch.
    int32_t UnzipTotal = 0;
    int32_t UnzipDone = 0;

    // Operations other windows use.
    void FillRomList();
    void SetStatus(const std::string& text);
    std::string StatusText() const;
    int SelectedRom() const;
    // The list's font and colour, as the settings file and the font dialog know them.
    FontChoice ListFontChoice() const;
    void SetListFontChoice(
        const FontChoice& font);  // catalogue position of the first selected row, -1 when none

    // False when start-up stopped before the settings and list files were read: closing then
    // writes none of them, so a broken start cannot destroy the stored catalogue.
    bool CatalogueLoaded() const { return loaded_; }
    // True for the whole of a launch (listing, unzip, the emulator's run, the clean-up): the window
    // keeps painting but refuses to close and runs no command.
    bool Launching() const { return launching_; }
    void SetLaunching(bool on) { launching_ = on; }
    // Shows the progress strip above the status bar while work reports progress (and "Show
    // Progress Bars" is checked); hides it again when the work ends.
    void ShowProgressStrip(bool working);

    // Handlers (names as bound in the form); each takes its sender's part and returns nothing.
    void FormCreate();
    void FormShow();
    void StatsRead();  // the facts store's read at start-up ended: its box, its facts shown
    void FormClose();
    void ListColumnClick(int column);
    void ListEdited(int row, QString& text);
    void ListDblClick();
    void ListMouseUp(Qt::MouseButton button);
    void ROMsMenuPopup();
    void BigIconsExecute();
    void SmallIcnsExecute();
    void ListIconsExecute();
    void ReportExecute();
    void ShowToolBar1Click();
    void ShowStatusBarClick();
    void EnableToolTipsClick();
    void ShowProgressBarsClick();

    void AddExecute();
    void ListEmuExecute();
    void ClearEmuListExecute();
    void RunExecute();
    void RemoveExecute();
    void EraseExecute();
    void AddRomExecute();
    void ScanExecute();
    void ClearRomListExecute();
    void RemoveMissingExecute();
    void ExportListExecute();
    void ExploreExecute();
    void PropertiesExecute();
    void FavouriteExecute();  // marks the selected ROM a favourite, or takes the mark away
    // Narrows the list by the search box, the emulator filter and the favourites toggle.
    void ApplyFilter();
    void FocusSearch();
    void OptionsExecute();
    void ViewLogExecute();
    void ClearLogExecute();
    void RefreshExecute();
    void StalkerExecute();
    void ContentsExecute();
    void AboutExecute();

    // Points the dialogs that read the main window (selected row, list font) at this window.
    void BindDialogs();

    // Whether FormClose has run (the catalogue is saved and the manager destroyed).
    bool Closed() const { return closed_; }
    // The desktop session ends (Session.h): saves as the close does, then the run ends. Only the
    // event loop below: it is the window's own close. Anything else below (a launch, a dialog, an
    // unzip) must not go on without the catalogue, and the emulator is left to the session: the
    // process ends right after saving.
    void EndSession();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void Command(const std::function<void()>& handler);
    void BuildActions();
    void BuildMenus();
    void BuildCoolBar();
    void BuildBottom();
    void BindList();
    void ApplyHotTrack(bool on);
    void ApplyWindowSettings(const WindowSettings& w);
    WindowSettings TakeWindowSettings() const;
    void ReloadLookupLists();
    // Panel 1: the ROM count, "12 of 100000" while a filter narrows the list.
    void ShowCount();
    void PlaceFirstTime();
    // Find.cpp: the search box and filters, the keys, the favourite mark.
    void BuildFindBar();
    void BindKeys();
    void FocusList();
    bool SearchBoxKey(QKeyEvent* key);
    void RefreshEmuFilter();
    void SelectRom(const RomRecord* rom);
    void LoadListFile(void (EmuManager::*load)(const std::string&), const std::string& path,
                      const std::string& failure);
    void SaveAtClose();
    void SaveSession();
    void SaveListFile(void (EmuManager::*save)(const std::string&) const, const std::string& path,
                      const std::string& failure);
    void SayWhatIsNotKept();
    void SetViewStyle(int style);

    std::unique_ptr<TZipArchiver> zipMan_;
    QActionGroup* viewGroup_ = nullptr;
    std::vector<bool> columnsToFit_;  // fitted once, at the first showing
    std::string lastExport_;          // the file the list was last exported to in this run
    bool loaded_ = false;
    bool settingsUnread_ = false;  // Tarnwick.ini is there but could not be read: it is not written
    bool launching_ = false;
    bool closed_ = false;
    bool progressShown_ = false;
};

// The one main window of the run (created at start-up).
extern TMainWnd* MainWnd;
