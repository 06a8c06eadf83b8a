// The kestrane-client program end to end under SDL's offscreen driver: a real server, two
// scripted clients that join, walk, fire and chat, one that closes its window, and what the
// other one and the server's side of each connection see. Also its failures.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/player_info.h"
#include "common/protocol.h"
#include "platform/text_encoding.h"
#include "tests/support/child_process.h"
#include "tests/app/tap_proxy.h"

namespace kestrane::testing {
namespace {

using namespace std::chrono_literals;

// Clients under the offscreen video driver (which draws in software), silent, and with
// their message boxes as stderr lines.
const std::map<std::string, std::optional<std::string>> kHeadlessClient = {
    {"SDL_VIDEODRIVER", "offscreen"},
    {"SDL_AUDIODRIVER", "dummy"},
    {"KESTRANE_NO_DIALOGS", "1"},
};

std::string writeFile(const std::string& name, const std::string& text) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / name;
    std::ofstream(path) << text;
    return path.string();
}

std::vector<MsgType> typesOf(const std::vector<TappedPacket>& packets) {
    std::vector<MsgType> types;
    for (const TappedPacket& packet : packets) {
        if (packet.record.msgType() != MsgType::Tick) {
            types.push_back(packet.record.msgType());
        }
    }
    return types;
}

int countOf(const std::vector<TappedPacket>& packets, MsgType type, std::optional<std::uint8_t> sender = {}) {
    int count = 0;
    for (const TappedPacket& packet : packets) {
        count += packet.record.msgType() == type && (!sender || packet.record.header.sender == *sender);
    }
    return count;
}

const TappedPacket* find(const std::vector<TappedPacket>& packets, MsgType type, std::optional<std::uint8_t> sender = {}) {
    for (const TappedPacket& packet : packets) {
        if (packet.record.msgType() == type && (!sender || packet.record.header.sender == *sender)) {
            return &packet;
        }
    }
    return nullptr;
}

std::vector<std::string> chatTexts(const std::vector<TappedPacket>& packets) {
    std::vector<std::string> texts;
    for (const TappedPacket& packet : packets) {
        if (packet.record.msgType() == MsgType::Chat) {
            const auto bytes = packet.record.payloadBytes();
            texts.push_back(cp949ToUtf8(std::string(bytes.begin(), bytes.end())));
        }
    }
    return texts;
}

std::vector<int> steerCodes(const std::vector<TappedPacket>& packets) {
    std::vector<int> codes;
    for (const TappedPacket& packet : packets) {
        if (packet.record.msgType() == MsgType::Steer) {
            codes.push_back(packet.record.payloadBytes()[0]);
        }
    }
    return codes;
}

// A headless server on a free port.
class ServerProgram {
public:
    ServerProgram() : program_(KESTRANE_SERVER_PROGRAM, {"--headless", "--port", "0"}) {
        for (int i = 0; i < 5 && port_ == 0; ++i) {
            const std::optional<std::string> line = program_.nextLine(5s);
            if (!line) {
                break;
            }
            if (const auto at = line->find("Port : "); at != std::string::npos) {
                port_ = static_cast<std::uint16_t>(std::stoi(line->substr(at + 7)));
            }
        }
    }
    ~ServerProgram() {
        program_.signal(SIGTERM);
        program_.waitForExit(10s);
    }
    std::uint16_t port() const { return port_; }

private:
    ChildProcess program_;
    std::uint16_t port_ = 0;
};

ChildProcess client(std::uint16_t port, const std::string& name, const std::string& script) {
    return ChildProcess(KESTRANE_CLIENT_PROGRAM,
                        {"--server", "127.0.0.1:" + std::to_string(port), "--name", name, "--connect", "--windowed",
                         "--script", script},
                        kHeadlessClient);
}

TEST(ClientProgram, TwoPlayersJoinWalkFireChatAndOneLeaves) {
    ServerProgram server;
    ASSERT_NE(server.port(), 0);
    TapProxy aliceLink(server.port());
    TapProxy bobLink(server.port());

    // Alice walks forward, shoots, greets, waits for Bob's answer and closes her window.
    const std::string aliceScript = writeFile("kestrane-alice.txt",
                                              "wait-players 2\n"
                                              "hold up\nwait-frames 30\nhold\nwait-frames 2\n"
                                              "hold space\nwait-frames 2\nhold\n"
                                              "hold f1\nwait-frames 2\nhold\n"
                                              "type hello from Alice\nkey enter\n"
                                              "wait-chat [Bob]\n"
                                              "wait-frames 45\n"
                                              "close\n");
    // Bob turns, walks backward, lays a mine, answers, and watches Alice go.
    const std::string bobScript = writeFile("kestrane-bob.txt",
                                            "wait-players 2\n"
                                            "hold right\nwait-frames 2\nhold\n"
                                            "hold down\nwait-frames 25\nhold\nwait-frames 2\n"
                                            "hold lalt\nwait-frames 2\nhold\n"
                                            "wait-chat hello from Alice\n"
                                            "hold f1\nwait-frames 2\nhold\n"
                                            "type 안녕 Alice\nkey enter\n"
                                            "wait-frames 5\n"
                                            "screenshot client_two_players.png\n"
                                            "wait-players 1\n"
                                            "screenshot client_after_leave.png\n");
    ChildProcess alice = client(aliceLink.port(), "Alice", aliceScript);
    ChildProcess bob = client(bobLink.port(), "Bob", bobScript);

    // Both join and see each other's record.
    const std::optional<std::string> aliceSees = alice.lineStartingWith("script: players 2", 30s);
    ASSERT_TRUE(aliceSees) << alice.errorText();
    const std::optional<std::string> bobSees = bob.lineStartingWith("script: players 2", 30s);
    ASSERT_TRUE(bobSees) << bob.errorText();
    EXPECT_NE(aliceSees->find("Bob"), std::string::npos);
    EXPECT_NE(aliceSees->find("Alice"), std::string::npos);
    EXPECT_NE(bobSees->find("Alice"), std::string::npos);

    // Alice closes her window: exactly one Leave, and her connection closes about two
    // seconds later; the program ends with 0.
    EXPECT_EQ(alice.waitForExit(60s), 0) << alice.errorText();
    ASSERT_TRUE(aliceLink.waitUntil([&] { return aliceLink.clientClosedAt().has_value(); }, 5s));
    const std::vector<TappedPacket> fromAlice = aliceLink.fromClient();
    const std::vector<MsgType> aliceSent = typesOf(fromAlice);
    ASSERT_FALSE(aliceSent.empty());
    EXPECT_EQ(aliceSent.front(), MsgType::Join);
    EXPECT_EQ(aliceSent.back(), MsgType::Leave);
    EXPECT_EQ(countOf(fromAlice, MsgType::Leave), 1);
    const auto grace = *aliceLink.clientClosedAt() - find(fromAlice, MsgType::Leave)->at;
    EXPECT_GE(grace, 1900ms);
    EXPECT_LE(grace, 4000ms);
    // What she did on the way.
    EXPECT_EQ(steerCodes(fromAlice), std::vector<int>{0});
    EXPECT_EQ(countOf(fromAlice, MsgType::Stop), 1);
    ASSERT_EQ(countOf(fromAlice, MsgType::Fire), 1);
    EXPECT_EQ(find(fromAlice, MsgType::Fire)->record.payload[kFireKindOffset], 0);  // a shot
    EXPECT_EQ(chatTexts(fromAlice), std::vector<std::string>{"[Alice] hello from Alice"});
    const std::uint8_t aliceNumber = fromAlice.front().record.header.sender;
    EXPECT_EQ(PlayerInfo::decode(fromAlice.front().record.payloadBytes()).name, makeNameField("Alice"));

    // Bob saw her join, move, shoot and talk, then leave, and took her out of his world.
    const std::optional<std::string> bobAlone = bob.lineStartingWith("script: players 1", 15s);
    ASSERT_TRUE(bobAlone) << bob.errorText();
    EXPECT_EQ(*bobAlone, "script: players 1: Bob");
    const std::vector<TappedPacket> toBob = bobLink.toClient();
    EXPECT_GE(countOf(toBob, MsgType::Join, aliceNumber) + countOf(toBob, MsgType::PlayerState, aliceNumber), 1);
    EXPECT_EQ(countOf(toBob, MsgType::Steer, aliceNumber), 1);
    EXPECT_EQ(countOf(toBob, MsgType::Fire, aliceNumber), 1);
    EXPECT_EQ(countOf(toBob, MsgType::Leave, aliceNumber), 1);
    const std::vector<std::string> bobHeard = chatTexts(toBob);
    EXPECT_NE(std::find(bobHeard.begin(), bobHeard.end(), "[Alice] hello from Alice"), bobHeard.end());
    EXPECT_NE(std::find(bobHeard.begin(), bobHeard.end(), "[Bob] 안녕 Alice"), bobHeard.end());
    const std::vector<TappedPacket> fromBob = bobLink.fromClient();
    EXPECT_EQ(steerCodes(fromBob), (std::vector<int>{2, 4}));
    ASSERT_EQ(countOf(fromBob, MsgType::Fire), 1);
    EXPECT_EQ(find(fromBob, MsgType::Fire)->record.payload[kFireKindOffset], 1);  // a mine
    EXPECT_TRUE(std::filesystem::exists("client_two_players.png"));
    ASSERT_TRUE(bob.lineStartingWith("script: saved client_after_leave.png", 5s));

    // SIGTERM is a close request too.
    bob.signal(SIGTERM);
    EXPECT_EQ(bob.waitForExit(10s), 0) << bob.errorText();
    ASSERT_TRUE(bobLink.waitUntil([&] { return bobLink.clientClosedAt().has_value(); }, 5s));
    const std::vector<TappedPacket> fromBobAtEnd = bobLink.fromClient();
    EXPECT_EQ(countOf(fromBobAtEnd, MsgType::Leave), 1);
    EXPECT_EQ(typesOf(fromBobAtEnd).back(), MsgType::Leave);
    EXPECT_GE(*bobLink.clientClosedAt() - find(fromBobAtEnd, MsgType::Leave)->at, 1900ms);
}

TEST(ClientProgram, BadCommandLinesAndScriptsStopBeforeAnyWindow) {
    ChildProcess help(KESTRANE_CLIENT_PROGRAM, {"--help"});
    EXPECT_EQ(help.waitForExit(10s), 0);
    EXPECT_TRUE(help.output().starts_with("Usage: kestrane-client"));

    ChildProcess half(KESTRANE_CLIENT_PROGRAM, {"--connect", "--name", "Lee"});
    EXPECT_EQ(half.waitForExit(10s), 2);
    EXPECT_NE(half.errorText().find("--connect needs both --server and --name"), std::string::npos);

    const std::string script = writeFile("kestrane-bad-script.txt", "wait-players 2\nhold up jump\n");
    ChildProcess scripted(KESTRANE_CLIENT_PROGRAM, {"--script", script}, kHeadlessClient);
    EXPECT_EQ(scripted.waitForExit(10s), 2);
    EXPECT_NE(scripted.errorText().find("line 2: hold knows no key 'jump'"), std::string::npos);
}

TEST(ClientProgram, WithoutADisplayItSaysSoAndEndsNonZero) {
    ChildProcess program(KESTRANE_CLIENT_PROGRAM, {"--server", "127.0.0.1", "--name", "Lee", "--connect"},
                         {{"SDL_VIDEODRIVER", std::nullopt},
                          {"DISPLAY", std::nullopt},
                          {"WAYLAND_DISPLAY", std::nullopt},
                          {"KESTRANE_NO_DIALOGS", "1"}});
    EXPECT_EQ(program.waitForExit(20s), 3);
    EXPECT_NE(program.errorText().find("no display to open a window on"), std::string::npos);
}

TEST(ClientProgram, ConnectionFailuresShowTheirMessagesAndEnd) {
    // Nobody listening.
    TcpSocket closed = TcpSocket::openStream();
    ASSERT_TRUE(closed.bindAndListen(0, 1, Ipv4Address::loopback()));
    const std::string refusedAddress = "127.0.0.1:" + std::to_string(closed.localPort());
    closed.close();
    ChildProcess refused(KESTRANE_CLIENT_PROGRAM, {"--server", refusedAddress, "--name", "Lee", "--connect"},
                         kHeadlessClient);
    EXPECT_EQ(refused.waitForExit(20s), 1);
    const std::string refusedText = refused.errorText();
    EXPECT_NE(refusedText.find("Orvane Works: Socket Connect Error"), std::string::npos) << refusedText;
    EXPECT_NE(refusedText.find("Orvane Works: 프로그램을 종료합니다."), std::string::npos) << refusedText;

    // Something that is not a game server answers.
    TcpSocket listener = TcpSocket::openStream();
    ASSERT_TRUE(listener.bindAndListen(0, 1, Ipv4Address::loopback()));
    std::thread impostor([&listener] {
        if (listener.waitReadable(20000)) {
            TcpSocket peer = listener.accept();
            const std::uint8_t notAWelcome[4] = {'H', 'T', 'T', 'P'};
            peer.sendAll(notAWelcome);
            peer.waitReadable(5000);  // until the client hangs up
        }
    });
    ChildProcess wrong(KESTRANE_CLIENT_PROGRAM,
                       {"--server", "127.0.0.1:" + std::to_string(listener.localPort()), "--name", "Lee", "--connect"},
                       kHeadlessClient);
    EXPECT_EQ(wrong.waitForExit(20s), 1);
    impostor.join();
    EXPECT_NE(wrong.errorText().find("Orvane Works: 잘못된 서버를 지명하였습니다."), std::string::npos);
}

}  // namespace
}  // namespace kestrane::testing
