// main_loop.h -- the order in which the client's main thread serves window events, packets
// and frames, and how it waits when there is nothing to do.
#pragma once

namespace kestrane {

// What the main loop works on. The client program implements it over SDL and its world;
// tests implement it with counters.
class MainLoopHost {
public:
    virtual ~MainLoopHost() = default;

    // Takes one waiting window event, if any, and handles it; true when there was one.
    virtual bool handleWaitingEvent() = 0;
    // True once the window's close request (or a signal) has been handled.
    virtual bool quitRequested() const = 0;
    // Applies the front queued packet, if any (one per call).
    virtual void dispatchNextPacket() = 0;
    virtual bool packetWaiting() const = 0;
    // Asks the frame timer whether a frame is due (re-arming it when it is).
    virtual bool frameDue() = 0;
    virtual void frameTick() = 0;
    // Hands the connection what waits for the server, without waiting (sends never block the
    // game; a server that has stopped reading only lets the buffer grow).
    virtual void flushOutgoing() {}
    // Seconds until the frame timer will next answer yes; 0 or less when it would now.
    virtual double secondsUntilFrame() const = 0;
    // Blocks for at most `timeoutMs` until a window event arrives (a queued packet posts one
    // to wake this thread) and handles the event if one came.
    virtual void waitForEvent(int timeoutMs) = 0;
};

// The main loop, until quitRequested(). Each pass: a waiting window event is handled first
// and nothing else; otherwise one queued packet is applied, when the frame timer is due one
// frame runs, and the outgoing buffer is flushed. When no packet waits afterwards the thread
// sleeps until the next window event, packet or frame deadline, so an idle client uses no
// processor time.
void runMainLoop(MainLoopHost& host);

// The wait, in whole milliseconds, that reaches `seconds` from now: rounded up, so the frame
// timer finds its interval passed on waking; 0 when the moment has come.
int waitMilliseconds(double seconds);

}  // namespace kestrane
