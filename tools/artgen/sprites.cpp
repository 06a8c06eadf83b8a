// sprites.cpp -- the player character, the shot and mine, and the three centre pictures.
#include <cmath>
#include <numbers>
#include <string>

#include "client/media/glyph_cache.h"
#include "tools/artgen/artwork.h"

namespace kestrane::art {

namespace {

constexpr Colour kOutline = rgb(28, 26, 40);
constexpr Colour kJacket = rgb(40, 150, 132);
constexpr Colour kPack = rgb(176, 112, 58);
constexpr Colour kSkin = rgb(236, 186, 146);
constexpr Colour kCap = rgb(214, 64, 52);
constexpr Colour kBrim = rgb(160, 40, 36);
constexpr Colour kBoot = rgb(84, 60, 48);
constexpr Colour kGun = rgb(66, 72, 84);

// Darkens the opaque pixels that touch a transparent one: a crisp one-pixel outline that
// stays inside the frame.
void outline(Canvas& canvas, Colour ink, float strength) {
    Canvas copy = canvas;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            if (copy.alpha(x, y) < 0.5f) {
                canvas.set(x, y, {}, 0.0f);
                continue;
            }
            bool edge = x == 0 || y == 0 || x == canvas.width() - 1 || y == canvas.height() - 1;
            for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                const int nx = x + dx, ny = y + dy;
                if (nx >= 0 && ny >= 0 && nx < canvas.width() && ny < canvas.height() && copy.alpha(nx, ny) < 0.5f) {
                    edge = true;
                }
            }
            canvas.set(x, y, edge ? mix(copy.colour(x, y), ink, strength) : copy.colour(x, y), 1.0f);
        }
    }
}

// A body part lit from the top-left of the screen whatever way the player faces: brighter
// towards the light and darker towards its own edge.
auto lit(Colour base, Vec light) {
    return [base, light](Vec p, float d) {
        const float rim = clamp01(-d / 3.0f);
        const float towardsLight = clamp01(0.5f - dot(p - light, Vec{0.45f, 0.55f}) / 14.0f);
        return scale(base, 0.72f + 0.22f * rim + 0.22f * towardsLight);
    };
}

// The character facing up, in coordinates turned by `angle` (clockwise, radians) about the
// frame's centre. step: 0 standing, 1 left foot forward, 2 right foot forward.
SpriteImage paintPlayer(float angle, int step) {
    Canvas canvas(kPlayerWidth, kPlayerHeight);
    const Vec centre{kPlayerWidth / 2.0f, kPlayerHeight / 2.0f};
    const float c = std::cos(angle), s = std::sin(angle);
    // (u, v): u to the character's right, v forward.
    auto at = [&](float u, float v) { return Vec{centre.x + u * c + v * s, centre.y + u * s - v * c}; };
    const Vec light = centre + Vec{-8, -10};

    const float leftFoot = step == 1 ? 7.0f : step == 2 ? -5.5f : 0.0f;
    const float rightFoot = step == 2 ? 7.0f : step == 1 ? -5.5f : 0.0f;
    const float sway = step == 0 ? 0.0f : (step == 1 ? 0.6f : -0.6f);
    for (const auto& [u, v] : {std::pair{-4.5f, leftFoot}, {4.5f, rightFoot}}) {
        const Vec foot = at(u, v);
        const Vec toe = at(u, v + 2.0f);
        canvas.paint([&](Vec p) { return capsuleDistance(p, foot, toe, 3.0f); }, lit(kBoot, light));
    }
    // Backpack, then the body, and the arms that hold the gun forward.
    canvas.paint([&](Vec p) { return capsuleDistance(p, at(-3.5f + sway, -6.2f), at(3.5f + sway, -6.2f), 3.0f); },
                 lit(kPack, light));
    canvas.paint([&](Vec p) { return capsuleDistance(p, at(-5.5f + sway, -1.0f), at(5.5f + sway, -1.0f), 4.6f); },
                 lit(kJacket, light));
    canvas.paint([&](Vec p) { return capsuleDistance(p, at(1.0f, 6.5f), at(1.0f, 17.0f), 1.5f); }, lit(kGun, light));
    canvas.paint([&](Vec p) { return capsuleDistance(p, at(1.0f, 15.0f), at(1.0f, 17.0f), 0.9f); },
                 [](Vec, float) { return rgb(150, 158, 172); });
    canvas.paint([&](Vec p) { return capsuleDistance(p, at(8.0f + sway, -0.5f), at(3.0f, 7.0f), 2.1f); },
                 lit(scale(kJacket, 0.9f), light));
    canvas.paint([&](Vec p) { return capsuleDistance(p, at(-8.0f + sway, -0.5f), at(-0.8f, 8.5f), 2.1f); },
                 lit(scale(kJacket, 0.9f), light));
    canvas.paint([&](Vec p) { return circleDistance(p, at(2.4f, 8.0f), 1.9f); }, lit(kSkin, light));
    canvas.paint([&](Vec p) { return circleDistance(p, at(-0.4f, 9.6f), 1.9f); }, lit(kSkin, light));
    // Head: a cap with its brim to the front, so the facing reads at a glance.
    const Vec head = at(sway * 0.5f, 0.0f);
    canvas.paint([&](Vec p) { return circleDistance(p, head, 5.0f); }, lit(kCap, light));
    canvas.paint([&](Vec p) { return circleDistance(p, at(sway * 0.5f - 1.4f, -0.8f), 1.5f); },
                 [](Vec, float) { return rgb(250, 226, 200); }, 0.7f);
    canvas.paint([&](Vec p) { return capsuleDistance(p, at(sway * 0.5f - 2.2f, 4.6f), at(sway * 0.5f + 2.2f, 4.6f), 1.6f); },
                 [](Vec, float) { return kBrim; });
    outline(canvas, kOutline, 0.7f);
    return {std::move(canvas), kPlayerWidth / 2, kPlayerHeight / 2};
}

