// background.cpp -- the arena seen from above: grass, a stone wall, a tiled floor, the side panel.
#include <cmath>
#include <string>

#include "client/media/glyph_cache.h"
#include "tools/artgen/artwork.h"

namespace kestrane::art {

namespace {

// Players stand where their hot spot keeps 75 < x < 610 and 75 < y < 470; their bodies reach
// about 14 px further, so the floor the player sees extends that far.
constexpr int kFloorLeft = 62, kFloorTop = 60, kFloorRight = 624, kFloorBottom = 484;
constexpr int kWall = 14;
constexpr int kPanelLeft = 652, kPanelRight = 792;

void paintGrass(Canvas& canvas) {
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const float broad = fractalNoise(x / 90.0f, y / 90.0f, 11, 3);
            const float fine = hashNoise(x, y, 12);
            const float blades = valueNoise(x / 2.0f, y / 6.0f, 13);
            Colour c = mix(rgb(150, 184, 108), rgb(176, 200, 122), broad);
            c = scale(c, 0.93f + 0.08f * fine + 0.06f * blades);
            canvas.set(x, y, c);
        }
    }
    // A few flower specks.
    for (int i = 0; i < 160; ++i) {
        const int x = static_cast<int>(hashNoise(i, 1, 14) * canvas.width());
        const int y = static_cast<int>(hashNoise(i, 2, 14) * canvas.height());
        const Colour petal = hashNoise(i, 3, 14) < 0.5f ? rgb(250, 246, 220) : rgb(244, 214, 96);
        canvas.blend(x, y, petal, 0.9f);
        canvas.blend(x + 1, y, petal, 0.5f);
    }
}

void paintFloor(Canvas& canvas) {
    constexpr int tile = 32;
    for (int y = kFloorTop; y < kFloorBottom; ++y) {
        for (int x = kFloorLeft; x < kFloorRight; ++x) {
            const int tx = (x - kFloorLeft) / tile, ty = (y - kFloorTop) / tile;
            const int lx = (x - kFloorLeft) % tile, ly = (y - kFloorTop) % tile;
            const float tone = hashNoise(tx, ty, 21);
            Colour c = mix(rgb(224, 208, 172), rgb(236, 224, 194), tone);
            c = scale(c, 0.95f + 0.06f * fractalNoise(x / 7.0f, y / 7.0f, 22, 2) + 0.03f * hashNoise(x, y, 23));
            // Grout lines, with a lit and a shaded edge on every tile.
            if (lx == 0 || ly == 0) {
                c = scale(c, 0.80f);
            } else if (lx == 1 || ly == 1) {
                c = scale(c, 1.04f);
            } else if (lx == tile - 1 || ly == tile - 1) {
                c = scale(c, 0.92f);
            }
            canvas.set(x, y, c);
        }
    }
    // Cracks on a few tiles.
    for (int i = 0; i < 9; ++i) {
        Vec p{kFloorLeft + 40 + hashNoise(i, 1, 24) * (kFloorRight - kFloorLeft - 80),
              kFloorTop + 40 + hashNoise(i, 2, 24) * (kFloorBottom - kFloorTop - 80)};
        float angle = hashNoise(i, 3, 24) * 6.28f;
        for (int step = 0; step < 14; ++step) {
            const Vec next = p + Vec{std::cos(angle) * 2.0f, std::sin(angle) * 2.0f};
            canvas.paint([&](Vec q) { return capsuleDistance(q, p, next, 0.45f); },
                         [](Vec, float) { return rgb(160, 140, 112); }, 0.7f, static_cast<int>(p.x) - 4,
                         static_cast<int>(p.y) - 4, static_cast<int>(p.x) + 5, static_cast<int>(p.y) + 5);
            p = next;
            angle += (hashNoise(i, step, 25) - 0.5f) * 1.2f;
        }
    }
    // The wall's shadow on the floor along its top and left sides.
    for (int y = kFloorTop; y < kFloorBottom; ++y) {
        for (int x = kFloorLeft; x < kFloorRight; ++x) {
            const float fromTop = static_cast<float>(y - kFloorTop), fromLeft = static_cast<float>(x - kFloorLeft);
            const float shade = std::max(clamp01(1 - fromTop / 9.0f), clamp01(1 - fromLeft / 7.0f));
            if (shade > 0) {
                canvas.blend(x, y, rgb(92, 80, 64), shade * 0.45f);
            }
        }
    }
}

