#pragma once
// A Progress for tests: records every call and answers "stop" from the chosen question on.
//
//   RecordingProgress progress;
//   progress.stopAt = 3;                       // the third Cancelled() answers true, and so on
//   m.ScanFolder(emu, folder, {"*.zip"}, true, false, progress);
//   EXPECT_EQ(progress.Count(RecordingProgress::Kind::Advance), ...);
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/Progress.h"

class RecordingProgress : public Progress {
public:
    enum class Kind { Begin, Advance, End };
    struct Call {
        Kind kind;
        std::string text;
        std::int64_t number = 0;  // the total of a Begin, the steps done of an Advance
    };

    void Begin(const std::string& text, std::int64_t total) override {
        calls.push_back({Kind::Begin, text, total});
        ++depth;
        maxDepth = std::max(maxDepth, depth);
    }
    void Advance(std::int64_t done, const std::string& text) override {
        calls.push_back({Kind::Advance, text, done});
    }
    bool Cancelled() override { return ++asked >= stopAt && stopAt > 0; }
    void End() override {
        calls.push_back({Kind::End, {}, 0});
        --depth;
    }

    int Count(Kind kind) const {
        return static_cast<int>(
            std::count_if(calls.begin(), calls.end(), [kind](const Call& c) { return c.kind == kind; }));
    }
    // The last Advance, or an empty call when there was none.
    Call LastAdvance() const {
        for (auto c = calls.rbegin(); c != calls.rend(); ++c)
            if (c->kind == Kind::Advance) return *c;
        return {Kind::Advance, {}, 0};
    }

    std::vector<Call> calls;
    int stopAt = 0;  // the question from which on the answer is "stop"; 0: never
    int asked = 0;   // Cancelled() questions so far
    int depth = 0;   // Begins not yet ended
    int maxDepth = 0;
};
