#pragma once
// TEmuListDlg, the emulator list: shows every emulator and adds, removes or changes one, carrying
// removals and changes over to the ROMs linked to it. Every change acts on the catalogue at once.
//
// How the main window uses it (ListEmuExecute):
//     EmuListDlg->exec();                   // nothing to do afterwards
// At start-up the main window sets the hook that rebuilds its ROM list view:
//     EmuListDlg->FillRomList = [this] { FillRomList(); };
// The dialog opens AddDlg (the emulator editor) for Add and Properties.
#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <QString>
#include <functional>

#include "toolkit/StatusPanels.h"

class TEmuListDlg : public QDialog {
    Q_OBJECT
public:
    explicit TEmuListDlg(QWidget* parent = nullptr);

    QListWidget* Emus;        // emulator names; row = catalogue position
    QPushButton* BitBtn3;     // "&Add"
    QPushButton* BitBtn4;     // "&Remove"
    QPushButton* BitBtn5;     // "&Properties..."
    QPushButton* BitBtn2;     // Help
    QPushButton* BitBtn1;     // OK
    StatusPanels* StatusBar;  // "Emulators:", the count, progress texts

    // Rebuilds the main window's ROM list view; set by the main window.
    std::function<void()> FillRomList;

    // Refills Emus from the catalogue and shows the count in panel 1.
    void RefreshList();
    // Shows a progress text in panel 2 at once.
    void SetStatus(const QString& text);

public slots:
    void FormShow();
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn5Click();
    void BitBtn2Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void RefreshMainList();
};

// The one emulator list of the run, created at start-up.
extern TEmuListDlg* EmuListDlg;
