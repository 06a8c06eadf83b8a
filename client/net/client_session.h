// client_session.h -- the client's one connection to the server: connect, join, receive thread, sends.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/packet.h"
#include "common/packet_queue.h"
#include "common/player_info.h"
#include "common/protocol.h"
#include "common/stream_reader.h"
#include "common/server_address.h"
#include "platform/clock.h"
#include "platform/poller.h"
#include "platform/send_backlog.h"
#include "platform/tcp_socket.h"
#include "platform/wake_event.h"

namespace kestrane {

// Messages the connection shows the player (caption "Orvane Works").
inline constexpr std::string_view kSocketStartupErrorText = "WSAStartup() Error";
inline constexpr std::string_view kSocketErrorText = "socket() Error";
inline constexpr std::string_view kHostNotFoundText = "FIND Host Name Error In DNS";
inline constexpr std::string_view kConnectErrorText = "Socket Connect Error";
inline constexpr std::string_view kWrongServerText = "잘못된 서버를 지명하였습니다.";

// The most bytes held for a server that is not reading; past it the connection is lost.
inline constexpr std::size_t kMaxOutgoingBytes = 256 * 1024;

// Draws a starting position; the default seeds the C library's generator with the time in
// seconds, then draws x = rand() % 400 + 100 and y = rand() % 300 + 100.
struct StartPosition {
    std::int16_t x = 0;
    std::int16_t y = 0;
};
using StartPositionSource = std::function<StartPosition()>;
StartPosition randomStartPosition();

// One client's session: the socket, its player number and name, the packet queue and the
// receive thread. Several sessions may live in one process (tests, bots).
//
// Threads: every operation runs on the owner's (main) thread, except the receive thread,
// which reads the socket, appends to queue() and flushes the outgoing buffer. The queue,
// the socket and the outgoing buffer (under its mutex) are all the two threads share.
class ClientSession {
public:
    // `clock` times the wait for the welcome.
    explicit ClientSession(GameClock clock = secondsSinceStart);
    ~ClientSession();  // stops the receive thread and closes the socket
    ClientSession(const ClientSession&) = delete;
    ClientSession& operator=(const ClientSession&) = delete;

    // Starts the socket library and creates the socket, non-blocking, ready to connect. Shows
    // "WSAStartup() Error" or "socket() Error" on failure.
    bool startNetwork();
    // Looks the address up and starts connecting. True when the attempt is under way or done;
    // false after showing "FIND Host Name Error In DNS" or "Socket Connect Error", with a
    // fresh socket ready for another try.
    bool connectToServer(std::string_view addressText);
    // Checks the attempt started by connectToServer, waiting at most `timeoutMs`.
    // Connected: the socket stays non-blocking for good. Failed: "Socket Connect Error" has
    // been shown and a fresh socket is ready.
    ConnectStatus pollConnection(int timeoutMs = 0);

    // The join handshake: reads the 4-byte welcome (false when it cannot be read whole within
    // `welcomeTimeoutMs`, or does not begin with 0xAA), takes its player number, then sends
    // the 36-byte Join with a starting position and the player's name.
    bool joinGame(const StartPositionSource& startPosition = randomStartPosition, int welcomeTimeoutMs = 10000);

    // Starts the receive thread: it wakes at least every receive poll interval (10 ms unless
    // set otherwise; at once when bytes arrive or the stop is asked) and queues every whole
    // packet. When the connection closes or fails it queues one ServerClosing record and
    // reads no more.
    void startReceiveThread();
    // The longest the receive thread sleeps between looks at the socket. Bytes and the stop
    // wake it anyway, so processes running hundreds of sessions (bots) set it long to keep
    // idle threads asleep. Set it before startReceiveThread.
    void setReceivePollInterval(int milliseconds) { receivePollMs_ = milliseconds; }
    // Instead of a receive thread, for a program that watches many sessions' sockets with one
    // poller (the bots): what the receive thread does when the poller found `ready` on
    // socket(): flushes the outgoing buffer when it can take more, and queues every whole
    // packet that waits. One thread at a time, with no receive thread running. False once the
    // connection has ended: ServerClosing has been queued as the receive thread would, and the
    // socket is not to be watched any more.
    bool serviceSocket(const Readiness& ready);
    // Asks the receive thread to end and waits for it. Safe to call when it is not running.
    void stopReceiveThread();
    // Stops the receive thread and closes the socket.
    void stopNetwork();

