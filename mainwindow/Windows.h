#pragma once
// Creating the windows of the run, once each, in their fixed order, and releasing them at the
// end. Every window is hidden until its command shows it.

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
// What the core's waits call while an emulator runs: paint, take no input.
void PaintWhileWaiting();
// Delivers what queued up while waiting and drops the user's clicks and keys among it, so
// clicks made on the window while the emulator ran do not act (start it again) afterwards.
void DropInputQueuedWhileWaiting();
