// The fake emulator program; see FakeEmulator.h for what it does.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

std::string WorkingFolder() {
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

std::string OwnPath(const char* argv0) {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string(argv0);
}

long long SizeOf(const char* path) {
    struct stat st {};
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<long long>(st.st_size);
}

long EnvNumber(const char* name) {
    const char* text = std::getenv(name);
    return text ? std::strtol(text, nullptr, 10) : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* named = std::getenv("FAKE_EMULATOR_REPORT");
    const std::string report = named ? std::string(named) : OwnPath(argv[0]) + ".report";

    std::string bytes = WorkingFolder();
    bytes.push_back('\0');
    bytes += std::to_string(argc);
    bytes.push_back('\0');
    for (int i = 0; i < argc; ++i) {
        bytes += argv[i];
        bytes.push_back('\0');
    }
    for (int i = 0; i < argc; ++i) {
        bytes += std::to_string(SizeOf(argv[i]));
        bytes.push_back('\0');
    }

    const std::string temporary = report + ".part";
    FILE* out = std::fopen(temporary.c_str(), "wb");
    if (!out) return 120;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (std::fclose(out) != 0 || !written || std::rename(temporary.c_str(), report.c_str()) != 0) return 121;

    if (const long signal = EnvNumber("FAKE_EMULATOR_SIGNAL_PARENT"); signal > 0)
        kill(getppid(), static_cast<int>(signal));
    if (const long ms = EnvNumber("FAKE_EMULATOR_SLEEP_MS"); ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    if (const char* done = std::getenv("FAKE_EMULATOR_DONE")) {
        FILE* mark = std::fopen(done, "wb");
        if (mark) std::fclose(mark);
    }
    return static_cast<int>(EnvNumber("FAKE_EMULATOR_EXIT_CODE"));
}
