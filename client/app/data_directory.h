// data_directory.h -- finding the directory that holds the game's data files: the working
// directory, the program's own (a build tree) or share/kestrane beside it (an installation).
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

// The files the client reads from its working directory: sprite sets, background, sounds.
std::span<const std::string_view> clientDataFiles();

// The data files that `directory` lacks, in the order of clientDataFiles().
std::vector<std::string_view> missingDataFiles(const std::filesystem::path& directory);

// The directories to look in, in this order, without repeats: the working directory (when
// given), the program's own directory (where the build makes the files) and
// ../share/kestrane relative to it (where an installation puts them).
std::vector<std::filesystem::path> dataDirectoryCandidates(
    const std::optional<std::filesystem::path>& workingDirectory,
    const std::optional<std::filesystem::path>& programDirectory);

struct DataDirectoryChoice {
    std::filesystem::path directory;  // empty only when there was nowhere to look
    // Empty when `directory` holds every data file; otherwise one message for the user that
    // says where it looked and what is missing.
    std::string problem;
};

// The first candidate that holds every data file; when none does, the one that lacks the
// fewest (the earlier on a tie), with the problem told.
DataDirectoryChoice chooseDataDirectory(std::span<const std::filesystem::path> candidates);

// The directory of the running program, or nothing.
std::optional<std::filesystem::path> programDirectory();

// Chooses among the working directory and the program's and makes the choice the working
// directory. Returns what the user should be told (empty when all is well).
std::string enterDataDirectory();

}  // namespace kestrane
