// client_settings.cpp -- reading and writing client.ini, and the key bindings.
#include "client/app/client_settings.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

#include "client/media/keyboard.h"
#include "platform/program_paths.h"

namespace kestrane {

namespace {

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::optional<bool> parseYesNo(std::string_view value) {
    if (value == "yes" || value == "true" || value == "1") {
        return true;
    }
    if (value == "no" || value == "false" || value == "0") {
        return false;
    }
    return std::nullopt;
}

std::optional<int> parsePercent(std::string_view value) {
    if (value.empty() || value.size() > 3 || value.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    const int percent = std::stoi(std::string(value));
    return percent <= 100 ? std::optional<int>(percent) : std::nullopt;
}

// Applies one "name = value" line; an empty result means it was understood.
std::string applySetting(ClientSettings& settings, std::string_view name, std::string_view value) {
    if (name == "server") {
        settings.server = value;
    } else if (name == "name") {
        settings.name = value;
    } else if (name == "volume") {
        const auto percent = parsePercent(value);
        if (!percent) {
            return "volume must be 0 to 100";
        }
        settings.volume = *percent;
    } else if (name == "muted" || name == "fullscreen") {
        const auto flag = parseYesNo(value);
        if (!flag) {
            return std::string(name) + " must be yes or no";
        }
        (name == "muted" ? settings.muted : settings.fullScreen) = *flag;
    } else if (name.starts_with("key.")) {
        for (std::size_t i = 0; i < kKeyBindings.size(); ++i) {
            if (name.substr(4) == kKeyBindings[i].setting) {
                const int code = keyCodeForName(value);
                if (code == 0) {
                    return "no key is called \"" + std::string(value) + "\"";
                }
                settings.keys[i] = code;
                return {};
            }
        }
        return "no action is called \"" + std::string(name.substr(4)) + "\"";
    } else {
        return "unknown setting \"" + std::string(name) + "\"";
    }
    return {};
}

// Two actions on one key would fire both; the first one found, or nothing.
std::optional<std::string_view> sharedKey(const KeyCodes& keys) {
    for (std::size_t i = 0; i < keys.size(); ++i) {
        for (std::size_t j = i + 1; j < keys.size(); ++j) {
            if (keys[i] == keys[j]) {
                return kKeyBindings[j].setting;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

KeyCodes defaultKeyCodes() {
    KeyCodes codes{};
    for (std::size_t i = 0; i < kKeyBindings.size(); ++i) {
        codes[i] = kKeyBindings[i].defaultCode;
    }
    return codes;
}

std::optional<std::filesystem::path> settingsPath() {
    const std::optional<std::filesystem::path> directory = userSettingsDirectory();
    if (!directory) {
        return std::nullopt;
    }
    return *directory / "client.ini";
}

LoadedSettings readSettings(const std::filesystem::path& path) {
    LoadedSettings loaded;
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        loaded.problem = "no settings in " + path.string() + " yet; using the defaults";
        return loaded;
    }
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    if (!file || std::filesystem::is_directory(path, error)) {
        loaded.problem = "cannot read the settings in " + path.string() + "; using the defaults";
        return loaded;
    }
    ClientSettings settings;
    std::istringstream lines(text.str());
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        const std::string_view content = trim(line);
        if (content.empty() || content.front() == '#') {
            continue;
        }
        const auto equals = content.find('=');
        std::string complaint = equals == std::string_view::npos
                                    ? "expected NAME = VALUE"
                                    : applySetting(settings, trim(content.substr(0, equals)), trim(content.substr(equals + 1)));
        if (!complaint.empty()) {
            loaded.malformed = true;
            loaded.problem = "the settings in " + path.string() + " are not understood (line " + std::to_string(number) +
                             ": " + complaint + "); using the defaults";
            return loaded;
        }
    }
    if (const auto action = sharedKey(settings.keys)) {
        loaded.malformed = true;
        loaded.problem = "the settings in " + path.string() + " put key." + std::string(*action) +
                         " on a key another action has; using the defaults";
        return loaded;
    }
    loaded.settings = settings;
    return loaded;
}

std::string formatSettings(const ClientSettings& settings) {
    std::ostringstream text;
    text << "# kestrane-client remembers these between runs; command-line options win over them.\n"
         << "server = " << settings.server << "\n"
         << "name = " << settings.name << "\n"
         << "volume = " << settings.volume << "\n"
         << "muted = " << (settings.muted ? "yes" : "no") << "\n"
         << "fullscreen = " << (settings.fullScreen ? "yes" : "no") << "\n";
    for (std::size_t i = 0; i < kKeyBindings.size(); ++i) {
        text << "key." << kKeyBindings[i].setting << " = " << keyName(settings.keys[i]) << "\n";
    }
    return text.str();
}

bool writeSettings(const std::filesystem::path& path, const ClientSettings& settings, bool keepOld,
                   std::string& error) {
    std::error_code code;
    std::filesystem::create_directories(path.parent_path(), code);
    if (code) {
        error = "cannot make " + path.parent_path().string() + ": " + code.message();
        return false;
    }
    std::filesystem::path temporary = path;
    temporary += ".tmp-" + std::to_string(std::random_device{}());  // another program's never clashes
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << formatSettings(settings);
        file.flush();
        if (!file) {
            error = "cannot write " + temporary.string();
            std::filesystem::remove(temporary, code);
            return false;
        }
    }
    if (keepOld && std::filesystem::exists(path, code)) {
        std::filesystem::path kept = path;
        kept += ".bad";
        std::filesystem::rename(path, kept, code);
    }
    std::filesystem::rename(temporary, path, code);
    if (code) {
        error = "cannot replace " + path.string() + ": " + code.message();
        std::filesystem::remove(temporary, code);
        return false;
    }
    return true;
}

StartChoices startChoices(const ClientOptions& options, const ClientSettings& settings) {
    return {options.server.value_or(settings.server), options.name.value_or(settings.name),
            options.windowed || !settings.fullScreen};
}

KeyState bindKeys(const KeyState& physical, const KeyCodes& keys) {
    KeyState game = physical;
    for (const KeyBinding& binding : kKeyBindings) {
        setKeyDown(game, binding.defaultCode, false);
    }
    for (std::size_t i = 0; i < kKeyBindings.size(); ++i) {
        if (isKeyDown(physical, keys[i]) != 0) {
            setKeyDown(game, kKeyBindings[i].defaultCode, true);
        }
    }
    return game;
}

}  // namespace kestrane
