// stop_signals.cpp -- SIGINT and SIGTERM: a handler, or blocked in every thread and waited for.
#include "platform/stop_signals.h"

#include <signal.h>

#include <atomic>
#include <ctime>

namespace kestrane {

namespace {

std::atomic<void (*)()> stopHandler{nullptr};

void onStopSignal(int) {
    if (void (*handler)() = stopHandler.load()) {
        handler();
    }
}

sigset_t stopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void ignoreBrokenPipes() { signal(SIGPIPE, SIG_IGN); }

void setStopHandler(void (*onStop)()) {
    stopHandler = onStop;
    struct sigaction action {};
    action.sa_handler = onStop != nullptr ? onStopSignal : SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

StopSignals::StopSignals() {
    const sigset_t set = stopSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);  // before any thread starts: they inherit it
}

bool StopSignals::wait(std::chrono::milliseconds timeout) {
    if (received_ != 0) {
        return true;
    }
    const sigset_t set = stopSet();
    timespec wait{};
    wait.tv_sec = static_cast<time_t>(timeout.count() / 1000);
    wait.tv_nsec = static_cast<long>(timeout.count() % 1000) * 1000000L;
    const int number = sigtimedwait(&set, nullptr, &wait);
    if (number > 0) {
        received_ = number;
    }
    return received_ != 0;
}

const char* StopSignals::name() const { return received_ == SIGINT ? "SIGINT" : "SIGTERM"; }

}  // namespace kestrane
