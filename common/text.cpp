// text.cpp -- code page 949 character boundaries.
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

}  // namespace kestrane
