// A small driver that shows the Stalker on a real display (Xvfb in checks), with the program's
// own Qt boxes, so its look and a real run can be seen from outside:
//   stalker_show SOURCE [DEST] [MASK...]   fills the fields; with STALKER_RUN=1 presses GO!
//                                          once shown; STALKER_QUIT_MS ends the run of the driver
#include <QApplication>
#include <QListWidget>
#include <QTimer>

#include <cstdlib>
#include <string>

#include "mainwindow/QtPrompter.h"
#include "stalker/Stalkmain.h"
#include "toolkit/FileEdit.h"
#include "zip/QtZipUi.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    UseQtPrompter();
    UseQtZipUi();
    TStalkDlg dlg;
    StalkDlg = &dlg;
    dlg.Zip->SetDLLDirectory(TARNWICK_APP_DIR);
    if (argc > 1) dlg.Source->setText(argv[1]);
    if (argc > 2) dlg.Dest->setText(argv[2]);
    for (int i = 3; i < argc; ++i) dlg.Ext->addItem(argv[i]);
    if (const char* run = std::getenv("STALKER_RUN"); run && std::string(run) == "1")
        QTimer::singleShot(300, &dlg, [&dlg] { dlg.BtnGoClick(); });
    if (const char* quit = std::getenv("STALKER_QUIT_MS"))
        QTimer::singleShot(std::atoi(quit), &app, [&dlg] { dlg.done(0); });
    return dlg.ShowModal() >= 0 ? 0 : 1;
}
