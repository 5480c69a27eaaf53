#include "engines/common/ArchiveSource.h"

#include "engines/common/SourceBase.h"
#include "platform/Descriptor.h"
#include "zip/ZipDirectory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

namespace {

// The prefix read through the component's directory reader, zip64 included. Anything it cannot
// make sense of (no end record, trailing bytes, a volume of a set, offsets past the directory)
// gives zeros, and libzip decides.
ZipPrefix PrefixOf(int fd) {
    const zipdir::ZipFile file(fd);
    try {
        const std::optional<zipdir::EndRecord> end = zipdir::FindEndRecord(file);
        if (!end || end->RecordEnd() != file.Size() || end->thisDisk != 0 || end->centralDisk != 0) return {};
        const int64_t directoryEnd = end->DirectoryEnd();
        if (end->centralSize > uint64_t(directoryEnd)) return {};
        const int64_t found = directoryEnd - int64_t(end->centralSize);
        if (end->centralOffset > uint64_t(found)) return {};
        const int64_t recorded = int64_t(end->centralOffset);
        // The first local header: the stub is everything in front of it.
        int64_t first = recorded;
        zipdir::CentralDirectoryReader reader(file, found);
        zipdir::CentralEntry entry;
        for (uint64_t i = 0; i < end->totalEntries; ++i) {
            if (!reader.Next(entry) || entry.values.localOffset > uint64_t(recorded)) return {};
            first = std::min(first, int64_t(entry.values.localOffset));
        }
        const int64_t delta = found - recorded;
        return ZipPrefix{delta, delta + first};
    } catch (const zipdir::ReadError&) {
        return {};
    }
}

class ArchiveSource : public SourceBase {
public:
    ArchiveSource(std::string path, ZipPrefix prefix) : path_(std::move(path)), prefix_(prefix) {}
    ~ArchiveSource() override {
        closeFile();
        rollback();
    }

private:
    // libzip owns this source: it goes when libzip lets go of it.
    void release() override { delete this; }

    zip_int64_t more(void* data, zip_uint64_t length, zip_source_cmd_t command) override {
        switch (command) {
            case ZIP_SOURCE_SEEK: {
                zip_int64_t to = zip_source_seek_compute_offset(
                    zip_uint64_t(position_), zip_uint64_t(viewSize()), data, length, &error_);
                if (to < 0) return -1;
                position_ = to;
                return 0;
            }
            case ZIP_SOURCE_TELL:
                return position_;
            case ZIP_SOURCE_ACCEPT_EMPTY:
                return 0;
            case ZIP_SOURCE_BEGIN_WRITE:
                return beginWrite();
            case ZIP_SOURCE_WRITE:
                return WriteAll(writeFd_.Get(), data, length) ? zip_int64_t(length)
                                                              : fail(ZIP_ER_WRITE, errno);
            case ZIP_SOURCE_SEEK_WRITE:
                return seekWrite(data, length);
            case ZIP_SOURCE_TELL_WRITE: {
                off_t at = ::lseek(writeFd_.Get(), 0, SEEK_CUR);
                return at < 0 ? fail(ZIP_ER_SEEK, errno) : zip_int64_t(at);
            }
            case ZIP_SOURCE_COMMIT_WRITE:
                return commit();
            case ZIP_SOURCE_ROLLBACK_WRITE:
                rollback();
                return 0;
            case ZIP_SOURCE_REMOVE:
                return ::unlink(path_.c_str()) == 0 ? 0 : fail(ZIP_ER_REMOVE, errno);
            case ZIP_SOURCE_SUPPORTS:
                return zip_source_make_command_bitmap(
                    ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL,
                    ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SUPPORTS,
                    ZIP_SOURCE_ACCEPT_EMPTY, ZIP_SOURCE_BEGIN_WRITE, ZIP_SOURCE_WRITE, ZIP_SOURCE_SEEK_WRITE,
                    ZIP_SOURCE_TELL_WRITE, ZIP_SOURCE_COMMIT_WRITE, ZIP_SOURCE_ROLLBACK_WRITE,
                    ZIP_SOURCE_REMOVE, -1);
            default:
                return SourceBase::more(data, length, command);
        }
    }

    int64_t viewSize() const { return std::max<int64_t>(fileSize_ - prefix_.unadjusted, 0); }

