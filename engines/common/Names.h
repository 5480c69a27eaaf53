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

// The parts of a '/'-separated path, without empty ones and "."; ".." is kept for the caller.
std::vector<std::string> PathParts(std::string_view path);
// The parts joined with '/'.
std::string JoinedParts(const std::vector<std::string>& parts);

// A member name or spec as stored: backslashes (the component's separator) become '/'.
std::string ToMemberSeparators(std::string text);

// Matches member names against the names and masks of a command. One that is a member's own
// name picks that member alone; else a mask matches by wildcards, and a plain name matches
// ignoring ASCII case.
class MemberSpecs {
public:
    explicit MemberSpecs(std::vector<std::string> specs);
    // Every member matches when no spec was given.
    bool empty() const { return specs_.empty(); }
    // Picks the members of the archive that the specs name, by their names read by the code
    // page rule
    // or as raw bytes (the form a caller that does not convert shows); fills `chosen` (one
    // flag per member) and returns how many specs matched nothing.
    int choose(zip_t* archive, int codePage, std::vector<bool>& chosen) const;

private:
    // Marks in `chosen` the members the specs name and in `matched` the specs that named one.
    void mark(const std::vector<std::string>& memberNames, std::vector<bool>& chosen,
              std::vector<bool>& matched) const;

    std::vector<std::string> specs_;
};

// How to read a member's stored name, by the record's code page: 1 keeps the bytes; 2 reads
// names without the UTF-8 flag as code page 437; 0 does so only for names made on MS-DOS,
// OS/2 or Windows NT, and keeps the bytes of the others (names from Unix are the bytes of
// their file names).
zip_flags_t MemberNameFlags(zip_t* archive, zip_uint64_t index, int codePage);

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
