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

inline constexpr std::string_view kSocketError = "socket() Error";
inline constexpr std::string_view kFindingLocalNameError = "Finding Local Name Error";
inline constexpr std::string_view kFindingMyIpError = "Finding My IP Error";
// The caption a message box gets when none is given.
inline constexpr std::string_view kDefaultCaption = "Error";

}  // namespace kestrane::server_text
