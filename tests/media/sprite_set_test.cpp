// Sprite-set files read back pixel by pixel, damaged files, and frames drawn with clipping.
#include <gtest/gtest.h>

#include "client/media/display.h"
#include "client/media/sprite_set.h"
#include "platform/message_box.h"
#include "tests/media/test_files.h"

namespace kestrane {
namespace {

using testing::SpriteFileBuilder;
using testing::TempDir;
using Rows = std::vector<std::vector<std::uint32_t>>;

constexpr std::uint16_t kFloor = 0x1234;  // what the back buffer holds before a frame is drawn

std::uint16_t expected565From24(std::uint32_t rgb) {
    return toRgb565({static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8), static_cast<std::uint8_t>(rgb)});
}

std::uint16_t expected565From555(std::uint32_t word) {
    const std::uint32_t r = (word >> 10) & 31, g = (word >> 5) & 31, b = word & 31;
    return static_cast<std::uint16_t>((r << 11) | (((g << 1) | (g >> 4)) << 5) | b);
}

// Every pixel of `frame` against the expected value of the file's top-down row value.
void expectPixels(const SpriteFrame& frame, const Rows& rows, auto expectedOf) {
    ASSERT_EQ(frame.height(), static_cast<int>(rows.size()));
    ASSERT_EQ(frame.width(), static_cast<int>(rows[0].size()));
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            EXPECT_EQ(frame.surface().pixel(x, y), expectedOf(rows[y][x])) << "at " << x << "," << y;
        }
    }
}

TEST(SpriteSetFile, RowsAreBottomUpWithStridesFilledToFourBytes) {
    EXPECT_EQ(spriteStride(5, 8), 8);
    EXPECT_EQ(spriteStride(3, 16), 8);
    EXPECT_EQ(spriteStride(3, 24), 12);
    EXPECT_EQ(spriteStride(4, 24), 12);

    // Two frames per file: a wrong stride misplaces the second frame's header.
    TempDir dir;
    std::vector<Rgb> palette(256);
    for (int n = 1; n < 256; ++n) {
        palette[n] = {static_cast<std::uint8_t>(n * 7), static_cast<std::uint8_t>(255 - n), static_cast<std::uint8_t>(n * 3)};
    }
    const Rows indexes{{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}};
    SpriteFileBuilder(2, 8).palette(palette).frame(0, 0, indexes).frame(1, 1, indexes).write(dir.file("p8"));
    const Rows words{{0x7C00, 0x03E0, 0x001F}, {0x4210, 0x7FFF, 0x8421}};
    SpriteFileBuilder(2, 16).frame(0, 0, words).frame(0, 0, words).write(dir.file("p16"));
    const Rows triples3{{0xFF0000, 0x00FF00, 0x0000FF}, {0x808080, 0xFFFFFF, 0x123456}};
    const Rows triples4{{0xFF0000, 0x00FF00, 0x0000FF, 0xF0F0F0}, {0x808080, 0xFFFFFF, 0x123456, 0x0C0C0C}};
    SpriteFileBuilder(2, 24).frame(0, 0, triples3).frame(0, 0, triples3).write(dir.file("p24a"));
    SpriteFileBuilder(2, 24).frame(0, 0, triples4).frame(0, 0, triples4).write(dir.file("p24b"));

    MessageBoxCapture messages;
    SpriteSet set8(2), set16(2), set24a(2), set24b(2);
    ASSERT_TRUE(loadSpriteSet(dir.file("p8"), set8));
    ASSERT_TRUE(loadSpriteSet(dir.file("p16"), set16));
    ASSERT_TRUE(loadSpriteSet(dir.file("p24a"), set24a));
    ASSERT_TRUE(loadSpriteSet(dir.file("p24b"), set24b));
    EXPECT_TRUE(messages.texts().empty());
    for (std::size_t i = 0; i < 2; ++i) {
        expectPixels(set8[i], indexes, [&](std::uint32_t index) { return toRgb565(palette[index]); });
        expectPixels(set16[i], words, expected565From555);
        expectPixels(set24a[i], triples3, expected565From24);
        expectPixels(set24b[i], triples4, expected565From24);
    }
    EXPECT_EQ(set8[1].hotSpotX(), 1);
    EXPECT_EQ(set8[1].hotSpotY(), 1);
}

