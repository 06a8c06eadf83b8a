// Surfaces, keyed copies, BMP loading, the drawing context and screenshots.
#include <gtest/gtest.h>

#include <SDL.h>
#include <stb_image.h>

#include "client/media/client_media.h"
#include "client/media/display.h"
#include "client/media/font_glyphs.h"
#include "platform/message_box.h"
#include "tests/media/test_files.h"

namespace kestrane {
namespace {

using testing::TempDir;

constexpr std::uint16_t kFloor = 0x1234;
constexpr std::uint16_t kRed = 0xF800;
constexpr std::uint16_t kBlue = 0x001F;

TEST(Surface, KeyedCopyLeavesBlackOutAndUnkeyedCopyKeepsIt) {
    Surface source;
    ASSERT_TRUE(source.create(3, 1));
    source.setPixel(1, 0, 0xFFFF);  // pixels 0 and 2 stay black
    Surface target;
    ASSERT_TRUE(target.create(3, 1));

    target.fill(kFloor);
    source.copyTo(target, 0, 0, {0, 0, 3, 1}, Keying::SourceColorKey);
    EXPECT_EQ(target.pixel(0, 0), kFloor);
    EXPECT_EQ(target.pixel(1, 0), 0xFFFF);
    EXPECT_EQ(target.pixel(2, 0), kFloor);

    target.fill(kFloor);
    source.copyTo(target, 0, 0, {0, 0, 3, 1}, Keying::None);
    EXPECT_EQ(target.pixel(0, 0), 0);
    EXPECT_EQ(target.pixel(1, 0), 0xFFFF);

    // The same surface keyed again after an unkeyed copy.
    target.fill(kFloor);
    source.copyTo(target, 0, 0, {0, 0, 3, 1}, Keying::SourceColorKey);
    EXPECT_EQ(target.pixel(0, 0), kFloor);
}

TEST(Surface, CreateReplacesThePictureAndRefusesEmptySizes) {
    MessageBoxCapture messages;
    Surface surface;
    ASSERT_TRUE(surface.create(10, 10));
    surface.fill(0xFFFF);
    ASSERT_TRUE(surface.create(3, 4));
    EXPECT_EQ(surface.width(), 3);
    EXPECT_EQ(surface.height(), 4);
    EXPECT_EQ(surface.pixel(2, 3), 0);
    EXPECT_EQ(surface.pixel(3, 0), std::nullopt);

    EXPECT_FALSE(surface.create(0, 5));
    EXPECT_TRUE(surface.empty());
    EXPECT_EQ(surface.width(), 0);
    EXPECT_EQ(messages.shown(), (std::vector<std::pair<std::string, std::string>>{{"Orvane Works", "표면 생성 실패"}}));

    // An empty surface neither gives nor takes pixels.
    Surface other;
    ASSERT_TRUE(other.create(2, 2));
    EXPECT_EQ(surface.copyTo(other, 0, 0, {0, 0, 2, 2}, Keying::None), 0);
    EXPECT_EQ(other.copyTo(surface, 0, 0, {0, 0, 2, 2}, Keying::None), 0);
}

TEST(Surface, LoadsBmpPixelsTopDown) {
    TempDir dir;
    testing::writeBmp24(dir.file("b.bmp"), {{0xFF0000, 0x00FF00, 0x000000}, {0x0000FF, 0xFFFFFF, 0x808080}});
    Surface surface;
    ASSERT_TRUE(surface.loadBitmap(dir.file("b.bmp")));
    EXPECT_EQ(surface.width(), 3);
    EXPECT_EQ(surface.height(), 2);
    EXPECT_EQ(surface.pixel(0, 0), kRed);
    EXPECT_EQ(surface.pixel(1, 0), 0x07E0);
    EXPECT_EQ(surface.pixel(2, 0), 0);
    EXPECT_EQ(surface.pixel(0, 1), kBlue);
    EXPECT_EQ(surface.pixel(2, 1), toRgb565({0x80, 0x80, 0x80}));
}

TEST(ClientMediaStartUp, MissingBackgroundIsReportedOnceAndTheCopyDrawsNothing) {
    TempDir dir;  // holds none of the data files
    MessageBoxCapture messages;
    ClientMedia media;
    ASSERT_TRUE(media.display.initOffscreen());
    EXPECT_FALSE(media.loadArtwork(dir.path()));
    const auto texts = messages.texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "그림 읽기 실패"), 1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Sprite File Open Error"), 3);

