#pragma once
// Letter case and code pages of texts. Texts are bytes; the program writes UTF-8.
#include <string>
#include <string_view>

// ASCII letters changed, every other byte kept. Inline: lists of a hundred thousand names are
// folded a byte at a time.
inline char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
inline char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);
// Equality ignoring ASCII letter case.
bool EqualsNoCase(std::string_view a, std::string_view b);
// -1, 0, 1 comparing ignoring ASCII letter case (bytes compared unsigned).
int CompareNoCase(std::string_view a, std::string_view b);
// Prefix / suffix tests ignoring ASCII letter case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EndsWithNoCase(std::string_view text, std::string_view suffix);
// The order of names in a folder listing: ASCII case ignored, then byte order. -1, 0, 1.
int CompareFileNames(std::string_view a, std::string_view b);

// Whether the bytes are well-formed UTF-8 (no overlongs, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);
// The bytes of the character at text[i]: its UTF-8 sequence when well-formed, else 1.
std::size_t CharacterLength(std::string_view text, std::size_t i);
// The longest prefix of at most maxBytes bytes that does not split a UTF-8 character.
std::string CutUtf8(std::string_view text, std::size_t maxBytes);
// Bytes read as Windows-1252, converted to UTF-8.
std::string Cp1252ToUtf8(std::string_view bytes);
// Bytes read as code page 437 (OEM, MS-DOS zip names), converted to UTF-8.
std::string Cp437ToUtf8(std::string_view bytes);
// Record texts as shown: the bytes themselves when valid UTF-8, else read as Windows-1252.
std::string DisplayText(std::string_view bytes);
// Removes blanks, tabs, CR and LF at both ends.
std::string_view TrimBlanks(std::string_view text);
// The local date and time now, written by a strftime format (at most 63 bytes of text).
std::string LocalTimeText(const char* format);
