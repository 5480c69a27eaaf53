#include "engines/zipsfx/SfxExtract.h"

#include "platform/Descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>

namespace sfx {
namespace {

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::stringstream stream(path);
    for (std::string part; std::getline(stream, part, '/');)
        if (!part.empty() && part != ".") parts.push_back(part);
    return parts;
}

// Creates (when missing) and opens one folder below dirFd without following a link.
int EnterFolder(int dirFd, const std::string& name) {
    if (mkdirat(dirFd, name.c_str(), 0777) != 0 && errno != EEXIST) return -1;
    return openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

mode_t MemberMode(zip_t* archive, zip_int64_t index) {
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) == 0 &&
        system == ZIP_OPSYS_UNIX && (attributes >> 16) != 0)
        return (attributes >> 16) & 0777;
    return 0666;
}

}  // namespace

std::optional<std::string> SafeMemberPath(const std::string& stored) {
    std::string name = stored;
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.empty() || name[0] == '/' || (name.size() > 1 && name[1] == ':')) return std::nullopt;
    const auto parts = SplitPath(name);
    if (parts.empty()) return std::nullopt;
    std::string relative;
    for (const auto& part : parts) {
        if (part == "..") return std::nullopt;
        relative += (relative.empty() ? "" : "/") + part;
    }
    if (name.back() == '/') relative += '/';
    return relative;
}

Extractor::Extractor(zip_t* archive, std::string targetDir, Overwrite mode, AskOverwrite ask, Report report,
                     AskPassword askPassword)
    : archive_(archive),
      targetDir_(std::move(targetDir)),
      mode_(mode),
      ask_(std::move(ask)),
      report_(std::move(report)),
      askPassword_(std::move(askPassword)) {}

ExtractCounts Extractor::Run(const std::vector<zip_int64_t>& indexes) {
    ExtractCounts counts;
    if (!indexes.empty()) {
        for (auto index : indexes) ExtractOne(index, counts);
        return counts;
    }
    const zip_int64_t total = zip_get_num_entries(archive_, 0);
    for (zip_int64_t index = 0; index < total; ++index) ExtractOne(index, counts);
    return counts;
}

void Extractor::ExtractOne(zip_int64_t index, ExtractCounts& counts) {
    const char* stored = zip_get_name(archive_, index, 0);
    const auto relative = SafeMemberPath(stored ? stored : "");
    if (!relative) {
        report_(std::string("skipped (outside the target folder): ") + (stored ? stored : ""));
        ++counts.skipped;
        return;
    }
    std::string leaf;
    const Descriptor dirFd = OpenParent(*relative, leaf);
    if (!dirFd.IsOpen()) {
        report_("cannot create the folder for " + *relative + ": " + std::strerror(errno));
        ++counts.damaged;
        return;
    }
    if (leaf.empty()) return;  // a folder entry: OpenParent made it
    if (!MayReplace(dirFd.Get(), leaf, *relative)) {
        report_("kept: " + *relative);
        ++counts.skipped;
    } else if (CopyMember(index, dirFd.Get(), leaf, *relative)) {
        report_("extracted: " + *relative);
        ++counts.written;
    } else if (Encrypted(index) && zip_error_code_zip(zip_get_error(archive_)) == ZIP_ER_WRONGPASSWD) {
        ++counts.locked;
    } else {
        ++counts.damaged;
    }
    zip_error_clear(archive_);
}

// Opens the folder that will hold the member, creating the folders on the way, and gives back
// the member's own name (empty for a folder entry).
Descriptor Extractor::OpenParent(const std::string& relative, std::string& leaf) {
    auto parts = SplitPath(relative);
    leaf = relative.back() == '/' ? std::string() : parts.back();
    if (!leaf.empty()) parts.pop_back();
    Descriptor dirFd = OpenDescriptor(targetDir_, O_RDONLY | O_DIRECTORY);
    for (const auto& part : parts) {
        if (!dirFd.IsOpen()) break;
        dirFd = Descriptor(EnterFolder(dirFd.Get(), part));
    }
    return dirFd;
}

