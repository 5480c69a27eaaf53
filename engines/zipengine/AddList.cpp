#include "engines/zipengine/AddList.h"

#include "engines/common/Names.h"
#include "engines/zipengine/DosName.h"
#include "platform/Files.h"
#include "platform/Text.h"

#include <dirent.h>

#include <algorithm>
#include <cstring>

namespace {
std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string LastComponent(const std::string& path) {
    size_t end = path.find_last_not_of('/');
    if (end == std::string::npos) return {};
    size_t slash = path.rfind('/', end);
    return path.substr(slash == std::string::npos ? 0 : slash + 1,
                       end - (slash == std::string::npos ? 0 : slash + 1) + 1);
}

// Folder listings in name order, ASCII case ignored first, so archives do not depend on the
// file system's hash order.
bool NameOrder(const std::string& a, const std::string& b) {
    return CompareFileNames(a, b) < 0;
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return names;
    while (dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end(), NameOrder);
    return names;
}

bool IsMatchAll(const std::string& mask) {
    return mask == "*" || mask == "*.*";
}
}  // namespace

std::string CleanStoredPath(const std::string& path) {
    std::vector<std::string> parts;
    for (auto& part : PathParts(path)) {
        if (part != "..")
            parts.push_back(std::move(part));
        else if (!parts.empty())
            parts.pop_back();
    }
    return JoinedParts(parts);
}

AddList::AddList(AddListOptions options, EngineReporter& reporter) : options_(options), reporter_(reporter) {}

void AddList::exclude(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) excluded_.insert({st.st_dev, st.st_ino});
}

bool AddList::excluded(const struct stat& st) const {
    return excluded_.count({st.st_dev, st.st_ino}) != 0;
}

std::string AddList::storedNameOf(const std::string& path, bool isFolder) const {
    std::string name = options_.keepFolders ? CleanStoredPath(path) : LastComponent(path);
    if (options_.forceDos) name = DosPath(name);
    return isFolder && !name.empty() ? name + "/" : name;
}

bool AddList::addSpec(const std::string& spec) {
    size_t slash = spec.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : spec.substr(0, slash + 1);
    std::string leaf = slash == std::string::npos ? spec : spec.substr(slash + 1);
    // A file named exactly so is taken alone even when its name holds '*' or '?' (legal on
    // Unix): adding "a*b.nes" must not take "axb.nes" too. Only a name that names nothing
    // is a mask.
    struct stat st;
    if (stat(spec.c_str(), &st) != 0) return HasWildcards(leaf) && walk(folder, leaf, IsMatchAll(leaf), true);
    if (S_ISDIR(st.st_mode)) {
        if (options_.recurse) return walk(spec, "*", true, true);
        takeFolder(spec, st);
        return true;
    }
    if (!S_ISREG(st.st_mode) || (!options_.includeHidden && IsHiddenName(LastComponent(spec)))) return false;
    takeFile(spec, st);
    return true;
}

bool AddList::walk(const std::string& folder, const std::string& mask, bool matchAll, bool isBase) {
    struct stat self;
    if (stat(folder.empty() ? "." : folder.c_str(), &self) != 0 || !S_ISDIR(self.st_mode)) return false;
    // A folder reached again through a link would loop for ever.
    if (!visiting_.insert({self.st_dev, self.st_ino}).second) return false;

    size_t folderSlot = items_.size();
    bool any = false;
    std::vector<std::string> subfolders;
    for (const auto& name : ListFolder(folder)) {
        if (!options_.includeHidden && IsHiddenName(name)) continue;
        std::string path = JoinPath(folder, name);
        struct stat st;
        if (stat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            if (options_.recurse) subfolders.push_back(path);
        } else if (S_ISREG(st.st_mode) && WildcardMatch(mask, name)) {
            any = takeFile(path, st) || any;
        }
    }
    for (const auto& path : subfolders) any = walk(path, mask, matchAll, false) || any;
    visiting_.erase({self.st_dev, self.st_ino});

    // A folder gets its own entry, ahead of what it holds, when the add went through it and
    // found something (or took everything, empty folders included).
    bool hasName = !(isBase && CleanStoredPath(folder).empty());
    if (options_.recurse && hasName && (any || matchAll)) {
        size_t before = items_.size();
        takeFolder(folder, self);
        if (items_.size() > before)
            std::rotate(items_.begin() + long(folderSlot), items_.end() - 1, items_.end());
        return true;
    }
    return any;
}

bool AddList::takeFile(const std::string& path, const struct stat& st) {
    if (excluded(st)) return false;
    AddItem item{path, storedNameOf(path, false), false, st.st_size, st.st_mtim.tv_sec, st.st_mode};
    if (item.storedName.empty()) return false;
    if (!names_.insert(item.storedName).second) {
        reporter_.message(ZERR_NONE, "name stored twice, " + path + " left out: " + item.storedName);
        return false;
    }
    items_.push_back(std::move(item));
    return true;
}

void AddList::takeFolder(const std::string& path, const struct stat& st) {
    if (!options_.folderEntries || !options_.keepFolders) return;
    AddItem item{path, storedNameOf(path, true), true, 0, st.st_mtim.tv_sec, st.st_mode};
    if (item.storedName.empty() || !names_.insert(item.storedName).second) return;
    items_.push_back(std::move(item));
}
