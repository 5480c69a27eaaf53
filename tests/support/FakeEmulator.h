#pragma once
// The fake emulator: a small program (target fake_emulator; its path is FAKE_EMULATOR_PATH in
// every test linked with tarnwick_test_support) that stands in for an emulator. When run it
// writes a report and exits:
//
//   report file   $FAKE_EMULATOR_REPORT when set, else the program's own path + ".report"
//                 (so a copy placed in a temporary folder as ".../emu" reports to ".../emu.report")
//   report bytes  NUL-terminated fields: the working folder (no trailing '/'), the argument
//                 count in decimal, each argument (argv[0] first), then for each argument the
//                 size in bytes of the file it names seen from the working folder, or -1 when
//                 it names none (so a test can tell that an unpacked ROM was there during the run)
//   signal        $FAKE_EMULATOR_SIGNAL_PARENT: a signal number sent to the parent (the program
//                 that started it) after writing the report (default none)
//   waiting       $FAKE_EMULATOR_SLEEP_MS milliseconds after that (default 0)
//   done          $FAKE_EMULATOR_DONE: an empty file made at that path after the waiting, so a
//                 test can tell that the run went to its end
//   exit code     $FAKE_EMULATOR_EXIT_CODE (default 0)
//
// The report is written to a temporary name and renamed, so a test never reads half of one.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct FakeEmulatorRun {
    std::string workingFolder;
    std::vector<std::string> args;   // argv[0] first
    std::vector<int64_t> fileSizes;  // one per argument, -1 when it names no file
};

// Reads a report; nullopt when there is none or it is malformed.
std::optional<FakeEmulatorRun> ReadFakeEmulatorReport(const std::string& reportPath);