    // Sends, each one packet with this session's player number as sender. Nothing blocks:
    // the bytes go into the outgoing buffer, in order, and out as far as the socket takes
    // them at once; the rest follows with flushOutgoing(), or from the receive thread when
    // the socket can take more. A buffer grown past kMaxOutgoingBytes (a server that has
    // stopped reading) or a failed send ends the connection: the receive thread then queues
    // ServerClosing as for any lost connection. They do nothing while there is no
    // connection; failures are not reported.
    void sendHeaderOnly(MsgType type);
    void sendSteer(std::uint8_t code);
    void sendHit(std::uint16_t bulletId);
    // Sends "[name] text", cut to at most 51 bytes without splitting a two-byte character.
    void sendChat(std::string_view text);
    void sendPacket(const PacketRecord& record);
    // Hands the socket as much of the outgoing buffer as it takes now, without waiting.
    // The main loop calls it once per pass.
    void flushOutgoing();
    // Bytes sent but not yet taken by the socket. Any thread; takes no lock, so a poller may
    // ask it of every session before each wait.
    std::size_t outgoingBytes() const { return outgoingSize_.load(); }
    // True once the connection has been given up because sending failed or fell too far behind.
    bool sendingFailed() const { return sendingFailed_.load(); }

    // Called on the sending thread just before each packet is handed to the socket, with the
    // packet as it goes out (bots time the server's echo of their own packets from it: the
    // echo may be queued before the send call has even returned). Set it before the first send.
    void setSendListener(std::function<void(const PacketRecord&)> listener) { sendListener_ = std::move(listener); }

    // For tests and bots: use an already connected socket (e.g. one end of a socket pair)
    // as if the handshake had given `playerNumber`.
    void adopt(TcpSocket connected, std::uint8_t playerNumber);

    std::uint8_t localPlayerNumber() const { return localPlayerNumber_; }
    // The name as typed (code page 949, at most 20 bytes); "이름" until set.
    const NameField& playerName() const { return playerName_; }
    void setPlayerName(std::string_view cp949Name) { playerName_ = makeNameField(cp949Name); }

    PacketQueue& queue() { return queue_; }
    const PacketQueue& queue() const { return queue_; }
    TcpSocket& socket() { return socket_; }
    bool receiveThreadRunning() const { return receiveThread_.joinable(); }

private:
    bool openSocket();
    bool receiveWelcome(std::span<std::uint8_t> welcome, int timeoutMs);
    void receiveThreadMain();
    // The connection has ended: ServerClosing for the world, unless the server's own was last.
    void queueConnectionEnd();
    // Both with outgoingMutex_ held.
    void flushLocked();
    void giveUpConnection();

    GameClock clock_;
    TcpSocket socket_;
    std::uint8_t localPlayerNumber_ = 0;
    NameField playerName_;
    PacketQueue queue_;
    PacketStreamReader reader_;  // the receive thread's, or serviceSocket's caller's
    std::optional<WakeEvent> stopEvent_;
    std::thread receiveThread_;
    int receivePollMs_ = 10;
    std::function<void(const PacketRecord&)> sendListener_;
    // Shared with the receive thread, which flushes when the socket can take more.
    mutable std::mutex outgoingMutex_;
    SendBacklog outgoing_;  // guarded by outgoingMutex_
    std::atomic<std::size_t> outgoingSize_{0};  // outgoing_.size(), stored under outgoingMutex_
    std::atomic<bool> sendingFailed_{false};
};

}  // namespace kestrane
