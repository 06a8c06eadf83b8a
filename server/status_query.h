// status_query.h -- `kestrane-server --query`: asks one server how it is, without joining it.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "common/status_datagram.h"
#include "platform/udp_socket.h"

namespace kestrane {

struct StatusReply {
    StatusAnswer answer;
    Endpoint from;              // where the answer came from
    double roundTripSeconds = 0;  // from the first query sent to the answer
};

// Sends a status query to `to` (asking again now and then, in case one is lost) and waits
// at most `timeout` for its answer. Nothing when none came.
std::optional<StatusReply> queryServerStatus(const Endpoint& to, bool wantPlayers,
                                             std::chrono::milliseconds timeout = std::chrono::seconds(1));

// The one status line, tab-separated for scripts: name, players/limit, address:port (the
// game's TCP port), version, round-trip time.
std::string statusLine(const StatusReply& reply);
// One line per listed player: number and name, tab-separated; a last line when the list was cut.
std::vector<std::string> playerLines(const StatusAnswer& answer);

}  // namespace kestrane
