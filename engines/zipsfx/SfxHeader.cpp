#include "engines/zipsfx/SfxHeader.h"

#include <algorithm>
#include <cstring>

namespace sfx {

std::optional<std::array<std::uint8_t, kHeaderSize>> BuildHeader(const Header& header) {
    if (header.TextBytes() > kMaxTextBytes) return std::nullopt;
    std::array<std::uint8_t, kHeaderSize> out{};
    std::copy(kSignature.begin(), kSignature.end(), out.begin());
    out[3] = header.flags;
    out[4] = static_cast<std::uint8_t>(header.caption.size());
    out[5] = static_cast<std::uint8_t>(header.defaultDir.size());
    out[6] = static_cast<std::uint8_t>(header.commandLine.size());
    std::size_t at = 7;
    for (const std::string* text : {&header.caption, &header.defaultDir, &header.commandLine}) {
        std::memcpy(out.data() + at, text->data(), text->size());
        at += text->size();
    }
    return out;
}

std::optional<Header> ParseHeader(const std::uint8_t* bytes, std::size_t size) {
    if (size < kHeaderSize || !std::equal(kSignature.begin(), kSignature.end(), bytes)) return std::nullopt;
    const std::size_t lengths[3] = {bytes[4], bytes[5], bytes[6]};
    if (lengths[0] + lengths[1] + lengths[2] > kMaxTextBytes) return std::nullopt;
    Header header;
    header.flags = bytes[3];
    const char* text = reinterpret_cast<const char*>(bytes) + 7;
    header.caption.assign(text, lengths[0]);
    header.defaultDir.assign(text + lengths[0], lengths[1]);
    header.commandLine.assign(text + lengths[0] + lengths[1], lengths[2]);
    return header;
}

}  // namespace sfx
