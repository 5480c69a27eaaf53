#include "engines/common/Archive.h"

zip_t* OpenArchive(const std::string& path, int flags, EngineReporter& reporter) {
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), flags, &code);
    if (archive == nullptr) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        reporter.error(ZERR_OPEN_ARCHIVE, "cannot open " + path + ": " + zip_error_strerror(&error));
        zip_error_fini(&error);
    }
    return archive;
}

bool CommitArchive(zip_t* archive, const std::string& path, EngineReporter& reporter) {
    if (!reporter.stopped() && zip_close(archive) == 0)
        return true;
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
