#pragma once
// Scratch files for the fuzz targets: one folder per process, memory-backed where there is one
// (the fuzzer writes a file or more per input).
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Drives.h"

namespace fuzzfiles {

inline const std::string& Folder() {
    static const std::string folder = [] {
        std::string path = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        path += "/tarnwick-fuzz-XXXXXX";
        if (!mkdtemp(path.data())) abort();
        return path + "/";
    }();
    return folder;
}

// Writes the bytes as Folder() + name, replacing what was there; the full path.
inline std::string Write(const std::string& name, const std::uint8_t* data, std::size_t size) {
    const std::string path = Folder() + name;
    unlink(path.c_str());
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) abort();
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n <= 0) abort();
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    close(fd);
    return path;
}

inline void Remove(const std::string& name) {
    unlink((Folder() + name).c_str());
}

// Every path on one fixed drive, so the drive check costs nothing next to the reading fuzzed.
class FixedDrive : public DriveProvider {
public:
    std::string Root(std::string_view) override { return "/"; }
    DriveType Type(std::string_view) override { return DriveFixed; }
    bool FreeAndSize(std::string_view, std::int64_t& freeBytes, std::int64_t& totalBytes) override {
        freeBytes = totalBytes = std::int64_t{1} << 40;
        return true;
    }
    std::optional<VolumeInfo> Volume(std::string_view) override { return VolumeInfo{"", 1}; }
    bool SetLabel(std::string_view, std::string_view) override { return false; }
    bool DiskPresent(std::string_view) override { return true; }
};

inline void UseFixedDrive() {
    static FixedDrive drive;
    SetDriveProvider(&drive);
}

}  // namespace fuzzfiles
