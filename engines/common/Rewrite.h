#pragma once
// Progress and stop while libzip writes a changed archive. Inside zip_close libzip copies every
// entry kept from the old archive, which for a large archive is most of the work and would
// otherwise happen with no report and no way to stop.
#include "engines/common/Reporter.h"

#include <zip.h>

#include <cstdint>
#include <set>
#include <vector>

class RewriteProgress {
public:
    // The archive as it will be written; `fresh` holds the indexes of entries whose data comes
    // from our own sources, which report their bytes themselves.
    RewriteProgress(zip_t* archive, const std::set<zip_uint64_t>& fresh, EngineReporter& reporter);
    RewriteProgress(const RewriteProgress&) = delete;
    RewriteProgress& operator=(const RewriteProgress&) = delete;

    // Bytes copied from the old archive.
    int64_t copiedBytes() const { return ends_.empty() ? 0 : ends_.back(); }
    // Registers the callbacks on the archive; this object must outlive its zip_close.
    void attach(zip_t* archive);

private:
    static void Progress(zip_t* archive, double done, void* state);
    static int Cancel(zip_t* archive, void* state);
    int64_t copiedAt(double done) const;

    EngineReporter& reporter_;
    // For each entry written, in the order libzip writes them, the bytes copied up to its end.
    std::vector<int64_t> ends_;
    int64_t reported_ = 0;
};
