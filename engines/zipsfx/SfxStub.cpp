// ZIPSFX.BIN: the front of every self-extracting archive. It finds the header and the archive
// behind its own bytes, asks what the header's flags leave to the user, extracts and runs the
// header's command line afterwards.
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "engines/zipsfx/SfxExtract.h"
#include "engines/zipsfx/SfxImage.h"

namespace {

constexpr int kExitDamaged = 3;
constexpr int kExitLocked = 4;
constexpr int kExitNoArchive = 2;
constexpr int kExitUsage = 1;

// A line from the user; the default when input has ended.
std::string Ask(const std::string& question, const std::string& fallback) {
    std::cout << question << std::flush;
    std::string line;
    const bool answered = static_cast<bool>(std::getline(std::cin, line));
    // Answers from a pipe are not echoed: end the question's line ourselves.
    if (!answered || !isatty(STDIN_FILENO)) std::cout << "\n";
    return answered ? line : fallback;
}

// A line the terminal does not show while it is typed (a password).
std::string AskHidden(const std::string& question) {
    termios saved{};
    const bool terminal = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const std::string answer = Ask(question, "");
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::cout << "\n";
    }
    return answer;
}

std::string AskPassword(const std::string& member, bool again) {
    if (again) std::cout << "Wrong password.\n";
    return AskHidden("Password for " + member + " (Enter gives up): ");
}

std::string SelfPath() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

std::string CurrentFolder() {
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) ? buffer : ".";
}

