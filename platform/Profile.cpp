#include "platform/Profile.h"

#include "platform/Files.h"
#include "platform/Text.h"

#include <cerrno>

namespace {

constexpr std::size_t npos = std::string::npos;

// The section name when the line is a "[name]" line.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = TrimBlanks(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return TrimBlanks(line.substr(1, close - 1));
}

bool IsComment(std::string_view line) {
    line = TrimBlanks(line);
    return !line.empty() && (line.front() == ';' || line.front() == '#');
}

// The key name when the line is a "key=value" line.
std::optional<std::string_view> KeyName(std::string_view line) {
    if (IsComment(line) || SectionName(line)) return std::nullopt;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return TrimBlanks(line.substr(0, eq));
}

std::string_view ValueOf(std::string_view line) {
    return TrimBlanks(line.substr(line.find('=') + 1));
}

// A value or name made safe for one line: line breaks become blanks.
std::string OneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

int DigitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v < base ? v : -1;
}

}  // namespace

std::optional<std::int32_t> ParseProfileInteger(std::string_view text) {
    text = TrimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (!text.empty() && text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    // Hexadecimal spells the 32 bits (so $FFFFFFFF is -1); decimal must fit a signed value.
    const std::uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    std::uint64_t value = 0;
    for (const char c : text) {
        const int d = DigitValue(c, base);
        if (d < 0) return std::nullopt;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        if (value > limit) return std::nullopt;
    }
    const auto bits = static_cast<std::uint32_t>(negative ? (0u - static_cast<std::uint32_t>(value))
                                                          : static_cast<std::uint32_t>(value));
    return static_cast<std::int32_t>(bits);
}

bool Profile::Load() {
    lines_.clear();
    byteOrderMark_ = false;
    const auto bytes = ReadWholeFile(path_);
    if (!bytes) return errno == ENOENT;
    LoadText(*bytes);
    return true;
}

void Profile::LoadText(std::string_view text) {
    lines_.clear();
    // An editor may put a byte-order mark in front; read as text it would hide the first
    // section's name, and a save would then add a second [General].
    byteOrderMark_ = text.starts_with(Utf8ByteOrderMark);
    if (byteOrderMark_) text.remove_prefix(Utf8ByteOrderMark.size());
    for (std::string& line : SplitTextLines(text)) lines_.push_back(Line{std::move(line)});
}

bool Profile::Save() const {
    return !path_.empty() && WriteFileAtomic(path_, Text());
}

std::string Profile::Text() const {
    std::string text(byteOrderMark_ ? Utf8ByteOrderMark : std::string_view());
    for (const Line& line : lines_) {
        text += line.text;
        text += "\r\n";
    }
    return text;
}

std::size_t Profile::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = SectionName(lines_[i].text);
        if (name && EqualsNoCase(*name, TrimBlanks(section))) return i;
    }
    return npos;
}

std::size_t Profile::SectionEnd(std::size_t sectionLine) const {
    std::size_t end = sectionLine + 1;
    for (std::size_t i = sectionLine + 1; i < lines_.size() && !SectionName(lines_[i].text); ++i)
        if (!TrimBlanks(lines_[i].text).empty()) end = i + 1;
    return end;
}

std::size_t Profile::FindKey(std::string_view section, std::string_view key) const {
    const std::size_t start = FindSection(section);
    if (start == npos) return npos;
    for (std::size_t i = start + 1; i < lines_.size() && !SectionName(lines_[i].text); ++i) {
        const auto name = KeyName(lines_[i].text);
        if (name && EqualsNoCase(*name, TrimBlanks(key))) return i;
    }
    return npos;
}

std::optional<std::string> Profile::Value(std::string_view section, std::string_view key) const {
    const std::size_t i = FindKey(section, key);
    if (i == npos) return std::nullopt;
    return std::string(ValueOf(lines_[i].text));
}

std::string Profile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
    const auto value = Value(section, key);
    return value ? CutUtf8(*value, MaxStringLength) : std::string(def);
}

std::int32_t Profile::ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const {
    const auto value = Value(section, key);
    if (!value) return def;
    return ParseProfileInteger(*value).value_or(def);
}

bool Profile::ReadBool(std::string_view section, std::string_view key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void Profile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    const std::string sectionName = OneLine(TrimBlanks(section));
    const std::string keyName = OneLine(TrimBlanks(key));
    const std::string valueText = OneLine(value);
    const std::size_t existing = FindKey(sectionName, keyName);
    if (existing != npos) {
        // Keep the key as the file spells it; only the value changes.
        std::string& text = lines_[existing].text;
        text = std::string(*KeyName(text)) + "=" + valueText;
        return;
    }
    const Line line{keyName + "=" + valueText};
    const std::size_t start = FindSection(sectionName);
    if (start != npos) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(start)), line);
        return;
    }
    if (!lines_.empty() && !TrimBlanks(lines_.back().text).empty()) lines_.push_back(Line{""});
    lines_.push_back(Line{"[" + sectionName + "]"});
    lines_.push_back(line);
}

void Profile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void Profile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

bool Profile::HasSection(std::string_view section) const {
    return FindSection(section) != npos;
}

std::vector<std::string> Profile::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    const std::size_t start = FindSection(section);
    if (start == npos) return keys;
    for (std::size_t i = start + 1; i < lines_.size() && !SectionName(lines_[i].text); ++i)
        if (const auto name = KeyName(lines_[i].text)) keys.emplace_back(*name);
    return keys;
}
