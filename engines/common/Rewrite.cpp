#include "engines/common/Rewrite.h"

#include <algorithm>

RewriteProgress::RewriteProgress(zip_t* archive, const std::set<zip_uint64_t>& fresh,
                                 EngineReporter& reporter)
    : reporter_(reporter) {
    // libzip writes the entries that are not deleted in index order; a deleted one has no stat.
    zip_int64_t count = std::max<zip_int64_t>(zip_get_num_entries(archive, 0), 0);
    int64_t copied = 0;
    for (zip_uint64_t i = 0; i < zip_uint64_t(count); ++i) {
        zip_stat_t st;
        if (zip_stat_index(archive, i, 0, &st) != 0) continue;
        if (fresh.count(i) == 0 && (st.valid & ZIP_STAT_COMP_SIZE) != 0) copied += int64_t(st.comp_size);
        ends_.push_back(copied);
    }
}

void RewriteProgress::attach(zip_t* archive) {
    // Every update is wanted: the share of one entry may be tiny in an archive of many.
    zip_register_progress_callback_with_state(archive, 0.0, Progress, nullptr, this);
    zip_register_cancel_callback_with_state(archive, Cancel, nullptr, this);
}

// libzip gives each entry an equal share of the whole and moves through that share as the
// entry's bytes go out; mapped back to bytes, kept entries count by their size.
int64_t RewriteProgress::copiedAt(double done) const {
    if (ends_.empty()) return 0;
    double position = std::clamp(done, 0.0, 1.0) * double(ends_.size());
    size_t entry = std::min(size_t(position), ends_.size() - 1);
    int64_t before = entry == 0 ? 0 : ends_[entry - 1];
    double within = std::clamp(position - double(entry), 0.0, 1.0);
    return before + int64_t(within * double(ends_[entry] - before));
}

void RewriteProgress::Progress(zip_t*, double done, void* state) {
    auto* self = static_cast<RewriteProgress*>(state);
    int64_t copied = self->copiedAt(done);
    if (copied > self->reported_) {
        self->reporter_.bytesDone(copied - self->reported_);
        self->reported_ = copied;
    }
}

int RewriteProgress::Cancel(zip_t*, void* state) {
    return static_cast<RewriteProgress*>(state)->reporter_.stopped() ? 1 : 0;
}