TEST(SpriteSetFile, PaletteBlackIsTransparentButMagentaIsDrawn) {
    TempDir dir;
    // Entry 2 is so dark that the 16-bit format turns it into 0: it is transparent too.
    SpriteFileBuilder(1, 8).palette({{0, 0, 0}, {255, 0, 255}, {4, 2, 4}}).frame(0, 0, {{0, 1, 2}}).write(dir.file("s"));
    SpriteSet set(1);
    ASSERT_TRUE(loadSpriteSet(dir.file("s"), set));

    Display display;
    ASSERT_TRUE(display.initOffscreen());
    display.backBuffer().fill(kFloor);
    set[0].draw(display, 10, 10);
    EXPECT_EQ(display.backBuffer().pixel(10, 10), kFloor);
    EXPECT_EQ(display.backBuffer().pixel(11, 10), 0xF81F);
    EXPECT_EQ(display.backBuffer().pixel(12, 10), kFloor);
}

TEST(SpriteSetFile, MagicIsSevenBytesAndTheEighthIsFree) {
    TempDir dir;
    SpriteFileBuilder(1, 24, "OWSD1.1\0").frame(0, 0, {{0xFFFFFF}}).write(dir.file("newer"));
    SpriteFileBuilder(1, 24, "OWSD1.0\xFF").frame(0, 0, {{0xFFFFFF}}).write(dir.file("any8th"));
    MessageBoxCapture messages;
    SpriteSet set(1);
    EXPECT_FALSE(loadSpriteSet(dir.file("newer"), set));
    EXPECT_EQ(set[0].width(), 0);
    EXPECT_FALSE(loadSpriteSet(dir.file("missing"), set));
    EXPECT_TRUE(loadSpriteSet(dir.file("any8th"), set));
    EXPECT_EQ(set[0].width(), 1);
    using Shown = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(messages.shown(), (Shown{{"Orvane Works", "Sprite File Type Error"}, {"Orvane Works", "Sprite File Open Error"}}));
}

TEST(SpriteSetFile, ZeroOrNegativeFrameCountLoadsNothing) {
    TempDir dir;
    MessageBoxCapture messages;
    for (const std::int32_t count : {0, -1, -2147483647 - 1}) {
        // Frame data follows anyway; none of it may be read.
        SpriteFileBuilder(count, 24).frame(0, 0, {{0xFFFFFF}}).write(dir.file("s"));
        SpriteSet set(2);
        EXPECT_TRUE(loadSpriteSet(dir.file("s"), set)) << count;
        EXPECT_EQ(set[0].width(), 0);
        EXPECT_TRUE(set[0].surface().empty());
    }
    EXPECT_TRUE(messages.texts().empty());
}

TEST(SpriteSetFile, FramesBeyondTheCapacityAreNotStored) {
    TempDir dir;
    SpriteFileBuilder builder(4, 24);
    for (int i = 1; i <= 4; ++i) {
        builder.frame(0, 0, Rows(static_cast<std::size_t>(i), std::vector<std::uint32_t>(1, 0xFFFFFF)));
    }
    builder.write(dir.file("s"));
    std::vector<SpriteFrame> frames(4);
    EXPECT_TRUE(loadSpriteSet(dir.file("s"), std::span(frames).first(2)));
    EXPECT_EQ(frames[1].height(), 2);
    EXPECT_EQ(frames[2].height(), 0);
    EXPECT_TRUE(frames[2].surface().empty());
}

TEST(SpriteSetFile, DamagedFilesFailAndKeepTheFramesAlreadyRead) {
    TempDir dir;
    const Rows pixel{{0xFFFFFF}};
    SpriteFileBuilder whole(3, 24);
    whole.frame(0, 0, pixel).frame(0, 0, pixel).frame(0, 0, {{1, 2}, {3, 4}});
    const std::size_t size = whole.bytes().size();
    struct Case {
        std::string name;
        std::size_t cutTo;
        int framesKept;
    };
    const std::vector<Case> cases{
        {"inside the last frame's pixels", size - 1, 2},
        {"inside the second frame's header", 14 + 20 + 7, 1},
        {"inside the file header", 11, 0},
    };
    for (const Case& c : cases) {
        whole.write(dir.file("s"), c.cutTo);
        MessageBoxCapture messages;
        SpriteSet set(3);
        EXPECT_FALSE(loadSpriteSet(dir.file("s"), set)) << c.name;
        EXPECT_EQ(messages.texts(), std::vector<std::string>{"Sprite File Type Error"}) << c.name;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(!set[static_cast<std::size_t>(i)].surface().empty(), i < c.framesKept) << c.name << " frame " << i;
        }
    }

    SpriteFileBuilder(1, 8).write(dir.file("palette"), 14 + 1000);
    MessageBoxCapture messages;
    SpriteSet set(1);
    EXPECT_FALSE(loadSpriteSet(dir.file("palette"), set));
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Sprite File Type Error"});
}

