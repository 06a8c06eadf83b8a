// icon_main.cpp -- kestrane-icon OUT.png [SIZE]: writes the program's icon, for the desktop entry.
#include <charconv>
#include <cstdio>
#include <cstring>

#include "client/app/window_icon.h"
#include "platform/png_writer.h"

int main(int argc, char** argv) {
    int size = kestrane::kIconSize;
    const char* sizeText = argc == 3 ? argv[2] : nullptr;
    if (sizeText != nullptr) {
        const char* end = sizeText + std::strlen(sizeText);
        const auto [stop, error] = std::from_chars(sizeText, end, size);
        if (error != std::errc() || stop != end || size < 1 || size > 1024) {
            size = 0;
        }
    }
    if (argc < 2 || argc > 3 || size == 0) {
        std::fprintf(stderr, "Usage: kestrane-icon OUT.png [SIZE]   (SIZE in pixels, 1 to 1024; default %d)\n",
                     kestrane::kIconSize);
        return 2;
    }
    if (!kestrane::writePngRgba(argv[1], size, size, kestrane::iconPixels(size))) {
        std::fprintf(stderr, "kestrane-icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
