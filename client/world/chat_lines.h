// chat_lines.h -- the chat history on screen (received lines, oldest first, expiring) and
// the line being typed. world_drawing.h draws them at (20, 50 + 16 i) and (20, 575).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kestrane {

struct ClientWorld;

// One received line: at most 70 bytes of code page 949 text, NUL-terminated, zero-filled.
inline constexpr std::size_t kChatLineSize = 71;
using ChatLine = std::array<char, kChatLineSize>;

inline constexpr std::size_t kChatLinesKept = 10;  // more are trimmed, one per drawn frame
inline constexpr int kChatLineLifetime = 100;      // the oldest line goes when its age passes this
inline constexpr int kChatLeft = 20;
inline constexpr int kChatTop = 50;
inline constexpr int kChatLineSpacing = 16;
inline constexpr int kChatInputTop = 575;
inline constexpr int kChatCellWidth = 8;  // pixels per code page 949 byte

// The text of a line: its bytes up to the terminator.
std::string_view chatLineText(const ChatLine& line);

// A relayed Chat: its bytes become a new line at the end (a text longer than 70 bytes keeps
// its first 70).
void appendChatLine(ClientWorld& world, std::span<const std::uint8_t> text);
// Once per frame, before drawing: trims one line when more than 10 are kept.
void trimChatLines(ClientWorld& world);
// Once per frame, after drawing: drops the oldest line once it has been shown in 101 frames.
void ageChatLines(ClientWorld& world);
// Once per frame while the chat box is open, before drawing: copies the box's text for the
// input line and asks the caret timer whether this frame shows the caret.
void refreshChatInput(ClientWorld& world);

}  // namespace kestrane
