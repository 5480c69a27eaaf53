#pragma once
// Files and folders: search with wildcards, attributes, moves, atomic replacement, whole-file
// reading and writing. Paths are UTF-8 bytes with '/'. Failures return false / empty and leave
// errno set by the failing call.
#include <cerrno>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

// --- Directory search -------------------------------------------------------------------------

// What a search reports (bits, combine with |).
enum FindFlags : unsigned {
    FindPlainFiles = 1u,   // regular files (or links to one) whose name does not begin with '.'
    FindHiddenFiles = 2u,  // with the kinds asked for, also names beginning with '.'
    FindFolders = 4u,      // folders (or links to one), never "." or ".."
};

// One entry found by FindEntries.
struct FoundEntry {
    std::string name;           // the name alone, as stored in the folder
    bool folder = false;        // a folder (or a link to one)
    bool link = false;          // the entry itself is a symbolic link
    bool hidden = false;        // the name begins with '.'
    bool readOnly = false;      // the owner has no write permission
    std::uint64_t size = 0;     // bytes (0 for folders)
    std::int64_t modified = 0;  // last modification, seconds since 1970 (UTC)
};

// Whether name matches pattern: '*' any run (across '/' too), '?' one character (one UTF-8
// sequence, or one byte in a name that is not valid UTF-8), ASCII case ignored. A pattern ending
// in ".*" also matches names whose last '/'-part has no '.', so "*.*" matches every name. The
// one matcher of the program: folder searches and both engines' masks.
bool WildcardMatch(std::string_view pattern, std::string_view name);
// The same without the ".*" rule.
bool WildcardMatchWhole(std::string_view pattern, std::string_view name);
// The pattern a user means by what was typed: a text with neither a wildcard nor a dot is an
// extension ("nes" gives "*.nes"); anything else is a pattern as it stands.
std::string PatternOf(std::string_view typed);
// Entries of folder matching pattern and flags, in name order (CompareFileNames). A missing or
// unreadable folder gives an empty list.
std::vector<FoundEntry> FindEntries(std::string_view folder, std::string_view pattern,
                                    unsigned flags = FindPlainFiles);
// Just the names of FindEntries.
std::vector<std::string> FindFiles(std::string_view folder, std::string_view pattern,
                                   unsigned flags = FindPlainFiles);
// The same given one text "folder/pattern" (a search spec such as "/roms/*.zip"); '\' read as '/'.
std::vector<std::string> FindFilesLike(std::string_view folderAndPattern, unsigned flags = FindPlainFiles);
// Whether a regular file (or a link to one) lies at path, hidden or not.
bool IsPlainFile(std::string_view path);

// --- Single files and folders -----------------------------------------------------------------

// Something that is not a folder (a regular file, or a link to one) exists at path.
bool FileExists(std::string_view path);
// Anything at all lies at path: a file, a folder, a FIFO, a link (even one that points nowhere).
bool EntryExists(std::string_view path);
// A folder (or a link to one) exists at path.
bool FolderExists(std::string_view path);
// Size in bytes, -1 when nothing readable is there.
std::int64_t FileSize(std::string_view path);
// Last modification in seconds since 1970 (UTC), -1 when nothing is there.
std::int64_t FileModified(std::string_view path);
// Whether path itself is a symbolic link (whatever it points to, if anything).
bool IsSymbolicLink(std::string_view path);
// Deletes a file (not a folder). False when it could not.
bool DeleteFile(std::string_view path);
// Renames from -> to, failing (errno EEXIST) when anything exists at to; never replaces.
bool MoveFile(std::string_view from, std::string_view to);
// Whether the owner lacks write permission. False when nothing is there.
bool IsReadOnly(std::string_view path);
// Takes the owner's write permission away (true) or gives it (false); other bits stay.
bool SetReadOnly(std::string_view path, bool readOnly);
// "Attributes to archive alone": gives the owner write permission, nothing else changes.
bool ClearReadOnly(std::string_view path);
// Creates one folder (its parent must exist). True when it is there afterwards.
bool CreateFolder(std::string_view path);
// Creates a folder and every missing parent. True when it is there afterwards.
bool CreateFolders(std::string_view path);
// Removes an empty folder. False when it is not empty, missing or in use.
bool RemoveFolder(std::string_view path);
// The process's current folder, ending in '/'.
std::string CurrentFolder();
// Makes path the process's current folder.
bool SetCurrentFolder(std::string_view path);
// The current folder is one for all threads. Work that reads it while it runs (a zip engine
// resolving relative names) holds this shared; a change of it, together with the work that
// needs the changed folder (an extraction below its base folder), holds it alone.
std::shared_mutex& CurrentFolderLock();
// The short form of a path: the path itself when anything exists there, else "".
std::string ShortPath(std::string_view path);
// The path with every symbolic link, "." and ".." resolved (realpath); "" when it does not exist.
std::string RealPath(std::string_view path);

