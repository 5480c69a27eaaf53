#pragma once
// Turns the file specs of an add into the list of files and folders to store, with the
// names they get in the archive.
#include "engines/common/Reporter.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <set>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

struct AddItem {
    std::string sourcePath;  // as reached from the current folder
    std::string storedName;  // name in the archive; folders end in '/'
    bool isFolder = false;
    int64_t size = 0;
    time_t mtime = 0;
    mode_t mode = 0;
};

struct AddListOptions {
    bool keepFolders = true;  // store names with their folders
    bool recurse = false;     // go into subfolders
    bool includeHidden = false;
    bool forceDos = false;      // 8.3 upper-case names
    bool folderEntries = true;  // separate entries for folders passed through
};

class AddList {
public:
    AddList(AddListOptions options, EngineReporter& reporter);
    // Leaves this file out (the archive being written), when it exists.
    void exclude(const std::string& path);
    // Adds what one spec names. Returns false when it named nothing.
    bool addSpec(const std::string& spec);
    std::vector<AddItem>& items() { return items_; }

private:
    // Walks one folder; returns whether anything below it was taken.
    bool walk(const std::string& folder, const std::string& mask, bool matchAll, bool isBase);
    bool takeFile(const std::string& path, const struct stat& st);
    void takeFolder(const std::string& path, const struct stat& st);
    std::string storedNameOf(const std::string& path, bool isFolder) const;
    bool excluded(const struct stat& st) const;

    AddListOptions options_;
    EngineReporter& reporter_;
    std::vector<AddItem> items_;
    std::unordered_set<std::string> names_;
    std::set<std::pair<dev_t, ino_t>> excluded_;
    std::set<std::pair<dev_t, ino_t>> visiting_;
};

// A path made relative and clean for storing: no root, no "." components, ".." resolved
// without climbing above the start.
std::string CleanStoredPath(const std::string& path);
