// server_network.cpp -- the main thread's network pass on the platform poller: accept and read.
#include "server/server_network.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>

#include "common/frame_timer.h"
#include "platform/message_box.h"
#include "platform/socket_library.h"
#include "server/server_texts.h"
#include "server/status_responder.h"

namespace kestrane {

namespace {

constexpr int kListenBacklog = 5;
// After an accept error other than "nothing waiting" (out of descriptors, say), the
// listening socket would stay ready and the loop would spin; leave it alone this long.
constexpr double kAcceptPauseSeconds = 0.1;
// While the queue is over its high-water mark, look again this often.
constexpr int kBackPressureWaitMs = 2;

}  // namespace

ServerNetwork::ServerNetwork(ServerState& state, Settings settings) : state_(state), settings_(std::move(settings)) {}

ServerNetwork::~ServerNetwork() { stopNetwork(); }

bool ServerNetwork::startNetwork(std::uint16_t port, std::optional<Ipv4Address> address) {
    if (!startSocketLibrary()) {
        showMessageBox(kMessageCaption, server_text::kSocketStartupError);
        return false;
    }
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

void ServerNetwork::wake() { wakeEvent_.signal(); }

void ServerNetwork::pollNetwork(int timeoutMs) {
    const bool listening = listenSocket_.valid() && settings_.clock() >= acceptPausedUntil_;
    const bool reading = state_.queue.size() < kQueueHighWater;
    if (!reading) {
        timeoutMs = std::min(timeoutMs, kBackPressureWaitMs);
    }

    poller_.clear();
    poller_.setWakeEvent(&wakeEvent_);
    watchedPlayers_.clear();
    const std::size_t listenSlot = listening ? poller_.add(listenSocket_) : poller_.size();
    const std::size_t statusBegin = poller_.size();
    if (statusResponder_ != nullptr) {
        statusResponder_->watch(poller_);
    }
    const std::size_t firstPlayerSlot = poller_.size();
    {
        std::lock_guard lock(state_.playersMutex);
        state_.players.takeRemovedSockets(removedSockets_);
        for (const PlayerEntry& entry : state_.players) {
            if (reading && !entry.connectionLost) {
                // Room in a full socket is worth a wake-up; bytes the worker is still batching are not.
                poller_.add(entry.socket, /*forWriting=*/entry.backlog.waitingForRoom());
                watchedPlayers_.push_back({entry.number, entry.socket.fd()});
            }
        }
    }

    poller_.wait(timeoutMs);
    // The removed players' sockets were not watched in this wait: they may close now. (A
    // player removed during the wait keeps its descriptor until the next pass, so the
    // descriptor readStep checks below cannot belong to anyone else yet.)
    removedSockets_.clear();
    if (poller_.woken()) {
        wakeEvent_.reset();
    }
    bool statusReady = false;
    for (std::size_t slot = statusBegin; slot < firstPlayerSlot; ++slot) {
        statusReady |= poller_.readiness(slot).any();
    }
    if (statusReady) {
        statusResponder_->answerWaiting(settings_.clock());
    }
    if (listenSlot < statusBegin && poller_.readiness(listenSlot).any() && acceptStep()) {
        return;  // a pass that took a new player reads nothing
    }
    readStep(firstPlayerSlot);
}

bool ServerNetwork::acceptStep() {
    TcpSocket socket = listenSocket_.accept();
    if (!socket.valid()) {
        const SocketError error = lastSocketError();
        if (error != SocketError::WouldBlock && error != SocketError::ConnectionAborted) {
            acceptPausedUntil_ = settings_.clock() + kAcceptPauseSeconds;
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

void ServerNetwork::readStep(std::size_t firstPlayerSlot) {
    bool drained = false;
    for (std::size_t i = 0; i < watchedPlayers_.size(); ++i) {
        const Readiness ready = poller_.readiness(firstPlayerSlot + i);
        drained |= ready.writable;
        if (ready.readable || ready.failed) {
            readPlayer(watchedPlayers_[i].number, watchedPlayers_[i].descriptor);
        }
    }
    // All of the pass's packets at once: the worker then relays them in one batch.
    state_.queue.pushAll(admitted_);
    admitted_.clear();
    if (drained) {
        std::lock_guard lock(state_.playersMutex);
        state_.players.flushAll();  // a socket has room again: what waited for it goes on
    }
}

void ServerNetwork::readPlayer(std::uint8_t number, int descriptor) {
    std::lock_guard lock(state_.playersMutex);
    const int index = state_.players.findPlayer(number);
    if (index < 0) {
        return;  // removed by the worker since the poll
    }
    PlayerEntry& entry = state_.players[static_cast<std::size_t>(index)];
    if (entry.socket.fd() != descriptor || entry.connectionLost) {
        return;
    }
    const ReadResult result = readReadyPackets(entry.socket, entry.reader, readBuffer_);
    const double now = settings_.clock();
    while (std::optional<PacketRecord> record = readBuffer_.takeFront()) {
        if (!entry.connectionLost && admitPacket(static_cast<std::size_t>(index), *record, now)) {
            admitted_.push_back(*record);
        }
    }
    if (result.status != StreamStatus::Open && !entry.connectionLost) {
        entry.connectionLost = true;
        admitted_.push_back(makeConnectionLostNote(entry.number));
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
    admitted_.push_back(makeConnectionLostNote(entry.number));
    return false;
}

}  // namespace kestrane
