// server_texts.h -- the server's own texts, exactly as operators and players see them (UTF-8).
#pragma once

#include <string_view>

namespace kestrane::server_text {

inline constexpr std::string_view kWindowTitle = "Kestrane Server";
inline constexpr std::string_view kStartLine = "Start Kestrane NetWork Server";
inline constexpr std::string_view kClosingLine = "Kestrane Server Closing";
// "A player has connected (checking the player)".
inline constexpr std::string_view kConnectLine = "플레이어가 접속하였습니다 ( 플레이어 확인중 )";
// "An invalid packet was received."
inline constexpr std::string_view kInvalidPacketLine = "잘못된 패킷을 수신했습니다.";
// Join and leave lines: "[ name ] has come in" / "[ name ] has left".
inline constexpr std::string_view kJoinSuffix = " ] 님이 들어오셨습니다.";
inline constexpr std::string_view kLeaveSuffix = " ] 님이 나가셨습니다.";

// Lines about the operator's limits and what players may send; the numbers and names are
// filled in where they are written. Every line about a packet the limits dropped contains
// kDroppedWord, every line about a player the limits removed kRemovedWord.
inline constexpr std::string_view kDroppedWord = "dropped";
inline constexpr std::string_view kRemovedWord = "removed";
inline constexpr std::string_view kRefusedServerFull = "refused: the server is full";
inline constexpr std::string_view kRefusedAddressFull = "refused: too many connections from that address";
inline constexpr std::string_view kOverBudget = "sends more than its input budget; the excess is dropped";
inline constexpr std::string_view kRepeatedJoin = "a repeated Join is dropped";
inline constexpr std::string_view kRemovedOverBudget = "over its input budget too long: removed";
inline constexpr std::string_view kRemovedSlowReader = "reads too slowly, its backlog is over the bound: removed";

inline constexpr std::string_view kSocketStartupError = "WSAStartup() Error";
inline constexpr std::string_view kSocketError = "socket() Error";
inline constexpr std::string_view kFindingLocalNameError = "Finding Local Name Error";
inline constexpr std::string_view kFindingMyIpError = "Finding My IP Error";
// The caption a message box gets when none is given.
inline constexpr std::string_view kDefaultCaption = "Error";

}  // namespace kestrane::server_text
