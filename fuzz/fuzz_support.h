// fuzz_support.h -- what the fuzz targets share: failing loudly on a broken invariant, and
// handing an input to a loader that wants a file name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kestrane::fuzz {

// Stops the run with `what` on stderr when `condition` is false. libFuzzer then saves the
// input that broke the invariant as a crash file, like any sanitizer report.
#define FUZZ_CHECK(condition, what) ::kestrane::fuzz::check((condition), #condition, (what), __FILE__, __LINE__)
void check(bool condition, const char* expression, const char* what, const char* file, int line);

// An anonymous in-memory file holding given bytes, reachable through a path, so the loaders
// read it exactly as they read a file on disk (fopen, fread) without touching the disk.
class MemoryFile {
public:
    MemoryFile();
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // Replaces the contents with `bytes`; false when the file cannot be written.
    bool write(std::span<const std::uint8_t> bytes);
    const std::string& path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

// Routes message boxes to nowhere for the life of the process: loaders report damaged files
// with them, and a fuzzer shows thousands of damaged files a second.
void silenceMessageBoxes();

// The directory the build writes the game's data files to (this program's own directory).
std::string dataDirectory();

}  // namespace kestrane::fuzz
