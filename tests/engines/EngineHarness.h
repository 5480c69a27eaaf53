#pragma once
// Calls the engine libraries of the program folder the way the zip component does: loaded
// with dlopen, fed zero-filled command records, heard through the callback.
#include "engines/EngineApi.h"
#include "engines/client/EngineClient.h"

#include <functional>
#include <string>
#include <vector>

struct EngineEvent {
    int action;
    int errorCode;
    int size;
    std::string text;
};

class EngineHarness {
public:
    EngineHarness();

    // Each callback is recorded; `stopWhen` (when set) is asked after recording and a true
    // answer makes the callback return 1.
    std::vector<EngineEvent> events;
    std::function<bool(const EngineEvent&)> stopWhen;

    // A zero-filled add record for `archive` with the given specs, level 9, names without
    // folders and no folder entries, as the component builds it with empty options.
    ZipExecRecord addRecord(const std::string& archive, const std::vector<std::string>& specs);
    ZipExecRecord deleteRecord(const std::string& archive, const std::vector<std::string>& specs);
    UnzExecRecord extractRecord(const std::string& archive, const std::vector<std::string>& specs);

    int32_t zip(ZipExecRecord& record);
    int32_t unzip(UnzExecRecord& record);

    // The messages (action 4) with the given error code, or all when code is -1.
    std::vector<std::string> messages(int code = -1) const;
    bool hasError(int code) const { return !messages(code).empty(); }
    std::vector<int> actions() const;

private:
    static int32_t Callback(ZCallBackStruct* info);
    void setSpecs(const std::string& archive, const std::vector<std::string>& specs);

    EngineClient client_;
    std::vector<std::string> specTexts_;
    std::vector<ZipExecFileSpec> zipSpecs_;
    std::vector<UnzExecFileSpec> unzSpecs_;
};

// Runs with the current folder set to a test folder (specs relative to it, extraction below it).
class InFolder {
public:
    explicit InFolder(const std::string& folder);
    ~InFolder();
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

private:
    std::string old_;
};

// Everything below a folder, sorted, folders ending in '/', each followed by a blank.
std::string Listing(const std::string& folder);

// Sets a file's modification time (seconds since 1970).
void SetFileTime(const std::string& path, long seconds);
long FileTime(const std::string& path);
bool Exists(const std::string& path);
// Member names of an archive as Python's zipfile reads them, one a line.
std::string PythonNames(const std::string& archive);
// Runs a Python snippet with `z` bound to zipfile.ZipFile(archive) and returns its output.
std::string PythonZip(const std::string& archive, const std::string& code);
// Whether both Info-ZIP unzip and Python's zipfile find the archive sound.
bool ArchiveTestsGood(const std::string& archive);