TEST(SpriteSetFile, ImplausibleFrameSizesAreRefusedBeforeAnyAllocation) {
    TempDir dir;
    const std::vector<std::pair<std::int32_t, std::int32_t>> refused{{0, 1}, {1, 0}, {-1, 5}, {5, -2147483647 - 1},
                                                                     {4097, 1}, {1, 4097}, {2147483647, 2147483647}};
    for (const auto& [width, height] : refused) {
        SpriteFileBuilder(1, 24).rawFrameHeader(width, height, 0, 0).write(dir.file("s"));
        MessageBoxCapture messages;
        SpriteSet set(1);
        EXPECT_FALSE(loadSpriteSet(dir.file("s"), set)) << width << "x" << height;
        EXPECT_EQ(messages.texts(), std::vector<std::string>{"Sprite File Type Error"});
        EXPECT_TRUE(set[0].surface().empty());
    }
    // An unknown depth multiplies the row length: this 30-byte file announces 137 GB of pixels.
    // The file's own length gives it away before anything is allocated.
    SpriteFileBuilder(1, 65535).rawFrameHeader(4096, 4096, 0, 0).write(dir.file("deep"));
    {
        MessageBoxCapture messages;
        SpriteSet set(1);
        EXPECT_FALSE(loadSpriteSet(dir.file("deep"), set));
        EXPECT_EQ(messages.texts(), std::vector<std::string>{"Sprite File Type Error"});
    }
    SpriteFileBuilder(1, 8).palette({}).frame(0, 0, {std::vector<std::uint32_t>(4096, 1)}).write(dir.file("wide"));
    SpriteSet set(1);
    EXPECT_TRUE(loadSpriteSet(dir.file("wide"), set));
    EXPECT_EQ(set[0].width(), 4096);
}

TEST(SpriteSetFile, UnknownDepthIsReportedOncePerFrame) {
    TempDir dir;
    // 32 bits: rows of 4 bytes per pixel, which the loader can still step over.
    SpriteFileBuilder builder(2, 32);
    builder.rawFrameHeader(1, 1, 0, 0);
    testing::Bytes bytes = builder.bytes();
    testing::appendU32(bytes, 0x00FFFFFF);
    for (const std::uint32_t value : {1u, 1u, 0u, 0u, 0x00FFFFFFu}) {
        testing::appendU32(bytes, value);
    }
    testing::writeFile(dir.file("s"), bytes);

    MessageBoxCapture messages;
    SpriteSet set(2);
    EXPECT_TRUE(loadSpriteSet(dir.file("s"), set));
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{"Sprite Buffer Create Error", "Sprite Buffer Create Error"}));
    EXPECT_EQ(set[1].surface().pixel(0, 0), 0);  // a surface, but no picture in it
}

// A 24-bit frame whose column c has the colour (c, 0x40, 0x80), easy to recognise on screen.
SpriteSet columnFrame(const TempDir& dir, int width, int height, std::int32_t hotSpotX, std::int32_t hotSpotY) {
    std::vector<std::uint32_t> row;
    for (int c = 0; c < width; ++c) {
        row.push_back((static_cast<std::uint32_t>(c * 8 % 256 + 8) << 16) | 0x4080);
    }
    SpriteFileBuilder(1, 24).frame(hotSpotX, hotSpotY, Rows(static_cast<std::size_t>(height), row)).write(dir.file("c"));
    SpriteSet set(1);
    EXPECT_TRUE(loadSpriteSet(dir.file("c"), set));
    return set;
}

