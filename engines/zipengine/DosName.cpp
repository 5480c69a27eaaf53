#include "engines/zipengine/DosName.h"

#include <cstring>

namespace {
char DosChar(char c) {
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return c;
    if (c != '\0' && std::strchr("!#$%&'()-@^_`{}~", c) != nullptr) return c;
    return '_';
}

std::string DosPart(std::string_view text, size_t width) {
    std::string out;
    for (char c : text.substr(0, std::min(text.size(), width))) out += DosChar(c);
    return out;
}
}  // namespace

std::string DosComponent(std::string_view name) {
    size_t dot = name.rfind('.');
    if (dot == 0 || dot == std::string_view::npos) dot = name.size();
    std::string base = DosPart(name.substr(0, dot), 8);
    std::string ext = dot < name.size() ? DosPart(name.substr(dot + 1), 3) : std::string();
    if (base.empty()) base.push_back('_');
    return ext.empty() ? base : base + "." + ext;
}

std::string DosPath(std::string_view path) {
    std::string out;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) slash = path.size();
        if (slash > start) out += DosComponent(path.substr(start, slash - start));
        if (slash < path.size()) out += '/';
        start = slash + 1;
    }
    return out;
}
