#include "engines/common/Names.h"

#include "platform/Files.h"
#include "platform/Text.h"

#include <algorithm>
#include <unordered_map>

namespace {
// The extended-timestamp extra field: a flags byte, then the modification time (bit 0).
constexpr zip_uint16_t kExtendedTimestamp = 0x5455;
} // namespace

bool HasWildcards(std::string_view text) { return text.find_first_of("*?") != std::string_view::npos; }

bool MatchMask(std::string_view mask, std::string_view name) {
    if (WildcardMatchWhole(mask, name))
        return true;
    if (mask.size() < 2 || !mask.ends_with(".*"))
        return false;
    size_t slash = name.rfind('/');
    std::string_view last = slash == std::string_view::npos ? name : name.substr(slash + 1);
    return last.find('.') == std::string_view::npos && WildcardMatchWhole(mask.substr(0, mask.size() - 2), name);
}

std::vector<std::string> PathParts(std::string_view path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string_view::npos)
            slash = path.size();
        std::string_view part = path.substr(start, slash - start);
        if (!part.empty() && part != ".")
            parts.emplace_back(part);
        start = slash + 1;
    }
    return parts;
}

std::string JoinedParts(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& part : parts)
        out += (out.empty() ? "" : "/") + part;
    return out;
}

bool IsHiddenName(std::string_view name) { return !name.empty() && name.front() == '.'; }

std::string ToMemberSeparators(std::string text) {
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

MemberSpecs::MemberSpecs(std::vector<std::string> specs) {
    for (auto& spec : specs)
        if (!spec.empty())
            specs_.push_back(ToMemberSeparators(std::move(spec)));
}

zip_flags_t MemberNameFlags(zip_t* archive, zip_uint64_t index, int codePage) {
    if (codePage == 1)
        return ZIP_FL_ENC_RAW;
    if (codePage == 2)
        return ZIP_FL_ENC_STRICT;
    zip_uint8_t system = ZIP_OPSYS_UNIX;
    zip_uint32_t attributes = 0;
    zip_file_get_external_attributes(archive, index, 0, &system, &attributes);
    bool fromDos = system == ZIP_OPSYS_DOS || system == ZIP_OPSYS_OS_2 || system == ZIP_OPSYS_WINDOWS_NTFS;
    return fromDos ? ZIP_FL_ENC_STRICT : ZIP_FL_ENC_RAW;
}

int MemberSpecs::choose(zip_t* archive, int codePage, std::vector<bool>& chosen) const {
    zip_int64_t count = std::max<zip_int64_t>(zip_get_num_entries(archive, 0), 0);
    chosen.assign(size_t(count), specs_.empty());
    std::vector<bool> matched(specs_.size(), false);
    for (bool raw : {false, true}) {
        std::vector<std::string> names;
        for (zip_int64_t i = 0; i < count; ++i) {
            zip_flags_t form = raw ? ZIP_FL_ENC_RAW : MemberNameFlags(archive, zip_uint64_t(i), codePage);
            const char* name = zip_get_name(archive, zip_uint64_t(i), form);
            names.push_back(ToMemberSeparators(name != nullptr ? name : ""));
        }
        mark(names, chosen, matched);
    }
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
                if (MatchMask(spec, memberNames[i]))
                    chosen[i] = matched[s] = true;
            continue;
        } else if (auto f = folded.find(AsciiLower(spec)); f != folded.end()) {
            hits = &f->second;
        }
        if (hits != nullptr) {
            for (size_t i : *hits)
                chosen[i] = true;
            matched[s] = true;
        }
    }
}

MemberTime ReadMemberTime(zip_t* archive, zip_uint64_t index, const zip_stat_t& stat) {
    MemberTime result;
    if (stat.valid & ZIP_STAT_MTIME)
        result.time = stat.mtime;
    zip_uint16_t length = 0;
    const zip_uint8_t* data =
        zip_file_extra_field_get_by_id(archive, index, kExtendedTimestamp, 0, &length, ZIP_FL_CENTRAL);
    if (data != nullptr && length >= 5 && (data[0] & 1) != 0) {
        uint32_t raw = uint32_t(data[1]) | uint32_t(data[2]) << 8 | uint32_t(data[3]) << 16 |
                       uint32_t(data[4]) << 24;
        result.time = static_cast<time_t>(static_cast<int32_t>(raw));
        result.exact = true;
    }
    return result;
}

bool FileNewerThanMember(time_t fileTime, MemberTime member) {
    return member.exact ? fileTime > member.time : (fileTime & ~time_t(1)) > member.time;
}

bool MemberNewerThanFile(MemberTime member, time_t fileTime) {
    return member.exact ? member.time > fileTime : member.time > (fileTime & ~time_t(1));
}
