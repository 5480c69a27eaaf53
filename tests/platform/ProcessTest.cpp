// Word splitting of parameter texts, and real child processes started from /bin/sh scripts.
#include "platform/Files.h"
#include "platform/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <thread>

using Words = std::vector<std::string>;

namespace {

// The state letter of a process in /proc (R running, D in disk wait, S asleep, Z ended).
char ProcessState(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t nameEnd = line.rfind(')');
    return nameEnd == std::string::npos || nameEnd + 2 >= line.size() ? '?' : line[nameEnd + 2];
}

}  // namespace

TEST(ShellWords, BlanksQuotesAndEscapes) {
    EXPECT_EQ(SplitShellWords(""), Words{});
    EXPECT_EQ(SplitShellWords("  \t "), Words{});
    EXPECT_EQ(SplitShellWords(" -a  -b\t-c "), (Words{"-a", "-b", "-c"}));
    EXPECT_EQ(SplitShellWords("'a b' \"c d\""), (Words{"a b", "c d"}));
    EXPECT_EQ(SplitShellWords("'' \"\" x"), (Words{"", "", "x"}));
    EXPECT_EQ(SplitShellWords("'a\\b\"c'"), (Words{"a\\b\"c"}));              // '...' is literal
    EXPECT_EQ(SplitShellWords("\"a\\\"b\\\\c\\d\""), (Words{"a\"b\\c\\d"}));  // only \" \\ escape
    EXPECT_EQ(SplitShellWords("a\\ b \\'c"), (Words{"a b", "'c"}));
    EXPECT_EQ(SplitShellWords("pre'mid dle'post"), (Words{"premid dlepost"}));
    EXPECT_EQ(SplitShellWords("$HOME *.zip `x`"), (Words{"$HOME", "*.zip", "`x`"}));
    EXPECT_EQ(SplitShellWords("'unclosed here"), (Words{"unclosed here"}));
    EXPECT_EQ(SplitShellWords("end\\"), (Words{"end\\"}));
}

TEST(ShellWords, QuotedWordsComeBackWhole) {
    for (const std::string w : {"plain", "/roms/My Game (E).nes", "it's", "a\\b", "\"q\"", ""}) {
        EXPECT_EQ(SplitShellWords("-x " + QuoteShellWord(w)), (Words{"-x", w})) << w;
    }
    EXPECT_EQ(QuoteShellWord("/roms/a.nes"), "/roms/a.nes");
    EXPECT_EQ(QuoteShellWord("it's"), "'it'\\''s'");
}

class ChildProcess : public ::testing::Test {
protected:
    // Writes an executable /bin/sh script into the temporary folder.
    std::string Script(const std::string& name, const std::string& body) {
        const std::string path = dir_.write(name, "#!/bin/sh\n" + body);
        chmod(path.c_str(), 0755);
        return path;
    }
    TempDir dir_;
};

TEST_F(ChildProcess, GetsArgumentsFolderGroupAndEnvironment) {
    const std::string prog =
        Script("emu dir/fake emu.sh",
               "out=\"$(dirname \"$0\")/../record.txt\"\n"
               "{ pwd; echo \"$TARNWICK_PROBE\"; sed 's/.*) //' /proc/$$/stat | cut -d' ' -f3; echo $$;\n"
               "  for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; } > \"$out\"\n");
    setenv("TARNWICK_PROBE", "inherited", 1);
    const StartResult r =
        StartProcessWithParameters(prog, "-f 'My Game.nes' \"x y\" ''", dir_.file("emu dir"));
    ASSERT_GT(r.pid, 0) << ErrorText(r.error);
    EXPECT_EQ(WaitForProcess(r.pid, nullptr), 0);
    const std::string pid = std::to_string(r.pid);
    EXPECT_EQ(TempDir::read(dir_.file("record.txt")), dir_.file("emu dir") + "\ninherited\n" + pid + "\n" +
                                                          pid + "\n[-f]\n[My Game.nes]\n[x y]\n[]\n");
}

