// server_log.cpp -- player names made fit for the State log.
#include "server/server_log.h"

#include "platform/text_encoding.h"

namespace kestrane {

std::string logName(std::string_view cp949Name) {
    std::string text = cp949ToUtf8(cp949Name);
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = '?';
        }
    }
    return text;
}

}  // namespace kestrane
