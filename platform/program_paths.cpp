// program_paths.cpp -- /proc/self/exe and the XDG base directories.
#include "platform/program_paths.h"
#include "platform/font_path.h"

#include <cstdlib>

namespace kestrane {

std::optional<std::filesystem::path> runningProgramFile() {
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || program.empty()) {
        return std::nullopt;
    }
    return program;
}

std::string unifontPath() { return "/usr/share/fonts/opentype/unifont/unifont.otf"; }

std::optional<std::filesystem::path> userSettingsDirectory() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] != '\0') {
        return std::filesystem::path(config) / "kestrane";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return std::filesystem::path(home) / ".config" / "kestrane";
    }
    return std::nullopt;
}

}  // namespace kestrane
