#include "catalogue/Placeholders.h"

#include <array>
#include <string_view>

#include "platform/Paths.h"
#include "platform/Process.h"

namespace {

// Where a placeholder stands in the parameters, by the quoting rules the split follows.
enum class Quoting { None, Single, Double };

// A text written so that, at a place quoted as `quoting`, the split reads it back unchanged.
std::string Written(const std::string& text, Quoting quoting) {
    if (quoting == Quoting::None) return CommandWord(text);
    std::string out;
    for (const char c : text) {
        if (quoting == Quoting::Single && c == '\'')
            out += "'\\''";  // close, an escaped quote, open again
        else if (quoting == Quoting::Double && (c == '"' || c == '\\' || c == '$' || c == '`'))
            out += {'\\', c};
        else
            out += c;
    }
    return out;
}

struct Placeholder {
    std::string_view name;
    std::string value;
};

// Replaces the placeholders in one pass, so a replacement holding '%' is never read again.
// `romPlaced` tells whether %ROM% was among them.
std::string Replace(const std::string& params, const std::array<Placeholder, 4>& words, bool& romPlaced) {
    std::string out;
    Quoting quoting = Quoting::None;
    std::size_t at = 0;
    while (at < params.size()) {
        const char c = params[at];
        const bool escape = c == '\\' && quoting != Quoting::Single && at + 1 < params.size();
        if (escape) {  // the escaped character is taken as it is, a '%' or a quote included
            out.append(params, at, 2);
            at += 2;
            continue;
        }
        if (c == '%') {
            const Placeholder* found = nullptr;
            for (const Placeholder& word : words)
                if (params.compare(at, word.name.size(), word.name) == 0) found = &word;
            if (found) {
                out += Written(found->value, quoting);
                romPlaced = romPlaced || found->name == "%ROM%";
                at += found->name.size();
                continue;
            }
        }
        if (c == '\'' && quoting != Quoting::Double)
            quoting = quoting == Quoting::Single ? Quoting::None : Quoting::Single;
        else if (c == '"' && quoting != Quoting::Single)
            quoting = quoting == Quoting::Double ? Quoting::None : Quoting::Double;
        out += c;
        ++at;
    }
    return out;
}

}  // namespace

std::string CommandWord(const std::string& text) {
    return text.empty() ? text : QuoteShellWord(text);
}

std::string LaunchParameters(const std::string& params, const LaunchPlaces& places) {
    bool romPlaced = false;
    const std::string expanded = Replace(params,
                                         {{{"%ROMDIR%", WithoutTrailingSlash(FolderPart(places.romFile))},
                                           {"%ROMNAME%", WithoutExtension(FileNamePart(places.romFile))},
                                           {"%EMUDIR%", places.emulatorFolder},
                                           {"%ROM%", places.romArgument}}},
                                         romPlaced);
    return romPlaced ? expanded : expanded + " " + CommandWord(places.romArgument);
}
