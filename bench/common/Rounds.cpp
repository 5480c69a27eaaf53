#include "Rounds.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace bench {

Scratch::Scratch() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tarnwick-bench-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    path_ = tmpl + "/";
}

Scratch::~Scratch() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

namespace {

double ProcessorSeconds() {
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        total += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

template <typename Field>
std::vector<double> Ratios(const Times& t, Field field) {
    std::vector<double> r;
    for (std::size_t i = 0; i < t.measured.size() && i < t.baseline.size(); ++i) {
        const double base = field(t.baseline[i]);
        r.push_back(base > 0 ? field(t.measured[i]) / base : 0);
    }
    return r;
}

double Wall(const Sample& s) {
    return s.wall;
}
double Cpu(const Sample& s) {
    return s.cpu;
}

std::vector<double> Walls(const std::vector<Sample>& samples) {
    std::vector<double> w;
    for (const Sample& s : samples) w.push_back(s.wall);
    return w;
}

}  // namespace

Sample TimeOnce(const std::function<void()>& work) {
    const double cpu = ProcessorSeconds();
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return {took.count(), ProcessorSeconds() - cpu};
}

double Times::Ratio() const {
    return Median(Ratios(*this, Wall));
}
double Times::CpuRatio() const {
    return Median(Ratios(*this, Cpu));
}
double Times::MeasuredWall() const {
    return Median(Walls(measured));
}
double Times::BaselineWall() const {
    return Median(Walls(baseline));
}

double Times::MinRatio() const {
    const std::vector<double> r = Ratios(*this, Wall);
    return r.empty() ? 0 : *std::min_element(r.begin(), r.end());
}

double Times::MaxRatio() const {
    const std::vector<double> r = Ratios(*this, Wall);
    return r.empty() ? 0 : *std::max_element(r.begin(), r.end());
}

Times Duel(int rounds, const std::function<void()>& baseline, const std::function<void()>& measured,
           const std::function<void()>& prepare) {
    return Duel(rounds, baseline, measured, prepare, prepare);
}

Times Duel(int rounds, const std::function<void()>& baseline, const std::function<void()>& measured,
           const std::function<void()>& prepareBaseline, const std::function<void()>& prepareMeasured) {
    Times t;
    for (int i = 0; i < rounds; ++i) {
        const bool baselineFirst = i % 2 == 0;
        for (int step = 0; step < 2; ++step) {
            const bool isBaseline = (step == 0) == baselineFirst;
            (isBaseline ? prepareBaseline : prepareMeasured)();
            const Sample s = TimeOnce(isBaseline ? baseline : measured);
            (isBaseline ? t.baseline : t.measured).push_back(s);
        }
    }
    return t;
}

bool Report(const std::string& id, const Times& t, double target, const std::string& details) {
    const double ratio = t.Ratio();
    std::printf(
        "BENCH %s ratio=%.3f target=%g spread=%.3f-%.3f rounds=%zu measured=%.4fs baseline=%.4fs "
        "cpu_ratio=%.3f%s%s %s\n",
        id.c_str(), ratio, target, t.MinRatio(), t.MaxRatio(), t.measured.size(), t.MeasuredWall(),
        t.BaselineWall(), t.CpuRatio(), details.empty() ? "" : " ", details.c_str(),
        ratio <= target ? "within-target" : "OVER-TARGET");
    std::fflush(stdout);
    return ratio <= target;
}

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

void Shell(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "command failed: %s\n", command.c_str());
        std::exit(2);
    }
}

}  // namespace bench
