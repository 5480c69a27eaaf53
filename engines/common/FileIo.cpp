#include "engines/common/FileIo.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

bool WriteAll(int fd, const char* data, size_t length) {
    while (length > 0) {
        ssize_t done = ::write(fd, data, length);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        length -= size_t(done);
    }
    return true;
}

bool ReadAt(int fd, void* buffer, size_t length, int64_t offset) {
    auto* out = static_cast<char*>(buffer);
    while (length > 0) {
        ssize_t got = ::pread(fd, out, length, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        length -= size_t(got);
        offset += got;
    }
    return true;
}

std::string ErrnoText(int error) {
    char buffer[256];
    return strerror_r(error, buffer, sizeof buffer);  // the GNU form: returns the text to use
}
