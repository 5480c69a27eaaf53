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
//   waiting       $FAKE_EMULATOR_SLEEP_MS milliseconds after writing the report (default 0)
//   exit code     $FAKE_EMULATOR_EXIT_CODE (default 0)
//
// The report is written to a temporary name and renamed, so a test never reads half of one.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct FakeEmulatorRun {
    std::string workingFolder;
    std::vector<std::string> args;      // argv[0] first
    std::vector<int64_t> fileSizes;     // one per argument, -1 when it names no file
};

// Reads a report; nullopt when there is none or it is malformed.
std::optional<FakeEmulatorRun> ReadFakeEmulatorReport(const std::string& reportPath);
