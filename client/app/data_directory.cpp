// data_directory.cpp -- the data directory: the working one, or the program's own.
#include "client/app/data_directory.h"

#include <array>
#include <system_error>

namespace kestrane {

namespace {

constexpr std::array<std::string_view, 10> kDataFiles = {
    "Player.spr", "bullet.Spr", "Etc.Spr", "background.bmp", "1.wav",
    "2.wav",      "3.wav",      "4.wav",   "5.wav",          "6.wav",
};

std::size_t missingCount(const std::optional<std::filesystem::path>& directory) {
    return directory ? missingDataFiles(*directory).size() : kDataFiles.size() + 1;
}

}  // namespace

std::span<const std::string_view> clientDataFiles() { return kDataFiles; }

std::vector<std::string_view> missingDataFiles(const std::filesystem::path& directory) {
    std::vector<std::string_view> missing;
    for (const std::string_view file : kDataFiles) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(directory / file, error)) {
            missing.push_back(file);
        }
    }
    return missing;
}

std::filesystem::path chooseDataDirectory(const std::filesystem::path& workingDirectory,
                                          const std::optional<std::filesystem::path>& programDirectory) {
    const std::size_t missingHere = missingCount(workingDirectory);
    if (missingHere == 0) {
        return workingDirectory;
    }
    return missingCount(programDirectory) < missingHere ? *programDirectory : workingDirectory;
}

std::optional<std::filesystem::path> programDirectory() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !program.has_parent_path()) {
        return std::nullopt;
    }
    return program.parent_path();
}

std::optional<std::filesystem::path> enterDataDirectory(std::string& error) {
    std::error_code code;
    const std::filesystem::path here = std::filesystem::current_path(code);
    if (code) {
        error = "cannot tell the working directory: " + code.message();
        return std::nullopt;
    }
    const std::filesystem::path chosen = chooseDataDirectory(here, programDirectory());
    if (chosen != here) {
        std::filesystem::current_path(chosen, code);
        if (code) {
            error = "cannot change into " + chosen.string() + ": " + code.message();
            return std::nullopt;
        }
    }
    return chosen;
}

}  // namespace kestrane
