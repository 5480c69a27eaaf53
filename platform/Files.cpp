#include "platform/Files.h"

#include "platform/Descriptor.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/Text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

std::string Text(std::string_view s) {
    return std::string(s);
}

bool StatOf(std::string_view path, struct stat& st) {
    return stat(Text(path).c_str(), &st) == 0;
}

// Whether an entry of the given kind is reported under flags.
bool Wanted(bool folder, bool hidden, unsigned flags) {
    if (hidden && !(flags & FindHiddenFiles)) return false;
    return (flags & (folder ? FindFolders : FindPlainFiles)) != 0;
}

// Whether a directory entry is itself a symbolic link; the entry's type saves a call where the
// file system reports it.
bool IsLinkEntry(int folder, const dirent& e) {
    if (e.d_type != DT_UNKNOWN) return e.d_type == DT_LNK;
    struct stat st;
    return fstatat(folder, e.d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

// Whether the entry's type, where the file system reports it, already rules it out, saving the
// look at its inode: a file when only folders are asked for (a scan's walk down a tree of
// ROMs), a folder when only files are, and devices, sockets and FIFOs always. Links are
// followed, so their kind is looked at.
bool RuledOutByType(const dirent& e, unsigned flags) {
    switch (e.d_type) {
        case DT_REG:
            return !(flags & FindPlainFiles);
        case DT_DIR:
            return !(flags & FindFolders);
        case DT_LNK:
        case DT_UNKNOWN:
            return false;
        default:
            return true;
    }
}

// Writes the pieces in writev batches; false on an error or a write that stores nothing.
bool WritePieces(int fd, std::span<const std::string_view> pieces) {
    constexpr std::size_t batch = 1024;
    std::vector<iovec> iov;
    iov.reserve(batch);
    std::size_t next = 0;
    while (next < pieces.size() || !iov.empty()) {
        while (iov.size() < batch && next < pieces.size()) {
            const std::string_view p = pieces[next++];
            if (!p.empty()) iov.push_back({const_cast<char*>(p.data()), p.size()});
        }
        if (iov.empty()) break;
        const ssize_t n = writev(fd, iov.data(), static_cast<int>(iov.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        // Drop what was written; a partial write leaves the rest of a piece in front.
        std::size_t done = static_cast<std::size_t>(n), i = 0;
        while (i < iov.size() && done >= iov[i].iov_len) done -= iov[i++].iov_len;
        if (i < iov.size()) {
            iov[i].iov_base = static_cast<char*>(iov[i].iov_base) + done;
            iov[i].iov_len -= done;
        }
        iov.erase(iov.begin(), iov.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return true;
}

// Copies a regular file to a new file at to (which must not exist), keeping its mode and times.
bool CopyToNewFile(const std::string& from, const std::string& to) {
    const Descriptor in = OpenDescriptor(from, O_RDONLY);
    if (!in.IsOpen()) return false;
    struct stat st;
    if (fstat(in.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    Descriptor out = OpenDescriptor(to, O_WRONLY | O_CREAT | O_EXCL, st.st_mode & 07777);
    if (!out.IsOpen()) return false;
    bool ok = true;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ReadAll(in.Get(), chunk, sizeof chunk);
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        if (!WriteAll(out.Get(), chunk, static_cast<std::size_t>(n))) {
            ok = false;
            break;
        }
    }
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ok = ok && futimens(out.Get(), times) == 0 && fsync(out.Get()) == 0;
    const int saved = errno;
    if (!out.Close()) ok = false;
    if (!ok) {
        unlink(to.c_str());
        errno = saved;
    }
    return ok;
}

// The permission bits a newly created file gets: 0666 less the umask.
mode_t NewFileMode() {
    const mode_t mask = umask(022);
    umask(mask);
    return 0666 & ~mask;
}

// Syncs the folder holding path so that a rename in it lasts; failures are not fatal.
void SyncFolderOf(const std::string& path) {
    const std::string folder = FolderPart(path);
    const Descriptor fd = OpenDescriptor(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY);
    if (fd.IsOpen()) fsync(fd.Get());
}

// The file a write to path really replaces: a symbolic link's target, else path itself.
std::string WriteTarget(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (std::string real = RealPath(path); !real.empty()) return real;
    }
    return path;
}

// The end of the temporary name a replacement is written under: mkostemp fills in the X's.
constexpr std::string_view TemporaryMark = "XXXXXX";

// Whether entry is the name of a temporary file that a replacement of `name` leaves behind when
// it is interrupted: "." name "." and six letters or digits.
bool IsTemporaryNameOf(std::string_view entry, std::string_view name) {
    const std::size_t size = name.size() + 2 + TemporaryMark.size();
    if (entry.size() != size || entry[0] != '.' || entry[name.size() + 1] != '.' ||
        !EqualsNoCase(entry.substr(1, name.size()), name))
        return false;
    const std::string_view mark = entry.substr(name.size() + 2);
    return std::all_of(mark.begin(), mark.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

// Puts entries in CompareFileNames order with each name lowered once, not at every one of
// the n log n comparisons (a large folder spent much of its search there).
void SortByName(std::vector<FoundEntry>& found) {
    struct Key {
        std::string lowered;
        std::size_t index;
    };
    std::vector<Key> keys;
    keys.reserve(found.size());
    for (std::size_t i = 0; i < found.size(); ++i) keys.push_back({AsciiLower(found[i].name), i});
    // Lowered bytes first, as unsigned bytes with the shorter first; then the names' own bytes.
    std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
        if (const int c = a.lowered.compare(b.lowered)) return c < 0;
        return found[a.index].name < found[b.index].name;
    });
    std::vector<FoundEntry> sorted;
    sorted.reserve(found.size());
    for (const Key& key : keys) sorted.push_back(std::move(found[key.index]));
    found.swap(sorted);
}

}  // namespace

// --- Directory search -------------------------------------------------------------------------

// '*' by backtracking to the last star. In a name that is valid UTF-8, '?' and each step of a
// star take one character (one sequence); in any other name, one byte.
bool WildcardMatchWhole(std::string_view pattern, std::string_view name) {
    const bool utf8 = IsValidUtf8(name);
    const auto character = [&](std::size_t at) { return utf8 ? CharacterLength(name, at) : 1; };
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += character(n);
        } else if (p < pattern.size() && AsciiLower(pattern[p]) == AsciiLower(name[n])) {
            ++p, ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = starN += character(starN);
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
    if (WildcardMatchWhole(pattern, name)) return true;
    // A pattern ending in ".*" also takes names whose last part has no extension ("*.*" takes
    // every name).
    const std::size_t slash = name.rfind('/');
    const std::string_view last = slash == std::string_view::npos ? name : name.substr(slash + 1);
    if (pattern.ends_with(".*") && last.find('.') == std::string_view::npos)
        return WildcardMatchWhole(pattern.substr(0, pattern.size() - 2), name);
    return false;
}

std::string PatternOf(std::string_view typed) {
    if (typed.find_first_of("*?.") != std::string_view::npos) return std::string(typed);
    return "*." + std::string(typed);
}

std::vector<FoundEntry> FindEntries(std::string_view folder, std::string_view pattern, unsigned flags) {
    std::vector<FoundEntry> found;
    const std::string where = folder.empty() ? std::string("./") : WithTrailingSlash(folder);
    DIR* dir = opendir(where.c_str());
    if (!dir) return found;
    while (const dirent* e = readdir(dir)) {
        const std::string_view name(e->d_name);
        if (name == "." || name == ".." || RuledOutByType(*e, flags) || !WildcardMatch(pattern, name))
            continue;
        struct stat st;
        if (fstatat(dirfd(dir), e->d_name, &st, 0) != 0)
            continue;  // a dangling link or an entry gone meanwhile
        const bool isFolder = S_ISDIR(st.st_mode);
        if (!isFolder && !S_ISREG(st.st_mode)) continue;  // devices, sockets, FIFOs
        const bool hidden = name.front() == '.';
        if (!Wanted(isFolder, hidden, flags)) continue;
        FoundEntry entry;
        entry.name = name;
        entry.folder = isFolder;
        entry.link = IsLinkEntry(dirfd(dir), *e);
        entry.hidden = hidden;
        entry.readOnly = !(st.st_mode & S_IWUSR);
        entry.size = isFolder ? 0 : static_cast<std::uint64_t>(st.st_size);
        entry.modified = st.st_mtime;
        found.push_back(std::move(entry));
    }
    closedir(dir);
    SortByName(found);
    return found;
}

std::vector<std::string> FindFiles(std::string_view folder, std::string_view pattern, unsigned flags) {
    std::vector<std::string> names;
    for (FoundEntry& e : FindEntries(folder, pattern, flags)) names.push_back(std::move(e.name));
    return names;
}

std::vector<std::string> FindFilesLike(std::string_view folderAndPattern, unsigned flags) {
    const std::string spec = SlashPath(folderAndPattern);
    return FindFiles(FolderPart(spec), FileNamePart(spec), flags);
}

bool IsPlainFile(std::string_view path) {
    struct stat st;
    return StatOf(path, st) && S_ISREG(st.st_mode);
}

// --- Single files and folders -----------------------------------------------------------------

bool FileExists(std::string_view path) {
    struct stat st;
    return !path.empty() && StatOf(path, st) && !S_ISDIR(st.st_mode);
}

bool FolderExists(std::string_view path) {
    struct stat st;
    return !path.empty() && StatOf(path, st) && S_ISDIR(st.st_mode);
}

std::int64_t FileSize(std::string_view path) {
    struct stat st;
    return StatOf(path, st) ? static_cast<std::int64_t>(st.st_size) : -1;
}

std::int64_t FileModified(std::string_view path) {
    struct stat st;
    return StatOf(path, st) ? static_cast<std::int64_t>(st.st_mtime) : -1;
}

bool EntryExists(std::string_view path) {
    struct stat st;
    return lstat(Text(path).c_str(), &st) == 0;
}

bool IsSymbolicLink(std::string_view path) {
    struct stat st;
    return lstat(Text(path).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool DeleteFile(std::string_view path) {
    struct stat st;
    if (lstat(Text(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    return unlink(Text(path).c_str()) == 0;
}

bool MoveFile(std::string_view from, std::string_view to) {
    const std::string src = Text(from), dst = Text(to);
    if (renameat2(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EXDEV) {
        // Another file system: copy, then remove the original, as a move of a file does.
        if (!CopyToNewFile(src, dst)) return false;
        if (unlink(src.c_str()) != 0) {
            const int saved = errno;
            unlink(dst.c_str());
            errno = saved;
            return false;
        }
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) return false;
    // The file system cannot refuse to replace: a hard link fails when the target exists.
    if (link(src.c_str(), dst.c_str()) == 0) return unlink(src.c_str()) == 0;
    if (errno == EEXIST || !FolderExists(src)) return false;
    struct stat st;
    if (lstat(dst.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return rename(src.c_str(), dst.c_str()) == 0;
}

bool IsReadOnly(std::string_view path) {
    struct stat st;
    return StatOf(path, st) && !(st.st_mode & S_IWUSR);
}

bool SetReadOnly(std::string_view path, bool readOnly) {
    struct stat st;
    if (!StatOf(path, st)) return false;
    const mode_t mode = readOnly ? (st.st_mode & ~S_IWUSR) : (st.st_mode | S_IWUSR);
    return chmod(Text(path).c_str(), mode & 07777) == 0;
}

bool ClearReadOnly(std::string_view path) {
    return SetReadOnly(path, false);
}

bool CreateFolder(std::string_view path) {
    const std::string p = WithoutTrailingSlash(path);
    if (mkdir(p.c_str(), 0777) == 0) return true;
    const int saved = errno;
    if (saved == EEXIST && FolderExists(p)) return true;
    errno = saved;
    return false;
}

bool CreateFolders(std::string_view path) {
    const std::string p = WithoutTrailingSlash(path);
    if (p.empty()) return false;
    std::size_t pos = 0;
    while ((pos = p.find('/', pos + 1)) != std::string::npos) {
        const std::string parent = p.substr(0, pos);
        if (!FolderExists(parent) && !CreateFolder(parent)) return false;
    }
    return CreateFolder(p);
}

bool RemoveFolder(std::string_view path) {
    return rmdir(WithoutTrailingSlash(path).c_str()) == 0;
}

std::string CurrentFolder() {
    std::vector<char> buffer(PATH_MAX);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE) return "/";
        buffer.resize(buffer.size() * 2);
    }
    return WithTrailingSlash(buffer.data());
}

std::shared_mutex& CurrentFolderLock() {
    static std::shared_mutex lock;
    return lock;
}

bool SetCurrentFolder(std::string_view path) {
    return !path.empty() && chdir(Text(path).c_str()) == 0;
}

std::string ShortPath(std::string_view path) {
    struct stat st;
    return !path.empty() && StatOf(path, st) ? Text(path) : std::string();
}

std::string RealPath(std::string_view path) {
    char* real = realpath(Text(path).c_str(), nullptr);
    if (!real) return {};
    std::string out(real);
    free(real);
    return out;
}

// --- Whole files ------------------------------------------------------------------------------

namespace {

// Opens a regular file (or a link to one) for reading; anything else fails at once with EISDIR
// or NotARegularFile. O_NONBLOCK: opening a FIFO would otherwise wait for a writer, for good.
Descriptor OpenRegularFile(std::string_view path, struct stat& st) {
    Descriptor fd = OpenDescriptor(Text(path), O_RDONLY | O_NONBLOCK);
    if (!fd.IsOpen()) return fd;
    if (fstat(fd.Get(), &st) != 0) return {};
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : NotARegularFile;
        return {};
    }
    return fd;
}

}  // namespace

bool ReadFileChunks(std::string_view path, const std::function<void(std::string_view)>& onChunk) {
    // Closed on every way out, a chunk handler that throws (out of memory) among them.
    struct stat st = {};
    const Descriptor fd = OpenRegularFile(path, st);
    if (!fd.IsOpen()) return false;
    std::vector<char> chunk(256 * 1024);
    for (;;) {
        const ssize_t n = ReadAll(fd.Get(), chunk.data(), chunk.size());
        if (n < 0) return false;
        if (n > 0) onChunk(std::string_view(chunk.data(), static_cast<std::size_t>(n)));
        if (static_cast<std::size_t>(n) < chunk.size()) return true;
    }
}

std::string ReadErrorText(int error) {
    return error == NotARegularFile ? std::string("Not a regular file") : ErrorText(error);
}

std::optional<std::string> ReadWholeFile(std::string_view path) {
    std::string bytes;
    const std::int64_t size = FileSize(path);
    if (size > 0) bytes.reserve(static_cast<std::size_t>(size));
    if (!ReadFileChunks(path, [&](std::string_view piece) { bytes.append(piece); })) return std::nullopt;
    return bytes;
}

std::optional<MappedFile> MapFileCopyOnWrite(std::string_view path) {
    struct stat st = {};
    const Descriptor fd = OpenRegularFile(path, st);  // the mapping keeps the file once made
    if (!fd.IsOpen()) return std::nullopt;
    if (st.st_size == 0) return MappedFile{};
    const auto size = static_cast<std::size_t>(st.st_size);
    void* bytes = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd.Get(), 0);
    if (bytes == MAP_FAILED) return std::nullopt;
    return MappedFile{static_cast<char*>(bytes), size};
}

void FillPageTables(const MappedFile& file) noexcept {
    // Only advice: kernels before 5.14 refuse it, and pages then fault in.
    if (file.size) madvise(file.data, file.size, MADV_POPULATE_READ);
}

void UnmapFileBytes(const MappedFile& file) noexcept {
    if (file.size) munmap(file.data, file.size);
}

bool WriteFileAtomic(std::string_view path, std::string_view bytes) {
    return WriteFileAtomicPieces(path, std::span<const std::string_view>(&bytes, 1));
}

bool WriteFileAtomicPieces(std::string_view path, std::span<const std::string_view> pieces) {
    const std::string target = WriteTarget(Text(path));
    struct stat old;
    const bool exists = stat(target.c_str(), &old) == 0;
    if (exists && (S_ISDIR(old.st_mode) || !(old.st_mode & S_IWUSR))) {
        errno = S_ISDIR(old.st_mode) ? EISDIR : EACCES;
        return false;
    }
    std::string temp = FolderPart(target) + "." + FileNamePart(target) + "." + std::string(TemporaryMark);
    Descriptor fd(mkostemp(temp.data(), O_CLOEXEC));
    if (!fd.IsOpen()) return false;
    const mode_t mode = exists ? (old.st_mode & 07777) : NewFileMode();
    bool ok = fchmod(fd.Get(), mode) == 0 && WritePieces(fd.Get(), pieces) && fsync(fd.Get()) == 0;
    int saved = errno;
    if (!fd.Close() && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        errno = saved;
        return false;
    }
    SyncFolderOf(target);
    return true;
}

int RemoveStaleTemporaries(std::string_view path) {
    // Beside the file a replacement writes: a link's target.
    const std::string target = WriteTarget(Text(path));
    const std::string folder = FolderPart(target), name = FileNamePart(target);
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return 0;
    std::vector<std::string> stale;
    while (const dirent* e = readdir(dir))
        if (IsTemporaryNameOf(e->d_name, name)) stale.emplace_back(e->d_name);
    closedir(dir);
    int removed = 0;
    for (const std::string& entry : stale) {
        const std::string full = folder + entry;
        struct stat st;
        if (lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && unlink(full.c_str()) == 0) ++removed;
    }
    return removed;
}

std::vector<std::string> SplitTextLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

std::string JoinTextLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::optional<std::vector<std::string>> ReadTextLines(std::string_view path) {
    const auto bytes = ReadWholeFile(path);
    if (!bytes) return std::nullopt;
    return SplitTextLines(*bytes);
}

bool WriteTextLines(std::string_view path, const std::vector<std::string>& lines) {
    return WriteFileAtomic(path, JoinTextLines(lines));
}
