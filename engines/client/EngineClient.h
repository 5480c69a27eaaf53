#pragma once
// Calls the two engine libraries of a folder directly, as the zip component does but without
// its options and messages: for the engines' tests and benchmark.
#include "engines/EngineApi.h"

#include <string>

class EngineClient {
public:
    // Loads libzipengine.so and libunzengine.so from the folder; see loaded().
    explicit EngineClient(const std::string& folder);
    ~EngineClient();
    EngineClient(const EngineClient&) = delete;
    EngineClient& operator=(const EngineClient&) = delete;

    // Whether both libraries and both entry points were found; error() says what was not.
    bool loaded() const { return zipExec_ != nullptr && unzExec_ != nullptr; }
    const std::string& error() const { return error_; }

    int32_t zip(ZipExecRecord& record) const { return zipExec_(&record); }
    int32_t unzip(UnzExecRecord& record) const { return unzExec_(&record); }

private:
    void* zipLibrary_ = nullptr;
    void* unzLibrary_ = nullptr;
    ZipEngineExecFn zipExec_ = nullptr;
    UnzEngineExecFn unzExec_ = nullptr;
    std::string error_;
};

// A zero-filled add record as the component builds it with empty options: level 9, names
// without folders, no folder entries, no questions.
ZipExecRecord BasicAddRecord(const char* archive, const ZipExecFileSpec* specs, int32_t count,
                             ZFunctionPtrType callback, void* caller);
// A zero-filled extract record: no questions, nothing overwritten.
UnzExecRecord BasicExtractRecord(const char* archive, const UnzExecFileSpec* specs, int32_t count,
                                 ZFunctionPtrType callback, void* caller);