    media.display.backBuffer().fill(kFloor);
    media.copyBackground();
    EXPECT_EQ(media.display.backBuffer().pixel(400, 300), kFloor);
}

TEST(ClientMediaStartUp, BackgroundCopyCoversTheScreenUnkeyed) {
    TempDir dir;
    std::vector<std::vector<std::uint32_t>> rows(600, std::vector<std::uint32_t>(800, 0x00FF00));
    rows[0][0] = 0x000000;  // black parts of the background are drawn black
    rows[599][799] = 0xFF0000;
    testing::writeBmp24(dir.file("background.bmp"), rows);
    ClientMedia media;
    ASSERT_TRUE(media.display.initOffscreen());
    ASSERT_TRUE(media.backgroundSurface.loadBitmap(dir.file("background.bmp")));
    media.display.backBuffer().fill(kFloor);
    media.copyBackground();
    EXPECT_EQ(media.display.backBuffer().pixel(0, 0), 0);
    EXPECT_EQ(media.display.backBuffer().pixel(1, 0), 0x07E0);
    EXPECT_EQ(media.display.backBuffer().pixel(799, 599), kRed);
}

TEST(DrawContext, RectangleHasExclusiveEdgesBlackOutlineAndBrushFill) {
    Display display;
    ASSERT_TRUE(display.initOffscreen());
    Surface& screen = display.backBuffer();
    screen.fill(kFloor);
    DrawLog log;
    display.setDrawLog(&log);
    {
        auto dc = display.getDC();
        ASSERT_TRUE(dc.has_value());
        EXPECT_EQ(dc->selectBrush({255, 0, 0}), kWhite);
        dc->rectangle(10, 20, 15, 24);  // 5 wide, 4 high
        dc->rectangle(30, 20, 30, 25);  // empty: an energy bar of a player who is down
        dc->rectangle(40, 20, 41, 25);  // one pixel wide: all outline
        dc->rectangle(-3, -3, 2, 2);    // clipped at the corner
    }
    for (int x = 10; x < 15; ++x) {
        EXPECT_EQ(screen.pixel(x, 20), 0) << x;
        EXPECT_EQ(screen.pixel(x, 23), 0) << x;
    }
    EXPECT_EQ(screen.pixel(10, 21), 0);
    EXPECT_EQ(screen.pixel(14, 22), 0);
    EXPECT_EQ(screen.pixel(11, 21), kRed);
    EXPECT_EQ(screen.pixel(13, 22), kRed);
    EXPECT_EQ(screen.pixel(15, 21), kFloor);
    EXPECT_EQ(screen.pixel(11, 24), kFloor);
    EXPECT_EQ(screen.pixel(30, 22), kFloor);
    EXPECT_EQ(screen.pixel(40, 22), 0);
    EXPECT_EQ(screen.pixel(41, 22), kFloor);
    EXPECT_EQ(screen.pixel(0, 0), kRed);
    EXPECT_EQ(screen.pixel(1, 1), 0);

    ASSERT_EQ(log.rectangles.size(), 4u);
    EXPECT_EQ(log.rectangles[1].rect, (PixelRect{30, 20, 30, 25}));
    EXPECT_EQ(log.rectangles[1].brush, (Rgb{255, 0, 0}));
}

// Bounding box of the pixels that differ from kFloor.
PixelRect inkBox(const Surface& screen) {
    PixelRect box{10000, 10000, -1, -1};
    for (int y = 0; y < screen.height(); ++y) {
        for (int x = 0; x < screen.width(); ++x) {
            if (screen.pixel(x, y) != kFloor) {
                box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
            }
        }
    }
    return box;
}

TEST(DrawContext, TextIsDrawnInItsColourOnATransparentBackground) {
    Display display;
    ASSERT_TRUE(display.initOffscreen());
    display.glyphs().setSource(openFontGlyphs());
    Surface& screen = display.backBuffer();
    DrawLog log;
    display.setDrawLog(&log);

    screen.fill(kFloor);
    {
        auto dc = display.getDC();
        ASSERT_TRUE(dc.has_value());
        dc->setTextColor({0, 0, 255});
        dc->textOut(100, 200, "HI");
    }
    PixelRect box = inkBox(screen);
    EXPECT_GE(box.left, 100);
    EXPECT_LE(box.right, 116);  // 8 px per byte
    EXPECT_GE(box.top, 200);
    EXPECT_LE(box.bottom, 216);
    EXPECT_GT(box.right, 108);  // the second letter is drawn
    int inked = 0;
    for (int y = box.top; y < box.bottom; ++y) {
        for (int x = box.left; x < box.right; ++x) {
            const auto pixel = screen.pixel(x, y);
            EXPECT_TRUE(pixel == kFloor || pixel == kBlue);
            inked += pixel == kBlue;
        }
    }
    EXPECT_GT(inked, 10);

    // Code page 949 "가나" (B0 A1 B3 AA): two 16 px wide syllables, in the default black.
    screen.fill(kFloor);
    display.getDC()->textOut(0, 584, "\xB0\xA1\xB3\xAA");
    box = inkBox(screen);
    EXPECT_GE(box.top, 584);
    EXPECT_GT(box.right, 16);
    EXPECT_LE(box.right, 32);

    // Text running off the right and bottom edges is cut there.
    screen.fill(kFloor);
    display.getDC()->textOut(793, 595, "WWWW");  // W has ink in its cell columns 1 and 6
    box = inkBox(screen);
    EXPECT_GE(box.left, 793);
    EXPECT_EQ(box.right, 800);
    EXPECT_EQ(box.bottom, 600);

    ASSERT_EQ(log.texts.size(), 3u);
    EXPECT_EQ(log.texts[0].bytes, "HI");
    EXPECT_EQ(log.texts[0].colour, (Rgb{0, 0, 255}));
    EXPECT_EQ(log.texts[1].colour, kBlack);
}

TEST(Display, EmptyOffscreenAndScreenshotStates) {
    Display display;
    EXPECT_FALSE(display.hasBackBuffer());
    EXPECT_EQ(display.screenRect(), (PixelRect{}));
    EXPECT_FALSE(display.getDC().has_value());
    EXPECT_EQ(display.present(), 0);
    EXPECT_FALSE(display.saveScreenshot("/tmp/kestrane-never-written.png"));
    EXPECT_FALSE(display.initOffscreen(800, 600, 24));

    ASSERT_TRUE(display.initOffscreen());
    EXPECT_EQ(display.screenRect(), (PixelRect{0, 0, 800, 600}));
    EXPECT_EQ(display.screenWidth(), 800);
    EXPECT_EQ(display.screenHeight(), 600);
    EXPECT_FALSE(display.hasWindow());
    display.backBuffer().fill(kRed);
    display.backBuffer().setPixel(799, 599, kBlue);
    EXPECT_EQ(display.present(), 0);
    EXPECT_EQ(display.presentCount(), 1);

    TempDir dir;
    ASSERT_TRUE(display.saveScreenshot(dir.file("shot.png")));
    int width = 0, height = 0, channels = 0;
    unsigned char* rgba = stbi_load(dir.file("shot.png").c_str(), &width, &height, &channels, 4);
    ASSERT_NE(rgba, nullptr);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
    EXPECT_EQ(std::vector<int>(rgba, rgba + 4), (std::vector<int>{255, 0, 0, 255}));
    const unsigned char* last = rgba + (800 * 600 - 1) * 4;
    EXPECT_EQ(std::vector<int>(last, last + 4), (std::vector<int>{0, 0, 255, 255}));
    stbi_image_free(rgba);

    display.release();
    EXPECT_FALSE(display.hasBackBuffer());
    EXPECT_EQ(display.screenWidth(), 0);
}

}  // namespace
}  // namespace kestrane