bool Extractor::MayReplace(int dirFd, const std::string& leaf, const std::string& shown) {
    struct stat st {};
    if (fstatat(dirFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return true;
    if (S_ISDIR(st.st_mode)) return false;
    switch (mode_) {
        case Overwrite::Always:
            return true;
        case Overwrite::Never:
            return false;
        case Overwrite::Ask:
            return ask_(targetDir_ + "/" + shown, mode_);
    }
    return false;
}

bool Extractor::Encrypted(zip_int64_t index) const {
    zip_stat_t st;
    return zip_stat_index(archive_, index, 0, &st) == 0 && (st.valid & ZIP_STAT_ENCRYPTION_METHOD) &&
           st.encryption_method != ZIP_EM_NONE;
}

// Opens an encrypted member with the password that opened the last one, then with up to three
// answers; a wrong or empty last answer gives up on this member, leaving the archive's error
// at "wrong password".
zip_file_t* Extractor::OpenEncrypted(zip_int64_t index, const std::string& shown) {
    constexpr int kAnswers = 3;
    for (int answers = 0;; ++answers) {
        if (answers > 0 || password_.empty()) {
            password_ = answers < kAnswers && askPassword_ ? askPassword_(shown, answers > 0) : std::string();
            if (password_.empty()) break;
        }
        if (zip_file_t* member = zip_fopen_index_encrypted(archive_, index, 0, password_.c_str())) {
            zip_error_clear(archive_);
            return member;
        }
        if (zip_error_code_zip(zip_get_error(archive_)) != ZIP_ER_WRONGPASSWD) return nullptr;
    }
    zip_error_set(zip_get_error(archive_), ZIP_ER_WRONGPASSWD, 0);
    report_("not extracted, the password is wrong or missing: " + shown);
    return nullptr;
}

// Writes the member to a fresh file beside its final name and renames it into place only when
// the whole member was read back with a good checksum.
bool Extractor::CopyMember(zip_int64_t index, int dirFd, const std::string& leaf, const std::string& shown) {
    zip_file_t* member = Encrypted(index) ? OpenEncrypted(index, shown) : zip_fopen_index(archive_, index, 0);
    if (!member) {
        if (zip_error_code_zip(zip_get_error(archive_)) != ZIP_ER_WRONGPASSWD)
            report_("damaged member " + shown + ": " + zip_strerror(archive_));
        return false;
    }
    const std::string part = "." + leaf + ".sfxpart";
    Descriptor out(openat(dirFd, part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                          MemberMode(archive_, index)));
    const bool created = out.IsOpen();
    bool good = created;
    char buffer[65536];
    while (good) {
        const zip_int64_t n = zip_fread(member, buffer, sizeof buffer);
        if (n < 0) {
            report_("damaged member " + shown + ": " + zip_file_strerror(member));
            good = false;
        } else if (n == 0) {
            break;
        } else if (!WriteAll(out.Get(), buffer, static_cast<size_t>(n))) {
            report_("cannot write " + shown + ": " + std::strerror(errno));
            good = false;
        }
    }
    zip_fclose(member);
    zip_stat_t st;
    if (good && zip_stat_index(archive_, index, 0, &st) == 0 && (st.valid & ZIP_STAT_MTIME)) {
        const struct timespec times[2] = {{st.mtime, 0}, {st.mtime, 0}};
        futimens(out.Get(), times);
    }
    if (!out.Close()) good = false;
    if (good && renameat(dirFd, part.c_str(), dirFd, leaf.c_str()) == 0) return true;
    if (!created) report_("cannot create " + shown + ": " + std::strerror(errno));
    unlinkat(dirFd, part.c_str(), 0);
    return false;
}

}  // namespace sfx
