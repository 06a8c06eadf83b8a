// client_session.cpp -- connecting, the join handshake, the receive thread and the send operations.
#include "client/net/client_session.h"

#include <cmath>
#include <cstdlib>
#include <ctime>

#include "common/stream_reader.h"
#include "common/text.h"
#include "platform/message_box.h"
#include "platform/poller.h"
#include "platform/socket_library.h"

namespace kestrane {

StartPosition randomStartPosition() {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    StartPosition position;
    position.x = static_cast<std::int16_t>(std::rand() % 400 + 100);
    position.y = static_cast<std::int16_t>(std::rand() % 300 + 100);
    return position;
}

ClientSession::ClientSession(GameClock clock)
    : clock_(std::move(clock)), playerName_(makeNameField("\xC0\xCC\xB8\xA7")) {}  // "이름"

ClientSession::~ClientSession() { stopNetwork(); }

bool ClientSession::openSocket() {
    socket_ = TcpSocket::openStream();
    reader_ = PacketStreamReader{};
    if (!socket_.valid() || !socket_.setNonBlocking(true)) {
        showMessageBox(kMessageCaption, kSocketErrorText);
        return false;
    }
    return true;
}

bool ClientSession::startNetwork() {
    if (!startSocketLibrary()) {
        showMessageBox(kMessageCaption, kSocketStartupErrorText);
        return false;
    }
    return openSocket();
}

bool ClientSession::connectToServer(std::string_view addressText) {
    const std::optional<ServerAddress> address = parseServerAddress(addressText.substr(0, 255));
    const std::optional<Ipv4Address> ip = address ? resolveIpv4(address->host) : std::nullopt;
    if (!ip) {
        showMessageBox(kMessageCaption, kHostNotFoundText);
        return false;
    }
    if (!socket_.valid() && !openSocket()) {
        return false;
    }
    if (socket_.connect(*ip, address->port) == ConnectStatus::Failed) {
        showMessageBox(kMessageCaption, kConnectErrorText);
        openSocket();  // a socket whose connect failed is not tried again
        return false;
    }
    return true;
}

ConnectStatus ClientSession::pollConnection(int timeoutMs) {
    const ConnectStatus status = socket_.checkConnect(timeoutMs);
    if (status == ConnectStatus::Failed) {
        showMessageBox(kMessageCaption, kConnectErrorText);
        openSocket();
    } else if (status == ConnectStatus::Connected) {
        socket_.setNoDelay(true);
    }
    return status;
}

bool ClientSession::joinGame(const StartPositionSource& startPosition, int welcomeTimeoutMs) {
    std::uint8_t welcome[kHeaderSize] = {};
    if (!receiveWelcome(welcome, welcomeTimeoutMs) || welcome[0] != kPacketMarker) {
        return false;
    }
    localPlayerNumber_ = welcome[1];

    const StartPosition position = startPosition();
    PlayerInfo info;
    info.energy = 100;
    info.x = position.x;
    info.y = position.y;
    info.name = playerName_;
    sendPacket(makePlayerInfoPacket(localPlayerNumber_, MsgType::Join, info));
    return true;
}

bool ClientSession::receiveWelcome(std::span<std::uint8_t> welcome, int timeoutMs) {
    const double deadline = clock_() + timeoutMs / 1000.0;
    std::size_t got = 0;
    while (got < welcome.size()) {
        const long n = socket_.receive(welcome.subspan(got), /*dontWait=*/true);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0 || lastSocketError() != SocketError::WouldBlock) {
            return false;
        }
        const double left = deadline - clock_();
        if (left <= 0) {
            return false;
        }
        waitForSocket(socket_, /*forWriting=*/false, static_cast<int>(std::ceil(left * 1000)));
    }
    return true;
}

void ClientSession::startReceiveThread() {
    if (receiveThread_.joinable()) {
        return;
    }
    stopEvent_.emplace();
    reader_ = PacketStreamReader{};
    receiveThread_ = std::thread([this] { receiveThreadMain(); });
}

