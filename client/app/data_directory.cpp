// data_directory.cpp -- the data directory: the working one, the program's own, or the installed one.
#include "client/app/data_directory.h"

#include <algorithm>
#include <array>
#include <system_error>

#include "platform/program_paths.h"

namespace kestrane {

namespace {

constexpr std::array<std::string_view, 10> kDataFiles = {
    "Player.spr", "bullet.Spr", "Etc.Spr", "background.bmp", "1.wav",
    "2.wav",      "3.wav",      "4.wav",   "5.wav",          "6.wav",
};

// "a, b and c"
std::string listed(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        text += i == 0 ? "" : (i + 1 == items.size() ? " and " : ", ");
        text += items[i];
    }
    return text;
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

std::vector<std::filesystem::path> dataDirectoryCandidates(
    const std::optional<std::filesystem::path>& workingDirectory,
    const std::optional<std::filesystem::path>& programDirectory) {
    std::vector<std::filesystem::path> candidates;
    const auto add = [&candidates](const std::filesystem::path& directory) {
        std::filesystem::path normal = directory.lexically_normal();
        if (!normal.has_filename() && normal != normal.root_path()) {
            normal = normal.parent_path();  // "dir/" is "dir"
        }
        if (std::find(candidates.begin(), candidates.end(), normal) == candidates.end()) {
            candidates.push_back(normal);
        }
    };
    if (workingDirectory) {
        add(*workingDirectory);
    }
    if (programDirectory) {
        add(*programDirectory);
        add(*programDirectory / ".." / "share" / "kestrane");
    }
    return candidates;
}

DataDirectoryChoice chooseDataDirectory(std::span<const std::filesystem::path> candidates) {
    DataDirectoryChoice choice;
    std::size_t fewest = kDataFiles.size() + 1;
    std::vector<std::string_view> lacking;
    std::vector<std::string> searched;
    for (const std::filesystem::path& candidate : candidates) {
        std::vector<std::string_view> missing = missingDataFiles(candidate);
        if (missing.empty()) {
            return {candidate, ""};
        }
        if (missing.size() < fewest) {
            fewest = missing.size();
            choice.directory = candidate;
            lacking = std::move(missing);
        }
        searched.push_back(candidate.string());
    }
    if (candidates.empty()) {
        choice.problem = "nowhere to look for the game's data files";
    } else if (lacking.size() == kDataFiles.size()) {
        choice.problem = "cannot find the game's data files (Player.spr, bullet.Spr, Etc.Spr, background.bmp, "
                         "1.wav to 6.wav); looked in " + listed(searched);
    } else {
        choice.problem = "no folder holds all of the game's data files; looked in " + listed(searched) +
                         "; using " + choice.directory.string() + ", which lacks " +
                         listed(std::vector<std::string>(lacking.begin(), lacking.end()));
    }
    return choice;
}

std::optional<std::filesystem::path> programDirectory() {
    const std::optional<std::filesystem::path> program = runningProgramFile();
    if (!program || !program->has_parent_path()) {
        return std::nullopt;
    }
    return program->parent_path();
}

std::string enterDataDirectory() {
    std::error_code code;
    std::optional<std::filesystem::path> here = std::filesystem::current_path(code);
    if (code) {
        here.reset();  // gone or unreadable: look only where the program is
    }
    const DataDirectoryChoice choice = chooseDataDirectory(dataDirectoryCandidates(here, programDirectory()));
    if (!choice.directory.empty() && choice.directory != here) {
        std::filesystem::current_path(choice.directory, code);
        if (code) {
            return "cannot change into " + choice.directory.string() + ": " + code.message();
        }
    }
    return choice.problem;
}

}  // namespace kestrane
