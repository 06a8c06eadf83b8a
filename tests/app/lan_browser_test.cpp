// The login dialog's LAN list: what answers do to it, two servers of one host found through
// the shared discovery port, and a real broadcast between two network namespaces.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "lan_servers.h"
#include "tests/support/child_process.h"

namespace kestrane::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes answerBytes(std::uint32_t token, std::uint32_t instance, const std::string& name, std::uint16_t port,
                  std::uint16_t players = 2) {
    StatusAnswer answer;
    answer.token = token;
    answer.instance = instance;
    answer.players = players;
    answer.limit = 255;
    answer.port = port;
    answer.name = name;
    answer.version = "0.1.0";
    return encodeStatusAnswer(answer, kStatusQuerySize).value();
}

std::vector<std::string> listed(const LanBrowser& browser) {
    std::vector<std::string> rows;
    for (const LanServer& server : browser.servers()) {
        rows.push_back(server.name + " " + std::to_string(server.players) + "/" + std::to_string(server.limit) + " " +
                       server.game.address.toString() + ":" + std::to_string(server.game.port) + " " +
                       roundTripText(server.roundTripSeconds));
    }
    return rows;
}

TEST(LanBrowser, AnswersMakeTheListOncePerServerByNameAndUnheardOnesLeaveIt) {
    LanBrowser browser([] { return std::vector<Endpoint>{}; });
    ASSERT_TRUE(browser.open());
    browser.update(100.0);  // a round to nowhere: its token is what answers must carry
    const std::uint32_t token = browser.roundToken();
    const Endpoint loopback{Ipv4Address::loopback(), 5001};
    const Endpoint lan{{{192, 168, 0, 7}}, 5001};
    const Endpoint other{{{192, 168, 0, 9}}, 5001};

    browser.takeAnswer(answerBytes(token, 1, "Zeta", 5001), loopback, 100.0004);
    browser.takeAnswer(answerBytes(token, 1, "Zeta", 5001, 3), lan, 100.002);  // the same server, on the LAN
    browser.takeAnswer(answerBytes(token, 2, "Alpha", 5002), other, 100.015);
    browser.takeAnswer(answerBytes(token + 1, 3, "Old round", 5001), other, 100.02);
    browser.takeAnswer(Bytes{'K', 'S', 'T', 'A'}, other, 100.02);
    browser.takeAnswer(encodeStatusQuery({token, false}), other, 100.02);
    EXPECT_EQ(listed(browser), (std::vector<std::string>{"Alpha 2/255 192.168.0.9:5002 15 ms",
                                                          "Zeta 3/255 192.168.0.7:5001 0.4 ms"}));
    EXPECT_EQ(serverFieldText(browser.servers()[0]), "192.168.0.9:5002");
    EXPECT_EQ(serverFieldText(browser.servers()[1]), "192.168.0.7");  // the usual port goes without saying

    browser.takeAnswer(answerBytes(token, 1, "Zeta", 5001), loopback, 100.003);  // stays under its LAN address
    EXPECT_EQ(browser.servers()[1].game, lan);

    // Next round: only Alpha answers. Zeta stays until it has been unheard for ten seconds.
    browser.update(103.0);
    browser.takeAnswer(answerBytes(browser.roundToken(), 2, "Alpha", 5002), other, 103.001);
    browser.update(110.0);
    EXPECT_EQ(browser.servers().size(), 2u);
    browser.update(110.1);
    EXPECT_EQ(listed(browser), (std::vector<std::string>{"Alpha 2/255 192.168.0.9:5002 1.0 ms"}));
}

