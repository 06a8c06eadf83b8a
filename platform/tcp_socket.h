// tcp_socket.h -- a thin owner of one TCP/IPv4 socket (POSIX or Winsock 2), with UdpSocket the only way to the OS network API.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/socket_serial.h"

namespace kestrane {

// An IPv4 address, first byte of the dotted form first (network order).
struct Ipv4Address {
    std::array<std::uint8_t, 4> bytes{};

    static Ipv4Address loopback() { return {{127, 0, 0, 1}}; }
    bool isLoopback() const { return bytes[0] == 127; }
    std::string toString() const;
    friend bool operator==(const Ipv4Address&, const Ipv4Address&) = default;
};

// Looks a host name or dotted address up, as typed; the first IPv4 address, or nothing.
std::optional<Ipv4Address> resolveIpv4(std::string_view host);
// This machine's name, or nothing when the system cannot tell it.
std::optional<std::string> localHostName();
// The IPv4 addresses of this machine's network interfaces that are up, loopback ones left out.
std::vector<Ipv4Address> localInterfaceAddresses();

enum class ConnectStatus { Connected, InProgress, Failed };
// Why a socket call failed, as far as its caller needs to tell.
enum class SocketError {
    None,
    WouldBlock,         // nothing to read, no room to send, no connection waiting: try later
    ConnectionAborted,  // a waiting connection went away before it was accepted
    PeerGone,           // the peer reset or closed the connection
    OutOfResources,     // descriptors or memory ran out
    Other,
};
// The error of the calling thread's last failed call on a TcpSocket (receive, send, accept,
// connect). Only meaningful right after a call that reported failure.
SocketError lastSocketError();

enum class PeerStatus { Open, Closed, Failed };

// Owns a socket descriptor and closes it on destruction. Move-only.
// Thread-safety: one thread may receive while another sends (the kernel serialises
// them); opening, closing and moving are for the owner's thread only.
// Sends never raise SIGPIPE.
class TcpSocket {
public:
    TcpSocket() = default;
    explicit TcpSocket(int fd) : fd_(fd), serial_(fd >= 0 ? nextSocketSerial() : 0) {}
    ~TcpSocket();
    TcpSocket(TcpSocket&& other) noexcept;
    TcpSocket& operator=(TcpSocket&& other) noexcept;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // A new, unconnected IPv4 stream socket; invalid on failure (lastSocketError tells why).
    static TcpSocket openStream();
    // Two connected stream sockets, for tests and in-process wiring.
    static std::optional<std::array<TcpSocket, 2>> pair();

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // Tells this socket from any other that had or will have the same descriptor number.
    std::uint64_t serial() const { return serial_; }
    void close();
    // Ends the connection in both directions at once (the peer sees it closed), even while
    // another thread still holds the descriptor in a poll.
    void shutdown();

    bool setNonBlocking(bool on);
    bool setReuseAddress(bool on);
    bool setNoDelay(bool on);
    bool setSendBufferSize(int bytes);
    // Set before connecting: TCP sizes its window from it.
    bool setReceiveBufferSize(int bytes);

    // Binds to `address` (default: every local address) and listens. Port 0 picks a free port.
    bool bindAndListen(std::uint16_t port, int backlog, std::optional<Ipv4Address> address = std::nullopt);
    // The port this socket is bound to, 0 when unknown.
    std::uint16_t localPort() const;
    // The IPv4 address of the connected peer, or nothing when it cannot be told.
    std::optional<Ipv4Address> peerAddress() const;
    // Binds to `address` on a free port, so a later connect leaves from that address.
    bool bindLocal(Ipv4Address address);
    // Accepts a waiting connection; invalid when none is waiting or on error (lastSocketError
    // tells which).
    TcpSocket accept() const;

    // Starts connecting; on a non-blocking socket the usual answer is InProgress.
    ConnectStatus connect(Ipv4Address address, std::uint16_t port);
    // Completion of a connect that was InProgress: waits at most `timeoutMs` for it and
    // reads the socket's pending error (SO_ERROR) when it completes.
    ConnectStatus checkConnect(int timeoutMs = 0) const;

    // Bytes the kernel holds for reading (FIONREAD), or nothing when the query fails.
    std::optional<std::size_t> bytesWaiting() const;
    // Whether the peer has closed or the connection failed, without consuming data.
    PeerStatus probePeer() const;
    // Waits at most `timeoutMs` for the socket to become readable (or closed).
    bool waitReadable(int timeoutMs) const;

    // One recv (repeated only when a signal interrupts it); returns the byte count, 0 when
    // the peer has closed, -1 on error (lastSocketError tells which).
    long receive(std::span<std::uint8_t> buffer, bool dontWait = false);
    // One send (repeated only when a signal interrupts it; never raising SIGPIPE); returns
    // the byte count or -1 on error (lastSocketError tells which).
    long send(std::span<const std::uint8_t> bytes, bool dontWait = false);
    // One send of several pieces, in order, as if they were one buffer (a gather write: a
    // buffer shared by many peers and bytes of this peer's own go out without being copied
    // together). Like send: repeated only when a signal interrupts it, never raising SIGPIPE;
    // returns the byte count, which may end inside any piece, or -1 on error. At most
    // kMaxSendPieces pieces go in one call; empty pieces are skipped.
    static constexpr std::size_t kMaxSendPieces = 16;
    long sendPieces(std::span<const std::span<const std::uint8_t>> pieces, bool dontWait = false);
    // Sends everything, repeating short sends on a blocking socket; false on error.
    bool sendAll(std::span<const std::uint8_t> bytes);

    // How many recv calls this socket has made (tests use it to show an idle reader stays idle).
    std::uint64_t receiveCalls() const { return receiveCalls_.load(std::memory_order_relaxed); }

private:
    int fd_ = -1;
    std::uint64_t serial_ = 0;
    // The mode setNonBlocking asked for. On Windows the socket itself is always non-blocking
    // and the calls of a blocking one wait for it.
    bool nonBlocking_ = false;
    std::atomic<std::uint64_t> receiveCalls_{0};
};

}  // namespace kestrane
