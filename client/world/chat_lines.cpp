// chat_lines.cpp -- storing, trimming, ageing and drawing chat lines; drawing the typed line.
#include "client/world/chat_lines.h"

#include <algorithm>
#include <string>

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

void drawChatLines(ClientWorld& world) {
    auto& lines = world.chatLines;
    if (lines.empty()) {
        return;
    }
    if (lines.size() > kChatLinesKept) {
        lines.pop_front();
    }
    auto dc = world.media.display.getDC();
    if (!dc) {
        return;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        dc->textOut(kChatLeft, kChatTop + kChatLineSpacing * static_cast<int>(i), chatLineText(lines[i]));
    }
    dc.reset();

    world.chatLineAge += 1;
    if (world.chatLineAge > kChatLineLifetime) {
        lines.pop_front();
        world.chatLineAge = 0;
    }
}

void drawChatInput(ClientWorld& world) {
    ChatBox& box = world.chatBox;
    box.refreshChatText();
    auto dc = world.media.display.getDC();
    if (!dc) {
        return;
    }
    const std::string_view text = box.chatTextView();
    const bool caretShown = world.caretTimer.due(kCaretSlot, caretInterval);
    const std::size_t caret = std::min(box.caret(), text.size());
    if (caretShown && caret == text.size()) {
        dc->textOut(kChatLeft, kChatInputTop, std::string(text) + "|");
        return;
    }
    dc->textOut(kChatLeft, kChatInputTop, text);
    if (caretShown) {
        // Moved back into the text: the bar stands on the boundary before the caret's character.
        dc->textOut(kChatLeft + kChatCellWidth * static_cast<int>(caret) - kChatCellWidth / 2, kChatInputTop, "|");
    }
}

}  // namespace kestrane
