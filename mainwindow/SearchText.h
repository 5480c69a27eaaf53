#pragma once
// The form in which texts are searched: letter case folded and accents dropped, so that
// "pokemon" finds "Pokémon" and "ZELDA" finds "Zelda". Record texts are folded once, when the
// list is filled; a typed search only folds its own few words.

#include <QString>
#include <string>
#include <string_view>
#include <vector>

// Appends the search form of record bytes (as shown: UTF-8, or Windows-1252 when they are not
// valid UTF-8) to `out`: decomposed (NFD), combining marks dropped, case folded, as UTF-8.
void AppendSearchForm(std::string& out, std::string_view bytes);
std::string SearchForm(std::string_view bytes);
// The words of a typed search (split at blanks), each in search form; none for a blank text.
std::vector<std::string> SearchWords(const QString& typed);
