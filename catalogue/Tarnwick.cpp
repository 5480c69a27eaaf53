// Tarnwick: start-up. The application comes up, the splash shows while every window is created
// once, and the message loop runs until the main window closes or the desktop session ends.

#include <QApplication>
#include <QListView>

#include "catalogue/Emusystem.h"
#include "catalogue/Splash.h"
#include "catalogue/Useful.h"
#include "mainwindow/ErrorDisplay.h"
#include "mainwindow/FirstPaint.h"
#include "mainwindow/Icons.h"
#include "mainwindow/Main.h"
#include "mainwindow/QtPrompter.h"
#include "mainwindow/ReportView.h"
#include "mainwindow/RomListView.h"
#include "mainwindow/Session.h"
#include "mainwindow/Windows.h"
#include "zip/QtZipUi.h"

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    // The application's title. No display name is set: on X11 Qt appends one to every window's
    // caption ("Question — Tarnwick"), and the boxes and dialogs carry their own captions.
    QApplication::setApplicationName("Tarnwick");
    CatchSessionEnd();
    UseQtPrompter();
    UseQtZipUi();
    ChooseIconTheme();
    UseProgramIcon();
    PrepareDataFolder();  // the lock lies in it
    if (!TakeDataFolder()) return 1;
    RemoveStaleSaveTemporaries();
    SetWaitHook(WaitInSession);
    const bool measureStartup = StartupMeasureAsked(argc, argv);
    Guarded([measureStartup] {
        SplashWnd = new TSplashWnd;
        SplashWnd->show();
        QApplication::processEvents();
        CreateWindows(SplashWnd);
        if (measureStartup) EndAfterFirstPaint(MainWnd->List->ReportView(), MainWnd->List->IconView());
        MainWnd->show();
        WatchSessionEnd();
        QApplication::exec();
    });
    delete SplashWnd;  // still there when start-up failed before the main window showed
    SplashWnd = nullptr;
    DestroyWindows();
    SetWaitHook(nullptr);
    ReleaseDataFolder();
    return 0;
}
