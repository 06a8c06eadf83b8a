// server_address.h -- a server's address as a person types it: HOST or HOST:PORT.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

struct ServerAddress {
    std::string host;
    std::uint16_t port = 5001;  // the game's port when none is typed
};

// "HOST" or "HOST:PORT" as typed (surrounding blanks ignored); nothing when the host is
// empty or the port is not a number from 1 to 65535.
std::optional<ServerAddress> parseServerAddress(std::string_view text);

}  // namespace kestrane
