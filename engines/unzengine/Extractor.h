#pragma once
// Extracting or testing the members of an open archive, below the current folder only.
#include "engines/common/Names.h"
#include "engines/common/Reporter.h"
#include "engines/unzengine/Members.h"

#include <sys/types.h>
#include <zip.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct ExtractOptions {
    bool test = false;         // read and check, write nothing
    bool update = false;       // new files, and files older than their members
    bool freshen = false;      // only files that exist and are older than their members
    bool keepFolders = false;  // recreate stored folders
    bool overwrite = false;    // replace existing files
    bool verbose = false;
    std::string password;
};

struct ExtractItem {
    size_t index = 0;
    std::string member;  // stored name, as reported
    std::string target;  // path below the current folder
    bool isFolder = false;
    bool encrypted = false;
    int64_t size = 0;
    MemberTime time;
    mode_t mode = 0644;
};

class Extractor {
public:
    Extractor(MemberStore& members, ExtractOptions options, EngineReporter& reporter);
    // Returns the number of files extracted (or tested good).
    int32_t run(const MemberSpecs& specs);

private:
    std::vector<ExtractItem> plan(const MemberSpecs& specs);
    bool describe(size_t index, ExtractItem& item);
    bool wanted(const ExtractItem& item);
    bool process(const ExtractItem& item);
    bool makeFolders(const std::string& folder);
    std::unique_ptr<MemberStream> openMember(const ExtractItem& item);
    bool copyOut(const ExtractItem& item, MemberStream& stream, int fd);
    bool writeFile(const ExtractItem& item, MemberStream& stream);
    mode_t modeOf(const MemberInfo& info, bool& isLink) const;

    MemberStore& members_;
    ExtractOptions options_;
    EngineReporter& reporter_;
    mode_t umask_;
    std::vector<char> buffer_;
    std::unordered_map<std::string, MemberTime> planned_;  // targets of this run, by time
    std::unordered_set<std::string> madeFolders_;
};

// The path a member is written to, below the current folder: empty when the name is
// absolute or climbs with "..", or holds nothing but separators and dots.
std::string SafeTarget(const std::string& member, bool keepFolders, bool& unsafe);
