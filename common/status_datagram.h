// status_datagram.h -- the UDP status query and its answer (LAN discovery and `--query`), in
// one place for the server, the client and the fuzzer. The layout is in docs/status-protocol.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

// Every server of a host answers status queries here (bound with address reuse), besides
// the UDP port of its own TCP port number.
inline constexpr std::uint16_t kDiscoveryPort = 5001;

inline constexpr std::uint8_t kStatusVersion = 1;
// A query is never shorter than this: the padding makes room for the answer, which is
// never larger than the query that asked for it.
inline constexpr std::size_t kStatusQuerySize = 256;
// No datagram of this protocol is longer; a query for the player list is padded to it.
inline constexpr std::size_t kStatusMaxDatagram = 8192;
inline constexpr std::size_t kStatusMaxServerName = 64;
inline constexpr std::size_t kStatusMaxVersion = 32;
inline constexpr std::size_t kStatusMaxPlayerName = 40;

struct StatusQuery {
    std::uint32_t token = 0;   // chosen by the asker, echoed in the answer
    bool wantPlayers = false;  // ask for the player list too
};

struct StatusPlayer {
    std::uint8_t number = 0;
    std::string name;  // UTF-8; empty until the player's Join
    friend bool operator==(const StatusPlayer&, const StatusPlayer&) = default;
};

struct StatusAnswer {
    std::uint32_t token = 0;     // the query's
    std::uint32_t instance = 0;  // random per server run: one server heard on two addresses is one
    std::uint16_t players = 0;   // players in the game now
    std::uint16_t limit = 0;     // most players the server takes
    std::uint16_t port = 0;      // the server's TCP game port
    std::string name;            // UTF-8, at most kStatusMaxServerName bytes
    std::string version;         // the server program's version, at most kStatusMaxVersion bytes
    bool hasPlayerList = false;  // the query asked for it and it follows
    bool listCut = false;        // the whole list did not fit: only its first players follow
    std::vector<StatusPlayer> playerList;
    friend bool operator==(const StatusAnswer&, const StatusAnswer&) = default;
};

// The query, padded with zero bytes to `size` (at least kStatusQuerySize, at most
// kStatusMaxDatagram).
std::vector<std::uint8_t> encodeStatusQuery(const StatusQuery& query, std::size_t size = kStatusQuerySize);
// Nothing for anything but a well-formed query of this version and of an allowed size.
std::optional<StatusQuery> decodeStatusQuery(std::span<const std::uint8_t> datagram);

// The answer in at most `room` bytes: texts are cut to their limits (between characters),
// and players are listed while they fit (listCut tells when not all did). Nothing when not
// even the part before the list fits.
std::optional<std::vector<std::uint8_t>> encodeStatusAnswer(const StatusAnswer& answer, std::size_t room);
// Nothing for anything but a well-formed answer of this version. Control characters in the
// texts come out as '?', so a name cannot steer a terminal.
std::optional<StatusAnswer> decodeStatusAnswer(std::span<const std::uint8_t> datagram);

// This program's version, as servers report it.
std::string_view programVersion();

}  // namespace kestrane
