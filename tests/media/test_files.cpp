// test_files.cpp -- the media tests' temporary directories.
#include "tests/media/test_files.h"

#include <atomic>
#include <random>

namespace kestrane::testing {

TempDir::TempDir() {
    // One tag per test process, so parallel test programs never share a directory.
    static const unsigned tag = std::random_device{}();
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("kestrane-media-" + std::to_string(tag) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace kestrane::testing