TEST_F(ChildProcess, InheritsNoDescriptorsBeyondTheStandardThree) {
    const int marker = open(dir_.file("marker").c_str(), O_CREAT | O_WRONLY, 0644);  // no CLOEXEC
    ASSERT_GE(marker, 0);
    ASSERT_EQ(dup2(marker, 200), 200);
    // sleep keeps nothing it opens itself, so once it sleeps its descriptors are the ones it
    // was given; while it starts, its locale files are open for a moment each.
    const StartResult r = StartProcess("/bin/sleep", {"30"}, dir_.path());
    close(200);
    close(marker);
    ASSERT_GT(r.pid, 0);
    while (ProcessState(r.pid) == 'R' || ProcessState(r.pid) == 'D') std::this_thread::yield();
    std::vector<std::string> fds;
    if (DIR* d = opendir(("/proc/" + std::to_string(r.pid) + "/fd").c_str())) {
        while (const dirent* e = readdir(d))
            if (e->d_name[0] != '.') fds.emplace_back(e->d_name);
        closedir(d);
    }
    std::sort(fds.begin(), fds.end());
    EXPECT_EQ(fds, (Words{"0", "1", "2"}));
    kill(r.pid, SIGKILL);
    EXPECT_EQ(WaitForProcess(r.pid, nullptr), 128 + SIGKILL);
}

TEST_F(ChildProcess, WaitCallsTheHookAndGivesTheStatus) {
    int calls = 0;
    const StartResult slow = StartProcess(Script("slow.sh", "sleep 0.3\nexit 7\n"), {}, "");
    ASSERT_GT(slow.pid, 0);
    EXPECT_EQ(WaitForProcess(
                  slow.pid, [&] { ++calls; }, 10),
              7);
    EXPECT_GE(calls, 5);

    const StartResult killed = StartProcess(Script("kill.sh", "kill -9 $$\n"), {}, "");
    ASSERT_GT(killed.pid, 0);
    EXPECT_EQ(WaitForProcess(killed.pid, nullptr), 128 + 9);
    EXPECT_EQ(WaitForProcess(killed.pid, nullptr), -1);  // already collected
}

TEST_F(ChildProcess, FailuresToStartAreReported) {
    StartResult r = StartProcess(dir_.file("missing.exe"), {}, dir_.path());
    EXPECT_EQ(r.pid, -1);
    EXPECT_EQ(r.error, ENOENT);

    const std::string text = dir_.write("notes.txt", "#!/bin/sh\nexit 0\n");  // not executable
    r = StartProcess(text, {}, dir_.path());
    EXPECT_EQ(r.pid, -1);
    EXPECT_EQ(r.error, EACCES);

    const std::string garbage = dir_.write("garbage.bin", "\x01\x02 not a program");
    chmod(garbage.c_str(), 0755);
    r = StartProcess(garbage, {}, dir_.path());
    EXPECT_EQ(r.pid, -1);
    EXPECT_EQ(r.error, ENOEXEC);

    r = StartProcess("", {}, "");  // the empty short path of a missing emulator
    EXPECT_EQ(r.pid, -1);

    r = StartProcess(Script("ok.sh", "exit 0\n"), {}, dir_.file("no such folder"));
    EXPECT_EQ(r.pid, -1);
    EXPECT_EQ(r.error, ENOENT);
}

TEST(ThreadPriority, OnlyTheCallingThreadIsLowered) {
    const auto niceOf = [](long tid) { return getpriority(PRIO_PROCESS, static_cast<id_t>(tid)); };
    const long self = syscall(SYS_gettid);
    const int before = niceOf(self);
    int worker = before;
    std::thread([&] {
        LowerThisThreadPriority();
        worker = niceOf(syscall(SYS_gettid));
    }).join();
    EXPECT_EQ(worker, std::min(before + 10, 19));
    EXPECT_EQ(niceOf(self), before);  // the window's thread keeps its priority
}
