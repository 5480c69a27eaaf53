#pragma once
// What every benchmark shares: a scratch folder, timing of one step (wall and processor time),
// program and baseline measured in alternating rounds, and the BENCH line.
#include <functional>
#include <string>
#include <vector>

namespace bench {

// A scratch folder under the system's temporary folder, removed with everything in it.
class Scratch {
public:
    Scratch();
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const std::string& path() const { return path_; }  // ends in '/'
    std::string file(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

// One timed step: elapsed seconds, and processor seconds of this process and of the children
// it waited for meanwhile (a baseline is often another program).
struct Sample {
    double wall = 0;
    double cpu = 0;
};
Sample TimeOnce(const std::function<void()>& work);

// Every round's two samples. Figures are medians over rounds, so that one busy moment of the
// machine moves the verdict less than a ratio of single runs would.
struct Times {
    std::vector<Sample> measured;
    std::vector<Sample> baseline;
    double Ratio() const;     // median of the per-round wall ratios
    double MinRatio() const;  // the spread of the per-round ratios
    double MaxRatio() const;
    double CpuRatio() const;      // median of the per-round processor-time ratios
    double MeasuredWall() const;  // medians
    double BaselineWall() const;
};

// `rounds` rounds of the baseline and the measured work, the order swapped every round so that
// neither always meets the cache or the load the other left behind; `prepare` runs untimed
// before every step.
Times Duel(
    int rounds, const std::function<void()>& baseline, const std::function<void()>& measured,
    const std::function<void()>& prepare = [] {});
// The same with a preparation of each side's own, which leaves the other side's output alone.
Times Duel(int rounds, const std::function<void()>& baseline, const std::function<void()>& measured,
           const std::function<void()>& prepareBaseline, const std::function<void()>& prepareMeasured);

// Prints "BENCH <id> ratio=<median> target=<t> spread=<min>-<max> ..." with the medians of both
// sides, the processor-time ratio and `details`; returns whether the median is within target.
bool Report(const std::string& id, const Times& t, double target, const std::string& details = "");

// Runs a shell command; stops the benchmark when it fails.
void Shell(const std::string& command);
// The text in single quotes for a shell command.
std::string Quote(const std::string& text);

}  // namespace bench
