#pragma once
// The ROM list's report columns, in their order. The one numbering that the list view shows,
// that a sort method counts in (column * 2, plus 1 for descending) and that the settings file
// keeps the widths by (Column<n> under [Columns]).
namespace RomColumn {
enum : int {
    Name,
    File,
    Emulator,
    System,
    Rating,
    Language,
    Type,
    Played,      // "#Played"
    LastPlayed,  // kept in the statistics store, as are the two after it
    PlayTime,
    Added,
    Count
};
}  // namespace RomColumn
