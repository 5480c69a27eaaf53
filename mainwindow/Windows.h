#pragma once
// Creating the windows of the run, once each, in their fixed order, and releasing them at the
// end. Every window is hidden until its command shows it.

#include <QEvent>

class TSplashWnd;

// Makes the data folder before anything reads from it (DataFolderSetUp). A folder that cannot be
// made is named in one box, and the run goes on saving nothing.
void PrepareDataFolder();

// Creates the main window (which loads the catalogue) and then every dialog; after each one the
// splash's progress bar (when there is a splash) advances by 10. The dialogs are then bound to
// the main window.
void CreateWindows(TSplashWnd* splash);
// Deletes what CreateWindows made (the main window last) and clears the references.
void DestroyWindows();
// Whether an event is the user's clicking or typing (what a busy window must not act on).
bool IsUserInput(QEvent::Type type);
// What the core's waits call while an emulator runs: paint, take no input. Inside a
// UserInputBlock the window's other events (a close asked for) are taken too, as the block
// drops the input.
void PaintWhileWaiting();

// For as long as it lives, the user's clicks and keys reach no window but a modal box that is up
// (a launch's message or password box): the windows paint, the boxes can be answered, nothing
// else acts. Before it goes, what queued up meanwhile is delivered and its input dropped, so
// clicks made while an emulator ran do not act (start it again) afterwards.
class UserInputBlock {
public:
    UserInputBlock();
    ~UserInputBlock();
    UserInputBlock(const UserInputBlock&) = delete;
    UserInputBlock& operator=(const UserInputBlock&) = delete;
    // Whether one is in force.
    static bool Active();
};
