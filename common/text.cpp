// text.cpp -- code page 949 and UTF-8 character boundaries.
#include "common/text.h"

namespace kestrane {

std::string_view cp949Prefix(std::string_view text, std::size_t maxBytes) {
    std::size_t end = 0;
    while (end < text.size()) {
        const bool pair = isCp949LeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size();
        const std::size_t next = end + (pair ? 2 : 1);
        if (next > maxBytes) {
            break;
        }
        end = next;
    }
    return text.substr(0, end);
}

std::string_view utf8Prefix(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return text;
    }
    std::size_t end = maxBytes;
    // Back off over continuation bytes (10xxxxxx) to the start of the cut character.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end);
}

}  // namespace kestrane
