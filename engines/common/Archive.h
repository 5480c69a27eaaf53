#pragma once
// Opening and committing archives with the failures reported the same way by both engines.
#include "engines/common/Reporter.h"
#include "engines/common/Rewrite.h"

#include <zip.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

// Opens an archive (flags as zip_open); on failure gives libzip's reason and returns null.
zip_t* OpenArchive(const std::string& path, int flags, std::string& why);
// The same, reporting a failure as ZERR_OPEN_ARCHIVE.
zip_t* OpenArchive(const std::string& path, int flags, EngineReporter& reporter);

// Writes the changes (to a temporary file renamed over the archive), reporting the bytes
// copied from the old archive through `progress` and stopping when the caller asks. On failure
// or stop, discards every change, so the archive stays as it was, and returns false; a
// failure is reported unless the caller stopped. An archive left with no entries is removed.
bool CommitArchive(zip_t* archive, const std::string& path, RewriteProgress& progress,
                   EngineReporter& reporter);

// The file names and masks of a command record.
template <typename Spec>
std::vector<std::string> SpecTexts(const Spec* specs, int32_t count) {
    std::vector<std::string> texts;
    for (int32_t i = 0; specs != nullptr && i < count; ++i)
        if (specs[i].FileSpec != nullptr && specs[i].FileSpec[0] != '\0')
            texts.emplace_back(specs[i].FileSpec);
    return texts;
}

// Whether a record's string field holds text.
inline bool HasText(const char* text) {
    return text != nullptr && text[0] != '\0';
}

// Whether a command record has the layout this engine reads and names an archive; reports
// what is wrong otherwise.
template <typename Record>
bool AcceptRecord(const Record& record, int32_t lowestVersion, EngineReporter& reporter) {
    if (record.Version < lowestVersion || record.Seven != ENGINE_RECORD_MARKER) {
        reporter.error(ZERR_BAD_RECORD, "command record of an unknown layout");
        return false;
    }
    if (!HasText(record.ZipFileName)) {
        reporter.error(ZERR_BAD_RECORD, "no archive name given");
        return false;
    }
    return true;
}

// ", name" for each flag that is set, for a trace line.
std::string FlagNames(std::initializer_list<std::pair<int32_t, const char*>> flags);
