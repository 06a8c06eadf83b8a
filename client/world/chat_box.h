// chat_box.h -- the chat input box: a small line editor for code page 949 text that sends
// the line on Enter. It has no window of its own; the world's drawing shows its text.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace kestrane {

struct ClientWorld;

// The copy of the box's text that the input line draws: 50 bytes of text and a terminator.
inline constexpr std::size_t kChatTextSize = 51;
inline constexpr std::size_t kMaxChatText = kChatTextSize - 1;
using ChatText = std::array<char, kChatTextSize>;

// The editing keys the client program passes on while the box has the focus.
enum class ChatKey { Enter, Escape, Backspace, Delete, Left, Right, Home, End };

// Closed (chatActive false) until the frame tick gives it the focus (F1); then it takes text
// and editing keys until Enter sends the line or Escape drops it, both of which empty the box
// and give the focus back. While closed it ignores all input.
//
// The text never grows beyond what one chat line carries whole: "[name] " and the text must
// fit the 51 bytes every receiver holds, and the text is at most 50 bytes. Characters that do
// not fit are refused, as a full text field refuses them. Main thread only.
class ChatBox {
public:
    // The line goes into `world`'s outbox, in the name of its local player.
    explicit ChatBox(ClientWorld& world);

    // F1: the box takes the keyboard.
    void setFocus() { chatActive_ = true; }
    bool chatActive() const { return chatActive_; }

    // Typed text in code page 949 (the platform's text input converts what the player types,
    // a character without a code page 949 form arriving as '?'), inserted at the caret;
    // control characters are left out. Ignored while the box is closed.
    void textInput(std::string_view cp949);
    // An editing key. Enter sends "[name] text" and closes the box, Escape closes it without
    // sending; Backspace and Delete remove the whole character before or after the caret;
    // Left, Right, Home and End move the caret. False when the box is closed (nothing done).
    bool keyDown(ChatKey key);

    // The text in the box (code page 949) and the caret's byte offset in it, always at the
    // start of a character.
    std::string_view text() const { return text_; }
    std::size_t caret() const { return caret_; }
    // Bytes of text the box takes for the local player's name.
    std::size_t capacity() const;

    // The copy the input line draws and Enter sends; refreshChatText() takes it from the box.
    const ChatText& chatText() const { return chatText_; }
    std::string_view chatTextView() const;
    void refreshChatText();

private:
    void close();
    std::size_t previousCharacter(std::size_t offset) const;
    std::size_t nextCharacter(std::size_t offset) const;

    ClientWorld* world_;
    std::string text_;
    std::size_t caret_ = 0;
    ChatText chatText_{};
    bool chatActive_ = false;
};

}  // namespace kestrane
