#pragma once
// An INI file held in memory: loaded once, read and changed in memory, saved once.
// "[Section]" lines open sections, "key=value" lines hold values; section and key names match
// ignoring ASCII case and may contain blanks. Saving keeps every line it does not change
// (comments, blank lines, foreign keys and sections), rewrites changed values in place, appends
// a new key at the end of its section and a new section at the end, ends lines with CR LF and
// replaces the file atomically.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reads an INI integer: signed decimal, or hexadecimal after "$" or (when the text is longer
// than two characters) "0x"/"0X", an optional '-' in front; blanks around are ignored.
// nullopt when it is not such a number or does not fit 32 bits.
std::optional<std::int32_t> ParseProfileInteger(std::string_view text);

class Profile {
public:
    // Longest string value handed out by ReadString.
    static constexpr std::size_t MaxStringLength = 2047;

    Profile() = default;
    // A profile for the file at path; nothing is read until Load.
    explicit Profile(std::string path) : path_(std::move(path)) {}

    // The file this profile loads from and saves to.
    const std::string& Path() const { return path_; }
    void SetPath(std::string path) { path_ = std::move(path); }

    // Reads the file. A missing file gives an empty profile and true; false when it exists but
    // cannot be read (the profile is then empty).
    bool Load();
    // Takes the lines of a text (CR LF, LF or CR ends) as the file's content. A UTF-8 byte-order
    // mark in front is not part of the first line; Text() puts it back.
    void LoadText(std::string_view text);
    // Writes the whole file once, atomically. False when it could not be written; the old file
    // then stays whole and the values stay in memory.
    bool Save() const;
    // The file's text as Save writes it.
    std::string Text() const;

    // The raw value of a key (blanks around it trimmed), nullopt when the key is missing.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    // The value cut to MaxStringLength bytes at a character boundary, or def when missing.
    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    // ParseProfileInteger of the value, def when missing or not a number.
    std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const;
    // The value read as an integer, any other than 0 true; def when missing or not a number.
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;

    // Sets a value in memory (the line is rewritten in place, or appended).
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    // Writes signed decimal.
    void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
    // Writes "1" or "0".
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // Whether a section of that name is present.
    bool HasSection(std::string_view section) const;
    // The key names of a section, in file order.
    std::vector<std::string> Keys(std::string_view section) const;

private:
    struct Line {
        std::string text;  // the line as it stands in the file, without its end
    };
    // Index of the "[section]" line, or npos.
    std::size_t FindSection(std::string_view section) const;
    // Index one past the last key line of the section starting at sectionLine.
    std::size_t SectionEnd(std::size_t sectionLine) const;
    // Index of the key's line inside the section, or npos.
    std::size_t FindKey(std::string_view section, std::string_view key) const;

    static constexpr std::string_view Utf8ByteOrderMark = "\xEF\xBB\xBF";

    std::string path_;
    std::vector<Line> lines_;
    bool byteOrderMark_ = false;
};
