// message_box.h -- the modal "caption: text, OK" messages the user must see.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrane {

inline constexpr std::string_view kMessageCaption = "Orvane Works";
inline constexpr std::string_view kKeyboardFailureCaption = "FAILED";

// Shows a message and returns when the user has dismissed it. Texts are UTF-8.
// Thread-safe. Until a program installs a graphical handler, messages go to stderr
// as one line "caption: text".
void showMessageBox(std::string_view caption, std::string_view text);

using MessageBoxHandler = std::function<void(std::string_view caption, std::string_view text)>;
// Replaces the handler; returns the previous one.
MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler);
void writeMessageToStderr(std::string_view caption, std::string_view text);

// Collects every message shown while it lives, instead of showing it (for tests).
class MessageBoxCapture {
public:
    MessageBoxCapture();
    ~MessageBoxCapture();
    MessageBoxCapture(const MessageBoxCapture&) = delete;
    MessageBoxCapture& operator=(const MessageBoxCapture&) = delete;

    // (caption, text) pairs in the order shown.
    std::vector<std::pair<std::string, std::string>> shown() const;
    std::vector<std::string> texts() const;

private:
    struct State;
    std::shared_ptr<State> state_;
    MessageBoxHandler previous_;
};

}  // namespace kestrane
