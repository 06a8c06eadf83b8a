// Entry point of every test program: tests run headless whatever the environment
// (no display, dummy audio, message boxes written instead of shown), and every client they
// start remembers its settings in a directory of the test run, never in the real home.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "platform/environment.h"

namespace {

// A new, empty directory for this run's settings; empty when none could be made.
std::filesystem::path makeConfigDirectory() {
    std::random_device random;
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    for (int attempt = 0; attempt < 16 && !error; ++attempt) {
        const std::filesystem::path candidate = temporary / ("kestrane-test-config-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate, error)) {
            return candidate;
        }
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    using kestrane::setEnvironmentVariable;
    setEnvironmentVariable("SDL_VIDEODRIVER", "offscreen", false);
    setEnvironmentVariable("SDL_AUDIODRIVER", "dummy", false);
    setEnvironmentVariable("KESTRANE_NO_DIALOGS", "1", true);
    const std::filesystem::path config = makeConfigDirectory();
    if (!config.empty()) {
        // Where the settings live: XDG_CONFIG_HOME on Linux, APPDATA on Windows.
        setEnvironmentVariable("XDG_CONFIG_HOME", config.string().c_str(), true);
        setEnvironmentVariable("APPDATA", config.string().c_str(), true);
    }
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (!config.empty()) {
        std::error_code error;
        std::filesystem::remove_all(config, error);
    }
    return result;
}
