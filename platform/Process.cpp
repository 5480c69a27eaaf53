#include "platform/Process.h"

#include "platform/Descriptor.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#ifndef CLOSE_RANGE_CLOEXEC
#define CLOSE_RANGE_CLOEXEC (1U << 2)
#endif

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

// Characters a backslash escapes inside double quotes.
bool EscapableInDoubleQuotes(char c) {
    return c == '"' || c == '\\' || c == '$' || c == '`' || c == '\n';
}

// Marks every descriptor from 3 up close-on-exec, so the child keeps only 0, 1 and 2 (and the
// error pipe until exec succeeds). Runs between fork and exec: system calls only.
void MarkDescriptorsCloseOnExec() {
#ifdef SYS_close_range
    if (syscall(SYS_close_range, 3u, ~0u, CLOSE_RANGE_CLOEXEC) == 0) return;
#endif
    struct rlimit limit;
    const long highest = (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
                             ? static_cast<long>(limit.rlim_cur)
                             : 65536;
    for (int fd = 3; fd < highest; ++fd) fcntl(fd, F_SETFD, FD_CLOEXEC);
}

// Reports errno through the pipe and ends the child.
[[noreturn]] void FailInChild(int pipeFd) {
    const int error = errno;
    ssize_t ignored = write(pipeFd, &error, sizeof error);
    (void)ignored;
    _exit(127);
}

// The child's side of StartProcess: own process group, signals as new, folder, exec.
[[noreturn]] void RunChild(int pipeFd, const char* folder, const char* program, char* const* argv) {
    setpgid(0, 0);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction byDefault = {};
    byDefault.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &byDefault, nullptr);  // an ignored signal would stay ignored after exec
    MarkDescriptorsCloseOnExec();
    if (folder && chdir(folder) != 0) FailInChild(pipeFd);
    execv(program, argv);
    FailInChild(pipeFd);
}

// Waits up to ms milliseconds for the child to end, without reaping it.
void PauseForChild(int pidFd, int ms) {
    if (pidFd >= 0) {
        pollfd p{pidFd, POLLIN, 0};
        if (poll(&p, 1, ms) >= 0) return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

std::vector<std::string> SplitShellWords(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;  // a word has begun (quotes alone begin an empty word)
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (IsBlank(c)) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
            ++i;
        } else if (c == '\\') {
            if (i + 1 >= text.size()) {
                word += '\\';                  // a backslash at the very end stands for itself
            } else if (text[i + 1] != '\n') {  // backslash-newline joins lines
                word += text[i + 1];
            }
            inWord = true;
            i += 2;
        } else if (c == '\'') {
            const std::size_t close = text.find('\'', i + 1);
            const std::size_t end = close == std::string_view::npos ? text.size() : close;
            word.append(text.substr(i + 1, end - i - 1));
            inWord = true;
            i = end + 1;
        } else if (c == '"') {
            inWord = true;
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size() && EscapableInDoubleQuotes(text[i + 1])) {
                    if (text[i + 1] != '\n') word += text[i + 1];
                    ++i;
                } else {
                    word += text[i];
                }
            }
            ++i;  // past the closing quote (or the end)
        } else {
            word += c;
            inWord = true;
            ++i;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

std::string QuoteShellWord(std::string_view word) {
    const bool plain = !word.empty() && word.find_first_of(" \t\n'\"\\") == std::string_view::npos;
    if (plain) return std::string(word);
    std::string out = "'";
    for (const char c : word) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    out += '\'';
    return out;
}

StartResult StartProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workingFolder) {
    // Everything the child needs is built before fork: the child only makes system calls.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const char* folder = workingFolder.empty() ? nullptr : workingFolder.c_str();

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return {-1, errno};
    Descriptor readEnd(fds[0]), writeEnd(fds[1]);
    const pid_t pid = fork();
    if (pid < 0) return {-1, errno};
    if (pid == 0) RunChild(writeEnd.Get(), folder, program.c_str(), argv.data());  // never returns
    setpgid(pid, pid);  // also here, so the group exists whichever side runs first
    writeEnd.Reset();
    int error = 0;
    const ssize_t got = ReadAll(readEnd.Get(), &error, sizeof error);
    if (got == static_cast<ssize_t>(sizeof error)) {
        // The child could not run the program: collect it and report why.
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return {-1, error};
    }
    return {pid, 0};
}

StartResult StartProcessWithParameters(const std::string& program, std::string_view parameters,
                                       const std::string& workingFolder) {
    return StartProcess(program, SplitShellWords(parameters), workingFolder);
}

int WaitForProcess(pid_t pid, const std::function<void()>& whileWaiting, int pollMs) {
    if (pid <= 0) return -1;
    const Descriptor pidFd(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
    int result = -1;
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) break;
        if (r == pid) {
            result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (whileWaiting) whileWaiting();
        PauseForChild(pidFd.Get(), pollMs > 0 ? pollMs : 1);
    }
    return result;
}

std::string ErrorText(int error) {
    char buffer[256];
    return strerror_r(error, buffer, sizeof buffer);  // the GNU form: returns the text to use
}

void LowerThisThreadPriority() {
    // On Linux a nice value belongs to the thread named by its id. Ten steps nicer than the
    // thread was, so a program started with nice keeps the difference; failing costs nothing.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, tid);
    if (errno == 0) setpriority(PRIO_PROCESS, tid, std::min(now + 10, 19));
}
