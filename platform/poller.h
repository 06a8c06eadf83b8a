// poller.h -- waiting on the readiness of several sockets and a wake event at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kestrane {

class TcpSocket;
class UdpSocket;
class WakeEvent;

// What a wait found for one watched socket.
struct Readiness {
    bool readable = false;  // bytes wait, a connection waits (listening socket), or the peer closed
    bool writable = false;  // the socket can take more bytes, or a connect has completed
    bool failed = false;    // an error or hang-up is pending on the socket
    bool any() const { return readable || writable || failed; }
};

// A set of sockets to wait on, rebuilt for each wait (clear, then add); rebuilding allocates
// nothing once the set has reached its size. Not thread-safe: one thread owns it; the wake
// event may be signalled from any thread.
// On Linux the system keeps the set between waits (epoll): a wait tells it only what changed
// since the last one, and costs the sockets that are ready rather than all that are watched,
// so a thread watching hundreds of sockets can wake often.
class Poller {
public:
    Poller();
    ~Poller();
    Poller(Poller&&) noexcept;
    Poller& operator=(Poller&&) noexcept;

    // Forgets every watched socket and the wake event.
    void clear();
    // Watches `socket` for reading and, when asked, for writing; returns its index for
    // readiness(). An invalid socket is watched for nothing.
    std::size_t add(const TcpSocket& socket, bool forWriting = false);
    // Watches only for writing (a connect in progress, a send buffer that was full).
    std::size_t addForWriting(const TcpSocket& socket);
    // Watches a datagram socket for reading. An invalid socket is watched for nothing.
    std::size_t add(const UdpSocket& socket);
    // Also wakes the wait when `event` is signalled. The event must outlive the waits.
    void setWakeEvent(const WakeEvent* event) { wake_ = event; }

    // Waits at most `timeoutMs` (0: just looks, negative: without limit) for any watched
    // socket to be ready or the wake event to be signalled. Returns how many sockets are
    // ready (0 on time-out, on an interrupted wait, or when only the event woke it).
    int wait(int timeoutMs);

    Readiness readiness(std::size_t index) const;
    // Whether the last wait found the wake event signalled.
    bool woken() const { return woken_; }
    std::size_t size() const { return entries_.size(); }

private:
    struct Entry {
        int fd;
        std::uint64_t serial;
        std::uint32_t events;
        std::uint32_t revents;
    };
    // What the system keeps between waits, where it keeps anything.
    struct KernelSet;

    std::vector<Entry> entries_;
    const WakeEvent* wake_ = nullptr;
    bool woken_ = false;
    std::unique_ptr<KernelSet> kernel_;
};

// Waits at most `timeoutMs` for one socket; the readiness found (nothing on time-out).
Readiness waitForSocket(const TcpSocket& socket, bool forWriting, int timeoutMs);

}  // namespace kestrane
