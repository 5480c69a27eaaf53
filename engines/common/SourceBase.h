#pragma once
// What every libzip source function of the engines shares: the error record, the guard that
// keeps exceptions out of libzip (it is C), and the reading commands. A source adds its own
// commands in more() and says in release() what ZIP_SOURCE_FREE does to it.
#include <zip.h>

class SourceBase {
public:
    SourceBase(const SourceBase&) = delete;
    SourceBase& operator=(const SourceBase&) = delete;

    // The function given to zip_source_function(_create), with the source as its state.
    static zip_int64_t Callback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command);

protected:
    SourceBase() { zip_error_init(&error_); }
    virtual ~SourceBase() { zip_error_fini(&error_); }

    virtual zip_int64_t open() = 0;
    virtual zip_int64_t read(void* data, zip_uint64_t length) = 0;
    virtual zip_int64_t stat(void* data, zip_uint64_t length) = 0;
    virtual void closeFile() = 0;
    // ZIP_SOURCE_FREE: libzip is done with the source.
    virtual void release() = 0;
    // Commands beyond the shared ones, ZIP_SOURCE_SUPPORTS among them.
    virtual zip_int64_t more(void* data, zip_uint64_t length, zip_source_cmd_t command);

    // Records the error for libzip and answers -1.
    virtual zip_int64_t fail(int zipError, int systemError);

    zip_error_t error_;

private:
    zip_int64_t handle(void* data, zip_uint64_t length, zip_source_cmd_t command);
};
