#pragma once
// TScanDlg, the scan dialog: the user picks an emulator, a folder and file name patterns, and the
// main window's Scan command then adds a ROM for every matching file.
//
// How the main window uses it (ScanExecute):
//     if (ScanDlg->exec() != QDialog::Accepted) return;
//     SetStatus("Scanning for new ROMs...");
//     auto result = ScanDlg->ScanSelected(progress);  // nullopt: no emulator at that position
//     if (!result) return;
//     SetStatus("Sorting..."); Emus.SortRoms(); FillRomList();
// ScanSelected lets the core's errors through (an empty folder text), so the event dispatcher
// reports them and the sort and refill do not happen. The folder text and the subfolder choice
// are kept from one showing to the next; the emulator choice, the patterns and the duplicate
// check are reset on showing.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/Emusystem.h"
#include "toolkit/FileEdit.h"
#include "toolkit/FlatButton.h"

class TScanDlg : public QDialog {
    Q_OBJECT
public:
    explicit TScanDlg(QWidget* parent = nullptr);

    QGroupBox* GroupBox2;      // "Emulator:"
    QComboBox* Emus;           // emulator names in catalogue order
    QGroupBox* GroupBox3;      // "Folder:"
    FolderEdit* Dir;           // the folder to scan; kept between showings
    QGroupBox* GroupBox1;      // "Filters:"
    QListWidget* Extensions;   // one pattern per item
    FlatButton* SpeedButton1;  // add a pattern
    FlatButton* SpeedButton2;  // remove the selected pattern
    QCheckBox* Check;          // "&Check for duplicates"
    QCheckBox* SubDirs;        // "Include &subfolders"; kept between showings
    QPushButton* BitBtn2;      // OK
    QPushButton* BitBtn1;      // Cancel
    QPushButton* BitBtn3;      // Help

    // The patterns of Extensions, in list order.
    std::vector<std::string> Filters() const;
    // Scans Dir (and its subfolders when SubDirs is ticked) for the emulator at the position
    // chosen in Emus with Filters() and the state of Check, reporting to `progress`; nullopt
    // when no emulator is at that position.
    std::optional<ScanResult> ScanSelected(Progress& progress = NoProgress());

public slots:
    void FormShow();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void BitBtn2Click();
    void BitBtn3Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    // The constructor's parts: the emulator and folder boxes, the filter box, the layout with
    // the button column, the handlers.
    void BuildPlaceBoxes();
    void BuildFilterBox();
    void BuildLayout();
    void ConnectHandlers();
};

// The one scan dialog of the run, created at start-up.
extern TScanDlg* ScanDlg;
