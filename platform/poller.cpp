// poller.cpp -- epoll(7) behind Poller, with poll(2) for single waits and as the fallback.
#include "platform/poller.h"

#include <poll.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <limits>

#include "platform/poller_events.h"
#include "platform/wake_event.h"

namespace kestrane {

namespace {

using poller_events::kRead;
using poller_events::kWrite;

constexpr std::uint32_t kFailEvents = EPOLLERR | EPOLLHUP;
// The registration of the wake event, past any socket's index.
constexpr std::size_t kWakeIndex = std::numeric_limits<std::uint32_t>::max();
// Smaller sets are polled: keeping one costs more system calls than it saves (the client's
// receive thread, a single socket's wait).
constexpr std::size_t kKeptFromEntries = 3;

// epoll's and poll's flags for the same conditions are the same bits on Linux; the poll path
// below passes them through.
static_assert(EPOLLIN == POLLIN && EPOLLOUT == POLLOUT && EPOLLRDHUP == POLLRDHUP && EPOLLERR == POLLERR &&
              EPOLLHUP == POLLHUP);

// The poll set of the calling thread's last poll(2) wait, kept so that waiting allocates nothing.
thread_local std::vector<pollfd> pollSet;

// What an event carries back: the descriptor, and the low half of the serial of the socket it
// was registered for, so that an event of a socket since closed is not taken for its
// successor on the same descriptor.
std::uint64_t eventTag(int fd, std::uint64_t serial) {
    return static_cast<std::uint32_t>(fd) | (serial << 32);
}

}  // namespace

// The kernel's set, and for each descriptor in it which socket it was registered for, with
// what interest, and where that socket stands in the current wait's entries.
struct Poller::KernelSet {
    struct Registration {
        std::uint64_t serial = 0;  // 0: not in the kernel's set
        std::uint32_t events = 0;
        std::uint64_t round = 0;  // the last wait that watched it
        std::size_t index = 0;
    };

    int epollFd = -1;
    bool broken = false;  // the system refused a set: poll(2) from then on
    std::uint64_t round = 0;
    std::vector<Registration> byFd;
    std::vector<int> registered;  // the descriptors in the kernel's set
    std::vector<int> stillRegistered;
    std::vector<epoll_event> ready;

    KernelSet() : epollFd(::epoll_create1(EPOLL_CLOEXEC)), broken(epollFd < 0) {}
    ~KernelSet() {
        if (epollFd >= 0) {
            ::close(epollFd);
        }
    }
    KernelSet(const KernelSet&) = delete;
    KernelSet& operator=(const KernelSet&) = delete;

    // Makes the kernel's registration of `fd` the socket `serial` with `events`; false when a
    // wait cannot rely on it (the descriptor was refused, or one socket came twice).
    bool watch(int fd, std::uint64_t serial, std::uint32_t events, std::size_t index) {
        if (static_cast<std::size_t>(fd) >= byFd.size()) {
            byFd.resize(static_cast<std::size_t>(fd) + 1);
        }
        Registration& entry = byFd[static_cast<std::size_t>(fd)];
        if (entry.serial == serial && entry.round == round) {
            return false;  // the same socket twice in one wait: poll(2) answers that one
        }
        epoll_event event{};
        event.events = events;
        event.data.u64 = eventTag(fd, serial);
        if (entry.serial == serial) {
            if (entry.events != events && ::epoll_ctl(epollFd, EPOLL_CTL_MOD, fd, &event) != 0) {
                return false;
            }
        } else {
            if (entry.serial != 0) {
                // Another socket had this number; closing it left the set already, unless
                // another process still holds it, in which case it leaves now.
                ::epoll_ctl(epollFd, EPOLL_CTL_DEL, fd, nullptr);
            } else {
                registered.push_back(fd);
            }
            if (::epoll_ctl(epollFd, EPOLL_CTL_ADD, fd, &event) != 0 &&
                (errno != EEXIST || ::epoll_ctl(epollFd, EPOLL_CTL_MOD, fd, &event) != 0)) {
                entry = {};  // not in the set: forgetUnwatched() drops it from the list
                return false;
            }
        }
        entry = {serial, events, round, index};
        return true;
    }

