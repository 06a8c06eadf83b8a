// text_encoding.h -- code page 949 <-> UTF-8, where game text meets a screen, a log or a keyboard.
#pragma once

#include <string>
#include <string_view>

namespace kestrane {

// Bytes that do not convert become '?'; the rest of the text is kept.
std::string cp949ToUtf8(std::string_view text);
std::string utf8ToCp949(std::string_view text);

}  // namespace kestrane
