#pragma once
// The zip component's progress event feeding the Progress seam, for as long as a feed lives:
// each batch of the engine (from its byte count to its end) is one piece of work counted in
// bytes, its text naming the file being done ("Unzipping: game.nes"); a stop asked for through
// the seam reaches the engine through the component's CancelRequested, so the engine ends the
// batch at its next step and leaves no half-written file. The handler the component had runs
// as before.

#include <cstdint>
#include <string>

#include "zip/ZipArchiver.h"

class Progress;

class ZipProgressFeed {
public:
    // `verb` says what the batch does to each file ("Unzipping", "Deleting").
    ZipProgressFeed(TZipArchiver& zip, Progress& progress, std::string verb);
    ~ZipProgressFeed();
    ZipProgressFeed(const ZipProgressFeed&) = delete;
    ZipProgressFeed& operator=(const ZipProgressFeed&) = delete;

    // Whether the user asked to stop while the feed ran.
    bool Stopped() const { return stopped_; }

private:
    void Feed(ProgressType type, const std::string& name, std::int32_t size);
    void BeginBatch(std::int64_t bytes);
    void EndBatch();

    TZipArchiver& zip_;
    Progress& progress_;
    const std::string verb_;
    TZipArchiver::TProgressEvent before_;  // the component's own handler
    std::int64_t done_ = 0;                // bytes of the batch done
    bool inBatch_ = false;
    bool stopped_ = false;
};
