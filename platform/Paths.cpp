#include "platform/Paths.h"

#include "platform/Files.h"
#include "platform/Text.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

namespace {

std::string& ProgramFolderStore() {
    static std::string folder;
    return folder;
}

std::string& DataFolderStore() {
    static std::string folder;
    return folder;
}

bool& DataFolderWritableStore() {
    static bool writable = true;
    return writable;
}

// The data folder by the portable / XDG rule, for the current program folder.
std::string ChosenDataFolder() {
    if (FileExists(ResolveNoCase(ProgramFolder(), "portable.txt"))) return ProgramFolder();
    return JoinPath(UserDataHome(), "tarnwick/");
}

std::string FolderOfExecutable() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return CurrentFolder();
    return FolderPart(std::string_view(buffer, static_cast<std::size_t>(n)));
}

// Splits at '/', dropping empty components.
std::vector<std::string_view> Components(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// The entry of folder whose name equals name ignoring ASCII case (the first in name order when
// several do); "" when none does or the folder cannot be read.
std::string MatchNoCase(const std::string& folder, std::string_view name) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return {};
    std::string best;
    while (const dirent* e = readdir(dir)) {
        const std::string_view candidate(e->d_name);
        if (EqualsNoCase(candidate, name) && (best.empty() || CompareFileNames(candidate, best) < 0))
            best = candidate;
    }
    closedir(dir);
    return best;
}

}  // namespace

const std::string& ProgramFolder() {
    std::string& folder = ProgramFolderStore();
    if (folder.empty()) folder = FolderOfExecutable();
    return folder;
}

void SetProgramFolder(const std::string& folder) {
    SetFolders(folder, folder);
}

std::string ProgramFile(std::string_view relativeName) {
    return ResolveNoCase(ProgramFolder(), relativeName);
}

const std::string& DataFolder() {
    std::string& folder = DataFolderStore();
    if (folder.empty()) folder = ChosenDataFolder();
    return folder;
}

void SetFolders(const std::string& programFolder, const std::string& dataFolder) {
    ProgramFolderStore() = WithTrailingSlash(programFolder);
    DataFolderStore() = WithTrailingSlash(dataFolder);
    DataFolderWritableStore() = true;
}

bool DataFolderWritable() {
    return DataFolderWritableStore();
}

void SetDataFolderWritable(bool writable) {
    DataFolderWritableStore() = writable;
}

std::string UserDataHome() {
    const char* xdg = getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return WithoutTrailingSlash(xdg);
    const char* home = getenv("HOME");
    return JoinPath(home && home[0] ? home : "/", ".local/share");
}

std::string DataFile(std::string_view relativeName) {
    return ResolveNoCase(DataFolder(), relativeName);
}

std::string LookupFile(std::string_view relativeName) {
    const std::string inData = DataFile(relativeName);
    return FileExists(inData) ? inData : ProgramFile(relativeName);
}

std::string ResolveNoCase(std::string_view base, std::string_view relative) {
    std::string path(base);
    bool searching = true;  // false once a component matched nothing: the rest is as spelled
    const std::string slashed = SlashPath(relative);
    for (const std::string_view part : Components(slashed)) {
        std::string next = JoinPath(path, part);
        if (searching && part != "." && part != ".." && !Exists(next)) {
            const std::string match = MatchNoCase(path, part);
            if (match.empty())
                searching = false;
            else
                next = JoinPath(path, match);
        }
        path = std::move(next);
    }
    if (!slashed.empty() && slashed.back() == '/') path = WithTrailingSlash(path);
    return path;
}

std::string SlashPath(std::string_view path) {
    std::string out(path);
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

std::string FolderPart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string FileNamePart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ExtensionPart(std::string_view path) {
    const std::string name = FileNamePart(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string WithoutExtension(std::string_view path) {
    return std::string(path.substr(0, path.size() - ExtensionPart(path).size()));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (!out.empty() && out.back() != '/') out += '/';
    out += name;
    return out;
}

std::string WithTrailingSlash(std::string_view folder) {
    std::string out(folder);
    if (!out.empty() && out.back() != '/') out += '/';
    return out;
}

std::string WithoutTrailingSlash(std::string_view folder) {
    std::string out(folder);
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

std::string AbsolutePath(std::string_view path) {
    const std::string full =
        (!path.empty() && path.front() == '/') ? std::string(path) : JoinPath(CurrentFolder(), path);
    std::vector<std::string_view> kept;
    for (const std::string_view part : Components(full)) {
        if (part == ".") continue;
        if (part == "..") {
            if (!kept.empty()) kept.pop_back();
            continue;
        }
        kept.push_back(part);
    }
    std::string out;
    for (const std::string_view part : kept) {
        out += '/';
        out += part;
    }
    if (out.empty()) out.push_back('/');  // not `= "/"`: GCC 12 warns falsely of an overlapping copy there
    return out;
}
