// icon_main.cpp -- kestrane-icon OUT.png: writes the program's icon, for the desktop entry.
#include <cstdio>

#include "client/app/window_icon.h"
#include "platform/png_writer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: kestrane-icon OUT.png\n");
        return 2;
    }
    if (!kestrane::writePngRgba(argv[1], kestrane::kIconSize, kestrane::kIconSize, kestrane::windowIconPixels())) {
        std::fprintf(stderr, "kestrane-icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
