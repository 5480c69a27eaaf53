#pragma once
// Launching a ROM: the five ways a ROM reaches its emulator (the path as it is, the archive by
// path or by game name, or members unzipped beside the emulator first), the log lines, the wait
// for the emulator, the clean-up and the play count.

#include <cstdint>
#include <string>

#include "zip/ZipArchiver.h"

class TMainWnd;

// Launches the ROM at a catalogue position. Every failure is reported to the user; a log that
// cannot be written ends the launch with the failure thrown to the caller's error display.
void LaunchRom(TMainWnd& wnd, int position);

// The unzip progress of the window's zip component, shown in ProgressBar1.
void ZipManProgress(TMainWnd& wnd, ProgressType type, int32_t fileSize);
