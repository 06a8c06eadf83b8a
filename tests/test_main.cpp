// Entry point of every test program: tests run headless whatever the environment
// (no display, dummy audio, message boxes written instead of shown), and every client they
// start remembers its settings in a directory of the test run, never in the real home.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("KESTRANE_NO_DIALOGS", "1", 1);
    std::string config = (std::filesystem::temp_directory_path() / "kestrane-test-config-XXXXXX").string();
    const bool madeConfig = mkdtemp(config.data()) != nullptr;
    if (madeConfig) {
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    }
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (madeConfig) {
        std::error_code error;
        std::filesystem::remove_all(config, error);
    }
    return result;
}
