// window_icon.cpp -- a hovering kestrel on a round badge, rendered with 4 x 4 supersampling.
#include "client/app/window_icon.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kestrane {

namespace {

struct Point {
    double x;
    double y;
};

struct Colour {
    double r, g, b;
};

constexpr int kSamples = 4;  // per axis and pixel
constexpr Point kCentre{32.0, 32.0};
constexpr double kBadgeRadius = 30.5;
constexpr double kRimWidth = 2.5;

constexpr Colour kBadgeInner{0.20, 0.50, 0.38};
constexpr Colour kBadgeOuter{0.10, 0.30, 0.24};
constexpr Colour kRim{0.90, 0.72, 0.28};
constexpr Colour kPlumage{0.86, 0.45, 0.22};
constexpr Colour kWingTip{0.30, 0.20, 0.16};
constexpr Colour kBand{0.95, 0.88, 0.70};

// Seen from below as it hovers into the wind: long pointed wings raised a little, their
// trailing edges notched by the flight feathers, and a fanned tail.
constexpr std::array<Point, 11> kLeftWing = {{{31, 27},
                                              {18, 21},
                                              {8, 16.5},
                                              {10, 21.5},
                                              {11, 22.5},
                                              {13, 26},
                                              {16, 25.5},
                                              {18, 29.5},
                                              {21, 29},
                                              {24, 33},
                                              {31, 36}}};
constexpr std::array<Point, 5> kTail = {{{29.5, 40}, {34.5, 40}, {38.5, 53}, {32, 55.5}, {25.5, 53}}};
constexpr std::array<Point, 3> kBeak = {{{30.6, 19.5}, {33.4, 19.5}, {32, 16.5}}};
// Dark bars across the underside of each wing.
constexpr std::array<Point, 3> kWingSpots = {{{17, 24}, {21, 26.5}, {25, 29.5}}};

bool insidePolygon(Point p, const Point* points, std::size_t count) {
    bool inside = false;
    for (std::size_t i = 0, j = count - 1; i < count; j = i++) {
        const Point a = points[i];
        const Point b = points[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) {
            inside = !inside;
        }
    }
    return inside;
}

bool insideEllipse(Point p, Point centre, double rx, double ry) {
    const double dx = (p.x - centre.x) / rx;
    const double dy = (p.y - centre.y) / ry;
    return dx * dx + dy * dy <= 1.0;
}

Colour mix(Colour a, Colour b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// The colour at a point inside the badge.
Colour sampleBadge(Point p) {
    const double distance = std::hypot(p.x - kCentre.x, p.y - kCentre.y);
    if (distance > kBadgeRadius - kRimWidth) {
        return kRim;
    }
    // The bird is symmetric about the badge's vertical axis.
    const Point mirrored{p.x < kCentre.x ? p.x : 2 * kCentre.x - p.x, p.y};
    if (insidePolygon(mirrored, kLeftWing.data(), kLeftWing.size())) {
        for (const Point spot : kWingSpots) {
            if (insideEllipse(mirrored, spot, 1.3, 0.9)) {
                return kWingTip;
            }
        }
        return mirrored.x < 11 ? kWingTip : kPlumage;
    }
    if (insidePolygon(p, kTail.data(), kTail.size())) {
        return p.y > 49.5 && p.y < 52 ? kWingTip : kPlumage;  // the dark band near the tail's end
    }
    if (insidePolygon(p, kBeak.data(), kBeak.size())) {
        return kWingTip;
    }
    if (insideEllipse(p, {32, 32.5}, 4.0, 9.0)) {
        return kPlumage;
    }
    if (insideEllipse(p, {32, 22.5}, 3.6, 3.8)) {
        return kBand;
    }
    return mix(kBadgeInner, kBadgeOuter, std::clamp(distance / kBadgeRadius, 0.0, 1.0));
}

std::uint8_t toByte(double value) { return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0, 1.0) * 255)); }

}  // namespace

std::vector<std::uint8_t> iconPixels(int size) {
    const double scale = static_cast<double>(kIconSize) / size;  // the drawing is laid out on 64 x 64
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(size) * size * 4);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            Colour sum{0, 0, 0};
            int covered = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const Point p{(x + (sx + 0.5) / kSamples) * scale, (y + (sy + 0.5) / kSamples) * scale};
                    if (std::hypot(p.x - kCentre.x, p.y - kCentre.y) > kBadgeRadius) {
                        continue;
                    }
                    const Colour c = sampleBadge(p);
                    sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
                    ++covered;
                }
            }
            std::uint8_t* out = &pixels[(static_cast<std::size_t>(y) * size + x) * 4];
            if (covered > 0) {
                out[0] = toByte(sum.r / covered);
                out[1] = toByte(sum.g / covered);
                out[2] = toByte(sum.b / covered);
            }
            out[3] = toByte(static_cast<double>(covered) / (kSamples * kSamples));
        }
    }
    return pixels;
}

std::vector<std::uint8_t> windowIconPixels() { return iconPixels(kIconSize); }

}  // namespace kestrane
