// data_directory.h -- finding the directory that holds the game's data files.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kestrane {

// The files the client reads from its working directory: sprite sets, background, sounds.
std::span<const std::string_view> clientDataFiles();

// The data files that `directory` lacks, in the order of clientDataFiles().
std::vector<std::string_view> missingDataFiles(const std::filesystem::path& directory);

// Where the client should run: the working directory when it holds every data file, else the
// program's own directory (where the build puts them) when that holds every one, else
// whichever of the two lacks fewer (the working directory on a tie). No program directory
// (it could not be found) counts as holding nothing.
std::filesystem::path chooseDataDirectory(const std::filesystem::path& workingDirectory,
                                          const std::optional<std::filesystem::path>& programDirectory);

// The directory of the running program (from /proc/self/exe), or nothing.
std::optional<std::filesystem::path> programDirectory();

// Makes the chosen directory the working directory. Returns it, or nothing (with the reason
// in `error`) when the change failed.
std::optional<std::filesystem::path> enterDataDirectory(std::string& error);

}  // namespace kestrane
