#include "mainwindow/FilePresence.h"

#include "platform/Files.h"
#include "platform/Process.h"

namespace {

// What is known of one path.
enum : uint8_t { Unknown, Asked, IsThere, IsMissing };

}  // namespace

// One Check's paths and their answers. The owner and the walking thread share it: answers are
// atomic, so either side may test a path and store what it found; the first store counts.
struct FilePresence::Walk {
    std::string paths;
    std::vector<uint32_t> ends;
    std::unique_ptr<std::atomic<uint8_t>[]> states;
    std::atomic<std::size_t> answered{0};
    std::atomic<bool> cancelled{false};
    std::mutex wantedLock;
    std::vector<uint32_t> wanted;  // asked for by the owner: tested before the rest
    std::atomic<bool> hasWanted{false};

    Walk(std::string p, std::vector<uint32_t> e)
        : paths(std::move(p)),
          ends(std::move(e)),
          states(std::make_unique<std::atomic<uint8_t>[]>(ends.size())) {}

    std::size_t Count() const { return ends.size(); }
    std::string_view Path(std::size_t i) const {
        const uint32_t begin = i ? ends[i - 1] : 0;
        return std::string_view(paths).substr(begin, ends[i] - begin);
    }
    bool Known(std::size_t i) const { return states[i].load(std::memory_order_acquire) >= IsThere; }
    bool Answer(std::size_t i) {
        uint8_t state = states[i].load(std::memory_order_acquire);
        if (state < IsThere) {
            const uint8_t found = FileExists(Path(i)) ? IsThere : IsMissing;
            while (state < IsThere &&
                   !states[i].compare_exchange_weak(state, found, std::memory_order_acq_rel)) {
            }
            if (state < IsThere) {
                answered.fetch_add(1, std::memory_order_release);
                state = found;
            }
        }
        return state == IsThere;
    }
    // Marks path i wanted unless it is known or wanted already; true when it was marked now.
    bool Ask(std::size_t i) {
        uint8_t state = Unknown;
        if (!states[i].compare_exchange_strong(state, Asked, std::memory_order_acq_rel)) return false;
        const std::lock_guard hold(wantedLock);
        wanted.push_back(static_cast<uint32_t>(i));
        hasWanted.store(true, std::memory_order_release);
        return true;
    }
    std::vector<uint32_t> TakeWanted() {
        std::vector<uint32_t> taken;
        if (!hasWanted.exchange(false, std::memory_order_acq_rel)) return taken;
        const std::lock_guard hold(wantedLock);
        taken.swap(wanted);
        return taken;
    }
};

FilePresence::FilePresence(std::function<void()> answersArrived)
    : answersArrived_(std::move(answersArrived)) {}

FilePresence::~FilePresence() {
    {
        const std::lock_guard hold(lock_);
        quit_ = true;
        if (walk_) walk_->cancelled = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void FilePresence::Check(std::string paths, std::vector<uint32_t> ends) {
    if (walk_) walk_->cancelled = true;
    walk_ = std::make_shared<Walk>(std::move(paths), std::move(ends));
    if (walk_->Count() == 0) return;
    {
        const std::lock_guard hold(lock_);
        next_ = walk_;
    }
    wake_.notify_all();
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

std::optional<bool> FilePresence::Known(std::size_t i) {
    if (!walk_ || i >= walk_->Count()) return false;
    if (walk_->Known(i)) return walk_->Answer(i);
    walk_->Ask(i);
    return std::nullopt;
}

bool FilePresence::Present(std::size_t i) {
    return walk_ && i < walk_->Count() && walk_->Answer(i);
}

void FilePresence::Acknowledge() {
    notifyPending_.store(false, std::memory_order_release);
}

bool FilePresence::Complete() const {
    return !walk_ || walk_->answered.load(std::memory_order_acquire) == walk_->Count();
}

void FilePresence::Run() {
    LowerThisThreadPriority();  // on a busy machine the list paints first; the icons follow
    for (;;) {
        std::shared_ptr<Walk> walk;
        {
            std::unique_lock hold(lock_);
            wake_.wait(hold, [this] { return quit_ || next_; });
            if (quit_) return;
            walk = std::move(next_);
        }
        WalkAll(*walk);
    }
}

// In order, except that what the owner asks for (the rows on screen) goes first. The owner
// hears of answers after each batch it asked for, and every few thousand otherwise.
void FilePresence::WalkAll(Walk& walk) {
    constexpr std::size_t NoticeEvery = 4096;
    std::size_t unreported = 0;
    for (std::size_t next = 0; !walk.cancelled.load(std::memory_order_relaxed);) {
        if (std::vector<uint32_t> wanted = walk.TakeWanted(); !wanted.empty()) {
            for (uint32_t i : wanted)
                if (!walk.cancelled.load(std::memory_order_relaxed)) walk.Answer(i);
            Notify();
            unreported = 0;
            continue;
        }
        if (next == walk.Count()) break;
        if (!walk.Known(next)) {
            walk.Answer(next);
            if (++unreported == NoticeEvery) {
                Notify();
                unreported = 0;
            }
        }
        ++next;
    }
    if (unreported) Notify();
}

void FilePresence::Notify() {
    if (!notifyPending_.exchange(true, std::memory_order_acq_rel) && answersArrived_) answersArrived_();
}
