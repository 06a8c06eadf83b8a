// debug_text.cpp -- debug-only texts go to stderr.
#include "client/media/debug_text.h"

#include <cstdio>

namespace kestrane {

void debugText([[maybe_unused]] std::string_view text) {
#ifndef NDEBUG
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
#endif
}

}  // namespace kestrane
