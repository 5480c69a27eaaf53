#pragma once
// Starting programs as child processes and waiting for them, without a shell.
#include <functional>
#include <string>
#include <string_view>
#include <vector>
#include <sys/types.h>

// Splits a parameter text into words by POSIX shell rules: blanks (space, tab, newline)
// separate, '...' is literal, "..." groups with \" \\ \$ \` escapes, a backslash outside
// quotes escapes the next character; '' and "" give empty words. Nothing is expanded.
// An unclosed quote runs to the end of the text.
std::vector<std::string> SplitShellWords(std::string_view text);
// Quotes one word so that SplitShellWords gives it back whole: unchanged when it holds no
// blank, quote or backslash (and is not empty), else in '...' with ' written as '\''.
std::string QuoteShellWord(std::string_view word);

// How a start went.
struct StartResult {
    pid_t pid = -1;  // the child, -1 when it could not be started
    int error = 0;   // errno of the failing fork/chdir/exec when pid is -1
};

// Starts program with the argument list program, args... in workingFolder (empty: the current
// folder). The child gets a process group of its own, this process's environment and no file
// descriptors beyond 0, 1 and 2. Failures of fork, chdir and exec are all reported here.
StartResult StartProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workingFolder);
// StartProcess with args = SplitShellWords(parameters); the program is one argument, never split.
StartResult StartProcessWithParameters(const std::string& program, std::string_view parameters,
                                       const std::string& workingFolder);
// Waits until the child ends, calling whileWaiting (when set) about every pollMs milliseconds.
// Returns the exit status, 128 + signal number when it was killed, -1 when pid is not a child.
int WaitForProcess(pid_t pid, const std::function<void()>& whileWaiting, int pollMs = 20);
// The text of an errno value, for messages and logs. Made in a buffer of the caller's: the
// engines and the zip component run on several threads at once (the Stalker packs in parallel).
std::string ErrorText(int error);

// Gives the calling thread a lower priority than the process's other threads (10 nicer), for
// work the user is not waiting on: when the machine is busy, the window's thread runs first.
void LowerThisThreadPriority();
