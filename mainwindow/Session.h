#pragma once
// The run's hold on its data folder, and its end with the desktop session.
//
// One data folder has one running Tarnwick: each copy writes its whole catalogue at close, so a
// second copy would undo the first one's changes. A desktop session that ends (logout, shutdown:
// SIGTERM, SIGHUP, SIGINT, or the session manager's commit-data request) ends the run as the
// main window's close does (TMainWnd::EndSession), so that nothing of the session is lost.

// Takes the data folder's lock for this run. When another running Tarnwick holds it, says
// "Tarnwick is already running" and answers false: the caller then ends without writing
// anything. A lock left behind by a Tarnwick that ended without releasing it is taken over; a
// folder where no lock can be made (read-only) is used without one.
bool TakeDataFolder();
// Gives the lock back (the end of the run; also before the process ends at once).
void ReleaseDataFolder();

// Catches SIGTERM, SIGHUP and SIGINT from now on. The handler only writes a byte to a pipe; what
// arrives before WatchSessionEnd waits in it.
void CatchSessionEnd();
// Reacts to what CatchSessionEnd catches from the event loop, and to the session manager's
// commit-data request. Called once the main window is shown.
void WatchSessionEnd();
// Ends the session now when a signal asked for it: for waits that leave sockets alone.
void EndSessionIfAsked();
// What the core's waits call while an emulator runs: PaintWhileWaiting, and the session's end
// when a signal asked for it.
void WaitInSession();
