// stop_signals_windows.cpp -- the console's control events (Ctrl+C, Ctrl+Break, close) as stop requests.
#include "platform/stop_signals.h"

#include <atomic>

#include "platform/winsock_headers.h"

namespace kestrane {

namespace {

std::atomic<void (*)()> stopHandler{nullptr};

// For StopSignals: the first event that came, and a manual-reset event the waiter waits on.
std::atomic<DWORD> receivedEvent{0};
constexpr DWORD kNoEvent = 0xFFFFFFFFu;
HANDLE stopEvent() {
    static const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

bool endsTheProcess(DWORD type) {
    return type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT;
}

BOOL WINAPI onConsoleEvent(DWORD type) {
    void (*handler)() = stopHandler.load();
    if (handler == nullptr) {
        return FALSE;
    }
    handler();
    if (endsTheProcess(type)) {
        // Returning would let Windows end the process now; main's return ends it instead.
        Sleep(INFINITE);
    }
    return TRUE;
}

BOOL WINAPI onConsoleEventForWaiter(DWORD type) {
    DWORD expected = kNoEvent;
    receivedEvent.compare_exchange_strong(expected, type);
    SetEvent(stopEvent());
    if (endsTheProcess(type)) {
        Sleep(INFINITE);
    }
    return TRUE;
}

}  // namespace

void ignoreBrokenPipes() {}

void setStopHandler(void (*onStop)()) {
    stopHandler = onStop;
    if (onStop != nullptr) {
        SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    } else {
        SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    }
}

StopSignals::StopSignals() {
    receivedEvent = kNoEvent;
    stopEvent();
    SetConsoleCtrlHandler(onConsoleEventForWaiter, TRUE);
}

bool StopSignals::wait(std::chrono::milliseconds timeout) {
    if (received_ != 0) {
        return true;
    }
    WaitForSingleObject(stopEvent(), static_cast<DWORD>(timeout.count()));
    const DWORD type = receivedEvent.load();
    if (type != kNoEvent) {
        received_ = static_cast<int>(type) + 1;
    }
    return received_ != 0;
}

const char* StopSignals::name() const {
    switch (received_ - 1) {
        case CTRL_C_EVENT: return "Ctrl+C";
        case CTRL_BREAK_EVENT: return "Ctrl+Break";
        case CTRL_CLOSE_EVENT: return "the console's close";
        default: return "the session's end";
    }
}

}  // namespace kestrane