    // Takes every socket the current wait did not watch out of the kernel's set.
    void forgetUnwatched() {
        stillRegistered.clear();
        for (const int fd : registered) {
            Registration& entry = byFd[static_cast<std::size_t>(fd)];
            if (entry.serial == 0) {
                continue;
            }
            if (entry.round != round) {
                ::epoll_ctl(epollFd, EPOLL_CTL_DEL, fd, nullptr);  // fails harmlessly once closed
                entry = {};
                continue;
            }
            stillRegistered.push_back(fd);
        }
        registered.swap(stillRegistered);
    }

    // The registration an event belongs to, or nothing for a stale one.
    const Registration* find(std::uint64_t tag) const {
        const std::size_t fd = static_cast<std::uint32_t>(tag);
        if (fd >= byFd.size()) {
            return nullptr;
        }
        const Registration& entry = byFd[fd];
        const bool current = entry.serial != 0 && entry.round == round && (entry.serial << 32) == (tag & ~0xffffffffull);
        return current ? &entry : nullptr;
    }
};

// Here rather than with the shared parts: they need the KernelSet above complete.
Poller::Poller() = default;
Poller::~Poller() = default;
Poller::Poller(Poller&&) noexcept = default;
Poller& Poller::operator=(Poller&&) noexcept = default;

int Poller::wait(int timeoutMs) {
    woken_ = false;
    for (Entry& entry : entries_) {
        entry.revents = 0;
    }
    if (!kernel_ && entries_.size() >= kKeptFromEntries) {
        kernel_ = std::make_unique<KernelSet>();
    }
    if (kernel_ && !kernel_->broken) {
        KernelSet& set = *kernel_;
        ++set.round;
        bool usable = true;
        for (std::size_t i = 0; i < entries_.size() && usable; ++i) {
            const Entry& entry = entries_[i];
            usable = entry.fd < 0 || set.watch(entry.fd, entry.serial, entry.events, i);
        }
        if (usable && wake_ != nullptr && wake_->fd() >= 0) {
            usable = set.watch(wake_->fd(), wake_->serial(), EPOLLIN, kWakeIndex);
        }
        set.forgetUnwatched();
        if (usable) {
            set.ready.resize(set.registered.size() + 1);
            const int count = ::epoll_wait(set.epollFd, set.ready.data(), static_cast<int>(set.ready.size()), timeoutMs);
            int socketsReady = 0;
            for (int i = 0; i < count; ++i) {
                const KernelSet::Registration* found = set.find(set.ready[static_cast<std::size_t>(i)].data.u64);
                if (found == nullptr) {
                    continue;
                }
                if (found->index == kWakeIndex) {
                    woken_ = (set.ready[static_cast<std::size_t>(i)].events & EPOLLIN) != 0;
                    continue;
                }
                entries_[found->index].revents = set.ready[static_cast<std::size_t>(i)].events;
                ++socketsReady;
            }
            return socketsReady;
        }
        // A descriptor the kernel's set refused (not a socket, or closed under us), or one
        // socket added twice: this wait goes through poll(2), which reports each entry.
    }

    pollSet.clear();
    for (const Entry& entry : entries_) {
        pollSet.push_back({entry.fd, static_cast<short>(entry.events), 0});
    }
    if (wake_ != nullptr) {
        pollSet.push_back({wake_->fd(), POLLIN, 0});
    }
    const int ready = ::poll(pollSet.data(), pollSet.size(), timeoutMs);
    int socketsReady = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        entries_[i].revents = ready > 0 ? static_cast<std::uint16_t>(pollSet[i].revents) : 0;
        socketsReady += entries_[i].revents != 0 ? 1 : 0;
    }
    if (wake_ != nullptr && ready > 0) {
        woken_ = (pollSet.back().revents & POLLIN) != 0;
    }
    return socketsReady;
}

Readiness Poller::readiness(std::size_t index) const {
    const std::uint32_t revents = entries_.at(index).revents;
    Readiness result;
    result.readable = (revents & kRead) != 0;
    result.writable = (revents & kWrite) != 0;
    result.failed = (revents & (kFailEvents | POLLNVAL)) != 0;
    return result;
}

}  // namespace kestrane
