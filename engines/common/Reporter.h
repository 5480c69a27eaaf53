#pragma once
// Sends an engine's reports through the command record's callback, in the order the component
// expects, and remembers when the callback asked to stop.
#include "engines/EngineApi.h"

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

class EngineReporter {
public:
    EngineReporter(ZFunctionPtrType callback, void* handle, void* caller, int32_t version, bool isZip);

    // Each returns true when the callback asked to stop (now or earlier); once stopped,
    // nothing more is sent.
    bool fileCount(int64_t count);
    bool byteCount(int64_t total);
    bool fileBegin(const std::string& name, int64_t size);
    // Counts bytes handled; reports them in batches so that a big file does not flood the
    // caller with callbacks.
    bool bytesDone(int64_t bytes);
    // Reports the bytes counted but not yet sent.
    bool flushBytes();
    bool batchEnd();
    bool message(int32_t errorCode, const std::string& text);
    // A message whose code also becomes the call's error state (see lastError).
    bool error(int32_t errorCode, const std::string& text);

    bool stopped() const { return stopped_; }
    int32_t lastError() const { return lastError_; }

private:
    bool send(int32_t action, int32_t errorCode, int64_t size, const std::string& text);

    ZFunctionPtrType callback_;
    int32_t pendingBytes_ = 0;
    int32_t lastError_ = ZERR_NONE;
    bool stopped_ = false;
    ZCallBackStruct info_{};
};

// Runs one exec call's work: nothing may escape into the caller, which knows no C++, so an
// exception becomes an action-4 message; the call always ends with action 3 unless stopped.
template <typename Work>
int32_t RunGuarded(EngineReporter& reporter, Work&& work) {
    int32_t result = 0;
    try {
        result = work();
    } catch (const std::bad_alloc&) {
        reporter.error(ZERR_NO_MEMORY, "out of memory");
        result = 0;
    } catch (const std::exception& e) {
        reporter.error(ZERR_WRITE, e.what());
        result = 0;
    }
    reporter.batchEnd();
    return result;
}

// Copies text into a fixed buffer, cutting it at a UTF-8 character boundary when too long.
void CopyTextCut(char* dest, size_t capacity, const std::string& text);
