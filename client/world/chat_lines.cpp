// chat_lines.cpp -- storing, trimming and ageing chat lines; the typed line's text and caret.
#include "client/world/chat_lines.h"

#include <algorithm>

#include "client/world/client_world.h"

namespace kestrane {

std::string_view chatLineText(const ChatLine& line) {
    const auto end = std::find(line.begin(), line.end() - 1, '\0');
    return {line.data(), static_cast<std::size_t>(end - line.begin())};
}

void appendChatLine(ClientWorld& world, std::span<const std::uint8_t> text) {
    ChatLine line{};
    std::copy_n(text.begin(), std::min(text.size(), kChatLineSize - 1), line.begin());
    world.chatLines.push_back(line);
}

void trimChatLines(ClientWorld& world) {
    if (world.chatLines.size() > kChatLinesKept) {
        world.chatLines.pop_front();
    }
}

void ageChatLines(ClientWorld& world) {
    auto& lines = world.chatLines;
    if (lines.empty()) {
        return;
    }
    world.chatLineAge += 1;
    if (world.chatLineAge > kChatLineLifetime) {
        lines.pop_front();
        world.chatLineAge = 0;
    }
}

void refreshChatInput(ClientWorld& world) {
    world.chatBox.refreshChatText();
    world.frameView.caret = world.caretTimer.due(kCaretSlot, caretInterval);
}

}  // namespace kestrane