std::uint16_t columnColour(int c) { return toRgb565({static_cast<std::uint8_t>(c * 8 % 256 + 8), 0x40, 0x80}); }

TEST(SpriteFrameDraw, ClipsAtEveryScreenEdge) {
    TempDir dir;
    Display display;
    ASSERT_TRUE(display.initOffscreen());
    Surface& screen = display.backBuffer();

    // The top-left corner 10 px off the left: the 10 leftmost columns are lost.
    const SpriteSet narrow = columnFrame(dir, 20, 4, 0, 0);
    screen.fill(kFloor);
    narrow[0].draw(display, -10, 100);
    EXPECT_EQ(screen.pixel(0, 100), columnColour(10));
    EXPECT_EQ(screen.pixel(9, 103), columnColour(19));
    EXPECT_EQ(screen.pixel(10, 100), kFloor);

    // A 100 x 20 frame whose left edge lies 30 px off the screen shows its right 70 columns.
    const SpriteSet wide = columnFrame(dir, 100, 20, 50, 10);
    screen.fill(kFloor);
    wide[0].draw(display, 20, 300);
    EXPECT_EQ(screen.pixel(0, 290), columnColour(30));
    EXPECT_EQ(screen.pixel(69, 309), columnColour(99));
    EXPECT_EQ(screen.pixel(70, 300), kFloor);
    EXPECT_EQ(screen.pixel(0, 289), kFloor);

    // Right and bottom edges: partly visible up to column 799 / row 599, and nothing at all
    // once the top-left corner reaches x = 800 or y = 600.
    screen.fill(kFloor);
    narrow[0].draw(display, 790, 597);
    EXPECT_EQ(screen.pixel(799, 597), columnColour(9));
    EXPECT_EQ(screen.pixel(799, 599), columnColour(9));
    EXPECT_EQ(screen.pixel(789, 597), kFloor);
    EXPECT_EQ(screen.pixel(790, 596), kFloor);

    const std::vector<std::uint8_t> before = [&] { screen.fill(kFloor); return screen.toRgba(); }();
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{{800, 0}, {0, 600}, {900, 700}, {-20, 0}, {0, -4}}) {
        narrow[0].draw(display, x, y);
    }
    EXPECT_EQ(screen.toRgba(), before);

    // The top edge, and hot spots whose arithmetic would overflow 32 bits.
    screen.fill(kFloor);
    narrow[0].draw(display, 0, -3);
    EXPECT_EQ(screen.pixel(5, 0), columnColour(5));
    EXPECT_EQ(screen.pixel(5, 1), kFloor);
    SpriteFrame extreme;
    extreme.setGeometry(4, 4, -2147483647 - 1, 2147483647);
    extreme.createSurface();
    extreme.draw(display, 2147483647, -2147483647 - 1);
}

TEST(SpriteFrameDraw, CentredHotSpotCentresTheFrameAndEmptyPartsDrawNothing) {
    TempDir dir;
    Display display;
    ASSERT_TRUE(display.initOffscreen());
    display.backBuffer().fill(kFloor);
    const SpriteSet picture = columnFrame(dir, 200, 100, 100, 50);
    picture[0].draw(display, 400, 300);
    EXPECT_EQ(display.backBuffer().pixel(300, 250), columnColour(0));
    EXPECT_EQ(display.backBuffer().pixel(499, 349), columnColour(199));
    EXPECT_EQ(display.backBuffer().pixel(299, 250), kFloor);
    EXPECT_EQ(display.backBuffer().pixel(500, 350), kFloor);

    // Out-of-range frame indexes, frames without surfaces and an empty display draw nothing.
    EXPECT_EQ(picture.frame(1), nullptr);
    EXPECT_EQ(picture.frame(-1), nullptr);
    const std::vector<std::uint8_t> before = display.backBuffer().toRgba();
    picture.draw(display, 7, 400, 300);
    SpriteFrame blank;
    blank.setGeometry(10, 10, 5, 5);
    blank.draw(display, 400, 300);
    EXPECT_EQ(display.backBuffer().toRgba(), before);
    Display empty;
    picture[0].draw(empty, 400, 300);
    EXPECT_FALSE(empty.getDC().has_value());
}

}  // namespace
}  // namespace kestrane
