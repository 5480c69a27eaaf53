// The presence test of the list's files on its own thread: answers agree with the files, a
// question about one file is answered at once, a new check forgets the old answers, the owner
// hears of answers and stops the walk by going away.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "mainwindow/FilePresence.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

struct Paths {
    std::string bytes;
    std::vector<uint32_t> ends;
    void Add(const std::string& path) {
        bytes += path;
        ends.push_back(static_cast<uint32_t>(bytes.size()));
    }
};

// Waits (without a deadline of its own: ctest's ends a hung test) until the walk is done.
void WaitForWalk(const FilePresence& presence) {
    while (!presence.Complete()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

TEST(FilePresence, AnswersAgreeWithTheFilesAndAreNewsToTheOwner) {
    TempDir dir;
    std::atomic<int> notices{0};
    FilePresence presence([&] { ++notices; });
    Paths paths;
    std::vector<bool> there;
    for (int i = 0; i < 3000; ++i) {
        const std::string name = "rom " + std::to_string(i) + ".nes";
        // Files, missing names, and folders (which are no ROM file) mixed.
        if (i % 3 == 0) dir.write(name, "x");
        if (i % 7 == 0) fs::create_directory(dir.file(name + ".d"));
        paths.Add(i % 7 == 0 ? dir.file(name + ".d") : dir.file(name));
        there.push_back(i % 3 == 0 && i % 7 != 0);
    }
    paths.Add("");  // an empty path is no file
    there.push_back(false);
    presence.Check(paths.bytes, paths.ends);
    WaitForWalk(presence);
    for (size_t i = 0; i < there.size(); ++i) {
        ASSERT_EQ(presence.Known(i), std::optional<bool>(there[i])) << i;
        ASSERT_EQ(presence.Present(i), there[i]) << i;
    }
    EXPECT_EQ(presence.Known(there.size()), std::optional<bool>(false));  // out of range
    EXPECT_EQ(notices, 1);  // one notice until the owner acknowledges it

    // A new check forgets the old answers: a file gone since is missing, one made since there.
    presence.Acknowledge();
    fs::remove(dir.file("rom 3.nes"));
    dir.write("rom 1.nes", "x");
    presence.Check(paths.bytes, paths.ends);
    EXPECT_FALSE(presence.Present(3));  // asked before the walk got there: tested on the spot
    EXPECT_TRUE(presence.Present(1));
    WaitForWalk(presence);
    EXPECT_EQ(presence.Known(3), std::optional<bool>(false));
    EXPECT_EQ(presence.Known(1), std::optional<bool>(true));
    EXPECT_EQ(notices, 2);
}

TEST(FilePresence, AQuestionAboutAnUnknownFileIsAnsweredAndAnEmptyCheckStopsTheWalk) {
    TempDir dir;
    dir.write("last.nes", "x");
    std::atomic<int> notices{0};
    auto presence = std::make_unique<FilePresence>([&] { ++notices; });
    Paths paths;
    for (int i = 0; i < 200000; ++i) paths.Add(dir.file("missing/" + std::to_string(i)));
    paths.Add(dir.file("last.nes"));
    presence->Check(paths.bytes, paths.ends);
    // Asked for (as a row on screen is): empty now, and the answer comes, first or in turn.
    const size_t last = paths.ends.size() - 1;
    if (!presence->Known(last)) {
        while (!presence->Known(last)) {
            presence->Acknowledge();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    EXPECT_EQ(presence->Known(last), std::optional<bool>(true));
    EXPECT_GE(notices, 1);

    presence->Check({}, {});
    EXPECT_TRUE(presence->Complete());
    EXPECT_EQ(presence->Known(0), std::optional<bool>(false));
    // A walk in progress ends with its owner.
    presence->Check(paths.bytes, paths.ends);
    presence.reset();
}
