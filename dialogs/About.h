#pragma once
// TAboutDlg, the about box: name, version, credit line and the maker's web address, which opens
// in the browser when clicked.
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
    QLabel* Label1;          // "Tarnwick"
    QLabel* Label2;          // "2.0"
    QLabel* Label3;          // credit line
    QLabel* Label4;          // "For Extended Thanks See The Help File"
    QLabel* Label5;          // the web address
    QPushButton* BitBtn1;    // OK

    // The address Label5 shows and opens.
    static const char* const WebAddress;

public slots:
    void Label5Click();
};

// The one about box of the run, created at start-up.
extern TAboutDlg* AboutDlg;
