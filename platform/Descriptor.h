#pragma once
// File descriptors that close themselves, and whole reads and writes on descriptors, retried
// when a signal interrupts them.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Owns one open descriptor (-1: none) and closes it when it goes, on every way out, keeping
// errno so that the failure being reported is not masked by the close. A file that was written
// is closed by Close(), which reports close's own failure (a write the file system delayed).
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) noexcept : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(other.Release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { Reset(); }

    int Get() const noexcept { return fd_; }
    bool IsOpen() const noexcept { return fd_ >= 0; }
    // Gives the descriptor up without closing it; the caller owns it then.
    int Release() noexcept;
    // Closes the descriptor held (errno kept) and holds fd instead.
    void Reset(int fd = -1) noexcept;
    // Closes now; false, with errno set, when close fails. True when nothing was held.
    bool Close() noexcept;

private:
    int fd_ = -1;
};

// open(2) with O_CLOEXEC added, retried when interrupted; errno tells why when it holds none.
Descriptor OpenDescriptor(const std::string& path, int flags, mode_t mode = 0);

// Reads until length bytes are in or the file ends: the count read (short only at the end),
// or -1 on an error (errno tells which).
ssize_t ReadAll(int fd, void* buffer, std::size_t length);
// ReadAll from offset on, leaving the file position alone.
ssize_t ReadAllAt(int fd, void* buffer, std::size_t length, std::int64_t offset);
// Writes every byte; false on an error (errno tells which, ENOSPC for a write that stores nothing).
bool WriteAll(int fd, const void* data, std::size_t length);
inline bool WriteAll(int fd, std::string_view bytes) {
    return WriteAll(fd, bytes.data(), bytes.size());
}
