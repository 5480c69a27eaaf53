#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it when the
// test ends.
#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's path, ending in '/'.
    const std::string& path() const { return path_; }
    // path() + name.
    std::string file(const std::string& name) const { return path_ + name; }
    // Writes bytes to path() + name (creating parent folders) and returns the full path.
    std::string write(const std::string& name, const std::string& bytes) const;
    // Reads the whole file at a full path; throws std::runtime_error when it cannot.
    static std::string read(const std::string& fullPath);

private:
    std::string path_;
};

// Runs a command through /bin/sh and returns its exit status (-1 when it could not run).
int RunShell(const std::string& command);
// Runs a command through /bin/sh and returns what it printed on standard output.
std::string ShellOutput(const std::string& command);
