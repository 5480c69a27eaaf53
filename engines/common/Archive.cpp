#include "engines/common/Archive.h"

#include "engines/common/ArchiveSource.h"

#include <sys/stat.h>

namespace {
// An archive behind a stub goes through a source of our own, which keeps the stub when the
// archive is rewritten and reads archives whose offsets were not moved past the stub.
zip_t* OpenBehindStub(const std::string& path, const ZipPrefix& prefix, int flags, std::string& why) {
    zip_error_t error;
    zip_error_init(&error);
    zip_t* archive = nullptr;
    if (zip_source_t* source = NewArchiveSource(path, prefix, &error)) {
        archive = zip_open_from_source(source, flags, &error);
        if (archive == nullptr) zip_source_free(source);
    }
    if (archive == nullptr) why = zip_error_strerror(&error);
    zip_error_fini(&error);
    return archive;
}
}  // namespace

zip_t* OpenArchive(const std::string& path, int flags, std::string& why) {
    struct stat st;
    bool exists = ::stat(path.c_str(), &st) == 0;
    // An empty file is taken as a new archive, as Info-ZIP takes it.
    if (exists && st.st_size == 0 && (flags & ZIP_CREATE)) flags |= ZIP_TRUNCATE;
    ZipPrefix prefix = exists ? FindZipPrefix(path) : ZipPrefix{};
    bool writing = (flags & ZIP_RDONLY) == 0;
    if (prefix.unadjusted > 0 || (writing && prefix.keep > 0))
        return OpenBehindStub(path, prefix, flags, why);

    int code = 0;
    zip_t* archive = zip_open(path.c_str(), flags, &code);
    if (archive == nullptr) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        why = zip_error_strerror(&error);
        zip_error_fini(&error);
    }
    return archive;
}

zip_t* OpenArchive(const std::string& path, int flags, EngineReporter& reporter) {
    std::string why;
    zip_t* archive = OpenArchive(path, flags, why);
    if (archive == nullptr) reporter.error(ZERR_OPEN_ARCHIVE, "cannot open " + path + ": " + why);
    return archive;
}

bool CommitArchive(zip_t* archive, const std::string& path, RewriteProgress& progress,
                   EngineReporter& reporter) {
    progress.attach(archive);
    if (!reporter.stopped() && zip_close(archive) == 0) return true;
    if (!reporter.stopped()) {
        int code = zip_error_code_zip(zip_get_error(archive));
        bool writing = code == ZIP_ER_WRITE || code == ZIP_ER_TMPOPEN || code == ZIP_ER_RENAME ||
                       code == ZIP_ER_CLOSE || code == ZIP_ER_REMOVE;
        reporter.error(writing ? ZERR_WRITE : ZERR_READ,
                       std::string(zip_strerror(archive)) + "; " + path + " left as it was");
    }
    zip_discard(archive);
    return false;
}

std::string FlagNames(std::initializer_list<std::pair<int32_t, const char*>> flags) {
    std::string names;
    for (const auto& [on, name] : flags)
        if (on != 0) names += std::string(", ") + name;
    return names;
}
