// text.h -- byte-level handling of code page 949 text (the wire and world encoding) and UTF-8.
#pragma once

#include <cstddef>
#include <string_view>

namespace kestrane {

// True when `byte` starts a two-byte code page 949 character.
constexpr bool isCp949LeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// The longest prefix of `text` of at most `maxBytes` bytes that does not end in the
// middle of a two-byte character.
std::string_view cp949Prefix(std::string_view text, std::size_t maxBytes);

// The longest prefix of UTF-8 `text` of at most `maxBytes` bytes that does not end in the
// middle of a character.
std::string_view utf8Prefix(std::string_view text, std::size_t maxBytes);

}  // namespace kestrane
