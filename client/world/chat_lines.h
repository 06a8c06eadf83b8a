// chat_lines.h -- the chat history on screen (received lines, oldest first, expiring) and
// the line being typed.
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
// Once per drawn frame: trims one line when more than 10 are kept, draws them at
// (20, 50 + 16 i), and drops the oldest once it has been drawn in 101 frames. A frame that
// cannot draw (no back buffer) does not age the lines.
void drawChatLines(ClientWorld& world);
// Once per drawn frame while the chat box is open: copies the box's text and draws it at
// (20, 575), with a bar as caret in the frames in which the caret timer comes due.
void drawChatInput(ClientWorld& world);

}  // namespace kestrane