bool MakeFolders(const std::string& path) {
    std::string sofar;
    std::stringstream stream(path);
    if (!path.empty() && path[0] == '/') sofar = "/";
    for (std::string part; std::getline(stream, part, '/');) {
        if (part.empty()) continue;
        sofar += part + "/";
        if (mkdir(sofar.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The archive behind the header: first as the whole file, whose offsets the component raised;
// then as the bytes after the header alone, for an archive copied in unchanged.
zip_t* OpenArchive(const sfx::Image& image) {
    int error = 0;
    if (zip_t* archive = zip_open(image.path.c_str(), ZIP_RDONLY, &error)) return archive;
    const std::uint64_t start = image.stubSize + sfx::kHeaderSize;
    zip_error_t why;
    zip_error_init(&why);
    zip_source_t* window = zip_source_file_create(image.path.c_str(), start, image.fileSize - start, &why);
    zip_t* archive = window ? zip_open_from_source(window, ZIP_RDONLY, &why) : nullptr;
    if (!archive && window) zip_source_free(window);
    zip_error_fini(&why);
    return archive;
}

sfx::Overwrite OverwriteMode(std::uint8_t flags) {
    if (flags & sfx::kOverwriteAlways) return sfx::Overwrite::Always;
    if (flags & sfx::kOverwriteNever) return sfx::Overwrite::Never;
    return sfx::Overwrite::Ask;
}

// Overwrite question; without the hide flag the answer may also settle the files that follow.
sfx::Extractor::AskOverwrite OverwriteQuestion(std::uint8_t flags) {
    const bool offerAll = !(flags & sfx::kHideOverWriteBox);
    return [offerAll](const std::string& path, sfx::Overwrite& mode) {
        const std::string choices = offerAll ? " [y]es, [n]o, [A]ll, [N]one: " : " [y]es, [n]o: ";
        const std::string answer = Ask("Replace " + path + "?" + choices, "n");
        if (offerAll && answer == "A") mode = sfx::Overwrite::Always;
        if (offerAll && answer == "N") mode = sfx::Overwrite::Never;
        return answer == "y" || answer == "Y" || answer == "yes" || mode == sfx::Overwrite::Always;
    };
}

// With the ask-files flag the user picks members by number; Enter takes them all.
std::vector<zip_int64_t> ChooseMembers(zip_t* archive) {
    const zip_int64_t total = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < total; ++i)
        std::cout << "  " << (i + 1) << "  " << zip_get_name(archive, i, 0) << "\n";
    std::vector<zip_int64_t> chosen;
    for (;;) {
        std::stringstream answer(Ask("Files to extract (numbers separated by blanks, Enter for all): ", ""));
        chosen.clear();
        bool valid = true;
        for (std::string word; answer >> word;) {
            char* end = nullptr;
            const long n = std::strtol(word.c_str(), &end, 10);
            valid = valid && *end == '\0' && n >= 1 && n <= total;
            if (valid) chosen.push_back(n - 1);
        }
        if (valid) return chosen;
        std::cout << "Please give numbers from 1 to " << total << ".\n";
    }
}

std::string ReplaceAll(std::string text, const std::string& what, const std::string& with) {
    for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += with.size())
        text.replace(at, what.size(), with);
    return text;
}

// Runs the command line in the target folder; "><" in it stands for that folder.
int RunCommand(std::string command, const std::string& target) {
    command = ReplaceAll(command, "><", target);
    std::cout << "Running: " << command << std::endl;
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (chdir(target.c_str()) != 0) _exit(127);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string TargetFolder(const sfx::Header& header) {
    std::string target = header.defaultDir.empty() ? CurrentFolder() : header.defaultDir;
    if (!(header.flags & sfx::kAutoRun)) {
        const std::string answer = Ask("Extract to folder [" + target + "]: ", "");
        if (!answer.empty()) target = answer;
    }
    while (target.size() > 1 && target.back() == '/') target.pop_back();
    return target;
}

int RunAfterwards(const sfx::Header& header, const std::string& target) {
    std::string command = header.commandLine;
    if ((header.flags & sfx::kAskCmdLine) && !(header.flags & sfx::kAutoRun)) {
        const std::string answer =
            Ask("Command to run afterwards [" + command + "] (Enter keeps it, '-' runs nothing): ", "");
        if (answer == "-")
            command.clear();
        else if (!answer.empty())
            command = answer;
    }
    if (command.empty()) return 0;
    const int status = RunCommand(command, target);
    if (status != 0) std::cerr << "The command ended with status " << status << ".\n";
    return 0;
}

int Extract(const sfx::Image& image) {
    const sfx::Header& header = image.header;
    std::cout << (header.caption.empty() ? "Self-extracting Archive" : header.caption) << "\n";
    if (!(header.flags & sfx::kNoCheckSize) &&
        sfx::ArchiveEnd(image.path, image.stubSize + sfx::kHeaderSize, image.fileSize) != image.fileSize) {
        std::cerr << "The archive is damaged: " << image.path
                  << " is not as long as its zip directory says.\n";
        return kExitDamaged;
    }
    zip_t* archive = OpenArchive(image);
    if (!archive) {
        std::cerr << "The archive is damaged: its zip directory cannot be read.\n";
        return kExitDamaged;
    }
    std::string target = TargetFolder(header);
    char absolute[PATH_MAX];
    if (!MakeFolders(target) || !realpath(target.c_str(), absolute)) {
        std::cerr << "The folder " << target << " cannot be created: " << std::strerror(errno) << "\n";
        zip_discard(archive);
        return kExitUsage;
    }
    target = absolute;
    std::vector<zip_int64_t> chosen;
    if ((header.flags & sfx::kAskFiles) && !(header.flags & sfx::kAutoRun)) chosen = ChooseMembers(archive);
    sfx::Extractor extractor(
        archive, target, OverwriteMode(header.flags), OverwriteQuestion(header.flags),
        [](const std::string& line) { std::cout << "  " << line << "\n"; }, AskPassword);
    const sfx::ExtractCounts counts = extractor.Run(chosen);
    zip_discard(archive);
    std::cout << counts.written << " file(s) extracted to " << target << ", " << counts.skipped
              << " skipped.\n";
    if (counts.damaged > 0) {
        std::cerr << "The archive is damaged: " << counts.damaged << " file(s) could not be extracted.\n";
        return kExitDamaged;
    }
    if (counts.locked > 0) {
        std::cerr << counts.locked << " file(s) were not extracted: they need the archive's password.\n";
        return kExitLocked;
    }
    return RunAfterwards(header, target);
}

}  // namespace

int main() {
    std::string error;
    const auto image = sfx::OpenImage(SelfPath(), error);
    if (!image) {
        std::cerr << error << "\n";
        return kExitNoArchive;
    }
    return Extract(*image);
}
