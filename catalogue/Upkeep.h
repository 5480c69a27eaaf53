#pragma once
// Keeping a large catalogue tidy: finding and removing the ROMs whose files are gone, and the
// CSV form in which the list is exported.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/Emusystem.h"
#include "catalogue/Progress.h"

// Positions of the ROMs whose file is not there (nothing, or a folder, at FilePath), in list
// order, looked up with progress; nullopt when the user stopped the look.
std::optional<std::vector<int32_t>> MissingRoms(const EmuManager& manager, Progress& progress);
// Takes the ROMs at the positions (as MissingRoms gives them) out of the catalogue, keeping the
// order of the others; their files are not touched.
void RemoveRoms(EmuManager& manager, const std::vector<int32_t>& positions);

// One CSV field as RFC 4180 writes it: in double quotes, inner quotes doubled, when it holds a
// comma, a quote, a line break or blanks at its ends; as it is otherwise, so that numbers stay
// numbers.
std::string CsvField(std::string_view text);
// A CSV record: the fields, each by CsvField, joined by commas and ended by CR LF.
std::string CsvRecord(const std::vector<std::string>& fields);
