// fuzz_support.cpp -- invariant checks, in-memory input files and quiet message boxes.
#include "fuzz/fuzz_support.h"

#include <sanitizer/common_interface_defs.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/message_box.h"

namespace kestrane::fuzz {

void check(bool condition, const char* expression, const char* what, const char* file, int line) {
    if (condition) {
        return;
    }
    char message[512];
    std::snprintf(message, sizeof message, "%s:%d: invariant broken: %s (%s)", file, line, what, expression);
    // The sanitizers' report channel stays open when the fuzzer is told to close stderr.
    __sanitizer_report_error_summary(message);
    std::abort();
}

MemoryFile::MemoryFile() : fd_(memfd_create("kestrane-fuzz-input", MFD_CLOEXEC)) {
    if (fd_ >= 0) {
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
}

MemoryFile::~MemoryFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool MemoryFile::write(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0 || ::ftruncate(fd_, 0) != 0) {
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (written <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

void silenceMessageBoxes() {
    setMessageBoxHandler([](std::string_view, std::string_view) {});
}

std::string dataDirectory() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : self.parent_path().string();
}

}  // namespace kestrane::fuzz
