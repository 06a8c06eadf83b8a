// client_session.cpp -- connecting, the join handshake, the receive thread and the send operations.
#include "client/net/client_session.h"

#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "common/stream_reader.h"
#include "common/text.h"
#include "platform/message_box.h"

namespace kestrane {

namespace {

// Reads exactly `buffer.size()` bytes from a blocking socket; false on error, close or time-out.
bool receiveExactly(TcpSocket& socket, std::span<std::uint8_t> buffer) {
    std::size_t got = 0;
    while (got < buffer.size()) {
        const long n = socket.receive(buffer.subspan(got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

void setReceiveTimeout(TcpSocket& socket, int timeoutMs) {
    timeval timeout{};
    timeout.tv_sec = timeoutMs / 1000;
    timeout.tv_usec = (timeoutMs % 1000) * 1000;
    setsockopt(socket.fd(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
}

}  // namespace

StartPosition randomStartPosition() {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    StartPosition position;
    position.x = static_cast<std::int16_t>(std::rand() % 400 + 100);
    position.y = static_cast<std::int16_t>(std::rand() % 300 + 100);
    return position;
}

std::string formatChatLine(std::string_view name, std::string_view text) {
    std::string line = "[";
    line.append(name);
    line.append("] ");
    line.append(text);
    return std::string(cp949Prefix(line, kMaxChatLine));
}

ClientSession::ClientSession() : playerName_(makeNameField("\xC0\xCC\xB8\xA7")) {}  // "이름"

ClientSession::~ClientSession() { stopNetwork(); }

bool ClientSession::openSocket() {
    socket_ = TcpSocket::openStream();
    if (!socket_.valid() || !socket_.setNonBlocking(true)) {
        showMessageBox(kMessageCaption, kSocketErrorText);
        return false;
    }
    return true;
}

bool ClientSession::startNetwork() { return openSocket(); }

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
        socket_.setNonBlocking(false);
        socket_.setNoDelay(true);
    }
    return status;
}

bool ClientSession::joinGame(const StartPositionSource& startPosition, int welcomeTimeoutMs) {
    std::uint8_t welcome[kHeaderSize] = {};
    setReceiveTimeout(socket_, welcomeTimeoutMs);
    const bool whole = receiveExactly(socket_, welcome);
    setReceiveTimeout(socket_, 0);
    if (!whole || welcome[0] != kPacketMarker) {
        return false;
    }
    localPlayerNumber_ = welcome[1];

    const StartPosition position = startPosition();
    PlayerInfo info;
    info.energy = 100;
    info.x = position.x;
    info.y = position.y;
    info.name = playerName_;
    sendPacket(makePacket(localPlayerNumber_, MsgType::Join, info.encode()));
    return true;
}

void ClientSession::startReceiveThread() {
    if (receiveThread_.joinable()) {
        return;
    }
    stopEvent_.emplace();
    receiveThread_ = std::thread([this] { receiveThreadMain(); });
}

void ClientSession::receiveThreadMain() {
    PacketStreamReader reader;
    while (!stopEvent_->wait(receivePollMs_, socket_.fd())) {
        const ReadResult result = readAvailablePackets(socket_, reader, queue_);
        if (result.status != StreamStatus::Open) {
            // The server is gone: show the player the closing picture rather than a frozen
            // world (unless its own closing notice was the last thing it sent).
            const PacketHeader& last = reader.lastHeader();
            if (last.sender != 0 || last.type != static_cast<std::uint8_t>(MsgType::ServerClosing)) {
                queue_.push(makePacket(0, MsgType::ServerClosing));
            }
            return;
        }
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
    socket_.close();
}

void ClientSession::adopt(TcpSocket connected, std::uint8_t playerNumber) {
    stopReceiveThread();
    socket_ = std::move(connected);
    localPlayerNumber_ = playerNumber;
}

void ClientSession::sendPacket(const PacketRecord& record) {
    if (socket_.valid()) {
        if (sendListener_) {
            sendListener_(record);
        }
        socket_.sendAll(record.wireBytes());
    }
}

void ClientSession::sendHeaderOnly(MsgType type) { sendPacket(makePacket(localPlayerNumber_, type)); }

void ClientSession::sendSteer(std::uint8_t code) {
    const std::uint8_t payload[1] = {code};
    sendPacket(makePacket(localPlayerNumber_, MsgType::Steer, payload));
}

void ClientSession::sendHit(std::uint16_t bulletId) {
    std::uint8_t payload[2];
    writeU16(payload, bulletId);
    sendPacket(makePacket(localPlayerNumber_, MsgType::Hit, payload));
}

void ClientSession::sendChat(std::string_view text) {
    const std::string line = formatChatLine(nameText(playerName_), text);
    sendPacket(makePacket(localPlayerNumber_, MsgType::Chat,
                          std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size())));
}

}  // namespace kestrane
