// server_network.cpp -- poll()-driven accept and read steps of the main thread.
#include "server/server_network.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <mutex>
#include <string>

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

ServerNetwork::ServerNetwork(ServerState& state, Settings settings)
    : state_(state), settings_(std::move(settings)), wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

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
                // Room in a full socket is worth a wake-up; bytes the worker is still batching are not.
                const short drain = entry.backlog.waitingForRoom() ? POLLOUT : 0;
                pollSet_.push_back({entry.socket.fd(), static_cast<short>(POLLIN | POLLRDHUP | drain), 0});
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
        statusResponder_->answerWaiting(settings_.clock());
    }
    if (pollSet_[1].revents != 0 && acceptStep()) {
        return;  // a pass that took a new player reads nothing
    }
    readStep();
}

bool ServerNetwork::acceptStep() {
    TcpSocket socket = listenSocket_.accept();
    if (!socket.valid()) {
        const SocketError error = lastSocketError();
        if (error != SocketError::WouldBlock && error != SocketError::ConnectionAborted) {
            acceptPausedUntil_ = std::chrono::steady_clock::now() + kAcceptPause;
        }
        return false;
    }
    const std::optional<Ipv4Address> address = socket.peerAddress();
    socket.setNonBlocking(true);
    socket.setNoDelay(true);  // every packet is small and wanted at once
    if (settings_.playerSendBuffer > 0) {
        socket.setSendBufferSize(settings_.playerSendBuffer);
    }

    // Registration and Welcome under one lock: the worker must not tick the new player
    // before its Welcome is out.
    std::lock_guard lock(state_.playersMutex);
    PlayerTable& players = state_.players;
    Refusal refusal = admissionRefusal(players, settings_.connections, address);
    if (refusal == Refusal::None && !players.registerConnection(std::move(socket), address)) {
        refusal = Refusal::ServerFull;
    }
    if (refusal != Refusal::None) {
        refuse(refusal, address);
        return false;  // closed without a word and no number used; the players are read as usual
    }
    players.showPlayerCount();
    state_.log.logLine(server_text::kConnectLine);
    const std::size_t newest = players.size() - 1;
    const PacketRecord welcome = makePacket(players[newest].number, MsgType::Welcome);
    players.sendTo(newest, welcome.wireBytes());
    return true;
}

void ServerNetwork::refuse(Refusal refusal, std::optional<Ipv4Address> address) {
    if (!refusalLog_.shouldLog(address, settings_.clock())) {
        return;
    }
    const std::string from = address ? address->toString() : std::string("an unknown address");
    const std::string_view why =
        refusal == Refusal::AddressFull ? server_text::kRefusedAddressFull : server_text::kRefusedServerFull;
    state_.log.logLine("Connection from " + from + " " + std::string(why) +
                       " (further refusals of it are not logged for a minute)");
}

void ServerNetwork::readStep() {
    bool drained = false;
    for (std::size_t slot = kFirstPlayerSlot; slot < pollSet_.size(); ++slot) {
        const short events = pollSet_[slot].revents;
        drained |= (events & POLLOUT) != 0;
        if ((events & ~POLLOUT) != 0) {
            readPlayer(pollNumbers_[slot], pollSet_[slot].fd);
        }
    }
    if (drained) {
        std::lock_guard lock(state_.playersMutex);
        state_.players.flushAll();  // a socket has room again: what waited for it goes on
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
    const double now = settings_.clock();
    while (std::optional<PacketRecord> record = readBuffer_.takeFront()) {
        if (!entry.connectionLost && admitPacket(static_cast<std::size_t>(index), *record, now)) {
            state_.queue.push(*record);
        }
    }
    if (result.status != StreamStatus::Open && !entry.connectionLost) {
        entry.connectionLost = true;
        state_.queue.push(makeConnectionLostNote(entry.number));
    }
}

bool ServerNetwork::admitPacket(std::size_t index, const PacketRecord& record, double now) {
    PlayerTable& players = state_.players;
    PlayerEntry& entry = players[index];
    // A client speaks only for itself (a packet naming another sender could remove or
    // impersonate that player), and only with the players' kinds of message.
    if (record.header.sender != entry.number || !relayedByServer(record.header.type)) {
        players.logInvalidPacket(entry.number, now);
        return false;
    }
    // Every Join makes every client answer: one per connection, now and then, is plenty.
    const bool join = record.msgType() == MsgType::Join;
    if (join && now - entry.lastJoinAt < settings_.input.joinRepeatSeconds) {
        ++state_.packetsDropped;
        players.logDroppedPacket(index, now, std::string(server_text::kRepeatedJoin));
        return false;
    }
    switch (entry.budget.take(now, settings_.input)) {
        case InputBudget::Verdict::Pass:
            if (join) {
                entry.lastJoinAt = now;
            }
            return true;
        case InputBudget::Verdict::FirstDrop:
        case InputBudget::Verdict::Drop:
            ++state_.packetsDropped;
            players.logDroppedPacket(index, now, std::string(server_text::kOverBudget));
            return false;
        case InputBudget::Verdict::Remove:
            break;
    }
    ++state_.packetsDropped;
    ++state_.playersRemovedForFlooding;
    state_.log.logLine(players.describePlayer(index) + ": " + std::string(server_text::kRemovedOverBudget));
    entry.connectionLost = true;  // read no more; the worker announces its Leave and removes it
    state_.queue.push(makeConnectionLostNote(entry.number));
    return false;
}

}  // namespace kestrane
