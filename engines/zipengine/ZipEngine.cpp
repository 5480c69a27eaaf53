// Entry points of libzipengine.so: add files to an archive, or delete members from it.
#include "engines/EngineApi.h"
#include "engines/common/Archive.h"
#include "engines/common/Reporter.h"
#include "engines/zipengine/AddCommand.h"
#include "engines/zipengine/DeleteCommand.h"

#include <string>

namespace {
// What the call is asked to do, for a caller that traces.
std::string TraceLine(const ZipExecRecord& record) {
    std::string line = std::string(record.DeleteEntries ? "delete from " : "add to ") + record.ZipFileName +
                       ": " + std::to_string(record.FileSpecCount) + " specs";
    if (record.DeleteEntries) return line;
    return line + ", level " + std::to_string(record.Level) +
           FlagNames({{!record.JunkDirs, "folder names"},
                      {record.Recurse, "recurse"},
                      {record.Move, "move"},
                      {record.Freshen, "freshen"},
                      {record.Update, "update"},
                      {record.LatestTime, "archive time"},
                      {record.ForceDOS, "DOS names"},
                      {record.IncludeHidden, "hidden"},
                      {record.Encrypt, "encrypt"},
                      {!record.NoDirEntries, "folder entries"}});
}

int32_t Execute(const ZipExecRecord& record, EngineReporter& reporter) {
    if (!AcceptRecord(record, ZIP_ENGINE_MIN_CURRENT_LAYOUT, reporter)) return 0;
    if (record.TraceEnabled != 0) reporter.message(ZERR_NONE, TraceLine(record));
    if (record.DeleteEntries != 0) return RunDelete(record, reporter);
    return AddCommand(record, reporter).run();
}
}  // namespace

extern "C" int32_t GetZipEngineVersion(void) {
    return ZIP_ENGINE_VERSION;
}

extern "C" int32_t ZipEngineExec(ZipExecRecord* record) {
    if (record == nullptr) return 0;
    EngineReporter reporter(record->Callback, record->Handle, record->Caller, ZIP_ENGINE_VERSION, true);
    return RunGuarded(reporter, [&] { return Execute(*record, reporter); });
}
