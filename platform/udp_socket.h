// udp_socket.h -- one UDP/IPv4 socket for the status queries, and where to broadcast them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/tcp_socket.h"

namespace kestrane {

// An IPv4 address and a UDP or TCP port.
struct Endpoint {
    Ipv4Address address;
    std::uint16_t port = 0;
    friend bool operator==(const Endpoint&, const Endpoint&) = default;
};

// What one receive found.
struct UdpReceive {
    enum class Status {
        Datagram,  // one datagram: `size` bytes from `from`
        Empty,     // nothing waits (the socket is non-blocking)
        Failed,    // an error; try again on a later pass
    };
    Status status = Status::Empty;
    std::size_t size = 0;    // the datagram's full size, even when it did not fit the buffer
    bool truncated = false;  // larger than the buffer: only the first bytes are in it
    Endpoint from;
};

// Owns one non-blocking IPv4 datagram socket and closes it on destruction. Move-only.
// One thread at a time.
class UdpSocket {
public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(UdpSocket&& other) noexcept;
    UdpSocket& operator=(UdpSocket&& other) noexcept;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // A new, unbound, non-blocking socket; invalid on failure.
    static UdpSocket open();

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // Tells this socket from any other that had or will have the same descriptor number.
    std::uint64_t serial() const { return serial_; }
    void close();

    // Lets several sockets of this host bind the same port; each gets its own copy of every
    // broadcast sent there (a datagram sent to one address reaches only one of them).
    bool setReuseAddress(bool on);
    // Allows sending to broadcast addresses.
    bool setBroadcast(bool on);
    // Binds to `port` (0 picks a free one) on `address`, by default every local address.
    bool bind(std::uint16_t port, std::optional<Ipv4Address> address = std::nullopt);
    // The port this socket is bound to, 0 when unknown.
    std::uint16_t localPort() const;

    // Sends one datagram; true when the system took all of it.
    bool sendTo(std::span<const std::uint8_t> bytes, const Endpoint& to);
    // Takes the next waiting datagram into `buffer` without waiting.
    UdpReceive receiveFrom(std::span<std::uint8_t> buffer);
    // Waits at most `timeoutMs` for a datagram; true when one waits.
    bool waitReadable(int timeoutMs) const;

private:
    explicit UdpSocket(int fd) : fd_(fd), serial_(fd >= 0 ? nextSocketSerial() : 0) {}
    int fd_ = -1;
    std::uint64_t serial_ = 0;
};

// The broadcast address of every network interface that is up and can broadcast (loopback
// left out), each once, in the system's order.
std::vector<Ipv4Address> localBroadcastAddresses();

// The broadcast address of the loopback network: every server of this host hears it.
inline Ipv4Address loopbackBroadcast() { return {{127, 255, 255, 255}}; }

}  // namespace kestrane
