// text_encoding.cpp -- glibc iconv behind the two conversions.
#include "platform/text_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>

namespace kestrane {

namespace {

// How many bytes a character that does not convert takes up, so it becomes one '?':
// a whole UTF-8 sequence, or a single byte of code page 949 (which resynchronises there).
std::size_t unitLength(const char* at, std::size_t left, bool fromUtf8) {
    if (!fromUtf8) {
        return 1;
    }
    std::size_t length = 1;
    while (length < left && length < 4 && (static_cast<unsigned char>(at[length]) & 0xC0) == 0x80) {
        ++length;
    }
    return length;
}

// Converts `text`; a character that does not convert is replaced by '?' and skipped,
// and an incomplete sequence at the end becomes one '?'.
std::string convert(std::string_view text, const char* to, const char* from) {
    const bool fromUtf8 = std::string_view(from) == "UTF-8";
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size() * 2);
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (result != static_cast<std::size_t>(-1)) {
            continue;
        }
        if (errno == E2BIG) {
            continue;
        }
        out.push_back('?');
        if (errno == EINVAL) {
            break;  // incomplete sequence at the end
        }
        const std::size_t skip = unitLength(in, inLeft, fromUtf8);  // EILSEQ
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string cp949ToUtf8(std::string_view text) { return convert(text, "UTF-8", "CP949"); }
std::string utf8ToCp949(std::string_view text) { return convert(text, "CP949", "UTF-8"); }

}  // namespace kestrane
