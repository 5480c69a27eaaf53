#include "platform/Descriptor.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
}

int Descriptor::Release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void Descriptor::Reset(int fd) noexcept {
    if (fd_ >= 0 && fd_ != fd) {
        const int saved = errno;
        ::close(fd_);
        errno = saved;
    }
    fd_ = fd;
}

bool Descriptor::Close() noexcept {
    // Not retried on EINTR: Linux frees the descriptor whatever close answers.
    return fd_ < 0 || ::close(Release()) == 0;
}

Descriptor OpenDescriptor(const std::string& path, int flags, mode_t mode) {
    int fd;
    do fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return Descriptor(fd);
}

namespace {

// Repeats step (a read of up to n bytes at done) until length bytes are in or it gives none.
template <typename Step>
ssize_t ReadRepeated(void* buffer, std::size_t length, Step step) {
    auto* bytes = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = step(bytes + done, length - done, done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

}  // namespace

ssize_t ReadAll(int fd, void* buffer, std::size_t length) {
    return ReadRepeated(buffer, length,
                        [fd](char* to, std::size_t n, std::size_t) { return ::read(fd, to, n); });
}

ssize_t ReadAllAt(int fd, void* buffer, std::size_t length, std::int64_t offset) {
    return ReadRepeated(buffer, length, [fd, offset](char* to, std::size_t n, std::size_t done) {
        return ::pread(fd, to, n, static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
    });
}

bool WriteAll(int fd, const void* data, std::size_t length) {
    const auto* bytes = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t n = ::write(fd, bytes, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}
