#pragma once
// Name handling shared by both engines: wildcard masks, member names, member times.
#include "engines/common/Directory.h"

#include <zip.h>

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

bool HasWildcards(std::string_view text);

// A hidden file or folder: its name begins with '.'.
bool IsHiddenName(std::string_view name);

// The parts of a '/'-separated path, without empty ones and "."; ".." is kept for the caller.
std::vector<std::string> PathParts(std::string_view path);
// The parts joined with '/'.
std::string JoinedParts(const std::vector<std::string>& parts);

// A member name or spec as stored: backslashes (the component's separator) become '/'.
std::string ToMemberSeparators(std::string text);

// The names of an archive's members in index order: as the component lists them and as they
// are stored (up to a NUL byte), the forms a caller may give.
struct MemberNames {
    std::vector<std::string> listed;
    std::vector<std::string> raw;
};

// The names libzip's members have in the component's directory read of the archive, or, when
// that read does not describe the same members, libzip's stored names in both forms.
MemberNames ReadMemberNames(zip_t* archive, const std::optional<std::vector<DirectoryEntry>>& directory);
// The names of a directory read alone.
MemberNames DirectoryNames(const std::vector<DirectoryEntry>& directory);

// Matches member names against the names and masks of a command. One that is a member's own
// name picks that member alone; else a mask matches by wildcards, and a plain name matches
// ignoring ASCII case.
class MemberSpecs {
public:
    explicit MemberSpecs(std::vector<std::string> specs);
    // Every member matches when no spec was given.
    bool empty() const { return specs_.empty(); }
    // Picks the members that the specs name, in either form of their names; fills `chosen`
    // (one flag per member) and returns how many specs matched nothing.
    int choose(const MemberNames& names, std::vector<bool>& chosen) const;

private:
    // Marks in `chosen` the members the specs name and in `matched` the specs that named one.
    void mark(const std::vector<std::string>& memberNames, std::vector<bool>& chosen,
              std::vector<bool>& matched) const;

    std::vector<std::string> specs_;
};

// The modification time of a member: the exact time of an extended-timestamp field when the
// archive has one, else the 2-second DOS time.
struct MemberTime {
    time_t time = 0;
    bool exact = false;
};
MemberTime ReadMemberTime(zip_t* archive, zip_uint64_t index, const zip_stat_t& stat);
// The same from the component's directory read.
MemberTime DirectoryMemberTime(const DirectoryEntry& entry);

// Whether a file's time is later than a member's, at the member's precision.
bool FileNewerThanMember(time_t fileTime, MemberTime member);
// Whether a member's time is later than a file's, at the member's precision.
bool MemberNewerThanFile(MemberTime member, time_t fileTime);
