// Entry points of libunzengine.so: extract or test the members of an archive.
#include "engines/EngineApi.h"
#include "engines/common/Archive.h"
#include "engines/common/Names.h"
#include "engines/common/Reporter.h"
#include "engines/unzengine/Extractor.h"
#include "engines/unzengine/Members.h"

#include <memory>
#include <optional>
#include <string>

namespace {
ExtractOptions OptionsOf(const UnzExecRecord& record) {
    ExtractOptions options;
    options.test = record.Test != 0;
    options.update = record.Update != 0;
    options.freshen = record.Freshen != 0 && !options.update;
    options.keepFolders = record.Directories != 0;
    options.overwrite = record.OverWrite != 0;
    options.verbose = record.Verbose != 0 || record.TraceEnabled != 0;
    options.password = HasText(record.Password) ? record.Password : "";
    return options;
}

// What the call is asked to do, for a caller that traces.
std::string TraceLine(const UnzExecRecord& record) {
    std::string line = std::string(record.Test ? "test " : "extract from ") + record.ZipFileName + ": " +
                       std::to_string(record.FileSpecCount) + " specs, code page " +
                       std::to_string(record.CodePage);
    return line + FlagNames({{record.Directories, "folder names"},
                             {record.OverWrite, "overwrite"},
                             {record.Freshen, "freshen"},
                             {record.Update, "update"}});
}

// The members through libzip; where libzip refuses an archive that the component's reader
// reads (as Info-ZIP does), through that reader.
std::unique_ptr<MemberStore> OpenMembers(const UnzExecRecord& record, EngineReporter& reporter) {
    const std::string path = record.ZipFileName;
    std::optional<std::vector<DirectoryEntry>> directory = ReadDirectory(path, record.CodePage);
    std::string why;
    if (zip_t* archive = OpenArchive(path, ZIP_RDONLY, why)) return LibzipMembers(archive, directory);
    if (!directory) {
        reporter.error(ZERR_OPEN_ARCHIVE, "cannot open " + path + ": " + why);
        return nullptr;
    }
    reporter.message(ZERR_NONE,
                     "libzip cannot open " + path + " (" + why + "); its members are read directly");
    return DirectoryMembers(path, std::move(*directory));
}

int32_t Execute(const UnzExecRecord& record, EngineReporter& reporter) {
    if (!AcceptRecord(record, UNZ_ENGINE_MIN_CURRENT_LAYOUT, reporter)) return 0;
    if (record.TraceEnabled != 0) reporter.message(ZERR_NONE, TraceLine(record));
    std::unique_ptr<MemberStore> members = OpenMembers(record, reporter);
    if (members == nullptr) return 0;
    MemberSpecs specs(SpecTexts(record.FileSpecs, record.FileSpecCount));
    return Extractor(*members, OptionsOf(record), reporter).run(specs);
}
}  // namespace

extern "C" int32_t GetUnzEngineVersion(void) {
    return UNZ_ENGINE_VERSION;
}

extern "C" int32_t UnzEngineExec(UnzExecRecord* record) {
    if (record == nullptr) return 0;
    EngineReporter reporter(record->Callback, record->Handle, record->Caller, UNZ_ENGINE_VERSION, false);
    return RunGuarded(reporter, [&] { return Execute(*record, reporter); });
}
