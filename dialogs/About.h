#pragma once
// TAboutDlg, the about box: name, the build's version, credit line and the project's web address
// (when it has one), which opens in the browser when clicked.
//
// How the main window uses it (AboutExecute):
//     AboutDlg->exec();
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

class TAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit TAboutDlg(QWidget* parent = nullptr);

    QFrame* Panel1;
    QLabel* Image1;
    QLabel* Image2;
    QLabel* Label1;        // "Tarnwick"
    QLabel* Label2;        // the version, from the build (TARNWICK_VERSION)
    QLabel* Label3;        // credit line
    QLabel* Label4;        // "For Extended Thanks See The Help File"
    QLabel* Label5;        // the web address
    QPushButton* BitBtn1;  // OK

    // The address Label5 shows and opens; empty (and Label5 hidden) while the project has none.
    static const char* const WebAddress;

public slots:
    void Label5Click();
};

// The one about box of the run, created at start-up.
extern TAboutDlg* AboutDlg;
