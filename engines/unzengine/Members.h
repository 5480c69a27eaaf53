#pragma once
// Where extraction reads members from: libzip, or, for an archive libzip refuses while the
// zip component's own reader reads it (as Info-ZIP does), that reader with zlib's inflate,
// for stored and deflated members without encryption.
#include "engines/common/Directory.h"
#include "engines/common/Names.h"

#include <zip.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct MemberInfo {
    std::string name;  // as listed
    bool encrypted = false;
    int64_t size = 0;
    MemberTime time;
    uint8_t host = 0;         // host number of "version made by"
    uint32_t attributes = 0;  // external attributes
};

// An open member, read to its end: the end checks its CRC.
class MemberStream {
public:
    virtual ~MemberStream() = default;
    // Bytes read into buffer, 0 at the end, -1 on a failure (error() says which).
    virtual int64_t read(char* buffer, size_t size) = 0;
    virtual std::string error() const = 0;
    virtual int32_t errorCode() const = 0;  // ZERR_*
};

class MemberStore {
public:
    virtual ~MemberStore() = default;
    virtual const MemberNames& names() const = 0;
    // False when the member cannot be described.
    virtual bool describe(size_t index, MemberInfo& info) const = 0;
    // Null on a failure, with code (ZERR_*) and why set.
    virtual std::unique_ptr<MemberStream> open(size_t index, const std::string& password, int32_t& code,
                                               std::string& why) = 0;
};

// The members of an archive libzip opened (the store discards it); names from the directory
// read when it describes the same members.
std::unique_ptr<MemberStore> LibzipMembers(zip_t* archive,
                                           const std::optional<std::vector<DirectoryEntry>>& directory);
// The members of a directory read, read from the file at path.
std::unique_ptr<MemberStore> DirectoryMembers(const std::string& path, std::vector<DirectoryEntry> directory);
