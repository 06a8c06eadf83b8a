// lan_servers.h -- whole servers in this process for the LAN list's tests, each with its
// main loop on a thread.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "client/app/lan_browser.h"
#include "server/server.h"

namespace kestrane::testing {

class RunningServer {
public:
    // On a free loopback TCP port; `discoveryPort` 0 keeps it off the shared port.
    RunningServer(const std::string& name, std::uint16_t discoveryPort) {
        ServerOptions options;
        options.port = 0;
        options.bindAddress = Ipv4Address::loopback();
        options.closingPause = std::chrono::milliseconds(0);
        options.name = name;
        options.discoveryPort = discoveryPort;
        server_ = std::make_unique<Server>(options);
        started_ = server_->start();
        if (started_) {
            loop_ = std::thread([this] {
                while (!server_->exitRequested()) {
                    server_->pollNetwork(20);
                }
            });
        }
    }
    ~RunningServer() {
        if (started_) {
            server_->requestExit();
            loop_.join();
        }
    }
    bool started() const { return started_; }
    Server& server() { return *server_; }
    // Where its own status port is reached.
    Endpoint statusEndpoint() { return {Ipv4Address::loopback(), server_->statusResponder().ports()[0]}; }

private:
    std::unique_ptr<Server> server_;
    bool started_ = false;
    std::thread loop_;
};

// Steps `browser` on the real clock until `done` holds or `limit` passes; false on time-out.
inline bool browseUntil(LanBrowser& browser, const std::function<bool()>& done,
                        std::chrono::milliseconds limit = std::chrono::seconds(3)) {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        browser.update(elapsed.count());
        if (done()) {
            return true;
        }
        if (elapsed > limit) {
            return false;
        }
        browser.waitForAnswer(10);
    }
}

}  // namespace kestrane::testing
