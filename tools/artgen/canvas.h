// canvas.h -- a small anti-aliased painter for the generated artwork (colours 0..255, alpha 0..1).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kestrane {
class GlyphCache;
}

namespace kestrane::art {

struct Colour {
    float r = 0, g = 0, b = 0;
};

constexpr Colour rgb(float r, float g, float b) { return {r, g, b}; }
inline Colour mix(Colour a, Colour b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }
inline Colour scale(Colour c, float f) { return {c.r * f, c.g * f, c.b * f}; }
inline float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

struct Vec {
    float x = 0, y = 0;
};
inline Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
inline Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
inline Vec operator*(Vec a, float f) { return {a.x * f, a.y * f}; }
inline float dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
inline float length(Vec a) { return std::sqrt(dot(a, a)); }

// Signed distances (negative inside), in pixels.
inline float circleDistance(Vec p, Vec centre, float radius) { return length(p - centre) - radius; }
inline float ellipseDistance(Vec p, Vec centre, float rx, float ry) {
    const Vec q{(p.x - centre.x) / rx, (p.y - centre.y) / ry};
    return (length(q) - 1.0f) * std::min(rx, ry);
}
inline float capsuleDistance(Vec p, Vec a, Vec b, float radius) {
    const Vec pa = p - a, ba = b - a;
    const float h = clamp01(dot(pa, ba) / std::max(dot(ba, ba), 1e-6f));
    return length(pa - ba * h) - radius;
}
inline float roundedBoxDistance(Vec p, Vec centre, Vec halfSize, float radius) {
    const Vec q{std::fabs(p.x - centre.x) - halfSize.x + radius, std::fabs(p.y - centre.y) - halfSize.y + radius};
    const Vec outside{std::max(q.x, 0.0f), std::max(q.y, 0.0f)};
    return length(outside) + std::min(std::max(q.x, q.y), 0.0f) - radius;
}

// Deterministic hashing noise: the same picture on every run and every machine.
float hashNoise(int x, int y, int seed);                  // 0..1 per integer point
float valueNoise(float x, float y, int seed);             // smooth, 0..1
float fractalNoise(float x, float y, int seed, int octaves);

class Canvas {
public:
    Canvas(int width, int height, Colour fill = {}, float alpha = 0.0f);

    int width() const { return width_; }
    int height() const { return height_; }
    Colour colour(int x, int y) const { return colours_[index(x, y)]; }
    float alpha(int x, int y) const { return alphas_[index(x, y)]; }
    void set(int x, int y, Colour c, float a = 1.0f);
    // Paints `c` over the pixel with opacity `a`.
    void blend(int x, int y, Colour c, float a);

    // Fills the shape given by a signed distance function, anti-aliased over one pixel, with a
    // colour that may depend on the point and the distance. Only the box [x0, x1) x [y0, y1) is visited.
    template <class Distance, class Paint>
    void paint(Distance distance, Paint colourAt, float opacity = 1.0f, int x0 = 0, int y0 = 0, int x1 = 1 << 20,
               int y1 = 1 << 20) {
        x0 = std::max(x0, 0);
        y0 = std::max(y0, 0);
        x1 = std::min(x1, width_);
        y1 = std::min(y1, height_);
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                const Vec p{x + 0.5f, y + 0.5f};
                const float d = distance(p);
                const float coverage = clamp01(0.5f - d);
                if (coverage > 0.0f) {
                    blend(x, y, colourAt(p, d), coverage * opacity);
                }
            }
        }
    }
    template <class Distance>
    void fill(Distance distance, Colour c, float opacity = 1.0f) {
        paint(distance, [c](Vec, float) { return c; }, opacity);
    }

    // Text in the game font at `scale` x its 16 px cells, from the cell's top-left corner.
    // Returns the width drawn.
    int text(GlyphCache& glyphs, int x, int y, std::string_view utf8, Colour c, int scale = 1, float opacity = 1.0f);
    static int textWidth(GlyphCache& glyphs, std::string_view utf8, int scale = 1);

private:
    std::size_t index(int x, int y) const { return static_cast<std::size_t>(y) * width_ + x; }
    int width_, height_;
    std::vector<Colour> colours_;
    std::vector<float> alphas_;
};

}  // namespace kestrane::art