// Lying on its back, arms out, cap knocked off, in washed-out colours.
SpriteImage paintDownedPlayer() {
    Canvas canvas(kPlayerWidth, kPlayerHeight);
    auto faded = [](Colour colour) { return mix(colour, rgb(150, 150, 160), 0.45f); };
    const Vec light{8, 10};
    canvas.paint([&](Vec p) { return capsuleDistance(p, {9, 31}, {13, 36}, 3.0f); }, lit(faded(kBoot), light));
    canvas.paint([&](Vec p) { return capsuleDistance(p, {22, 31}, {19, 36}, 3.0f); }, lit(faded(kBoot), light));
    canvas.paint([&](Vec p) { return capsuleDistance(p, {11, 25}, {21, 25}, 6.0f); }, lit(faded(kJacket), light));
    canvas.paint([&](Vec p) { return capsuleDistance(p, {9, 22}, {3, 15}, 2.3f); }, lit(faded(kJacket), light));
    canvas.paint([&](Vec p) { return capsuleDistance(p, {23, 22}, {29, 17}, 2.3f); }, lit(faded(kJacket), light));
    canvas.paint([&](Vec p) { return circleDistance(p, {16, 15}, 5.4f); }, lit(faded(kSkin), light));
    canvas.paint([&](Vec p) { return circleDistance(p, {26, 7}, 4.0f); }, lit(faded(kCap), light));
    canvas.paint([&](Vec p) { return capsuleDistance(p, {3, 30}, {9, 38}, 1.4f); }, lit(faded(kGun), light));
    // Crossed-out eyes.
    for (const float eye : {13.5f, 18.5f}) {
        canvas.paint([&](Vec p) { return capsuleDistance(p, {eye - 1.3f, 12.7f}, {eye + 1.3f, 15.3f}, 0.55f); },
                     [](Vec, float) { return rgb(60, 40, 50); });
        canvas.paint([&](Vec p) { return capsuleDistance(p, {eye - 1.3f, 15.3f}, {eye + 1.3f, 12.7f}, 0.55f); },
                     [](Vec, float) { return rgb(60, 40, 50); });
    }
    outline(canvas, kOutline, 0.7f);
    return {std::move(canvas), kPlayerWidth / 2, kPlayerHeight / 2};
}

