#include "EngineHarness.h"

#include "support/TempDir.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace {
EngineHarness* current = nullptr;
}  // namespace

EngineHarness::EngineHarness() : client_(TARNWICK_APP_DIR) {
    if (!client_.loaded()) throw std::runtime_error(client_.error());
}

int32_t EngineHarness::Callback(ZCallBackStruct* info) {
    EngineEvent event{info->ActionCode, info->ErrorCode, info->FileSize, info->FileNameOrMsg};
    current->events.push_back(event);
    return current->stopWhen && current->stopWhen(event) ? 1 : 0;
}

void EngineHarness::setSpecs(const std::string& archive, const std::vector<std::string>& specs) {
    specTexts_ = specs;
    specTexts_.push_back(archive);  // last, after the specs, before any pointer is taken
    zipSpecs_.assign(specs.size(), ZipExecFileSpec{});
    unzSpecs_.assign(specs.size(), UnzExecFileSpec{});
    for (size_t i = 0; i < specs.size(); ++i)
        zipSpecs_[i].FileSpec = unzSpecs_[i].FileSpec = specTexts_[i].c_str();
}

ZipExecRecord EngineHarness::addRecord(const std::string& archive, const std::vector<std::string>& specs) {
    setSpecs(archive, specs);
    return BasicAddRecord(specTexts_.back().c_str(), zipSpecs_.data(), int32_t(specs.size()), Callback, this);
}

ZipExecRecord EngineHarness::deleteRecord(const std::string& archive, const std::vector<std::string>& specs) {
    ZipExecRecord record = addRecord(archive, specs);
    record.DeleteEntries = 1;
    record.Grow = record.JunkDirs = record.Recurse = 0;
    return record;
}

UnzExecRecord EngineHarness::extractRecord(const std::string& archive,
                                           const std::vector<std::string>& specs) {
    setSpecs(archive, specs);
    return BasicExtractRecord(specTexts_.back().c_str(), unzSpecs_.data(), int32_t(specs.size()), Callback,
                              this);
}

int32_t EngineHarness::zip(ZipExecRecord& record) {
    events.clear();
    current = this;
    return client_.zip(record);
}

int32_t EngineHarness::unzip(UnzExecRecord& record) {
    events.clear();
    current = this;
    return client_.unzip(record);
}

std::vector<std::string> EngineHarness::messages(int code) const {
    std::vector<std::string> texts;
    for (const auto& event : events)
        if (event.action == ZACTION_MESSAGE && (code == -1 || event.errorCode == code))
            texts.push_back(event.text);
    return texts;
}

std::vector<int> EngineHarness::actions() const {
    std::vector<int> codes;
    for (const auto& event : events)
        if (event.action != ZACTION_MESSAGE) codes.push_back(event.action);
    return codes;
}

InFolder::InFolder(const std::string& folder) : old_(std::filesystem::current_path().string()) {
    std::filesystem::current_path(folder);
}

InFolder::~InFolder() {
    std::filesystem::current_path(old_);
}

std::string Listing(const std::string& folder) {
    std::vector<std::string> all;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
        all.push_back(std::filesystem::relative(e.path(), folder).string() + (e.is_directory() ? "/" : ""));
    std::sort(all.begin(), all.end());
    std::string out;
    for (const auto& n : all) out += n + " ";
    return out;
}

void SetFileTime(const std::string& path, long seconds) {
    struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        throw std::runtime_error("cannot set the time of " + path);
}

long FileTime(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? long(st.st_mtim.tv_sec) : -1;
}

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::string PythonZip(const std::string& archive, const std::string& code) {
    return ShellOutput("python3 -c 'import zipfile,sys\nz=zipfile.ZipFile(sys.argv[1])\n" + code + "' '" +
                       archive + "' 2>&1");
}

std::string PythonNames(const std::string& archive) {
    return PythonZip(archive, "for n in z.namelist(): print(n)");
}

bool ArchiveTestsGood(const std::string& archive) {
    // Python's tester names a bad member but exits with 0 either way.
    std::string python = ShellOutput("python3 -m zipfile -t '" + archive + "' 2>&1");
    return RunShell("unzip -tqq '" + archive + "' >/dev/null 2>&1") == 0 &&
           python.find("Done testing") != std::string::npos &&
           python.find("corrupted") == std::string::npos && python.find("Error") == std::string::npos;
}
