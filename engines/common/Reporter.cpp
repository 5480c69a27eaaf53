#include "engines/common/Reporter.h"

#include <algorithm>
#include <cstring>

namespace {
// Bytes gathered before one action-2 report: often enough for a smooth progress bar, rare
// enough that pumping window messages costs nothing measurable.
constexpr int32_t kReportEvery = 512 * 1024;

int32_t Clamp32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}
}  // namespace

void CopyTextCut(char* dest, size_t capacity, const std::string& text) {
    size_t n = std::min(text.size(), capacity - 1);
    if (n < text.size()) {
        // Step back over continuation bytes so no character is cut in half.
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(dest, text.data(), n);
    dest[n] = '\0';
}

EngineReporter::EngineReporter(ZFunctionPtrType callback, void* handle, void* caller, int32_t version,
                               bool isZip)
    : callback_(callback) {
    info_.Handle = handle;
    info_.Caller = caller;
    info_.Version = version;
    info_.IsOperationZip = isZip ? 1 : 0;
}

bool EngineReporter::send(int32_t action, int32_t errorCode, int64_t size, const std::string& text) {
    if (stopped_) return true;
    if (callback_ == nullptr) return false;
    info_.ActionCode = action;
    info_.ErrorCode = errorCode;
    info_.FileSize = Clamp32(size);
    CopyTextCut(info_.FileNameOrMsg, sizeof info_.FileNameOrMsg, text);
    if (callback_(&info_) != 0) stopped_ = true;
    return stopped_;
}

bool EngineReporter::fileCount(int64_t count) {
    return send(ZACTION_FILE_COUNT, 0, count, {});
}

bool EngineReporter::byteCount(int64_t total) {
    return send(ZACTION_BYTE_COUNT, 0, total, {});
}

bool EngineReporter::fileBegin(const std::string& name, int64_t size) {
    return flushBytes() || send(ZACTION_FILE_BEGIN, 0, size, name);
}

bool EngineReporter::bytesDone(int64_t bytes) {
    pendingBytes_ = Clamp32(pendingBytes_ + bytes);
    return pendingBytes_ >= kReportEvery ? flushBytes() : stopped_;
}

bool EngineReporter::flushBytes() {
    if (pendingBytes_ == 0) return stopped_;
    int32_t bytes = pendingBytes_;
    pendingBytes_ = 0;
    return send(ZACTION_BYTES_DONE, 0, bytes, {});
}

bool EngineReporter::batchEnd() {
    return flushBytes() || send(ZACTION_BATCH_END, 0, 0, {});
}

bool EngineReporter::message(int32_t errorCode, const std::string& text) {
    return send(ZACTION_MESSAGE, errorCode, 0, text);
}

bool EngineReporter::error(int32_t errorCode, const std::string& text) {
    lastError_ = errorCode;
    return message(errorCode, text);
}
