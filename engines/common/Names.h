#pragma once
// Name handling shared by both engines: wildcard masks, member names, member times.
#include <zip.h>

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

bool HasWildcards(std::string_view text);

// '*' matches any run (across '/' too), '?' one byte, letters match ignoring ASCII case.
// A mask ending in ".*" also matches names without an extension, so "*.*" matches every name.
bool MatchMask(std::string_view mask, std::string_view name);

// A hidden file or folder: its name begins with '.'.
bool IsHiddenName(std::string_view name);

// A member name or spec as stored: backslashes (the component's separator) become '/'.
std::string ToMemberSeparators(std::string text);

// Matches member names against the specs of a command. A spec without wildcards names one
// member exactly; when no member has that exact name, the spec matches ignoring ASCII case.
class MemberSpecs {
public:
    explicit MemberSpecs(std::vector<std::string> specs);
    // Every member matches when no spec was given.
    bool empty() const { return specs_.empty(); }
    // Picks the members of the archive that the specs name; fills `chosen` (one flag per
    // member) and returns how many specs matched nothing.
    int choose(const std::vector<std::string>& memberNames, std::vector<bool>& chosen) const;

private:
    std::vector<std::string> specs_;
};

// The modification time of a member: the exact time of an extended-timestamp field when the
// archive has one, else the 2-second DOS time.
struct MemberTime {
    time_t time = 0;
    bool exact = false;
};
MemberTime ReadMemberTime(zip_t* archive, zip_uint64_t index, const zip_stat_t& stat);

// Whether a file's time is later than a member's, at the member's precision.
bool FileNewerThanMember(time_t fileTime, MemberTime member);
// Whether a member's time is later than a file's, at the member's precision.
bool MemberNewerThanFile(MemberTime member, time_t fileTime);
