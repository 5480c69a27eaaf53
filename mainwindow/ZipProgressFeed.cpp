#include "mainwindow/ZipProgressFeed.h"

#include <utility>

#include "catalogue/Progress.h"

namespace {

// The file-name part of a member name as the event gives it (its '/' turned into '\').
std::string MemberFileName(const std::string& name) {
    const size_t cut = name.find_last_of("/\\");
    return cut == std::string::npos ? name : name.substr(cut + 1);
}

}  // namespace

ZipProgressFeed::ZipProgressFeed(TZipArchiver& z, Progress& p, std::string v)
    : zip_(z), progress_(p), verb_(std::move(v)), before_(zip_.OnProgress) {
    zip_.OnProgress = [this](TZipArchiver* sender, ProgressType type, const std::string& name,
                             std::int32_t size) {
        if (before_) before_(sender, type, name, size);
        Feed(type, name, size);
    };
}

ZipProgressFeed::~ZipProgressFeed() {
    EndBatch();
    zip_.OnProgress = std::move(before_);
}

void ZipProgressFeed::BeginBatch(std::int64_t bytes) {
    EndBatch();
    progress_.Begin(verb_ + "...", bytes);
    inBatch_ = true;
    done_ = 0;
}

void ZipProgressFeed::EndBatch() {
    if (inBatch_) progress_.End();
    inBatch_ = false;
}

void ZipProgressFeed::Feed(ProgressType type, const std::string& name, std::int32_t size) {
    switch (type) {
        case ptByteCount:
            BeginBatch(size);
            break;
        case ptFileBegin:
            if (!inBatch_) BeginBatch(0);  // an engine that gave no byte count: how far is not known
            progress_.Advance(done_, verb_ + ": " + MemberFileName(name));
            break;
        case ptBytesDone:
            done_ += size;
            if (inBatch_) progress_.Advance(done_, "");
            break;
        case ptBatchEnd:
            EndBatch();
            break;
        case ptFileCount:
            break;
    }
    stopped_ = stopped_ || (inBatch_ && progress_.Cancelled());
    if (stopped_) zip_.CancelRequested = true;
}
