#include "engines/common/SourceBase.h"

zip_int64_t SourceBase::Callback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto* self = static_cast<SourceBase*>(state);
    if (command == ZIP_SOURCE_FREE) {
        self->release();  // may delete the source
        return 0;
    }
    try {
        return self->handle(data, length, command);
    } catch (...) {
        zip_error_set(&self->error_, ZIP_ER_MEMORY, 0);
        return -1;
    }
}

zip_int64_t SourceBase::handle(void* data, zip_uint64_t length, zip_source_cmd_t command) {
    switch (command) {
        case ZIP_SOURCE_OPEN:
            return open();
        case ZIP_SOURCE_READ:
            return read(data, length);
        case ZIP_SOURCE_CLOSE:
            closeFile();
            return 0;
        case ZIP_SOURCE_STAT:
            return stat(data, length);
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&error_, data, length);
        default:
            return more(data, length, command);
    }
}

zip_int64_t SourceBase::more(void*, zip_uint64_t, zip_source_cmd_t) {
    zip_error_set(&error_, ZIP_ER_OPNOTSUPP, 0);
    return -1;
}

zip_int64_t SourceBase::fail(int zipError, int systemError) {
    zip_error_set(&error_, zipError, systemError);
    return -1;
}
