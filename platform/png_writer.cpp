// png_writer.cpp -- stb_image_write behind writePngRgba.
#include "platform/png_writer.h"
#include "platform/timestamped_output.h"

#include <stb_image_write.h>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace kestrane {

bool writePngRgba(const std::string& path, int width, int height, std::span<const std::uint8_t> pixels) {
    if (width <= 0 || height <= 0 || pixels.size() < static_cast<std::size_t>(width) * height * 4) {
        return false;
    }
    return stbi_write_png(path.c_str(), width, height, 4, pixels.data(), width * 4) != 0;
}

std::string timestampedPngName(const std::string& prefix) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    const std::tm local = localCalendarTime(seconds);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    char name[64];
    std::snprintf(name, sizeof name, "-%s-%03d.png", stamp, static_cast<int>(millis));
    return prefix + name;
}

}  // namespace kestrane
