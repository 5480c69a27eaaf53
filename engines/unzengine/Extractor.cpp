#include "engines/unzengine/Extractor.h"

#include "platform/Descriptor.h"
#include "platform/Process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <mutex>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {
// Big enough that reading and writing cost few calls per megabyte.
constexpr size_t kBufferSize = 256 * 1024;

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Read from /proc, so that no other thread ever sees the mask changed; setting it and back is
// the fallback where /proc is not mounted, one engine call at a time.
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("Umask:")) return mode_t(std::strtoul(line.c_str() + 6, nullptr, 8));
    static std::mutex fallback;
    const std::lock_guard hold(fallback);
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}
}  // namespace

std::string SafeTarget(const std::string& member, bool keepFolders, bool& unsafe) {
    std::string name = ToMemberSeparators(member);
    bool driveLetter =
        name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]));
    unsafe = name.starts_with("/") || driveLetter;
    std::vector<std::string> parts = PathParts(name);
    if (std::find(parts.begin(), parts.end(), "..") != parts.end()) unsafe = true;
    if (unsafe || parts.empty()) return {};
    return keepFolders ? JoinedParts(parts) : parts.back();
}

Extractor::Extractor(MemberStore& members, ExtractOptions options, EngineReporter& reporter)
    : members_(members), options_(std::move(options)), reporter_(reporter), umask_(CurrentUmask()) {}

int32_t Extractor::run(const MemberSpecs& specs) {
    std::vector<ExtractItem> items = plan(specs);
    int64_t files = 0, bytes = 0;
    for (const auto& item : items)
        if (!item.isFolder) ++files, bytes += item.size;
    if (reporter_.fileCount(files) || reporter_.byteCount(bytes)) return 0;
    buffer_.resize(kBufferSize);
    int32_t done = 0;
    for (const auto& item : items) {
        if (process(item) && !item.isFolder) ++done;
        if (reporter_.stopped()) break;
    }
    if (options_.verbose)
        reporter_.message(ZERR_NONE,
                          std::to_string(done) + (options_.test ? " files tested good" : " files extracted"));
    return done;
}

std::vector<ExtractItem> Extractor::plan(const MemberSpecs& specs) {
    std::vector<bool> chosen;
    if (specs.choose(members_.names(), chosen) > 0)
        reporter_.message(ZERR_NONE, "some of the names given match no member");
    std::vector<ExtractItem> items;
    for (size_t i = 0; i < chosen.size(); ++i) {
        ExtractItem item;
        if (chosen[i] && describe(i, item) && wanted(item)) items.push_back(std::move(item));
    }
    if (items.empty() && !reporter_.stopped() && reporter_.lastError() == ZERR_NONE) {
        // Members the options passed over (up to date, not there to freshen) are no fault.
        if (std::find(chosen.begin(), chosen.end(), true) == chosen.end())
            reporter_.error(ZERR_NOTHING_TO_DO, "no members to extract");
        else
            reporter_.message(ZERR_NONE, "nothing to extract: every file is up to date");
    }
    return items;
}

bool Extractor::describe(size_t index, ExtractItem& item) {
    MemberInfo info;
    if (!members_.describe(index, info)) return false;
    item.index = index;
    item.member = info.name;
    item.isFolder = item.member.ends_with("/") || item.member.ends_with("\\");
    item.size = info.size;
    item.encrypted = info.encrypted;
    item.time = info.time;
    bool isLink = false;
    item.mode = modeOf(info, isLink);
    if (isLink) {
        reporter_.error(ZERR_UNSUPPORTED, "symbolic link not extracted: " + item.member);
        return false;
    }
    bool unsafe = false;
    item.target = SafeTarget(item.member, options_.keepFolders, unsafe);
    if (unsafe)
        reporter_.error(ZERR_UNSAFE_NAME,
                        "skipped, the name leads outside the target folder: " + item.member);
    if (item.target.empty() || (item.isFolder && (!options_.keepFolders || options_.test))) return false;
    return true;
}

// Permissions as stored by a Unix archiver, read-only for an MS-DOS read-only file, else
// the usual ones; never set-id bits.
mode_t Extractor::modeOf(const MemberInfo& info, bool& isLink) const {
    isLink = false;
    mode_t mode = 0666;
    mode_t unixMode = info.attributes >> 16;
    if (info.host == ZIP_OPSYS_UNIX && (unixMode & 0777) != 0) {
        isLink = S_ISLNK(unixMode);
        mode = unixMode & 0777;
    } else if (info.attributes & 0x01) {
        mode = 0444;
    }
    return mode & ~umask_;
}

