#pragma once
// TRomPropDlg, the ROM properties dialog: shows and edits one ROM at a time (description,
// language, type, rating, the ROM's own emulator parameters and zip flags), steps to the previous
// or next ROM, and on its file tab shows the file's folder, name and size, lists a zip archive's
// members, renames the file and deletes members.
//
// How the main window uses it (PropertiesExecute, only while a row is selected):
//     RomPropDlg->exec();
//     if (RomPropDlg->Changed) { Emus.SortRoms(); FillRomList(); }   // whatever closed it
// At start-up the main window sets the hook that tells the dialog which row is selected:
//     RomPropDlg->SelectedRow = [this] { return <position of the first selected row, -1 if none>; };
// The dialog owns its zip component Zip; the records are changed in place in the catalogue.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QString>
#include <QTabWidget>
#include <cstdint>
#include <functional>
#include <memory>

#include "toolkit/FlatButton.h"
#include "toolkit/StatusPanels.h"

struct RomRecord;
class StatusProgress;
class TZipArchiver;

class TRomPropDlg : public QDialog {
    Q_OBJECT
public:
    explicit TRomPropDlg(QWidget* parent = nullptr);
    ~TRomPropDlg() override;

    QTabWidget* PageControl1;
    QWidget* TabSheet1;            // "General"
    QLineEdit* RomDesc;            // Name, at most 39 characters
    QLabel* Text;                  // "Emulator:" in front of RomEmu
    QLabel* RomEmu;                // Name of the ROM's emulator copy
    QLabel* RomSystem;             // system name of the copy's SystemIndex
    QLineEdit* RomParams;          // the copy's Params, at most 127 characters
    QComboBox* RomLanguage;        // Languages list; position = LanguageIndex
    QSpinBox* RomRating;           // Rating, 0 to 100
    QComboBox* RomType;            // Types list; position = TypeIndex
    QWidget* TabSheet2;            // "File Proprierties"
    QLabel* RomPath;               // folder part of FilePath, as stored
    QLabel* RomFile;               // file-name part of FilePath, as stored
    QPushButton* Button1;          // "&Rename"
    QLabel* FileSize;              // size text
    QListWidget* Contents;         // member names of a zip archive
    QPushButton* Button2;          // "&Delete"
    QWidget* TabSheet3;            // "ZIP Handling"
    QCheckBox* RomZipSupport;      // "ZIP support"
    QCheckBox* RomUnzipInDir;      // "MAME Mode"
    QPushButton* OkBtn;            // OK
    QPushButton* BitBtn2;          // Cancel
    QPushButton* BitBtn1;          // Help
    FlatButton* SpeedButton1;      // previous ROM
    FlatButton* SpeedButton2;      // next ROM
    StatusPanels* StatusBar;       // "ROMs:", count, "Position:", position, messages
    StatusProgress* WorkProgress;  // at the bar's right end while archive work runs

    // The zip component that reads and changes the archives shown on the file tab.
    std::unique_ptr<TZipArchiver> Zip;

    int RomIndex = -1;     // catalogue position of the ROM shown; -1 when none is shown
    bool Changed = false;  // set by every ApplyChanges during this showing

    // The position of the main window's selected row; set by the main window.
    std::function<int()> SelectedRow;

    // Loads every control from the ROM at RomIndex.
    void ShowRom();
    // Stores the editable controls into the ROM shown; false (with a message, nothing stored)
    // when a control holds something that cannot be stored or that ROM is no longer there.
    bool ApplyChanges();
    // Shows a text in status panel 4 at once.
    void SetStatus(const QString& text);
    // Fills the file tab: member list and size text.
    void FillFileTab();

    // A byte count by the large-size rule: n / 1024 "Kb", or n / 1024 / 1024 "Mb" when n / 1024
    // is greater than 1024, each followed by its suffix (" Kb", " Kb/", " Mb", " Mb/").
    static QString LargeSize(int64_t n, bool slash);

public slots:
    void FormShow();
    void PageControl1Change(int page);
    void OkBtnClick();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void BitBtn1Click();
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    RomRecord* ShownRom() const;
    const RomRecord* shown_ = nullptr;  // the record ShowRom loaded, so no other one is written
    // Whether the lookup lists could be read at this showing; an unread list keeps the ROM's
    // position instead of storing "none".
    bool languagesRead_ = false;
    bool typesRead_ = false;
    void Step(int delta);
    void ShowFileNames(const RomRecord& rom);
    QString NewNameFor(const RomRecord& rom);
};

// The one ROM properties dialog of the run, created at start-up.
extern TRomPropDlg* RomPropDlg;
