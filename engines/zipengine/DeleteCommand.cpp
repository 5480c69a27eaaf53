#include "engines/zipengine/DeleteCommand.h"

#include "engines/common/Archive.h"
#include "engines/common/Names.h"

#include <zip.h>

#include <string>
#include <vector>

namespace {
std::vector<std::string> MemberNames(zip_t* archive) {
    std::vector<std::string> names;
    zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive, zip_uint64_t(i), MemberNameFlags(archive, zip_uint64_t(i), 0));
        names.emplace_back(name != nullptr ? name : "");
    }
    return names;
}

int32_t DeleteChosen(zip_t* archive, const std::vector<std::string>& names, const std::vector<bool>& chosen,
                     EngineReporter& reporter) {
    int64_t count = 0, bytes = 0;
    std::vector<zip_uint64_t> sizes(names.size(), 0);
    for (size_t i = 0; i < names.size(); ++i) {
        zip_stat_t st;
        if (chosen[i] && zip_stat_index(archive, i, 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE))
            sizes[i] = st.size;
        if (chosen[i])
            ++count, bytes += int64_t(sizes[i]);
    }
    if (reporter.fileCount(count) || reporter.byteCount(bytes))
        return 0;
    for (size_t i = 0; i < names.size(); ++i) {
        if (!chosen[i])
            continue;
        if (reporter.fileBegin(names[i], int64_t(sizes[i])))
            return 0;
        if (zip_delete(archive, i) != 0) {
            reporter.error(ZERR_WRITE, "cannot delete " + names[i] + ": " + zip_strerror(archive));
            return 0;
        }
    }
    return static_cast<int32_t>(count);
}
} // namespace

int32_t RunDelete(const ZipExecRecord& record, EngineReporter& reporter) {
    std::string path = record.ZipFileName;
    zip_t* archive = OpenArchive(path, 0, reporter);
    if (archive == nullptr)
        return 0;
    MemberSpecs specs(SpecTexts(record.FileSpecs, record.FileSpecCount));
    std::vector<std::string> names = MemberNames(archive);
    std::vector<bool> chosen;
    // Deleting needs names: no spec must not mean every member.
    int unmatched = specs.empty() ? 0 : specs.choose(archive, 0, chosen);
    if (unmatched > 0)
        reporter.message(ZERR_NONE, std::to_string(unmatched) + " of the names given match no member of " + path);
    int32_t deleted = specs.empty() ? 0 : DeleteChosen(archive, names, chosen, reporter);
    if (deleted == 0) {
        if (!reporter.stopped() && reporter.lastError() == ZERR_NONE)
            reporter.error(ZERR_NOTHING_TO_DO, "nothing to delete from " + path);
        zip_discard(archive);
        return 0;
    }
    return CommitArchive(archive, path, reporter) ? deleted : 0;
}