void paintWall(Canvas& canvas) {
    const int outerLeft = kFloorLeft - kWall, outerTop = kFloorTop - kWall;
    const int outerRight = kFloorRight + kWall, outerBottom = kFloorBottom + kWall;
    // A soft shadow of the whole wall on the grass.
    for (int y = outerTop - 2; y < outerBottom + 8; ++y) {
        for (int x = outerLeft - 2; x < outerRight + 8; ++x) {
            const float d = roundedBoxDistance({x + 0.5f, y + 0.5f},
                                               {(outerLeft + outerRight) / 2.0f + 4, (outerTop + outerBottom) / 2.0f + 5},
                                               {(outerRight - outerLeft) / 2.0f, (outerBottom - outerTop) / 2.0f}, 4);
            if (d > -8 && d < 6) {
                canvas.blend(x, y, rgb(60, 80, 40), clamp01((6 - d) / 10.0f) * 0.35f);
            }
        }
    }
    for (int y = outerTop; y < outerBottom; ++y) {
        for (int x = outerLeft; x < outerRight; ++x) {
            if (x >= kFloorLeft && x < kFloorRight && y >= kFloorTop && y < kFloorBottom) {
                continue;
            }
            // Blocks 24 x 7 laid in courses along the wall; the side walls run vertically.
            const bool side = x < kFloorLeft || x >= kFloorRight;
            const int along = side ? y - outerTop : x - outerLeft;
            const int across = side ? (x < kFloorLeft ? x - outerLeft : x - kFloorRight)
                                    : (y < kFloorTop ? y - outerTop : y - kFloorBottom);
            const int course = across / 7;
            const int offset = course % 2 == 0 ? 0 : 12;
            const int block = (along + offset) / 24;
            const int inBlock = (along + offset) % 24;
            const int inCourse = across % 7;
            const float tone = hashNoise(block, course + (side ? 50 : 0) + (x < kFloorLeft || y < kFloorTop ? 0 : 100), 31);
            Colour c = mix(rgb(164, 160, 152), rgb(190, 186, 176), tone);
            c = scale(c, 0.94f + 0.08f * hashNoise(x, y, 32));
            if (inBlock == 0 || inCourse == 0) {
                c = scale(c, 0.72f);
            } else if (inBlock == 1 || inCourse == 1) {
                c = scale(c, 1.08f);
            }
            // The inner lip, lit from the top-left: bright on the top and left walls' outer
            // faces, dark where the wall drops to the floor.
            const bool innerEdge = (x == kFloorLeft - 1 || x == kFloorRight || y == kFloorTop - 1 || y == kFloorBottom);
            const bool outerEdge = (x == outerLeft || x == outerRight - 1 || y == outerTop || y == outerBottom - 1);
            if (innerEdge) {
                c = scale(c, 0.62f);
            } else if (outerEdge) {
                c = (x == outerLeft || y == outerTop) ? scale(c, 1.12f) : scale(c, 0.7f);
            }
            canvas.set(x, y, c);
        }
    }
    // Corner posts.
    for (const Vec corner : {Vec{kFloorLeft - kWall / 2.0f, kFloorTop - kWall / 2.0f},
                             Vec{kFloorRight + kWall / 2.0f, kFloorTop - kWall / 2.0f},
                             Vec{kFloorLeft - kWall / 2.0f, kFloorBottom + kWall / 2.0f},
                             Vec{kFloorRight + kWall / 2.0f, kFloorBottom + kWall / 2.0f}}) {
        canvas.paint([&](Vec p) { return roundedBoxDistance(p, corner, {10, 10}, 3); },
                     [&](Vec p, float d) {
                         const float lightness = clamp01(0.5f - (p.x - corner.x + p.y - corner.y) / 24.0f);
                         return scale(rgb(150, 146, 140), 0.8f + 0.35f * lightness - (d > -1.5f ? 0.25f : 0.0f));
                     });
    }
}

