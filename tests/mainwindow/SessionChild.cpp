// A run of the windows for the session tests, started as a child process: given a program folder
// (which is also its data folder), it starts as Tarnwick starts, renames its first ROM, switches
// to the list view and launches the ROM, so that a signal can end it while the emulator runs.
// Given "kill" after the folder, it kills itself as soon as the launch is over, before any close.
#include <QTimer>
#include <csignal>
#include <string>

#include "catalogue/Emusystem.h"
#include "catalogue/Useful.h"
#include "mainwindow/ErrorDisplay.h"
#include "mainwindow/Main.h"
#include "mainwindow/Session.h"
#include "mainwindow/Windows.h"
#include "platform/Paths.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    SetProgramFolder(argv[1]);
    CatchSessionEnd();
    if (!TakeDataFolder()) return 3;
    SetWaitHook(WaitInSession);
    CreateWindows(nullptr);
    MainWnd->show();
    WatchSessionEnd();
    const bool killAfterRun = argc > 2 && std::string(argv[2]) == "kill";
    QTimer::singleShot(0, [killAfterRun] {
        QString name = "Renamed";
        MainWnd->ListEdited(0, name);
        MainWnd->ListIconsExecute();
        MainWnd->List->SelectRow(0);
        MainWnd->RunExecute();
        if (killAfterRun) raise(SIGKILL);
    });
    QApplication::exec();
    DestroyWindows();
    ReleaseDataFolder();
    return 0;
}
