#include "engines/zipengine/DeleteCommand.h"

#include "engines/common/Archive.h"
#include "engines/common/Names.h"

#include <zip.h>

#include <string>
#include <vector>

namespace {
// Marks the chosen members deleted and gives their sizes; the archive is written afterwards.
int32_t MarkDeleted(zip_t* archive, const std::vector<std::string>& names, const std::vector<bool>& chosen,
                    std::vector<int64_t>& sizes, EngineReporter& reporter) {
    sizes.assign(names.size(), 0);
    int32_t count = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        if (!chosen[i]) continue;
        zip_stat_t st;
        if (zip_stat_index(archive, i, 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE))
            sizes[i] = int64_t(st.size);
        if (zip_delete(archive, i) != 0) {
            reporter.error(ZERR_WRITE, "cannot delete " + names[i] + ": " + zip_strerror(archive));
            return 0;
        }
        ++count;
    }
    return count;
}

// The members deleted, then the bytes of the members kept as the archive is written: copying
// them is the work that takes time.
void ReportDeleting(const std::vector<std::string>& names, const std::vector<bool>& chosen,
                    const std::vector<int64_t>& sizes, int32_t count, int64_t copied,
                    EngineReporter& reporter) {
    if (reporter.fileCount(count) || reporter.byteCount(copied)) return;
    for (size_t i = 0; i < names.size(); ++i)
        if (chosen[i] && reporter.fileBegin(names[i], sizes[i])) return;
}
}  // namespace

int32_t RunDelete(const ZipExecRecord& record, EngineReporter& reporter) {
    std::string path = record.ZipFileName;
    zip_t* archive = OpenArchive(path, 0, reporter);
    if (archive == nullptr) return 0;
    MemberSpecs specs(SpecTexts(record.FileSpecs, record.FileSpecCount));
    // Named as the component lists them, by the caller's code page.
    MemberNames memberNames = ReadMemberNames(archive, ReadDirectory(path, record.CodePage));
    const std::vector<std::string>& names = memberNames.listed;
    std::vector<bool> chosen;
    // Deleting needs names: no spec must not mean every member.
    int unmatched = specs.empty() ? 0 : specs.choose(memberNames, chosen);
    if (unmatched > 0)
        reporter.message(ZERR_NONE,
                         std::to_string(unmatched) + " of the names given match no member of " + path);
    std::vector<int64_t> sizes;
    int32_t deleted = specs.empty() ? 0 : MarkDeleted(archive, names, chosen, sizes, reporter);
    if (deleted == 0) {
        if (!reporter.stopped() && reporter.lastError() == ZERR_NONE)
            reporter.error(ZERR_NOTHING_TO_DO, "nothing to delete from " + path);
        zip_discard(archive);
        return 0;
    }
    RewriteProgress rewrite(archive, {}, reporter);
    ReportDeleting(names, chosen, sizes, deleted, rewrite.copiedBytes(), reporter);
    return CommitArchive(archive, path, rewrite, reporter) ? deleted : 0;
}