void ClientSession::receiveThreadMain() {
    Poller poller;
    for (;;) {
        poller.clear();
        poller.setWakeEvent(&*stopEvent_);
        const std::size_t index = poller.add(socket_, /*forWriting=*/outgoingBytes() > 0);
        poller.wait(receivePollMs_);
        if (poller.woken()) {
            return;
        }
        if (poller.readiness(index).writable) {
            flushOutgoing();
        }
        const ReadResult result = readAvailablePackets(socket_, reader_, queue_);
        if (result.status != StreamStatus::Open) {
            queueConnectionEnd();
            return;
        }
    }
}

bool ClientSession::serviceSocket(const Readiness& ready) {
    if (ready.writable) {
        flushOutgoing();
    }
    if (!ready.readable && !ready.failed) {
        return true;
    }
    if (readReadyPackets(socket_, reader_, queue_).status == StreamStatus::Open) {
        return true;
    }
    queueConnectionEnd();
    return false;
}

void ClientSession::queueConnectionEnd() {
    // The server is gone: show the player the closing picture rather than a frozen world
    // (unless its own closing notice was the last thing it sent).
    const PacketHeader& last = reader_.lastHeader();
    if (last.sender != 0 || last.type != static_cast<std::uint8_t>(MsgType::ServerClosing)) {
        queue_.push(makePacket(0, MsgType::ServerClosing));
    }
}

void ClientSession::stopReceiveThread() {
    if (receiveThread_.joinable()) {
        stopEvent_->signal();
        receiveThread_.join();
    }
}

void ClientSession::stopNetwork() {
    stopReceiveThread();
    flushOutgoing();  // a last chance for what is left, the Leave above all
    socket_.close();
    std::lock_guard lock(outgoingMutex_);
    outgoing_.clear();
    outgoingSize_ = 0;
    sendingFailed_ = false;
}

void ClientSession::adopt(TcpSocket connected, std::uint8_t playerNumber) {
    stopReceiveThread();
    socket_ = std::move(connected);
    reader_ = PacketStreamReader{};
    localPlayerNumber_ = playerNumber;
    std::lock_guard lock(outgoingMutex_);
    outgoing_.clear();
    outgoingSize_ = 0;
    sendingFailed_ = false;
}

void ClientSession::sendPacket(const PacketRecord& record) {
    if (!socket_.valid() || sendingFailed_) {
        return;
    }
    if (sendListener_) {
        sendListener_(record);
    }
    std::lock_guard lock(outgoingMutex_);
    outgoing_.append(record.wireBytes());
    flushLocked();
    if (outgoing_.size() > kMaxOutgoingBytes) {
        giveUpConnection();
    }
    outgoingSize_ = outgoing_.size();
}

void ClientSession::flushOutgoing() {
    std::lock_guard lock(outgoingMutex_);
    flushLocked();
}

void ClientSession::flushLocked() {
    if (!sendingFailed_ && outgoing_.flush(socket_) == SendBacklog::FlushResult::Failed) {
        giveUpConnection();
    }
    outgoingSize_ = outgoing_.size();
}

void ClientSession::giveUpConnection() {
    // Ended in both directions, the receive thread finds the connection closed and queues
    // ServerClosing, as for a server that went away.
    sendingFailed_ = true;
    outgoing_.clear();
    socket_.shutdown();
}

void ClientSession::sendHeaderOnly(MsgType type) { sendPacket(makePacket(localPlayerNumber_, type)); }

void ClientSession::sendSteer(std::uint8_t code) {
    sendPacket(makeSteerPacket(localPlayerNumber_, static_cast<SteerCode>(code)));
}

void ClientSession::sendHit(std::uint16_t bulletId) { sendPacket(makeHitPacket(localPlayerNumber_, bulletId)); }

void ClientSession::sendChat(std::string_view text) {
    sendPacket(makeChatPacket(localPlayerNumber_, formatChatLine(nameText(playerName_), text)));
}

}  // namespace kestrane
