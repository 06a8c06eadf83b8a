// lan_browser.cpp -- query rounds, answers and the list they make.
#include "client/app/lan_browser.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

namespace kestrane {

std::string serverFieldText(const LanServer& server) {
    std::string text = server.game.address.toString();
    if (server.game.port != kDiscoveryPort) {
        text += ":" + std::to_string(server.game.port);
    }
    return text;
}

std::string roundTripText(double seconds) {
    const double ms = seconds * 1000;
    if (ms < 0.1) {
        return "<0.1 ms";  // this machine, or one very close
    }
    char text[32];
    std::snprintf(text, sizeof text, ms < 10 ? "%.1f ms" : "%.0f ms", ms);
    return text;
}

LanBrowser::LanBrowser(Targets targets) : targets_(std::move(targets)) {}

std::vector<Endpoint> LanBrowser::everyLocalNetwork() {
    std::vector<Endpoint> targets;
    for (const Ipv4Address& broadcast : localBroadcastAddresses()) {
        targets.push_back({broadcast, kDiscoveryPort});
    }
    // Every server of this host hears the loopback broadcast; 127.0.0.1 itself reaches one
    // of them where a system has no loopback broadcast.
    targets.push_back({loopbackBroadcast(), kDiscoveryPort});
    targets.push_back({Ipv4Address::loopback(), kDiscoveryPort});
    return targets;
}

bool LanBrowser::open() {
    socket_ = UdpSocket::open();
    if (!socket_.valid() || !socket_.setBroadcast(true) || !socket_.bind(0)) {
        socket_.close();
        return false;
    }
    return true;
}

void LanBrowser::update(double now) {
    if (!socket_.valid()) {
        return;
    }
    if (!roundSentAt_ || now - *roundSentAt_ >= kRoundInterval) {
        sendRound(now);
    }
    for (;;) {
        const UdpReceive received = socket_.receiveFrom(buffer_);
        if (received.status != UdpReceive::Status::Datagram) {
            break;
        }
        if (!received.truncated) {
            takeAnswer({buffer_.data(), received.size}, received.from, now);
        }
    }
    const auto before = servers_.size();
    std::erase_if(servers_, [&](const LanServer& server) { return now - server.lastSeen > kForgetAfter; });
    if (servers_.size() != before) {
        ++revision_;
    }
}

bool LanBrowser::waitForAnswer(int timeoutMs) const { return socket_.valid() && socket_.waitReadable(timeoutMs); }

void LanBrowser::sendRound(double now) {
    token_ = static_cast<std::uint32_t>(random_());
    roundSentAt_ = now;
    const std::vector<std::uint8_t> query = encodeStatusQuery({token_, false});
    for (const Endpoint& target : targets_()) {
        socket_.sendTo(query, target);  // a network that cannot be reached is simply not listed
    }
}

void LanBrowser::takeAnswer(std::span<const std::uint8_t> datagram, const Endpoint& from, double now) {
    const std::optional<StatusAnswer> answer = decodeStatusAnswer(datagram);
    if (!answer || !roundSentAt_ || answer->token != token_) {
        return;  // not an answer, or one to an older round
    }
    LanServer heard;
    heard.game = {from.address, answer->port};
    heard.name = answer->name;
    heard.players = answer->players;
    heard.limit = answer->limit;
    heard.version = answer->version;
    heard.roundTripSeconds = now - *roundSentAt_;
    heard.lastSeen = now;
    heard.instance = answer->instance;

    // One server heard on several addresses (loopback and a LAN address of this host) is
    // listed once, under the address other players can reach too.
    const auto same = std::find_if(servers_.begin(), servers_.end(), [&](const LanServer& known) {
        return known.instance == heard.instance && known.game.port == heard.game.port;
    });
    if (same == servers_.end()) {
        servers_.push_back(std::move(heard));
    } else {
        if (!heard.game.address.isLoopback() || same->game.address.isLoopback()) {
            same->game = heard.game;
        }
        // The first answer of a round carries its round trip; later copies come by longer ways.
        if (same->lastSeen < *roundSentAt_) {
            same->roundTripSeconds = heard.roundTripSeconds;
        }
        const Endpoint game = same->game;
        const double roundTrip = same->roundTripSeconds;
        *same = std::move(heard);
        same->game = game;
        same->roundTripSeconds = roundTrip;
    }
    std::stable_sort(servers_.begin(), servers_.end(), [](const LanServer& a, const LanServer& b) {
        return std::tie(a.name, a.game.address.bytes, a.game.port) < std::tie(b.name, b.game.address.bytes, b.game.port);
    });
    ++revision_;
}

}  // namespace kestrane
