#pragma once
// Extracting the archive of a self-extracting file into one folder, never outside it.
#include <zip.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Descriptor.h"

namespace sfx {

enum class Overwrite { Ask, Always, Never };

// A member name as a relative path below the target folder, "\" read as "/"; nullopt for a
// name that is absolute, carries a drive letter, climbs with ".." or is empty.
std::optional<std::string> SafeMemberPath(const std::string& stored);

struct ExtractCounts {
    int written = 0;
    int skipped = 0;  // unsafe names, files kept by the overwrite rule
    int damaged = 0;  // members that could not be read back whole
    int locked = 0;   // encrypted members left without the right password
};

class Extractor {
public:
    // ask answers whether an existing file may be replaced; it may change the mode to
    // Always or Never for the files that follow.
    using AskOverwrite = std::function<bool(const std::string& path, Overwrite& mode)>;
    using Report = std::function<void(const std::string& line)>;
    // ask the password for an encrypted member (again after a wrong one); empty gives up.
    using AskPassword = std::function<std::string(const std::string& shown, bool again)>;

    Extractor(zip_t* archive, std::string targetDir, Overwrite mode, AskOverwrite ask, Report report,
              AskPassword askPassword);

    // Extracts the members at the given indexes (all when empty).
    ExtractCounts Run(const std::vector<zip_int64_t>& indexes);

private:
    void ExtractOne(zip_int64_t index, ExtractCounts& counts);
    Descriptor OpenParent(const std::string& relative, std::string& leaf);
    bool MayReplace(int dirFd, const std::string& leaf, const std::string& shown);
    bool CopyMember(zip_int64_t index, int dirFd, const std::string& leaf, const std::string& shown);
    bool Encrypted(zip_int64_t index) const;
    zip_file_t* OpenEncrypted(zip_int64_t index, const std::string& shown);

    zip_t* archive_;
    std::string targetDir_;
    Overwrite mode_;
    AskOverwrite ask_;
    Report report_;
    AskPassword askPassword_;
    std::string password_;  // the last one that opened a member: most archives have one
};

}  // namespace sfx
