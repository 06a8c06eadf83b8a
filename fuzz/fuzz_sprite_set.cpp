// fuzz_sprite_set.cpp -- any file through the sprite-set loader, into a set of one of the
// game's three capacities, then every frame drawn around and beyond the screen's edges.
// Frames must stay within the set and keep the geometry the file gave them.
//
// Input: the file. Its size modulo 3 picks the set: players (25), bullets (6) or pictures (3).
#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "client/media/client_media.h"
#include "client/media/display.h"
#include "client/media/sprite_set.h"
#include "fuzz/fuzz_support.h"

namespace kestrane::fuzz {
namespace {

constexpr std::array<std::size_t, 3> kCapacities = {kPlayerSpriteCount, kBulletSpriteCount, kEtcSpriteCount};

// Hot-spot positions the world can ask for: inside, on and past every edge, and the far ends
// of the 16-bit positions a peer can send.
constexpr std::array<std::array<int, 2>, 7> kDrawPositions = {
    {{400, 300}, {0, 0}, {799, 599}, {800, 600}, {-1, -1}, {65535, 65535}, {-32768, 32767}}};

struct Session {
    Display display;
    MemoryFile file;

    Session() {
        silenceMessageBoxes();
        FUZZ_CHECK(display.initOffscreen(), "an offscreen display can be made");
    }
};

Session& session() {
    static Session* instance = new Session;  // lives to the end: the fuzzer never returns
    return *instance;
}

std::int32_t fileFrameCount(std::span<const std::uint8_t> data) {
    if (data.size() < kSpriteHeaderSize) {
        return 0;
    }
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | data[8 + static_cast<std::size_t>(i)];
    }
    return static_cast<std::int32_t>(value);
}

void checkFrames(const SpriteSet& set, bool loaded, std::int32_t frameCount) {
    const std::size_t announced = frameCount > 0 ? static_cast<std::size_t>(frameCount) : 0;
    std::size_t index = 0;
    for (const SpriteFrame& frame : set) {
        const bool untouched = frame.width() == 0 && frame.height() == 0 && frame.hotSpotX() == 0 &&
                               frame.hotSpotY() == 0 && frame.surface().empty();
        if (untouched) {
            ++index;
            continue;
        }
        FUZZ_CHECK(index < announced, "only frames the file announces are filled");
        FUZZ_CHECK(frame.width() >= 1 && frame.width() <= kMaxSpriteSide, "a loaded frame's width is sane");
        FUZZ_CHECK(frame.height() >= 1 && frame.height() <= kMaxSpriteSide, "a loaded frame's height is sane");
        if (!frame.surface().empty()) {
            FUZZ_CHECK(frame.surface().width() == frame.width() && frame.surface().height() == frame.height(),
                       "a frame's surface has the frame's size");
        }
        ++index;
    }
    if (loaded) {
        const std::size_t expected = std::min(announced, set.size());
        for (std::size_t i = 0; i < expected; ++i) {
            FUZZ_CHECK(set[i].width() >= 1 && set[i].height() >= 1, "a successful load fills every announced frame");
        }
    }
}

}  // namespace
}  // namespace kestrane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrane;
    using namespace kestrane::fuzz;
    Session& s = session();
    FUZZ_CHECK(s.file.write({data, size}), "the input can be written to a memory file");

    SpriteSet set(kCapacities[size % kCapacities.size()]);
    const bool loaded = loadSpriteSet(s.file.path(), set);
    checkFrames(set, loaded, fileFrameCount({data, size}));

    for (const auto& [x, y] : kDrawPositions) {
        for (int index = -1; index <= static_cast<int>(set.size()); ++index) {
            set.draw(s.display, index, x, y);
        }
    }
    FUZZ_CHECK(s.display.backBuffer().width() == 800 && s.display.backBuffer().height() == 600,
               "drawing never changes the back buffer");
    return 0;
}
