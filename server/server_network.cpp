// server_network.cpp -- poll()-driven accept and read steps of the main thread.
#include "server/server_network.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <mutex>

#include "common/frame_timer.h"
#include "platform/message_box.h"
#include "server/server_texts.h"
#include "server/status_responder.h"

namespace kestrane {

namespace {

constexpr int kListenBacklog = 5;
// After an accept error other than "nothing waiting" (out of descriptors, say), the
// listening socket would stay ready and the loop would spin; leave it alone this long.
constexpr auto kAcceptPause = std::chrono::milliseconds(100);
// While the queue is over its high-water mark, look again this often.
constexpr int kBackPressureWaitMs = 2;
// pollSet_: wake descriptor, listening socket, the two status sockets, players.
constexpr std::size_t kStatusSlot = 2;
constexpr std::size_t kFirstPlayerSlot = 4;

}  // namespace

ServerNetwork::ServerNetwork(ServerState& state, int playerSendBuffer)
    : state_(state), playerSendBuffer_(playerSendBuffer), wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

ServerNetwork::~ServerNetwork() {
    stopNetwork();
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
    }
}

bool ServerNetwork::startNetwork(std::uint16_t port, std::optional<Ipv4Address> address) {
    listenSocket_ = TcpSocket::openStream();
    // SO_REUSEADDR lets a restarted server bind while old connections sit in TIME_WAIT;
    // a port another program listens on is still refused.
    if (!listenSocket_.valid() || !listenSocket_.setReuseAddress(true) ||
        !listenSocket_.bindAndListen(port, kListenBacklog, address) || !listenSocket_.setNonBlocking(true)) {
        listenSocket_.close();
        showMessageBox(kMessageCaption, server_text::kSocketError);
        return false;
    }
    return true;
}

void ServerNetwork::stopNetwork() { listenSocket_.close(); }

std::uint16_t ServerNetwork::port() const { return listenSocket_.valid() ? listenSocket_.localPort() : 0; }

void ServerNetwork::wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
}

void ServerNetwork::pollNetwork(int timeoutMs) {
    const auto now = std::chrono::steady_clock::now();
    const bool listening = listenSocket_.valid() && now >= acceptPausedUntil_;
    const bool reading = state_.queue.size() < kQueueHighWater;
    if (!reading) {
        timeoutMs = std::min(timeoutMs, kBackPressureWaitMs);
    }

    pollSet_.clear();
    pollNumbers_.clear();
    pollSet_.push_back({wakeFd_, POLLIN, 0});
    pollSet_.push_back({listening ? listenSocket_.fd() : -1, POLLIN, 0});
    for (const int fd : statusResponder_ ? statusResponder_->descriptors() : std::array<int, 2>{-1, -1}) {
        pollSet_.push_back({fd, POLLIN, 0});
    }
    pollNumbers_.resize(kFirstPlayerSlot, 0);
    if (reading) {
        std::lock_guard lock(state_.playersMutex);
        for (const PlayerEntry& entry : state_.players) {
            if (!entry.connectionLost) {
                pollSet_.push_back({entry.socket.fd(), POLLIN | POLLRDHUP, 0});
                pollNumbers_.push_back(entry.number);
            }
        }
    }

    const int ready = ::poll(pollSet_.data(), pollSet_.size(), timeoutMs);
    if (ready <= 0) {
        return;
    }
    if (pollSet_[0].revents != 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t got = ::read(wakeFd_, &count, sizeof count);
    }
    if (pollSet_[kStatusSlot].revents != 0 || pollSet_[kStatusSlot + 1].revents != 0) {
        statusResponder_->answerWaiting(secondsSinceStart());
    }
    if (pollSet_[1].revents != 0 && acceptStep()) {
        return;  // a pass that took a new player reads nothing
    }
    readStep();
}

bool ServerNetwork::acceptStep() {
    TcpSocket socket = listenSocket_.accept();
    if (!socket.valid()) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED) {
            acceptPausedUntil_ = std::chrono::steady_clock::now() + kAcceptPause;
        }
        return false;
    }
    socket.setNonBlocking(true);
    socket.setNoDelay(true);  // every packet is small and wanted at once
    if (playerSendBuffer_ > 0) {
        socket.setSendBufferSize(playerSendBuffer_);
    }

    // Registration and Welcome under one lock: the worker must not tick the new player
    // before its Welcome is out.
    std::lock_guard lock(state_.playersMutex);
    PlayerTable& players = state_.players;
    if (!players.registerConnection(std::move(socket))) {
        return true;  // refused: closed without a word
    }
    players.showPlayerCount();
    state_.log.logLine(server_text::kConnectLine);
    const PacketRecord welcome = makePacket(players.lastPlayerNumber(), MsgType::Welcome);
    players.sendTo(players.size() - 1, welcome.wireBytes());
    return true;
}

void ServerNetwork::readStep() {
    for (std::size_t slot = kFirstPlayerSlot; slot < pollSet_.size(); ++slot) {
        if (pollSet_[slot].revents != 0) {
            readPlayer(pollNumbers_[slot], pollSet_[slot].fd);
        }
    }
}

void ServerNetwork::readPlayer(std::uint8_t number, int fd) {
    std::lock_guard lock(state_.playersMutex);
    const int index = state_.players.findPlayer(number);
    if (index < 0) {
        return;  // removed by the worker since the poll
    }
    PlayerEntry& entry = state_.players[static_cast<std::size_t>(index)];
    if (entry.socket.fd() != fd || entry.connectionLost) {
        return;
    }
    const ReadResult result = readAvailablePackets(entry.socket, entry.reader, readBuffer_);
    while (std::optional<PacketRecord> record = readBuffer_.takeFront()) {
        // A client speaks only for itself: a packet naming another sender could remove or
        // impersonate that player.
        if (record->header.sender != entry.number) {
            state_.log.logLine(server_text::kInvalidPacketLine);
            continue;
        }
        state_.queue.push(*record);
    }
    if (result.status != StreamStatus::Open) {
        entry.connectionLost = true;
        state_.queue.push(makeConnectionLostNote(entry.number));
    }
}

}  // namespace kestrane
