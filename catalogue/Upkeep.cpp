#include "catalogue/Upkeep.h"

#include "platform/Files.h"

std::optional<std::vector<int32_t>> MissingRoms(const EmuManager& manager, Progress& progress) {
    const int32_t count = manager.RomCount();
    std::vector<int32_t> missing;
    ProgressRun run(progress, "Looking for missing ROM files", count);
    for (int32_t i = 0; i < count; ++i) {
        const RomRecord* rom = manager.GetRom(i);
        if (rom && !FileExists(FieldView(rom->FilePath))) missing.push_back(i);
        if (run.Step(i + 1)) return std::nullopt;
    }
    return missing;
}

void RemoveRoms(EmuManager& manager, const std::vector<int32_t>& positions) {
    for (int32_t position : positions) manager.MarkRomRemoved(position);
    manager.PackRoms();
}

std::string CsvField(std::string_view text) {
    const bool quoted = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                        (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quoted) return std::string(text);
    std::string field = "\"";
    for (char c : text) {
        if (c == '"') field += '"';
        field += c;
    }
    return field + '"';
}

std::string CsvRecord(const std::vector<std::string>& fields) {
    std::string record;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) record += ',';
        record += CsvField(fields[i]);
    }
    return record + "\r\n";
}
