// server_address.cpp -- reading HOST[:PORT].
#include "common/server_address.h"

#include <charconv>

namespace kestrane {

namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

std::optional<ServerAddress> parseServerAddress(std::string_view text) {
    text = trim(text);
    ServerAddress address;
    const std::size_t colon = text.rfind(':');
    if (colon != std::string_view::npos) {
        const std::string_view portText = text.substr(colon + 1);
        unsigned port = 0;
        const auto [end, error] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
        if (error != std::errc() || end != portText.data() + portText.size() || port == 0 || port > 65535) {
            return std::nullopt;
        }
        address.port = static_cast<std::uint16_t>(port);
        text = text.substr(0, colon);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    address.host = std::string(text);
    return address;
}

}  // namespace kestrane
