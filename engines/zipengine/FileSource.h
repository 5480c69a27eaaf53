#pragma once
// A libzip source that streams one file from disk, reports its progress through the
// reporter and fails the write as soon as the caller asks to stop.
#include "engines/common/Reporter.h"
#include "engines/common/SourceBase.h"
#include "engines/zipengine/AddList.h"
#include "platform/Descriptor.h"

class FileSource : public SourceBase {
public:
    FileSource(const AddItem& item, EngineReporter& reporter);
    ~FileSource() override;

    // A new libzip source reading this file; the FileSource must outlive it.
    zip_source_t* makeSource(zip_t* archive);
    // Whether the file was read to its end (the data went into the archive being written).
    bool readWhole() const { return done_ == item_.size; }

private:
    zip_int64_t open() override;
    zip_int64_t read(void* data, zip_uint64_t length) override;
    zip_int64_t stat(void* data, zip_uint64_t length) override;
    void closeFile() override;
    // The AddCommand owns the source; libzip only lets go of it.
    void release() override { closeFile(); }
    zip_int64_t more(void* data, zip_uint64_t length, zip_source_cmd_t command) override;
    zip_int64_t fail(int zipError, int systemError) override;

    const AddItem& item_;
    EngineReporter& reporter_;
    Descriptor fd_;
    bool begun_ = false;
    int64_t position_ = 0;
    int64_t done_ = 0;  // furthest position reached, so a second pass is not counted twice
};