SpriteImage paintShot(int phase) {
    constexpr int size = 11;
    Canvas canvas(size, size);
    const Vec centre{size / 2.0f, size / 2.0f};
    const float pulse = 0.35f * static_cast<float>(phase);
    canvas.paint([&](Vec p) { return circleDistance(p, centre, 4.4f + pulse * 0.6f); },
                 [&](Vec p, float) { return mix(rgb(255, 120, 30), rgb(255, 200, 60), clamp01(1 - length(p - centre) / 5)); });
    const float spin = static_cast<float>(phase) * std::numbers::pi_v<float> / 6.0f;
    for (int arm = 0; arm < 2; ++arm) {
        const float a = spin + static_cast<float>(arm) * std::numbers::pi_v<float> / 2.0f;
        const Vec d{std::cos(a) * 5.0f, std::sin(a) * 5.0f};
        canvas.paint([&](Vec p) { return capsuleDistance(p, centre - d, centre + d, 0.7f); },
                     [](Vec, float) { return rgb(255, 236, 150); });
    }
    canvas.paint([&](Vec p) { return circleDistance(p, centre, 2.2f); }, [](Vec, float) { return rgb(255, 255, 230); });
    return {std::move(canvas), size / 2, size / 2};
}

SpriteImage paintMine(int phase) {
    constexpr int size = 15;
    Canvas canvas(size, size);
    const Vec centre{size / 2.0f, size / 2.0f};
    for (int spike = 0; spike < 8; ++spike) {
        const float a = static_cast<float>(spike) * std::numbers::pi_v<float> / 4.0f;
        const Vec out{std::cos(a), std::sin(a)};
        canvas.paint([&](Vec p) { return capsuleDistance(p, centre + out * 4.0f, centre + out * 6.4f, 0.9f); },
                     [](Vec, float) { return rgb(176, 182, 192); });
    }
    canvas.paint([&](Vec p) { return circleDistance(p, centre, 5.0f); }, lit(rgb(120, 126, 140), centre + Vec{-3, -3}));
    const Colour lamp = phase == 0 ? rgb(255, 72, 48) : phase == 1 ? rgb(200, 44, 36) : rgb(120, 30, 32);
    canvas.paint([&](Vec p) { return circleDistance(p, centre, 2.6f); }, [&](Vec, float) { return lamp; });
    if (phase == 0) {
        canvas.paint([&](Vec p) { return circleDistance(p, centre + Vec{-0.8f, -0.8f}, 1.0f); },
                     [](Vec, float) { return rgb(255, 220, 200); });
    }
    outline(canvas, kOutline, 0.55f);
    return {std::move(canvas), size / 2, size / 2};
}

struct Notice {
    Colour accent;
    const char* title;
    const char* lineKorean;
    const char* lineEnglish;
    int icon;  // 0 joined, 1 down, 2 closed
};

void paintIcon(Canvas& canvas, Vec at, int icon, Colour accent) {
    canvas.paint([&](Vec p) { return circleDistance(p, at, 22.0f); }, [&](Vec, float) { return scale(accent, 0.32f); });
    canvas.paint([&](Vec p) { return std::fabs(circleDistance(p, at, 21.0f)) - 1.5f; },
                 [&](Vec, float) { return accent; });
    const Colour ink = rgb(240, 244, 250);
    if (icon == 0) {  // a figure with a plus
        canvas.fill([&](Vec p) { return circleDistance(p, at + Vec{-4, -7}, 5.0f); }, ink);
        canvas.fill([&](Vec p) { return capsuleDistance(p, at + Vec{-10, 9}, at + Vec{2, 9}, 6.0f); }, ink);
        canvas.fill([&](Vec p) { return roundedBoxDistance(p, at + Vec{-4, 13}, Vec{14, 4}, 0.0f); }, scale(accent, 0.32f));
        canvas.fill([&](Vec p) { return capsuleDistance(p, at + Vec{10, -4}, at + Vec{10, 6}, 1.8f); }, accent);
        canvas.fill([&](Vec p) { return capsuleDistance(p, at + Vec{5, 1}, at + Vec{15, 1}, 1.8f); }, accent);
    } else if (icon == 1) {  // a broken heart
        auto heart = [&](Vec p) {
            const Vec q = (p - at) * (1.0f / 13.0f);
            const float lobes = std::min(circleDistance(q, {-0.5f, -0.35f}, 0.55f), circleDistance(q, {0.5f, -0.35f}, 0.55f));
            const float tip = std::max(std::fabs(q.x) * 0.9f + q.y * 0.75f - 0.72f, -q.y - 0.6f);
            return std::min(lobes, tip) * 13.0f;
        };
        canvas.fill(heart, accent);
        canvas.fill([&](Vec p) {
            return std::min(capsuleDistance(p, at + Vec{0, -8}, at + Vec{-3, -1}, 1.2f),
                            std::min(capsuleDistance(p, at + Vec{-3, -1}, at + Vec{2, 4}, 1.2f),
                                     capsuleDistance(p, at + Vec{2, 4}, at + Vec{-1, 11}, 1.2f)));
        }, scale(accent, 0.32f));
    } else {  // a power symbol
        canvas.fill([&](Vec p) {
            const float ring = std::fabs(circleDistance(p, at + Vec{0, 2}, 10.0f)) - 2.2f;
            return std::max(ring, -(p.y - at.y + 12.0f - std::fabs(p.x - at.x) * 1.6f));
        }, ink);
        canvas.fill([&](Vec p) { return capsuleDistance(p, at + Vec{0, -12}, at + Vec{0, 0}, 2.2f); }, ink);
    }
}

