// The login dialog's decisions, driven without a window.
#include <gtest/gtest.h>

#include "client/app/login_dialog.h"
#include "platform/message_box.h"

namespace kestrane {
namespace {

class LoginDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        listener = TcpSocket::openStream();
        ASSERT_TRUE(listener.bindAndListen(0, 5, Ipv4Address::loopback()));
        ASSERT_TRUE(dialog.open());
    }
    std::string goodAddress() const { return "127.0.0.1:" + std::to_string(listener.localPort()); }
    void pollUntilDecided() {
        for (int i = 0; i < 50 && !dialog.controlsEnabled() && dialog.outcome() == LoginDialog::Outcome::Open; ++i) {
            dialog.checkConnect(100);
        }
    }

    MessageBoxCapture boxes;
    TcpSocket listener;
    ClientSession session;
    LoginDialog dialog{session};
};

TEST_F(LoginDialogTest, NameFieldStartsWithTheDefaultName) {
    EXPECT_EQ(dialog.playerName, "이름");
    EXPECT_TRUE(dialog.controlsEnabled());
}

TEST_F(LoginDialogTest, EmptyNameAsksForOneAndLeavesTheDialogAsItWas) {
    dialog.playerName = "";
    dialog.serverIp = goodAddress();
    dialog.pressConnect();
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"Write Your Player Name"}));
    EXPECT_TRUE(dialog.controlsEnabled());
    EXPECT_EQ(dialog.outcome(), LoginDialog::Outcome::Open);
    EXPECT_EQ(nameText(session.playerName()), "");
}

TEST_F(LoginDialogTest, LongNamesAreCutToTwentyBytesOfCodePage949) {
    dialog.playerName = std::string(25, 'x');
    dialog.serverIp = goodAddress();
    dialog.pressConnect();
    EXPECT_EQ(nameText(session.playerName()), std::string(20, 'x'));

    ClientSession other;
    LoginDialog korean(other);
    ASSERT_TRUE(korean.open());
    korean.playerName = "가나다라마바사아자차카";  // 11 syllables, 22 bytes in code page 949
    korean.serverIp = goodAddress();
    korean.pressConnect();
    EXPECT_EQ(nameText(other.playerName()).size(), 20u);
}

TEST_F(LoginDialogTest, ConnectDisablesTheControlsUntilTheConnectionCompletes) {
    dialog.playerName = "Lee";
    dialog.serverIp = goodAddress();
    dialog.pressConnect();
    EXPECT_FALSE(dialog.controlsEnabled());
    EXPECT_EQ(dialog.outcome(), LoginDialog::Outcome::Open);  // not ended by the press itself
    pollUntilDecided();
    EXPECT_EQ(dialog.outcome(), LoginDialog::Outcome::Connected);
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(LoginDialogTest, UnknownHostKeepsTheControlsEnabledForAnotherTry) {
    dialog.playerName = "Lee";
    dialog.serverIp = "no-such-host.invalid";
    dialog.pressConnect();
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"FIND Host Name Error In DNS"}));
    EXPECT_TRUE(dialog.controlsEnabled());

    dialog.serverIp = goodAddress();
    dialog.pressConnect();
    pollUntilDecided();
    EXPECT_EQ(dialog.outcome(), LoginDialog::Outcome::Connected);
}

TEST_F(LoginDialogTest, RefusedConnectionReportsAndReenablesTheControls) {
    const std::string refused = "127.0.0.1:" + std::to_string(listener.localPort());
    listener.close();
    dialog.playerName = "Lee";
    dialog.serverIp = refused;
    dialog.pressConnect();
    pollUntilDecided();
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"Socket Connect Error"}));
    EXPECT_TRUE(dialog.controlsEnabled());
    EXPECT_EQ(dialog.outcome(), LoginDialog::Outcome::Open);
}

TEST_F(LoginDialogTest, ExitClosesTheDialog) {
    dialog.pressExit();
    EXPECT_EQ(dialog.outcome(), LoginDialog::Outcome::Closed);
    EXPECT_FALSE(session.socket().valid());
}

}  // namespace
}  // namespace kestrane
