// stop_signals.h -- the operator's requests to end a program: Ctrl+C and SIGTERM, and on Windows
// Ctrl+Break and the closing of the console window.
#pragma once

#include <chrono>

namespace kestrane {

// A send on a connection or pipe the other end has closed fails with an error instead of
// ending the process (SIGPIPE is ignored; Windows never raises one). Call once at start.
void ignoreBrokenPipes();

// Calls `onStop` whenever the operator asks the program to end. It runs in a signal handler
// (POSIX) or on a thread the system starts (Windows), so it may only do async-signal-safe work:
// set an atomic flag, signal a WakeEvent. When the console window closes, Windows ends the
// process a few seconds after the handler returns, so there the handler does not return: the
// program's own exit sequence runs and main's return ends the process. Null: the default again.
void setStopHandler(void (*onStop)());

// Stop requests taken on one thread by waiting for them, so that no handler runs in the middle
// of anything. Construct it on the main thread before any other thread starts; one per process.
class StopSignals {
public:
    StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Waits at most `timeout` for a stop request; true once one has come.
    bool wait(std::chrono::milliseconds timeout);
    // What came, as the operator knows it ("SIGINT", "Ctrl+C", ...); only after wait() was true.
    const char* name() const;

private:
    int received_ = 0;
};

}  // namespace kestrane
