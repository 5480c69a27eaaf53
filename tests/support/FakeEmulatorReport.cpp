#include "FakeEmulator.h"

#include <charconv>
#include <fstream>
#include <iterator>

namespace {

std::vector<std::string> SplitFields(const std::string& bytes) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\0') {
            fields.push_back(bytes.substr(start, i - start));
            start = i + 1;
        }
    }
    return fields;
}

std::optional<int64_t> Number(const std::string& text) {
    int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<FakeEmulatorRun> ReadFakeEmulatorReport(const std::string& reportPath) {
    std::ifstream in(reportPath, std::ios::binary);
    if (!in) return std::nullopt;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::vector<std::string> fields = SplitFields(bytes);
    if (fields.size() < 2) return std::nullopt;
    const auto count = Number(fields[1]);
    if (!count || *count < 0 || fields.size() != 2 + 2 * static_cast<std::size_t>(*count))
        return std::nullopt;
    FakeEmulatorRun run;
    run.workingFolder = fields[0];
    for (int64_t i = 0; i < *count; ++i) {
        run.args.push_back(fields[2 + i]);
        const auto size = Number(fields[2 + *count + i]);
        if (!size) return std::nullopt;
        run.fileSizes.push_back(*size);
    }
    return run;
}
