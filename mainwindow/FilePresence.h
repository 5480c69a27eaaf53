#pragma once
// Whether the ROM files of the list are there, learnt on a thread of its own so that a fill of
// a hundred thousand rows paints at once. Each fill hands over the paths of its rows; the walk
// tests them in order, but takes first the rows the list asks about (those on screen), and
// tells the owner, from the walking thread, when new answers are in. A question about a row the
// walk has not reached yet (a command that needs that one file) is answered on the spot.
//
//     FilePresence presence([this] { post a refresh of the icons to the window's thread; });
//     presence.Check(paths);                 // the walk starts over with these
//     std::optional<bool> shown = presence.Known(i);  // empty: not known yet, asked for first
//     bool there = presence.Present(i);      // known, or tested now
//     presence.Acknowledge();                // the owner has taken the news in
//
// Nothing here touches the catalogue: the walk works on its own copy of the paths. No Qt.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class FilePresence {
public:
    // `answersArrived` is called on the walking thread when answers came in since the owner's
    // last Acknowledge (at most once until then), so the owner can post one refresh at a time.
    explicit FilePresence(std::function<void()> answersArrived);
    // Stops the walk and waits for the file test in progress.
    ~FilePresence();
    FilePresence(const FilePresence&) = delete;
    FilePresence& operator=(const FilePresence&) = delete;

    // Starts over with these paths; every earlier answer is forgotten. `paths` are the paths one
    // after another and `ends[i]` the end of path i within them.
    void Check(std::string paths, std::vector<uint32_t> ends);
    // The answer for path i when known; otherwise the walk takes i before the rest and this
    // answers empty. Out of range: missing.
    std::optional<bool> Known(std::size_t i);
    // The answer for path i, tested now when the walk has not given it yet.
    bool Present(std::size_t i);
    void Acknowledge();
    // Whether every path of the last Check has its answer.
    bool Complete() const;

private:
    struct Walk;
    void Run();
    void WalkAll(Walk& walk);
    void Notify();

    std::function<void()> answersArrived_;
    std::shared_ptr<Walk> walk_;  // the current one, as the owner sees it
    mutable std::mutex lock_;     // guards `next_` and `quit_` between the owner and the thread
    std::condition_variable wake_;
    std::shared_ptr<Walk> next_;  // handed to the thread, not taken yet
    bool quit_ = false;
    std::atomic<bool> notifyPending_{false};
    std::thread thread_;
};