bool Extractor::wanted(const ExtractItem& item) {
    if (options_.test || item.isFolder) return true;
    // A target taken by an earlier member of this run counts as existing, with its time.
    bool exists = false, newer = false;
    if (auto it = planned_.find(item.target); it != planned_.end()) {
        exists = true;
        newer = item.time.time > it->second.time;
    } else if (struct stat st; ::lstat(item.target.c_str(), &st) == 0) {
        exists = true;
        newer = MemberNewerThanFile(item.time, st.st_mtim.tv_sec);
    }
    bool take;
    if (!exists)
        take = !options_.freshen;
    else if (options_.freshen || options_.update)
        take = newer;
    else
        take = options_.overwrite;
    if (!take && exists && !options_.freshen && !options_.update)
        reporter_.error(ZERR_EXISTS, "not overwritten: " + item.target);
    if (take) planned_[item.target] = item.time;
    return take;
}

bool Extractor::process(const ExtractItem& item) {
    if (item.isFolder) return makeFolders(item.target);
    if (reporter_.fileBegin(item.member, item.size)) return false;
    if (item.encrypted && options_.password.empty()) {
        reporter_.error(ZERR_PASSWORD, "password required for " + item.member);
        return false;
    }
    std::unique_ptr<MemberStream> stream = openMember(item);
    if (stream == nullptr) return false;
    bool good = options_.test ? copyOut(item, *stream, -1) : writeFile(item, *stream);
    if (good && options_.verbose)
        reporter_.message(ZERR_NONE, (options_.test ? "tested good: " : "extracted: ") + item.member);
    return good;
}

std::unique_ptr<MemberStream> Extractor::openMember(const ExtractItem& item) {
    int32_t code = ZERR_NONE;
    std::string why;
    std::unique_ptr<MemberStream> stream =
        members_.open(item.index, item.encrypted ? options_.password : std::string(), code, why);
    if (stream == nullptr) reporter_.error(code, "cannot read " + item.member + ": " + why);
    return stream;
}

// Reads the member to its end (the CRC is checked there), writing it to fd unless fd is -1.
bool Extractor::copyOut(const ExtractItem& item, MemberStream& stream, int fd) {
    for (;;) {
        int64_t got = stream.read(buffer_.data(), buffer_.size());
        if (got == 0) return true;
        if (got < 0) {
            int32_t code = stream.errorCode();
            std::string hint = item.encrypted ? " (wrong password?)" : "";
            reporter_.error(code, item.member + ": " + stream.error() + hint);
            return false;
        }
        if (fd >= 0 && !WriteAll(fd, buffer_.data(), size_t(got))) {
            reporter_.error(ZERR_WRITE, "cannot write " + item.target + ": " + ErrorText(errno));
            return false;
        }
        if (reporter_.bytesDone(got)) return false;
    }
}

// The member goes to a hidden temporary file beside its target, renamed over it once whole:
// a failed or stopped extraction leaves an existing file as it was.
bool Extractor::writeFile(const ExtractItem& item, MemberStream& stream) {
    std::string folder = FolderOf(item.target);
    if (!folder.empty() && !makeFolders(folder)) return false;
    std::string temp = (folder.empty() ? "" : folder + "/") + ".tarnwick-XXXXXX";
    Descriptor fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd.IsOpen()) {
        reporter_.error(ZERR_CREATE, "cannot create a file in " + (folder.empty() ? "." : folder) + ": " +
                                         ErrorText(errno));
        return false;
    }
    bool good = copyOut(item, stream, fd.Get());
    struct timespec times[2] = {{item.time.time, 0}, {item.time.time, 0}};
    if (good && (::fchmod(fd.Get(), item.mode) != 0 || ::futimens(fd.Get(), times) != 0)) good = false;
    if (!fd.Close() && good) {
        reporter_.error(ZERR_WRITE, "cannot write " + item.target + ": " + ErrorText(errno));
        good = false;
    }
    if (good && ::rename(temp.c_str(), item.target.c_str()) != 0) {
        reporter_.error(ZERR_CREATE, "cannot create " + item.target + ": " + ErrorText(errno));
        good = false;
    }
    if (!good) ::unlink(temp.c_str());
    return good;
}

bool Extractor::makeFolders(const std::string& folder) {
    if (madeFolders_.count(folder) != 0) return true;
    size_t start = 0;
    while (start <= folder.size()) {
        size_t slash = folder.find('/', start);
        if (slash == std::string::npos) slash = folder.size();
        std::string path = folder.substr(0, slash);
        struct stat st;
        if (::mkdir(path.c_str(), 0777) != 0 &&
            !(errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
            reporter_.error(ZERR_CREATE, "cannot create the folder " + path + ": " + ErrorText(errno));
            return false;
        }
        start = slash + 1;
    }
    madeFolders_.insert(folder);
    return true;
}
