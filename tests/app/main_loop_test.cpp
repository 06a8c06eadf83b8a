// The main loop's order -- events first, then one packet and a due frame -- and its sleeping.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "client/app/main_loop.h"
#include "client/net/client_session.h"
#include "platform/tcp_socket.h"

namespace kestrane {
namespace {

// A host with a fake clock: events and packets are queued by the test; waiting moves the
// clock on and delivers the next scheduled arrival, if it comes within the wait.
class FakeHost : public MainLoopHost {
public:
    bool handleWaitingEvent() override {
        if (events.empty()) {
            return false;
        }
        handle(events.front());
        events.pop_front();
        return true;
    }
    bool quitRequested() const override { return quit; }
    void dispatchNextPacket() override {
        if (!packets.empty()) {
            log.push_back("P" + std::to_string(packets.front()));
            packets.pop_front();
        }
    }
    bool packetWaiting() const override { return !packets.empty(); }
    bool frameDue() override {
        ++dueQuestions;
        if (now - lastFrame > period) {
            lastFrame = now;
            return true;
        }
        return false;
    }
    void frameTick() override {
        log.push_back("F");
        if (log.size() > 500) {
            quit = true;  // a loop that never ends fails the test instead of hanging it
        }
    }
    double secondsUntilFrame() const override { return lastFrame + period - now; }
    void waitForEvent(int timeoutMs) override {
        log.push_back("W" + std::to_string(timeoutMs));
        EXPECT_GT(timeoutMs, 0);
        const double until = now + timeoutMs / 1000.0;
        if (!arrivals.empty() && arrivals.front().first <= until) {
            now = arrivals.front().first;
            events.push_back(arrivals.front().second);
            arrivals.pop_front();
            handleWaitingEvent();
            return;
        }
        now = until;
    }

    void handle(const std::string& event) {
        log.push_back(event);
        if (event == "quit") {
            quit = true;
        } else if (event == "wake") {
            packets.push_back(nextPacket++);
        }
    }

    double now = 1.0;
    double lastFrame = -1.0;
    double period = 1.0 / 30;
    bool quit = false;
    int nextPacket = 1;
    int dueQuestions = 0;
    std::deque<std::string> events;
    std::deque<int> packets;
    std::deque<std::pair<double, std::string>> arrivals;  // (time, event) delivered while waiting
    std::vector<std::string> log;
};

TEST(MainLoop, EventsComeFirstThenOnePacketPerPassAndAFrameWhenDue) {
    FakeHost host;
    host.events = {"key", "key"};
    host.packets = {1, 2, 3};
    host.arrivals = {{1.5, "quit"}};
    runMainLoop(host);
    const std::vector<std::string> start(host.log.begin(), host.log.begin() + 6);
    // Both events before any packet; the first idle pass applies one packet and runs the
    // first frame; the next passes apply one packet each, the frame not being due again.
    EXPECT_EQ(start, (std::vector<std::string>{"key", "key", "P1", "F", "P2", "P3"}));
    EXPECT_EQ(host.log[6], "W34");  // 1/30 s rounded up: the frame is due on waking
}

TEST(MainLoop, SleepsUntilTheNextFrameAndRunsOneFramePerDueAnswer) {
    FakeHost host;
    host.arrivals = {{1.2, "quit"}};
    runMainLoop(host);
    int frames = 0;
    int waits = 0;
    for (const std::string& entry : host.log) {
        frames += entry == "F";
        waits += entry.starts_with("W");
    }
    // 0.2 s of an idle client: about six frames, and a sleep between every two of them
    // rather than a pass after pass of asking the timer.
    EXPECT_GE(frames, 6);
    EXPECT_LE(frames, 7);
    EXPECT_LE(host.dueQuestions, 2 * frames + 2);
    EXPECT_GE(waits, frames - 1);
}

TEST(MainLoop, APacketArrivingDuringTheSleepIsAppliedAtOnce) {
    FakeHost host;
    host.arrivals = {{1.010, "wake"}, {1.020, "wake"}, {1.050, "quit"}};
    runMainLoop(host);
    // The first frame, a sleep cut short by the wake-up, the packet without waiting for the
    // frame deadline, and the same again for the second.
    const std::vector<std::string> start(host.log.begin(), host.log.begin() + 7);
    EXPECT_EQ(start, (std::vector<std::string>{"F", "W34", "wake", "P1", "W24", "wake", "P2"}));
}

// The server stops reading: the socket fills, what the frames send waits in the session's
// buffer, and the frames (which draw the screen) keep coming, every one of them, until the
// buffer passes its bound and the connection is given up as lost.
TEST(MainLoop, FramesGoOnWhileTheServerHasStoppedReading) {
    class SendingHost : public FakeHost {
    public:
        void frameTick() override {
            ++frames;
            for (int i = 0; i < 20; ++i) {
                session.sendChat("a line the server will never read");
            }
            if (session.outgoingBytes() > 0 && fullAtFrame == 0) {
                fullAtFrame = frames;
            }
            // Where the socket first refuses bytes for a moment (loopback TCP under Wine), the
            // frames go on until the bound is really passed.
            if ((fullAtFrame > 0 && frames >= fullAtFrame + 600 && session.sendingFailed()) || frames >= 100000) {
                quit = true;
            }
        }
        void flushOutgoing() override {
            ++flushes;
            session.flushOutgoing();
        }
        ClientSession session;
        int frames = 0;
        int fullAtFrame = 0;
        int flushes = 0;
    };
    SendingHost host;
    auto sockets = TcpSocket::pair();
    ASSERT_TRUE(sockets);
    (*sockets)[0].setSendBufferSize(16 * 1024);
    (*sockets)[1].setReceiveBufferSize(16 * 1024);
    host.session.adopt(std::move((*sockets)[0]), 3);
    TcpSocket server = std::move((*sockets)[1]);  // open, and never read
    host.session.setPlayerName("p");

    runMainLoop(host);
    ASSERT_GT(host.fullAtFrame, 0) << "the socket never filled";
    EXPECT_GE(host.frames, host.fullAtFrame + 600);
    EXPECT_LT(host.frames, 100000);
    EXPECT_GE(host.flushes, host.frames);
    EXPECT_TRUE(host.session.sendingFailed());  // the buffer passed its bound on the way
    EXPECT_LE(host.session.outgoingBytes(), kMaxOutgoingBytes);
}

TEST(MainLoop, WaitsAreRoundedUpAndBounded) {
    EXPECT_EQ(waitMilliseconds(0.0), 0);
    EXPECT_EQ(waitMilliseconds(-0.5), 0);
    EXPECT_EQ(waitMilliseconds(0.0000001), 1);
    EXPECT_EQ(waitMilliseconds(0.0333), 34);
    EXPECT_EQ(waitMilliseconds(0.033), 33);
    EXPECT_EQ(waitMilliseconds(3600.0), 100);  // a clock that jumped does not stall the loop
}

}  // namespace
}  // namespace kestrane
