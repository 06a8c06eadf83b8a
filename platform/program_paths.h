// program_paths.h -- where the running program is, and where its user's settings belong.
#pragma once

#include <filesystem>
#include <optional>

namespace kestrane {

// The running program's own file, or nothing when the system cannot tell it.
std::optional<std::filesystem::path> runningProgramFile();

// The directory this user's settings for the game belong in: $XDG_CONFIG_HOME/kestrane or
// ~/.config/kestrane, and on Windows %APPDATA%\Kestrane. Nothing when the environment names
// no such place. The directory need not exist yet.
std::optional<std::filesystem::path> userSettingsDirectory();

}  // namespace kestrane