TEST(LanBrowser, TwoServersOfOneHostAreBothFoundThroughTheSharedPort) {
    RunningServer first("First Hall", kDiscoveryPort);
    RunningServer second("Second Hall", kDiscoveryPort);
    ASSERT_TRUE(first.started() && second.started());
    if (first.server().statusResponder().ports()[1] != kDiscoveryPort) {
        GTEST_SKIP() << "UDP port 5001 cannot be bound on this machine (another program holds it without "
                        "address reuse): the shared discovery port is not tested here";
    }
    ASSERT_EQ(second.server().statusResponder().ports()[1], kDiscoveryPort) << "the second server could not share it";
    ASSERT_NE(first.server().port(), second.server().port());
    // Only the shared port is asked, through the loopback broadcast: each answer comes from it.
    LanBrowser browser([] { return std::vector<Endpoint>{{loopbackBroadcast(), kDiscoveryPort}}; });
    ASSERT_TRUE(browser.open());
    const auto has = [&](const std::string& name, std::uint16_t port) {
        for (const LanServer& server : browser.servers()) {
            if (server.name == name && server.game.port == port && server.game.address == Ipv4Address::loopback()) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(browseUntil(browser, [&] {
        return has("First Hall", first.server().port()) && has("Second Hall", second.server().port());
    })) << ::testing::PrintToString(listed(browser));
}

// Two network namespaces joined by a veth pair: the server runs in one, the browser in the
// other, and the browser finds it by broadcasting on the interfaces it sees.
class NetworkNamespaces : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "network namespaces need root: the broadcast between two of them is not tested here";
        }
        for (const char* candidate : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"}) {
            if (std::filesystem::exists(candidate)) {
                ip_ = candidate;
                break;
            }
        }
        if (ip_.empty()) {
            GTEST_SKIP() << "no ip program (iproute2): the broadcast between network namespaces is not tested here";
        }
        const std::string id = std::to_string(getpid() % 100000);
        server_ = "kst-lan-s" + id;
        client_ = "kst-lan-c" + id;
        if (!run({"netns", "add", server_})) {
            GTEST_SKIP() << "network namespaces are not allowed here: the broadcast between them is not tested";
        }
        made_ = true;
        const std::string serverLink = "kls" + id;
        const std::string clientLink = "klc" + id;
        ASSERT_TRUE(run({"netns", "add", client_}));
        ASSERT_TRUE(run({"link", "add", serverLink, "netns", server_, "type", "veth", "peer", "name", clientLink,
                         "netns", client_}));
        ASSERT_TRUE(run({"-n", server_, "addr", "add", "10.218.0.1/24", "brd", "+", "dev", serverLink}));
        ASSERT_TRUE(run({"-n", client_, "addr", "add", "10.218.0.2/24", "brd", "+", "dev", clientLink}));
        for (const auto& [space, link] : {std::pair{server_, serverLink}, std::pair{client_, clientLink}}) {
            ASSERT_TRUE(run({"-n", space, "link", "set", link, "up"}));
            ASSERT_TRUE(run({"-n", space, "link", "set", "lo", "up"}));
        }
    }
    void TearDown() override {
        if (made_) {
            run({"netns", "del", server_});  // the veth pair goes with it
            run({"netns", "del", client_});
        }
    }
    bool run(std::vector<std::string> arguments) {
        ChildProcess program(ip_, std::move(arguments));
        return program.waitForExit() == 0;
    }

    std::string ip_;
    std::string server_;
    std::string client_;
    bool made_ = false;
};

TEST_F(NetworkNamespaces, BroadcastOnARealInterfaceFindsTheServer) {
    ChildProcess program(ip_, {"netns", "exec", server_, KESTRANE_SERVER_PROGRAM, "--headless", "--port", "0",
                               "--name", "Namespace Hall"});
    std::optional<std::string> line;
    do {  // time-stamped log lines, up to "Port : N"
        line = program.nextLine();
    } while (line && line->find(" Port : ") == std::string::npos);
    ASSERT_TRUE(line) << program.errorText();
    const auto port = static_cast<std::uint16_t>(std::stoi(line->substr(line->find(" Port : ") + 8)));

    // Namespaces belong to threads: this one moves into the client's and browses there.
    std::vector<std::string> found;
    std::vector<Endpoint> targets;
    std::thread browsing([&] {
        const int space = ::open(("/var/run/netns/" + client_).c_str(), O_RDONLY | O_CLOEXEC);
        if (space < 0 || setns(space, CLONE_NEWNET) != 0) {
            return;
        }
        ::close(space);
        targets = LanBrowser::everyLocalNetwork();
        LanBrowser browser;
        if (browser.open()) {
            browseUntil(browser, [&] { return !browser.servers().empty(); });
            found = listed(browser);
        }
    });
    browsing.join();
    EXPECT_NE(std::find(targets.begin(), targets.end(), Endpoint{{{10, 218, 0, 255}}, kDiscoveryPort}), targets.end());
    ASSERT_EQ(found.size(), 1u) << program.errorText();
    EXPECT_TRUE(found[0].starts_with("Namespace Hall 0/255 10.218.0.1:" + std::to_string(port) + " ")) << found[0];
}

}  // namespace
}  // namespace kestrane::testing