// --- Whole files ------------------------------------------------------------------------------

// errno of a read refused because something other than a file or a folder lies at the path (a
// FIFO, a device, a socket): reading one could wait for ever, or never end.
inline constexpr int NotARegularFile = ENODEV;
// The reason for a failed read of a file, for messages: the system's text, or "Not a regular
// file" for NotARegularFile.
std::string ReadErrorText(int error);

// Reads refuse anything but a regular file (or a link to one) at once, without waiting: a folder
// fails with EISDIR, anything else with NotARegularFile.
// The whole content of a file; nullopt when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(std::string_view path);
// Reads a file in pieces of up to 256 KiB, handing each to onChunk in order, so large files
// need no buffer of their own size; false (errno kept) when it cannot be opened or read.
bool ReadFileChunks(std::string_view path, const std::function<void(std::string_view)>& onChunk);
// A file's bytes mapped copy-on-write: a write changes this process's copy of its page, never the
// file; replacing the file (by rename) leaves the mapping as it was. Unmap with UnmapFileBytes.
struct MappedFile {
    char* data = nullptr;
    std::size_t size = 0;  // 0 for an empty file, which maps nothing
};
// Maps a regular file as ReadFileChunks reads one; nullopt (errno kept) when it cannot be opened
// or mapped: callers fall back to reading where the file system offers no mapping.
// Its pages come in as they are first touched, 64 KiB to a fault.
std::optional<MappedFile> MapFileCopyOnWrite(std::string_view path);
// The page tables of the whole mapping in one call, for a caller about to read all of it: a
// fault per 64 KiB costs far more (on a virtual machine about 30 us each, 45 ms for a list of a
// hundred thousand ROMs), but filling them costs a start that shows only a screenful of records
// several milliseconds.
void FillPageTables(const MappedFile& file) noexcept;
void UnmapFileBytes(const MappedFile& file) noexcept;
// Replaces path by bytes atomically: a temporary file in the same folder is written, fsynced
// and renamed over path. Any failure (including a short write) leaves the old file whole,
// removes the temporary file and returns false. A new file gets mode 0666 less the umask; an
// existing file keeps its permission bits. A read-only existing file is not replaced.
bool WriteFileAtomic(std::string_view path, std::string_view bytes);
// WriteFileAtomic of the pieces laid end to end (written in batches), with the same guarantees.
bool WriteFileAtomicPieces(std::string_view path, std::span<const std::string_view> pieces);
// Removes the temporary files that replacements of the file at path (or of the file a link there
// points to) left beside it when they were interrupted (killed, power lost): regular files named
// "." + its name + "." + six letters or digits, letter case ignored. Nothing else is touched.
// Returns how many were removed.
int RemoveStaleTemporaries(std::string_view path);
// Splits a text into lines at CR LF, LF or CR; a last line without an end still counts,
// a final line end adds no empty line.
std::vector<std::string> SplitTextLines(std::string_view text);
// Lines each followed by CR LF.
std::string JoinTextLines(const std::vector<std::string>& lines);
// The lines of a text file (SplitTextLines); nullopt when it cannot be read.
std::optional<std::vector<std::string>> ReadTextLines(std::string_view path);
// Writes lines with CR LF ends through WriteFileAtomic.
bool WriteTextLines(std::string_view path, const std::vector<std::string>& lines);