void paintPanel(Canvas& canvas, GlyphCache& glyphs) {
    const Vec centre{(kPanelLeft + kPanelRight) / 2.0f, 300};
    const Vec half{(kPanelRight - kPanelLeft) / 2.0f, 292};
    canvas.paint([&](Vec p) { return roundedBoxDistance(p, centre + Vec{3, 4}, half, 10); },
                 [](Vec, float) { return rgb(50, 70, 36); }, 0.35f);
    canvas.paint([&](Vec p) { return roundedBoxDistance(p, centre, half, 10); },
                 [](Vec p, float) { return mix(rgb(52, 62, 86), rgb(34, 40, 60), p.y / 600.0f); });
    canvas.paint([&](Vec p) { return std::fabs(roundedBoxDistance(p, centre, half - Vec{3, 3}, 8)) - 1.0f; },
                 [](Vec, float) { return rgb(222, 196, 120); }, 0.85f);

    const Colour gold = rgb(240, 206, 120), light = rgb(226, 232, 244), dim = rgb(150, 162, 190);
    auto centred = [&](int y, const std::string& text, Colour c, int scaleBy = 1) {
        const int x = static_cast<int>(centre.x) - Canvas::textWidth(glyphs, text, scaleBy) / 2;
        canvas.text(glyphs, x + scaleBy, y + scaleBy, text, rgb(16, 18, 30), scaleBy, 0.8f);
        canvas.text(glyphs, x, y, text, c, scaleBy);
    };
    centred(20, "KESTRANE", gold, 2);
    centred(50, "ARENA", dim);
    // A small emblem: crossed shots.
    const Vec emblem{centre.x, 88};
    canvas.paint([&](Vec p) { return std::fabs(circleDistance(p, emblem, 15)) - 1.2f; }, [&](Vec, float) { return gold; });
    canvas.paint([&](Vec p) { return capsuleDistance(p, emblem + Vec{-9, 9}, emblem + Vec{9, -9}, 1.6f); },
                 [&](Vec, float) { return light; });
    canvas.paint([&](Vec p) { return capsuleDistance(p, emblem + Vec{-9, -9}, emblem + Vec{9, 9}, 1.6f); },
                 [&](Vec, float) { return light; });
    canvas.paint([&](Vec p) { return circleDistance(p, emblem, 3.5f); }, [](Vec, float) { return rgb(255, 150, 60); });

    auto rule = [&](int y) {
        canvas.paint([&](Vec p) { return roundedBoxDistance(p, {centre.x, y + 0.5f}, {half.x - 18, 0.5f}, 0); },
                     [&](Vec, float) { return dim; }, 0.6f);
    };
    // Every line stays inside the rules' ends: at most 14 cells of 8 pixels from keyX, the
    // key column 7 cells wide.
    rule(112);
    centred(120, "조작  CONTROLS", gold);
    const int keyX = kPanelLeft + 10, actionX = kPanelLeft + 66;
    int y = 142;
    for (const auto& [key, action] : std::vector<std::pair<std::string, std::string>>{
             {"↑ ↓", "walk"}, {"← →", "turn"}, {"Space", "shot"}, {"Alt", "mine"}, {"F1", "chat"}, {"F10", "get up"},
             {"Tab", "scores"}, {"F5", "mute"}, {"F6 F7", "volume"}, {"F11", "window"}, {"F12", "picture"}}) {
        canvas.text(glyphs, keyX, y, key, light);
        canvas.text(glyphs, actionX, y, action, dim);
        y += 17;
    }
    rule(334);
    centred(342, "규칙  RULES", gold);
    y = 364;
    for (const std::string line : {"shots: 3 max", "mines: 5 max", "shot -5 energy", "mine -10", "mines stay put",
                                   "until they hit"}) {
        canvas.text(glyphs, keyX, y, line, light);
        y += 18;
    }
    rule(492);
    centred(502, "Enter  보내기", dim);
    centred(522, "Esc    취소", dim);
}

void paintChatStrip(Canvas& canvas, GlyphCache& glyphs) {
    // Where the line being typed appears (x 20, y 575): a pale inset so black text reads.
    const Vec centre{328, 583};
    const Vec half{318, 13};
    canvas.paint([&](Vec p) { return roundedBoxDistance(p, centre, half, 6); },
                 [](Vec, float d) { return d > -1.5f ? rgb(120, 140, 90) : rgb(236, 240, 222); }, 0.85f);
    canvas.text(glyphs, 560, 575, "F1 채팅", rgb(120, 132, 100));
}

}  // namespace

Canvas background(GlyphCache& glyphs) {
    Canvas canvas(800, 600, {}, 1.0f);
    paintGrass(canvas);
    paintWall(canvas);
    paintFloor(canvas);
    paintPanel(canvas, glyphs);
    paintChatStrip(canvas, glyphs);
    return canvas;
}

}  // namespace kestrane::art
