#pragma once
// Progress: the one seam through which long work on the user-interface thread (a scan, a
// launch's listing and unzip, archive work, the Stalker) shows how far it has come and learns
// that the user wants it stopped. Nothing here depends on Qt: the windows implement it once
// (a bar and a Stop button in the status bar), the tests once (they record the calls and can
// answer "stop" at a chosen step).
//
//   ProgressRun run(progress, "Scanning", 0);       // Begin now, End when run goes
//   for (...) {
//       DoOneStep();
//       if (run.Step(++done, [&] { return Describe(done); })) break;   // stopped
//   }
//
// Work may nest: a Begin inside a Begin is a part of the outer work (the file being packed
// inside a whole run); every Begin has its End.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

class Progress {
public:
    virtual ~Progress() = default;
    // Work starts: `text` says what it is, `total` how many steps it has (0: not known).
    virtual void Begin(const std::string& text, std::int64_t total) = 0;
    // `done` steps of the innermost work are done; `text`, when not empty, replaces its text.
    virtual void Advance(std::int64_t done, const std::string& text) = 0;
    // Asked by the work after every step: true once the user has asked it to stop. Kept cheap,
    // since it is asked so often.
    virtual bool Cancelled() = 0;
    // The innermost work has ended, finished or stopped.
    virtual void End() = 0;
};

// Shows nothing and never stops: work done where no one watches.
Progress& NoProgress();

// One piece of work on a Progress: Begin when made, End when destroyed (also when the work
// throws). Step reports at most every ReportInterval, so a loop may call it for every file
// without the display costing more than the work.
class ProgressRun {
public:
    static constexpr std::chrono::milliseconds ReportInterval{100};

    ProgressRun(Progress& progress, const std::string& text, std::int64_t total);
    ~ProgressRun();
    ProgressRun(const ProgressRun&) = delete;
    ProgressRun& operator=(const ProgressRun&) = delete;

    // One more step is done (`done` in all). Reports it, with the text `describe` gives, when
    // ReportInterval has passed since the last report; then asks whether to stop. True: the
    // user asked to stop, and the work should end now.
    bool Step(std::int64_t done, const std::function<std::string()>& describe = {});
    // Reports `done` and `text` at once, whatever the time.
    void Report(std::int64_t done, const std::string& text = {});
    // Whether a Step has answered stop.
    bool Stopped() const { return stopped_; }

private:
    Progress& progress_;
    std::chrono::steady_clock::time_point lastReport_;
    bool stopped_ = false;
};
