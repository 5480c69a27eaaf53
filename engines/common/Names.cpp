#include "engines/common/Names.h"

#include "platform/Files.h"
#include "platform/Text.h"

#include <algorithm>
#include <unordered_map>

namespace {
// The extended-timestamp extra field: a flags byte, then the modification time (bit 0).
constexpr zip_uint16_t kExtendedTimestamp = 0x5455;

// The extended timestamp's modification time, when the field holds one.
void ApplyExtendedTimestamp(const zip_uint8_t* data, size_t length, MemberTime& result) {
    if (data == nullptr || length < 5 || (data[0] & 1) == 0) return;
    uint32_t raw =
        uint32_t(data[1]) | uint32_t(data[2]) << 8 | uint32_t(data[3]) << 16 | uint32_t(data[4]) << 24;
    result.time = static_cast<time_t>(static_cast<int32_t>(raw));
    result.exact = true;
}
}  // namespace

bool HasWildcards(std::string_view text) {
    return text.find_first_of("*?") != std::string_view::npos;
}

std::vector<std::string> PathParts(std::string_view path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) slash = path.size();
        std::string_view part = path.substr(start, slash - start);
        if (!part.empty() && part != ".") parts.emplace_back(part);
        start = slash + 1;
    }
    return parts;
}

std::string JoinedParts(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& part : parts) out += (out.empty() ? "" : "/") + part;
    return out;
}

bool IsHiddenName(std::string_view name) {
    return !name.empty() && name.front() == '.';
}

std::string ToMemberSeparators(std::string text) {
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

MemberSpecs::MemberSpecs(std::vector<std::string> specs) {
    for (auto& spec : specs)
        if (!spec.empty()) specs_.push_back(ToMemberSeparators(std::move(spec)));
}

MemberNames DirectoryNames(const std::vector<DirectoryEntry>& directory) {
    MemberNames names;
    for (const DirectoryEntry& entry : directory) {
        names.listed.push_back(ToMemberSeparators(entry.name));
        names.raw.push_back(ToMemberSeparators(entry.rawName));
    }
    return names;
}

MemberNames ReadMemberNames(zip_t* archive, const std::optional<std::vector<DirectoryEntry>>& directory) {
    zip_int64_t count = std::max<zip_int64_t>(zip_get_num_entries(archive, 0), 0);
    MemberNames names;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive, zip_uint64_t(i), ZIP_FL_ENC_RAW);
        names.raw.push_back(ToMemberSeparators(name != nullptr ? name : ""));
    }
    // The same members in the same order, else the directory read describes another archive
    // than libzip's (libzip read a different end record).
    bool same = directory && directory->size() == names.raw.size();
    for (size_t i = 0; same && i < names.raw.size(); ++i)
        same = ToMemberSeparators((*directory)[i].rawName) == names.raw[i];
    if (same) return DirectoryNames(*directory);
    names.listed = names.raw;
    return names;
}

int MemberSpecs::choose(const MemberNames& names, std::vector<bool>& chosen) const {
    chosen.assign(names.raw.size(), specs_.empty());
    std::vector<bool> matched(specs_.size(), false);
    mark(names.listed, chosen, matched);
    mark(names.raw, chosen, matched);
    return int(std::count(matched.begin(), matched.end(), false));
}

void MemberSpecs::mark(const std::vector<std::string>& memberNames, std::vector<bool>& chosen,
                       std::vector<bool>& matched) const {
    std::unordered_map<std::string, std::vector<size_t>> exact, folded;
    for (size_t i = 0; i < memberNames.size(); ++i) {
        exact[memberNames[i]].push_back(i);
        folded[AsciiLower(memberNames[i])].push_back(i);
    }
    for (size_t s = 0; s < specs_.size(); ++s) {
        const std::string& spec = specs_[s];
        // A spec that is a member's own name picks that member alone, even when the name
        // holds '*' or '?' (legal on Unix): deleting "a?.nes" must not take "ab.nes" too.
        const std::vector<size_t>* hits = nullptr;
        if (auto e = exact.find(spec); e != exact.end()) {
            hits = &e->second;
        } else if (HasWildcards(spec)) {
            for (size_t i = 0; i < memberNames.size(); ++i)
                if (WildcardMatch(spec, memberNames[i])) chosen[i] = matched[s] = true;
            continue;
        } else if (auto f = folded.find(AsciiLower(spec)); f != folded.end()) {
            hits = &f->second;
        }
        if (hits != nullptr) {
            for (size_t i : *hits) chosen[i] = true;
            matched[s] = true;
        }
    }
}

MemberTime ReadMemberTime(zip_t* archive, zip_uint64_t index, const zip_stat_t& stat) {
    MemberTime result;
    if (stat.valid & ZIP_STAT_MTIME) result.time = stat.mtime;
    zip_uint16_t length = 0;
    const zip_uint8_t* data =
        zip_file_extra_field_get_by_id(archive, index, kExtendedTimestamp, 0, &length, ZIP_FL_CENTRAL);
    ApplyExtendedTimestamp(data, length, result);
    return result;
}

MemberTime DirectoryMemberTime(const DirectoryEntry& entry) {
    const unsigned char* header = entry.central.header;
    uint16_t dosTime = zipfmt::Get16(header + 12), dosDate = zipfmt::Get16(header + 14);
    // Local time, as MS-DOS kept it.
    struct tm parts = {};
    parts.tm_sec = (dosTime & 31) * 2;
    parts.tm_min = (dosTime >> 5) & 63;
    parts.tm_hour = dosTime >> 11;
    parts.tm_mday = dosDate & 31;
    parts.tm_mon = ((dosDate >> 5) & 15) - 1;
    parts.tm_year = (dosDate >> 9) + 80;
    parts.tm_isdst = -1;
    MemberTime result;
    result.time = mktime(&parts);
    if (std::optional<std::string_view> block =
            zipdir::FindExtraBlock(entry.central.extra, kExtendedTimestamp))
        ApplyExtendedTimestamp(reinterpret_cast<const zip_uint8_t*>(block->data()), block->size(), result);
    return result;
}

bool FileNewerThanMember(time_t fileTime, MemberTime member) {
    return member.exact ? fileTime > member.time : (fileTime & ~time_t(1)) > member.time;
}

bool MemberNewerThanFile(MemberTime member, time_t fileTime) {
    return member.exact ? member.time > fileTime : member.time > (fileTime & ~time_t(1));
}
