#pragma once
// TAddDlg, the emulator editor: one emulator's name, system, executable, configuration file,
// parameters and zip flags, for a new emulator or an existing one.
//
// How the callers use it (the main window's Add command, the emulator list's Add and Properties):
//     AddDlg->PrepareNew();                 // or AddDlg->PrepareFrom(existingRecord);
//     if (AddDlg->exec() == QDialog::Accepted) {
//         // AddDlg->NewEmu holds a freshly filled record; the caller takes it:
//         Emus.AddEmu(std::move(AddDlg->NewEmu));   // new emulator (or copy *NewEmu over a record)
//         Emus.SortEmus();
//     }
// Any result other than Accepted produced nothing and NewEmu is left empty. The Systems list is
// read once, when the dialog is created.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <memory>

#include "toolkit/FileEdit.h"

struct EmulatorRecord;

class TAddDlg : public QDialog {
    Q_OBJECT
public:
    explicit TAddDlg(QWidget* parent = nullptr);
    ~TAddDlg() override;

    QTabWidget* PageControl1;
    QWidget* TabSheet1;     // "General"
    QWidget* TabSheet2;     // "ZIP Handling"
    QWidget* TabSheet3;     // "Advanced"
    QLineEdit* EmuName;     // Name, at most 39 characters
    QComboBox* SysBox;      // the Systems list; position = SystemIndex
    FileEdit* EmuPath;      // ExePath
    FileEdit* CfgPath;      // CfgPath
    QLineEdit* Params;      // Params, at most 127 characters
    QCheckBox* ZipSupport;  // "ZIP supported by this Emulator"
    QCheckBox* UnZipInDir;  // "MAME Mode"
    QPushButton* Button1;   // "Edit Confguration File..."
    QPushButton* BitBtn1;   // OK
    QPushButton* BitBtn2;   // Cancel
    QPushButton* BitBtn4;   // Help

    // The record made by the last successful OK; the caller takes ownership of it.
    std::unique_ptr<EmulatorRecord> NewEmu;

    // Caption "Add Emulator", empty texts, first system, zip support ticked, MAME mode not.
    void PrepareNew();
    // Caption "Emulator Proprierties" and every control from the record.
    void PrepareFrom(const EmulatorRecord& emu);

public slots:
    void FormShow();
    void PageControl1Change(int page);
    void Button1Click();
    void BitBtn1Click();
    void BitBtn4Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    // The constructor's parts: each page's controls and layout, the button row, the handlers.
    void BuildGeneralPage();
    void BuildZipPage();
    void BuildAdvancedPage();
    void BuildButtons();
    void ConnectHandlers();
    void LoadSystems();
    // The record the controls were prepared from (all empty for a new emulator): texts the user
    // did not edit are taken from it byte for byte.
    std::unique_ptr<EmulatorRecord> source_;
    // Whether the Systems list could be read at creation; an unread list keeps the prepared
    // record's system instead of storing "none" for an emulator the user did not change.
    bool systemsRead_ = false;
};

// The one emulator editor of the run, created at start-up.
extern TAddDlg* AddDlg;