    zip_int64_t open() override {
        closeFile();
        readFd_ = OpenDescriptor(path_, O_RDONLY);
        if (!readFd_.IsOpen()) return fail(ZIP_ER_OPEN, errno);
        struct stat st;
        if (::fstat(readFd_.Get(), &st) != 0) return fail(ZIP_ER_READ, errno);
        fileSize_ = st.st_size;
        position_ = 0;
        return 0;
    }

    zip_int64_t read(void* data, zip_uint64_t length) override {
        int64_t left = viewSize() - position_;
        size_t want = size_t(std::min<int64_t>(int64_t(length), std::max<int64_t>(left, 0)));
        const ssize_t got = ReadAllAt(readFd_.Get(), data, want, prefix_.unadjusted + position_);
        if (got < 0) return fail(ZIP_ER_READ, errno);
        position_ += got;
        return got;
    }

    zip_int64_t stat(void* data, zip_uint64_t length) override {
        auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &error_);
        if (st == nullptr) return -1;
        struct stat file;
        if (::stat(path_.c_str(), &file) != 0) return fail(ZIP_ER_READ, errno);
        fileSize_ = file.st_size;
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
        st->size = zip_uint64_t(viewSize());
        st->mtime = file.st_mtim.tv_sec;
        return 0;
    }

    zip_int64_t beginWrite() {
        temp_ = path_ + ".XXXXXX";
        writeFd_.Reset(::mkostemp(temp_.data(), O_CLOEXEC));
        if (!writeFd_.IsOpen()) {
            temp_.clear();
            return fail(ZIP_ER_TMPOPEN, errno);
        }
        struct stat st;
        if (::stat(path_.c_str(), &st) == 0) ::fchmod(writeFd_.Get(), st.st_mode & 07777);
        // The stub goes first; libzip then writes the archive after it.
        const Descriptor source = OpenDescriptor(path_, O_RDONLY);
        std::vector<char> buffer(256 * 1024);
        for (int64_t done = 0; source.IsOpen() && done < prefix_.keep;) {
            size_t part = size_t(std::min<int64_t>(int64_t(buffer.size()), prefix_.keep - done));
            if (ReadAllAt(source.Get(), buffer.data(), part, done) != ssize_t(part) ||
                !WriteAll(writeFd_.Get(), buffer.data(), part))
                return fail(ZIP_ER_WRITE, errno);
            done += int64_t(part);
        }
        return source.IsOpen() ? 0 : fail(ZIP_ER_OPEN, errno);
    }

    zip_int64_t seekWrite(void* data, zip_uint64_t length) {
        auto* args = ZIP_SOURCE_GET_ARGS(zip_source_args_seek_t, data, length, &error_);
        if (args == nullptr) return -1;
        off_t at = ::lseek(writeFd_.Get(), off_t(args->offset), args->whence);
        return at < prefix_.keep ? fail(ZIP_ER_SEEK, EINVAL) : 0;
    }

    zip_int64_t commit() {
        if (!writeFd_.Close()) return fail(ZIP_ER_WRITE, errno);
        if (::rename(temp_.c_str(), path_.c_str()) != 0) return fail(ZIP_ER_RENAME, errno);
        temp_.clear();
        return 0;
    }

    void rollback() {
        writeFd_.Reset();
        if (!temp_.empty()) ::unlink(temp_.c_str());
        temp_.clear();
    }

    void closeFile() override { readFd_.Reset(); }

    std::string path_;
    ZipPrefix prefix_;
    Descriptor readFd_;
    Descriptor writeFd_;
    int64_t fileSize_ = 0;
    int64_t position_ = 0;
    std::string temp_;
};
}  // namespace

ZipPrefix FindZipPrefix(const std::string& path) {
    const Descriptor fd = OpenDescriptor(path, O_RDONLY);
    if (!fd.IsOpen()) return {};
    struct stat st;
    return ::fstat(fd.Get(), &st) == 0 && S_ISREG(st.st_mode) ? PrefixOf(fd.Get()) : ZipPrefix{};
}

zip_source_t* NewArchiveSource(const std::string& path, const ZipPrefix& prefix, zip_error_t* error) {
    auto* state = new ArchiveSource(path, prefix);
    zip_source_t* source = zip_source_function_create(ArchiveSource::Callback, state, error);
    if (source == nullptr) delete state;
    return source;
}
