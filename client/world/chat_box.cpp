// chat_box.cpp -- editing, sending and dropping the chat line.
#include "client/world/chat_box.h"

#include <algorithm>
#include <cstring>

#include "client/world/client_world.h"
#include "common/protocol.h"
#include "common/text.h"

namespace kestrane {

namespace {

// "[" name "] " around the text of every line sent.
constexpr std::size_t kChatLineFrame = 3;

bool isControl(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

}  // namespace

ChatBox::ChatBox(ClientWorld& world) : world_(&world) {}

std::size_t ChatBox::capacity() const {
    const std::size_t name = nameText(world_->playerName).size();
    const std::size_t room = kMaxChatLine > name + kChatLineFrame ? kMaxChatLine - name - kChatLineFrame : 0;
    return std::min(room, kMaxChatText);
}

// Offsets of character starts can only be found from the start of the text: a trail byte
// may look like a lead byte.
std::size_t ChatBox::nextCharacter(std::size_t offset) const {
    if (offset >= text_.size()) {
        return text_.size();
    }
    const bool pair = isCp949LeadByte(static_cast<unsigned char>(text_[offset])) && offset + 1 < text_.size();
    return offset + (pair ? 2 : 1);
}

std::size_t ChatBox::previousCharacter(std::size_t offset) const {
    std::size_t start = 0;
    for (std::size_t next = nextCharacter(0); next < offset; next = nextCharacter(next)) {
        start = next;
    }
    return start;
}

void ChatBox::textInput(std::string_view typed) {
    if (!chatActive_) {
        return;
    }
    const std::size_t room = capacity();
    std::size_t at = 0;
    while (at < typed.size()) {
        const bool pair = isCp949LeadByte(static_cast<unsigned char>(typed[at])) && at + 1 < typed.size();
        const std::size_t length = pair ? 2 : 1;
        if (length == 1 && isControl(static_cast<unsigned char>(typed[at]))) {
            ++at;
            continue;
        }
        if (text_.size() + length > room) {
            break;
        }
        text_.insert(caret_, typed, at, length);
        caret_ += length;
        at += length;
    }
}

bool ChatBox::keyDown(ChatKey key) {
    if (!chatActive_) {
        return false;
    }
    switch (key) {
        case ChatKey::Enter:
            // Sent from the box itself, so a character typed since the last frame is not lost.
            refreshChatText();
            world_->outbox.packets.push_back(
                makeChatPacket(world_->localNumber, formatChatLine(nameText(world_->playerName), chatTextView())));
            close();
            break;
        case ChatKey::Escape:
            close();
            break;
        case ChatKey::Backspace:
            if (caret_ > 0) {
                const std::size_t start = previousCharacter(caret_);
                text_.erase(start, caret_ - start);
                caret_ = start;
            }
            break;
        case ChatKey::Delete:
            text_.erase(caret_, nextCharacter(caret_) - caret_);
            break;
        case ChatKey::Left:
            caret_ = caret_ > 0 ? previousCharacter(caret_) : 0;
            break;
        case ChatKey::Right:
            caret_ = nextCharacter(caret_);
            break;
        case ChatKey::Home:
            caret_ = 0;
            break;
        case ChatKey::End:
            caret_ = text_.size();
            break;
    }
    return true;
}

std::string_view ChatBox::chatTextView() const {
    return {chatText_.data(), static_cast<std::size_t>(std::find(chatText_.begin(), chatText_.end(), '\0') -
                                                       chatText_.begin())};
}

void ChatBox::refreshChatText() {
    chatText_.fill('\0');
    const std::string_view copied = cp949Prefix(text_, kMaxChatText);
    std::memcpy(chatText_.data(), copied.data(), copied.size());
}

void ChatBox::close() {
    chatText_.fill('\0');
    text_.clear();
    caret_ = 0;
    chatActive_ = false;
}

}  // namespace kestrane
