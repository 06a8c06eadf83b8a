// PNG files written and read back.
#include <gtest/gtest.h>

#include <stb_image.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "platform/png_writer.h"

namespace kestrane {
namespace {

TEST(PngWriter, WritesPixelsThatReadBackUnchanged) {
    const std::vector<std::uint8_t> pixels{255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 10, 20, 30, 255};
    const std::string path = (std::filesystem::temp_directory_path() / "kestrane-png-test.png").string();
    ASSERT_TRUE(writePngRgba(path, 2, 2, pixels));
    int width = 0, height = 0, channels = 0;
    unsigned char* back = stbi_load(path.c_str(), &width, &height, &channels, 4);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(width, 2);
    EXPECT_EQ(height, 2);
    EXPECT_EQ(std::vector<std::uint8_t>(back, back + 16), pixels);
    stbi_image_free(back);
    std::remove(path.c_str());
}

TEST(PngWriter, RefusesTooFewPixelsAndUnwritablePaths) {
    const std::vector<std::uint8_t> pixels(8, 0);
    EXPECT_FALSE(writePngRgba("/tmp/kestrane-never.png", 2, 2, pixels));
    EXPECT_FALSE(writePngRgba("/no/such/dir/x.png", 1, 1, pixels));
    EXPECT_EQ(timestampedPngName("shot").rfind("shot-", 0), 0u);
}

}  // namespace
}  // namespace kestrane
