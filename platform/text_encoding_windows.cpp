// text_encoding_windows.cpp -- the system's code page 949 tables (MultiByteToWideChar and
// WideCharToMultiByte) behind the two conversions.
#include "platform/text_encoding.h"

#include "platform/winsock_headers.h"

namespace kestrane {

namespace {

constexpr UINT kCodePage949 = 949;

// Code page 949 <-> UTF-16 of one piece; nothing when a character does not convert.
bool toWide(std::string_view bytes, std::wstring& wide) {
    const int length = MultiByteToWideChar(kCodePage949, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                           nullptr, 0);
    if (length <= 0) {
        return false;
    }
    wide.resize(static_cast<std::size_t>(length));
    return MultiByteToWideChar(kCodePage949, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                               wide.data(), length) == length;
}

bool fromWide(std::wstring_view wide, UINT codePage, std::string& out) {
    if (wide.empty()) {
        return true;
    }
    BOOL usedDefault = FALSE;
    // UTF-8 takes no default character; code page 949 reports one it had to use.
    BOOL* lossy = codePage == CP_UTF8 ? nullptr : &usedDefault;
    const DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    const int length = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                           nullptr, lossy);
    if (length <= 0 || usedDefault) {
        return false;
    }
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(length));
    return WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), out.data() + start, length,
                               nullptr, nullptr) == length;
}

bool isLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// The length of the UTF-8 sequence at `at`: its lead byte and the continuation bytes after it
// (at most four in all), so a sequence that does not convert becomes one '?'.
std::size_t utf8UnitLength(std::string_view text, std::size_t at) {
    std::size_t length = 1;
    while (at + length < text.size() && length < 4 && (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80) {
        ++length;
    }
    return length;
}

}  // namespace

// Whole texts convert in one call; only a text with a byte that does not convert is taken
// character by character, each bad byte becoming '?' (an incomplete one at the end too).
std::string cp949ToUtf8(std::string_view text) {
    std::wstring wide;
    std::string out;
    if (text.empty() || (toWide(text, wide) && fromWide(wide, CP_UTF8, out))) {
        return out;
    }
    out.clear();
    std::size_t at = 0;
    while (at < text.size()) {
        const bool lead = isLeadByte(static_cast<unsigned char>(text[at]));
        if (lead && at + 1 >= text.size()) {
            out.push_back('?');
            break;
        }
        const std::size_t length = lead ? 2 : 1;
        if (toWide(text.substr(at, length), wide) && fromWide(wide, CP_UTF8, out)) {
            at += length;
        } else {
            out.push_back('?');
            at += 1;  // resynchronise on the next byte
        }
    }
    return out;
}

std::string utf8ToCp949(std::string_view text) {
    std::string out;
    const auto convert = [&out](std::string_view piece) {
        const int length =
            MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, piece.data(), static_cast<int>(piece.size()), nullptr, 0);
        if (length <= 0) {
            return false;
        }
        std::wstring wide(static_cast<std::size_t>(length), L'\0');
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, piece.data(), static_cast<int>(piece.size()), wide.data(), length);
        return fromWide(wide, kCodePage949, out);
    };
    if (text.empty() || convert(text)) {
        return out;
    }
    out.clear();
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8UnitLength(text, at);
        if (!convert(text.substr(at, length))) {
            out.push_back('?');
        }
        at += length;
    }
    return out;
}

}  // namespace kestrane