SpriteImage paintNotice(GlyphCache& glyphs, const Notice& notice) {
    constexpr int width = 392, height = 112;
    Canvas canvas(width, height);
    const Vec centre{width / 2.0f, height / 2.0f};
    const Vec half{width / 2.0f - 1, height / 2.0f - 1};
    canvas.paint([&](Vec p) { return roundedBoxDistance(p, centre, half, 16.0f); },
                 [&](Vec p, float) { return mix(rgb(40, 48, 70), rgb(20, 24, 40), p.y / height); });
    canvas.paint([&](Vec p) { return std::fabs(roundedBoxDistance(p, centre, half - Vec{2, 2}, 14.0f)) - 1.5f; },
                 [&](Vec, float) { return notice.accent; });
    canvas.paint([&](Vec p) { return roundedBoxDistance(p, {centre.x, 10}, {half.x - 22, 1.0f}, 1.0f); },
                 [&](Vec, float) { return mix(notice.accent, rgb(255, 255, 255), 0.4f); }, 0.5f);
    paintIcon(canvas, {52, centre.y}, notice.icon, notice.accent);

    const int textLeft = 92;
    const int titleWidth = Canvas::textWidth(glyphs, notice.title, 2);
    const int titleX = textLeft + (width - 16 - textLeft - titleWidth) / 2;
    canvas.text(glyphs, titleX + 2, 16 + 2, notice.title, rgb(10, 12, 20), 2, 0.8f);
    canvas.text(glyphs, titleX, 16, notice.title, rgb(248, 250, 255), 2);
    const int koreanX = textLeft + (width - 16 - textLeft - Canvas::textWidth(glyphs, notice.lineKorean)) / 2;
    canvas.text(glyphs, koreanX, 58, notice.lineKorean, mix(notice.accent, rgb(255, 255, 255), 0.55f));
    const int englishX = textLeft + (width - 16 - textLeft - Canvas::textWidth(glyphs, notice.lineEnglish)) / 2;
    canvas.text(glyphs, englishX, 78, notice.lineEnglish, rgb(196, 204, 220));
    return {std::move(canvas), width / 2, height / 2};
}

}  // namespace

std::vector<SpriteImage> playerFrames() {
    std::vector<SpriteImage> frames;
    for (int direction = 0; direction < 8; ++direction) {
        const float angle = static_cast<float>(direction) * std::numbers::pi_v<float> / 4.0f;
        for (int step = 0; step < 3; ++step) {
            frames.push_back(paintPlayer(angle, step));
        }
    }
    frames.push_back(paintDownedPlayer());
    return frames;
}

std::vector<SpriteImage> bulletFrames() {
    std::vector<SpriteImage> frames;
    for (int phase = 0; phase < 3; ++phase) {
        frames.push_back(paintShot(phase));
    }
    for (int phase = 0; phase < 3; ++phase) {
        frames.push_back(paintMine(phase));
    }
    return frames;
}

std::vector<SpriteImage> centrePictures(GlyphCache& glyphs) {
    const Notice notices[] = {
        {rgb(64, 200, 170), "PLAYER JOINED", "새 플레이어 입장 - 동기화 중", "syncing the arena...", 0},
        {rgb(236, 76, 70), "YOU ARE DOWN", "F10 키를 눌러 다시 일어나세요", "press F10 to get back up", 1},
        {rgb(240, 176, 60), "SERVER CLOSED", "서버가 종료되었습니다", "the game has ended", 2},
    };
    std::vector<SpriteImage> pictures;
    for (const Notice& notice : notices) {
        pictures.push_back(paintNotice(glyphs, notice));
    }
    return pictures;
}

}  // namespace kestrane::art
