#include "engines/zipengine/FileSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

FileSource::FileSource(const AddItem& item, EngineReporter& reporter) : item_(item), reporter_(reporter) {}

FileSource::~FileSource() {
    closeFile();
}

zip_source_t* FileSource::makeSource(zip_t* archive) {
    return zip_source_function(archive, Callback, this);
}

void FileSource::closeFile() {
    fd_.Reset();
}

zip_int64_t FileSource::fail(int zipError, int systemError) {
    SourceBase::fail(zipError, systemError);
    if (zipError != ZIP_ER_CANCELLED)
        reporter_.error(ZERR_READ, "cannot read " + item_.sourcePath + ": " + zip_error_strerror(&error_));
    return -1;
}

zip_int64_t FileSource::more(void* data, zip_uint64_t length, zip_source_cmd_t command) {
    if (command == ZIP_SOURCE_SUPPORTS)
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    return SourceBase::more(data, length, command);
}

zip_int64_t FileSource::open() {
    if (!begun_) {
        begun_ = true;
        reporter_.fileBegin(item_.storedName, item_.size);
    }
    if (reporter_.stopped()) return fail(ZIP_ER_CANCELLED, 0);
    // Without blocking, in case a FIFO took the file's place since it was listed.
    fd_ = OpenDescriptor(item_.sourcePath, O_RDONLY | O_NONBLOCK);
    if (!fd_.IsOpen()) return fail(ZIP_ER_OPEN, errno);
    struct stat st;
    if (::fstat(fd_.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return fail(ZIP_ER_OPEN, EINVAL);
    posix_fadvise(fd_.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    position_ = 0;
    return 0;
}

zip_int64_t FileSource::read(void* data, zip_uint64_t length) {
    if (reporter_.stopped()) return fail(ZIP_ER_CANCELLED, 0);
    // Never more than the size announced: the entry's header already holds it.
    size_t want = static_cast<size_t>(std::min<zip_uint64_t>(length, zip_uint64_t(item_.size - position_)));
    const ssize_t got = ReadAll(fd_.Get(), data, want);
    if (got < 0) return fail(ZIP_ER_READ, errno);
    if (got == 0 && want > 0)  // the file shrank since it was listed
        return fail(ZIP_ER_READ, EIO);
    position_ += got;
    if (position_ > done_) {
        int64_t fresh = position_ - done_;
        done_ = position_;
        if (reporter_.bytesDone(fresh)) return fail(ZIP_ER_CANCELLED, 0);
    }
    return got;
}

zip_int64_t FileSource::stat(void* data, zip_uint64_t length) {
    auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &error_);
    if (st == nullptr) return -1;
    zip_stat_init(st);
    st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
    st->size = static_cast<zip_uint64_t>(item_.size);
    st->mtime = item_.mtime;
    st->comp_method = ZIP_CM_STORE;
    st->encryption_method = ZIP_EM_NONE;
    return 0;
}
