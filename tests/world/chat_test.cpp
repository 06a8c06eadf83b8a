// The chat history on screen, the typed line with its caret, and the chat box's editing.
#include <gtest/gtest.h>

#include "platform/text_encoding.h"
#include "tests/world/world_fixture.h"

namespace kestrane::testing {
namespace {

// How many chat lines (texts at x 20 above the typed line) the last frame drew.
int chatLinesDrawn(const DrawLog& log) {
    int lines = 0;
    for (const DrawLog::Text& text : log.texts) {
        lines += text.x == kChatLeft && text.y < kChatInputTop;
    }
    return lines;
}

// The chat history's part of a frame: trimmed, drawn, aged.
void chatFrame(WorldClient& client) {
    trimChatLines(client.world);
    drawChatLines(client.world, client.media);
    ageChatLines(client.world);
}

// The typed line's part of a frame while the box is open.
void inputFrame(WorldClient& client) {
    refreshChatInput(client.world);
    drawChatInput(client.world, client.media);
}

TEST(ChatLines, ABurstIsTrimmedOneLinePerFrameAndDrawnSixteenPixelsApart) {
    WorldClient client(1);
    for (int i = 0; i < 12; ++i) {
        client.receive({chatPacket(2, "line " + std::to_string(i))});
    }
    std::vector<int> drawn;
    for (int frame = 0; frame < 3; ++frame) {
        client.log.clear();
        chatFrame(client);
        drawn.push_back(chatLinesDrawn(client.log));
    }
    EXPECT_EQ(drawn, (std::vector<int>{11, 10, 10}));
    EXPECT_EQ(client.log.texts[0].bytes, "line 2");
    EXPECT_EQ(client.log.texts[9].y, 50 + 16 * 9);
    EXPECT_EQ(client.log.texts[9].colour, kChatColour);
}

TEST(ChatLines, TheOldestLineGoesAtTheEndOfItsHundredAndFirstDrawnFrame) {
    WorldClient client(1);
    client.receive({chatPacket(2, "first")});
    for (int frame = 0; frame < 100; ++frame) {
        chatFrame(client);
    }
    client.receive({chatPacket(2, "second")});
    client.log.clear();
    chatFrame(client);  // drawn a 101st time, then dropped
    EXPECT_EQ(chatLinesDrawn(client.log), 2);
    ASSERT_EQ(client.world.chatLines.size(), 1u);
    EXPECT_EQ(chatLineText(client.world.chatLines[0]), "second");
    for (int frame = 0; frame < 100; ++frame) {
        chatFrame(client);
    }
    EXPECT_EQ(client.world.chatLines.size(), 1u);
    chatFrame(client);
    EXPECT_TRUE(client.world.chatLines.empty());
}

TEST(ChatLines, AFullLineKeepsItsTerminator) {
    WorldClient client(1);
    appendChatLine(client.world, std::vector<std::uint8_t>(90, 'x'));
    EXPECT_EQ(chatLineText(client.world.chatLines[0]), std::string(70, 'x'));
    EXPECT_EQ(client.world.chatLines[0][70], '\0');
}

TEST(ChatInput, TheTypedLineBlinksItsCaretWhenTheCaretTimerComesDue) {
    WorldClient client(1, "kim");
    client.world.chatBox.setFocus();
    client.world.chatBox.textInput("gg");
    std::vector<std::string> shown;
    for (int frame = 0; frame < 5; ++frame) {
        client.log.clear();
        client.clock += 1.0 / 30;
        inputFrame(client);
        ASSERT_EQ(client.log.texts.size(), 1u);
        EXPECT_EQ(client.log.texts[0].x, 20);
        EXPECT_EQ(client.log.texts[0].y, 575);
        shown.push_back(client.log.texts[0].bytes);
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"gg|", "gg", "gg", "gg", "gg|"}));
    EXPECT_EQ(std::string(client.world.chatBox.chatTextView()), "gg");

    client.world.chatBox.keyDown(ChatKey::Left);  // the caret inside the text: a bar at the boundary
    client.clock += 1;
    client.log.clear();
    inputFrame(client);
    ASSERT_EQ(client.log.texts.size(), 2u);
    EXPECT_EQ(client.log.texts[1].bytes, "|");
    EXPECT_EQ(client.log.texts[1].x, 20 + 8 - 4);
}

TEST(ChatBox, EnterSendsTheLineWithTheNameAndEscapeDropsIt) {
    WorldClient client(3, "kim");
    ChatBox& box = client.world.chatBox;
    box.textInput("ignored while closed");
    EXPECT_FALSE(box.keyDown(ChatKey::Enter));
    EXPECT_TRUE(client.sent().empty());

    box.setFocus();
    box.keyDown(ChatKey::Enter);
    auto packets = client.sent();
    ASSERT_EQ(packets.size(), 1u);
    auto bytes = packets[0].wireBytes();
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()),
              (std::vector<std::uint8_t>{0xAA, 3, 4, 6, '[', 'k', 'i', 'm', ']', ' '}));
    EXPECT_FALSE(box.chatActive());

    box.setFocus();
    box.textInput("hi");  // typed after the last frame: still sent
    box.keyDown(ChatKey::Enter);
    packets = client.sent();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].header.length, 8);

    box.setFocus();
    box.textInput("never mind");
    box.keyDown(ChatKey::Escape);
    EXPECT_TRUE(client.sent().empty());
    EXPECT_FALSE(box.chatActive());
    EXPECT_TRUE(box.text().empty());
}

TEST(ChatBox, EditsWholeKoreanCharactersAndStopsWhereTheLineWouldBeCut) {
    WorldClient client(1, "kim");
    ChatBox& box = client.world.chatBox;
    box.setFocus();
    box.textInput(utf8ToCp949("a한글b"));  // code page 949: 'a', two two-byte characters, 'b'
    EXPECT_EQ(box.text(), "a\xC7\xD1\xB1\xDB" "b");
    box.keyDown(ChatKey::Left);
    box.keyDown(ChatKey::Backspace);  // the whole second character
    EXPECT_EQ(box.text(), "a\xC7\xD1" "b");
    box.keyDown(ChatKey::Home);
    box.keyDown(ChatKey::Delete);
    box.keyDown(ChatKey::Right);
    box.textInput("\t!");  // control characters are left out
    EXPECT_EQ(box.text(), "\xC7\xD1!b");
    EXPECT_EQ(box.caret(), 3u);
    box.keyDown(ChatKey::End);
    box.keyDown(ChatKey::Right);
    EXPECT_EQ(box.caret(), 4u);

    // "[kim] " leaves 45 bytes of a 51-byte line: a two-byte character that would split is refused.
    ASSERT_EQ(box.capacity(), 45u);
    box.textInput(std::string(40, 'z') + utf8ToCp949("가나"));
    EXPECT_EQ(box.text().size(), 44u);
    box.textInput("z");
    box.keyDown(ChatKey::Enter);
    const auto packets = client.sent();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].header.length, 51);
    EXPECT_EQ(packets[0].payload[50], 'z');

    client.world.playerName = makeNameField("");
    EXPECT_EQ(client.world.chatBox.capacity(), 48u);
}

}  // namespace
}  // namespace kestrane::testing
