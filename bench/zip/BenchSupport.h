#pragma once
// Shared pieces of the zip benchmarks: a scratch folder, timing, shell commands, the mixed data
// set, and the BENCH line.
#include <functional>
#include <string>
#include <vector>

class TZipArchiver;
class SilentZipUi;

namespace zipbench {

// A scratch folder removed at the end (under $TMPDIR or /tmp).
class Scratch {
public:
    Scratch();
    ~Scratch();
    const std::string& path() const { return path_; }  // ends in '/'
    std::string file(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

// Runs a shell command; aborts the benchmark when it fails.
void Shell(const std::string& command);
std::string Quote(const std::string& text);
// The best wall time in seconds of runs calls of work, each after prepare (not timed).
double BestSeconds(int runs, const std::function<void()>& prepare, const std::function<void()>& work);
// Writes the mixed set into folder: half text-like compressible members, half random ones,
// totalBytes in all; returns the file names.
std::vector<std::string> WriteMixedFiles(const std::string& folder, std::size_t totalBytes, int count);
// File size in bytes.
long long SizeOf(const std::string& path);
// Gives the component the silent seam, no boxes, and the engines of the program folder.
void PrepareComponent(TZipArchiver& zip, SilentZipUi& ui);
// Prints the BENCH line with absolute times, plus any extra "key=value" text.
void Report(const std::string& id, double ours, double baseline, double target, const std::string& extra = "");

}  // namespace zipbench
