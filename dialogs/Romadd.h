#pragma once
// TRomAddDlg, the ROM add dialog: one ROM file and the emulator that runs it; OK adds the ROM to
// the catalogue and sorts the ROM list.
//
// How the main window uses it (AddRomExecute):
//     if (RomAddDlg->exec() == QDialog::Accepted) FillRomList();
// The emulator names are refilled at every showing; the path is kept from the last use.
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QPushButton>

#include "toolkit/FileEdit.h"

class TRomAddDlg : public QDialog {
    Q_OBJECT
public:
    explicit TRomAddDlg(QWidget* parent = nullptr);

    QGroupBox* GroupBox1;  // "ROM"
    FileEdit* Edit1;       // path of the ROM file
    QGroupBox* GroupBox2;  // "Emulator"
    QComboBox* ComboBox1;  // emulator names; position = catalogue position
    QPushButton* BitBtn1;  // OK
    QPushButton* BitBtn2;  // Cancel

public slots:
    void FormShow();
    void BitBtn1Click();

protected:
    void showEvent(QShowEvent* e) override;
};

// The one ROM add dialog of the run, created at start-up.
extern TRomAddDlg* RomAddDlg;
