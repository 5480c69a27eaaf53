// Entry points of libzipengine.so: add files to an archive, or delete members from it.
#include "engines/EngineApi.h"
#include "engines/common/Archive.h"
#include "engines/common/Reporter.h"
#include "engines/zipengine/AddCommand.h"
#include "engines/zipengine/DeleteCommand.h"


namespace {
int32_t Execute(const ZipExecRecord& record, EngineReporter& reporter) {
    if (record.Version < ZIP_ENGINE_MIN_CURRENT_LAYOUT || record.Seven != ENGINE_RECORD_MARKER) {
        reporter.error(ZERR_BAD_RECORD, "command record of an unknown layout");
        return 0;
    }
    if (!HasText(record.ZipFileName)) {
        reporter.error(ZERR_BAD_RECORD, "no archive name given");
        return 0;
    }
    if (record.DeleteEntries != 0)
        return RunDelete(record, reporter);
    return AddCommand(record, reporter).run();
}
} // namespace

extern "C" int32_t GetZipEngineVersion(void) { return ZIP_ENGINE_VERSION; }

extern "C" int32_t ZipEngineExec(ZipExecRecord* record) {
    if (record == nullptr)
        return 0;
    EngineReporter reporter(record->Callback, record->Handle, record->Caller, ZIP_ENGINE_VERSION, true);
    return RunGuarded(reporter, [&] { return Execute(*record, reporter); });
}
