#include "catalogue/Progress.h"

namespace {

class Unwatched : public Progress {
public:
    void Begin(const std::string&, std::int64_t) override {}
    void Advance(std::int64_t, const std::string&) override {}
    bool Cancelled() override { return false; }
    void End() override {}
};

}  // namespace

Progress& NoProgress() {
    static Unwatched none;
    return none;
}

ProgressRun::ProgressRun(Progress& progress, const std::string& text, std::int64_t total)
    : progress_(progress), lastReport_(std::chrono::steady_clock::now()) {
    progress_.Begin(text, total);
}

ProgressRun::~ProgressRun() {
    progress_.End();
}

bool ProgressRun::Step(std::int64_t done, const std::function<std::string()>& describe) {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastReport_ >= ReportInterval) {
        lastReport_ = now;
        progress_.Advance(done, describe ? describe() : std::string());
    }
    stopped_ = stopped_ || progress_.Cancelled();
    return stopped_;
}

void ProgressRun::Report(std::int64_t done, const std::string& text) {
    lastReport_ = std::chrono::steady_clock::now();
    progress_.Advance(done, text);
}
