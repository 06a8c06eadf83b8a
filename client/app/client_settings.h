// client_settings.h -- what the client remembers between runs: the last server and name, the
// sound volume, full screen or window, and the key bindings, in one small text file.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "client/app/client_options.h"
#include "client/world/key_snapshot.h"

namespace kestrane {

// The keys the game's actions are on, as key codes (key_snapshot.h). The frame tick goes by
// the default codes; bindKeys() moves the player's keys onto them.
enum class KeyAction { Forward, Backward, TurnLeft, TurnRight, Shot, Mine, Chat, GetUp, Scores, Mute, Quieter, Louder };
inline constexpr std::size_t kKeyActionCount = 12;
inline constexpr int kKeyF5 = 0x3F;
inline constexpr int kKeyF6 = 0x40;
inline constexpr int kKeyF7 = 0x41;
inline constexpr int kKeyF11 = 0x57;

struct KeyBinding {
    std::string_view setting;  // its name in the file, after "key."
    int defaultCode = 0;
};
inline constexpr std::array<KeyBinding, kKeyActionCount> kKeyBindings = {{
    {"forward", kKeyUp}, {"backward", kKeyDown}, {"turn-left", kKeyLeft}, {"turn-right", kKeyRight},
    {"shot", kKeySpace}, {"mine", kKeyLeftAlt}, {"chat", kKeyF1}, {"get-up", kKeyF10}, {"scores", kKeyTab},
    {"mute", kKeyF5}, {"quieter", kKeyF6}, {"louder", kKeyF7},
}};
using KeyCodes = std::array<int, kKeyActionCount>;
KeyCodes defaultKeyCodes();

struct ClientSettings {
    std::string server;  // as typed, HOST or HOST:PORT; empty: none yet
    std::string name;    // UTF-8; empty: none yet
    int volume = 80;     // percent, 0 to 100
    bool muted = false;
    bool fullScreen = true;
    KeyCodes keys = defaultKeyCodes();

    int key(KeyAction action) const { return keys[static_cast<std::size_t>(action)]; }
    friend bool operator==(const ClientSettings&, const ClientSettings&) = default;
};
inline constexpr int kVolumeStep = 10;

// $XDG_CONFIG_HOME/kestrane/client.ini, or ~/.config/kestrane/client.ini when it is unset or
// empty; nothing when neither variable gives a directory.
std::optional<std::filesystem::path> settingsPath();

// What a read found: the settings (the defaults when the file is missing, unreadable or
// malformed) and, in those cases, one line saying so for stderr.
struct LoadedSettings {
    ClientSettings settings;
    std::string problem;
    bool malformed = false;  // the file exists but is not all understood: kept aside on saving
};
LoadedSettings readSettings(const std::filesystem::path& path);
// The file's text for `settings`.
std::string formatSettings(const ClientSettings& settings);
// Writes a temporary file beside `path` and renames it over `path`, so a crash never leaves
// half a file; makes the directory first. `keepOld` first renames an existing file to
// "client.ini.bad" (a file that was not understood is not lost). False with `error` set
// when anything fails; the old file is then untouched.
bool writeSettings(const std::filesystem::path& path, const ClientSettings& settings, bool keepOld,
                   std::string& error);

// The command line wins over the remembered settings: --server and --name fill the login
// dialog instead of the file's values, --windowed plays in a window whatever the file says.
struct StartChoices {
    std::string server;
    std::string name;
    bool windowed = false;
};
StartChoices startChoices(const ClientOptions& options, const ClientSettings& settings);

// The game's snapshot from the keyboard's: each action's default code takes the state of the
// key it is bound to. Keys that are no action's stay as they are.
KeyState bindKeys(const KeyState& physical, const KeyCodes& keys);

}  // namespace kestrane
