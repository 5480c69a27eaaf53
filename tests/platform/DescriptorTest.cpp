// Owned descriptors and whole reads and writes, on pipes and real files.
#include "platform/Descriptor.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <string>
#include <thread>

namespace {

bool IsOpen(int fd) {
    return fcntl(fd, F_GETFD) != -1;
}

struct Pipe {
    Pipe() {
        int fds[2];
        EXPECT_EQ(pipe2(fds, O_CLOEXEC), 0);
        read.Reset(fds[0]);
        write.Reset(fds[1]);
    }
    Descriptor read, write;
};

}  // namespace

TEST(Descriptor, ClosesOnceWhereverItEndsAndKeepsErrno) {
    Pipe p;
    const int fd = p.read.Get();
    {
        Descriptor moved(std::move(p.read));
        EXPECT_FALSE(p.read.IsOpen());
        EXPECT_TRUE(IsOpen(fd)) << "a move hands over, it does not close";
        errno = ENOENT;
    }
    EXPECT_EQ(errno, ENOENT) << "the failure being reported survives the close";
    EXPECT_FALSE(IsOpen(fd));

    Descriptor target(dup(p.write.Get()));
    const int old = target.Get();
    target = std::move(p.write);
    EXPECT_FALSE(IsOpen(old)) << "assignment closes what was held";
    const int kept = target.Release();
    EXPECT_FALSE(target.IsOpen());
    EXPECT_TRUE(IsOpen(kept)) << "Release gives the descriptor up open";
    EXPECT_TRUE(Descriptor(kept).Close());
    EXPECT_FALSE(IsOpen(kept));
    EXPECT_TRUE(Descriptor().Close()) << "nothing held, nothing failed";
}

TEST(Descriptor, ReadsAndWritesWholeAcrossPartialTransfers) {
    // More than a pipe holds: the writer blocks and the reader gets it in many pieces.
    std::string big(1 << 20, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    Pipe p;
    std::thread writer([&] {
        EXPECT_TRUE(WriteAll(p.write.Get(), big));
        p.write.Reset();
    });
    std::string got(big.size() + 10, '\0');
    EXPECT_EQ(ReadAll(p.read.Get(), got.data(), got.size()), static_cast<ssize_t>(big.size()))
        << "short only at the end";
    writer.join();
    got.resize(big.size());
    EXPECT_EQ(got, big);

    TempDir dir;
    dir.write("f.bin", "0123456789");
    const Descriptor file = OpenDescriptor(dir.file("f.bin"), O_RDONLY);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_NE(fcntl(file.Get(), F_GETFD) & FD_CLOEXEC, 0);
    char buffer[8] = {};
    EXPECT_EQ(ReadAllAt(file.Get(), buffer, 4, 6), 4);
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_EQ(ReadAllAt(file.Get(), buffer, 8, 7), 3);
    EXPECT_EQ(ReadAll(file.Get(), buffer, 3), 3) << "positioned reads leave the position alone";
    EXPECT_EQ(std::string(buffer, 3), "012");
    EXPECT_EQ(ReadAll(-1, buffer, 1), -1);
    EXPECT_EQ(errno, EBADF);
    EXPECT_FALSE(OpenDescriptor(dir.file("missing"), O_RDONLY).IsOpen());
    EXPECT_EQ(errno, ENOENT);
}

TEST(Descriptor, ReadIsRetriedWhenASignalInterruptsIt) {
    struct sigaction handler = {}, old = {};
    handler.sa_handler = [](int) {};
    sigaction(SIGUSR1, &handler, &old);  // no SA_RESTART: a blocked read fails with EINTR
    Pipe p;
    const pthread_t reader = pthread_self();
    std::thread interrupter([&] {
        for (int i = 0; i < 50; ++i) {
            pthread_kill(reader, SIGUSR1);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        EXPECT_TRUE(WriteAll(p.write.Get(), "late"));
        p.write.Reset();
    });
    char buffer[8] = {};
    EXPECT_EQ(ReadAll(p.read.Get(), buffer, sizeof buffer), 4);
    EXPECT_EQ(std::string(buffer, 4), "late");
    interrupter.join();
    sigaction(SIGUSR1, &old, nullptr);
}