namespace kestrane {
namespace {

TEST(Display, ShowsTheBackBufferInAWindowItIsHandedOver) {
    // The software renderer on a plain framebuffer: no graphics driver is loaded, whatever
    // the machine has (those drivers keep memory past their unloading).
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_Window* window = SDL_CreateWindow("display", 0, 0, 320, 200, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    {
        Display display;
        EXPECT_FALSE(display.init(window, 800, 600, 24)) << "only 16 bits per pixel";
        EXPECT_FALSE(display.hasBackBuffer());
        ASSERT_TRUE(display.init(window, 800, 600, 16, WindowMode::Windowed)) << SDL_GetError();
        EXPECT_TRUE(display.hasWindow());
        EXPECT_EQ(display.screenRect(), (PixelRect{0, 0, 800, 600}));
        int width = 0, height = 0;
        SDL_GetWindowSize(window, &width, &height);
        EXPECT_EQ(width, 800);
        EXPECT_EQ(height, 600);
        display.backBuffer().fill(0xF800);
        EXPECT_EQ(display.present(), 0);

        // A renderer the program already made for the window (its dialogs) is used, not replaced.
        display.release();
        SDL_Renderer* own = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
        ASSERT_NE(own, nullptr) << SDL_GetError();
        ASSERT_TRUE(display.init(window, 800, 600, 16, WindowMode::Windowed));
        EXPECT_EQ(display.present(), 0);
        display.release();
        EXPECT_EQ(SDL_GetRenderer(window), own);
        SDL_DestroyRenderer(own);
    }
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
}  // namespace kestrane

#include "client/media/bitmap_file.h"

namespace kestrane {
namespace {

// A BMP with a 40-byte header; `extra` goes between the header and the pixels (a colour table
// or bit-field masks), `rows` are the stored rows as they lie in the file.
testing::Bytes bmp(std::int32_t width, std::int32_t height, int bits, std::uint32_t compression,
                   const testing::Bytes& extra, const testing::Bytes& rows) {
    testing::Bytes file{'B', 'M'};
    testing::appendU32(file, static_cast<std::uint32_t>(54 + extra.size() + rows.size()));
    testing::appendU32(file, 0);
    testing::appendU32(file, static_cast<std::uint32_t>(54 + extra.size()));
    testing::appendU32(file, 40);
    testing::appendU32(file, static_cast<std::uint32_t>(width));
    testing::appendU32(file, static_cast<std::uint32_t>(height));
    testing::appendU16(file, 1);
    testing::appendU16(file, static_cast<std::uint32_t>(bits));
    testing::appendU32(file, compression);
    for (int i = 0; i < 3; ++i) {
        testing::appendU32(file, 0);
    }
    testing::appendU32(file, bits <= 8 ? static_cast<std::uint32_t>(extra.size() / 4) : 0);  // colours used
    testing::appendU32(file, 0);
    file.insert(file.end(), extra.begin(), extra.end());
    file.insert(file.end(), rows.begin(), rows.end());
    return file;
}

TEST(BitmapFile, ReadsEveryDepthAndRefusesWhatItCannotHold) {
    const testing::Bytes palette{0, 0, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0};  // black, red, blue (b, g, r, 0)
    struct Case {
        const char* name;
        testing::Bytes file;
        std::vector<std::uint16_t> pixels;  // top-down; empty: refused
    };
    const std::vector<Case> cases{
        {"8 bits, bottom-up", bmp(2, 2, 8, 0, palette, {1, 2, 0, 0, 2, 1, 0, 0}), {kBlue, kRed, kRed, kBlue}},
        {"4 bits", bmp(3, 1, 4, 0, palette, {0x12, 0x00, 0, 0}), {kRed, kBlue, 0}},
        {"1 bit", bmp(9, 1, 1, 0, palette, {0x80, 0x80, 0, 0}), {kRed, 0, 0, 0, 0, 0, 0, 0, kRed}},
        {"24 bits, top-down", bmp(1, -2, 24, 0, {}, {0, 0, 255, 0, 0, 255, 0, 0}), {kRed, 0x07E0}},
        {"16 bits, 5-5-5", bmp(2, 1, 16, 0, {}, {0x00, 0x7C, 0xFF, 0x7F}), {kRed, 0xFFFF}},
        {"32 bits, 5-6-5 masks", bmp(1, 1, 32, 3, {0, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0}, {0x1F, 0, 0, 0}),
         {kBlue}},
        {"pixels cut short", bmp(2, 2, 24, 0, {}, testing::Bytes(15, 0)), {}},
        {"run-length compressed", bmp(2, 1, 8, 1, palette, {1, 2, 0, 0}), {}},
        {"no width", bmp(0, 1, 24, 0, {}, {0, 0, 0, 0}), {}},
        {"wider than a picture may be", bmp(kMaxSurfaceSide + 1, 1, 1, 0, palette, testing::Bytes(2052, 0)), {}},
        {"palette past the end", bmp(1, 1, 8, 0, {}, {}), {}},
        {"12 bits", bmp(1, 1, 12, 0, {}, {0, 0, 0, 0}), {}},
        {"not a BMP", {'P', 'K', 3, 4}, {}},
    };
    for (const Case& c : cases) {
        const std::optional<Surface> picture = decodeBitmap(c.file);
        ASSERT_EQ(picture.has_value(), !c.pixels.empty()) << c.name;
        if (picture) {
            EXPECT_EQ(std::vector<std::uint16_t>(picture->pixels().begin(), picture->pixels().end()), c.pixels)
                << c.name;
        }
    }
}

}  // namespace
}  // namespace kestrane
