#pragma once
// The orders of the catalogue. The emulator list is ordered by name; the ROM list by one of
// twenty-two methods: column * 2 for ascending, plus 1 for descending, over the ROM list's
// columns 0 Name, 1 File, 2 Emulator, 3 System, 4 Rating, 5 Language, 6 Type, 7 #Played,
// 8 Last Played, 9 Play Time, 10 Added. System, language and type compare by their names
// (numbers outside their list name "Invalid"); the last three by the facts of the manager's
// statistics store (0, never or unknown, first). Any other method compares every pair equal.
//
// Texts compare byte by byte with only a..z mapped to A..Z, by unsigned byte value, a text that
// ends first sorting first. Numbers compare as signed 32-bit values.
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "catalogue/RecordList.h"
#include "catalogue/RomColumns.h"

struct EmulatorRecord;
struct RomRecord;
class EmuManager;

constexpr int32_t SortColumnCount = RomColumn::Count;

// Negative, 0 or positive as a sorts before, with or after b.
int CompareTexts(std::string_view a, std::string_view b);
int CompareEmus(const EmulatorRecord& a, const EmulatorRecord& b);
// By `method`, looking names up in `names`.
int CompareRoms(const RomRecord& a, const RomRecord& b, int32_t method, const EmuManager& names);
// By Settings.SortMethod over the lookup lists of Emus.
int CompareRoms(const RomRecord& a, const RomRecord& b);

// In-place sorts. The emulator sort is unstable.
void SortEmus(RecordList<EmulatorRecord>& emulators);
// Stable: ROMs that compare equal keep their order. Empty slots (nullptr) go to the end.
void SortRoms(RecordList<RomRecord>& roms, int32_t method, const EmuManager& names);

// The method a click on `column` (0..10) chooses when the stored sort state is `sortState`:
// descending when the state is that column's ascending method, ascending otherwise.
int32_t ColumnClickSortMethod(int32_t column, int32_t sortState);
// A click on `column` of the ROM list: stores the chosen method as the manager's sort state
// and as Settings.SortMethod, and returns it. The list view then shows "Sorting...", calls
// SortRoms and refills itself.
int32_t SelectSortColumn(EmuManager& manager, int32_t column);
