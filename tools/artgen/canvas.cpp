// canvas.cpp -- blending, noise and text for the artwork painter.
#include "tools/artgen/canvas.h"

#include "client/media/glyph_cache.h"

namespace kestrane::art {

float hashNoise(int x, int y, int seed) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u +
                      static_cast<std::uint32_t>(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return static_cast<float>(h & 0xFFFFFF) / static_cast<float>(0xFFFFFF);
}

float valueNoise(float x, float y, int seed) {
    const int xi = static_cast<int>(std::floor(x)), yi = static_cast<int>(std::floor(y));
    const float fx = x - static_cast<float>(xi), fy = y - static_cast<float>(yi);
    const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const float top = hashNoise(xi, yi, seed) + (hashNoise(xi + 1, yi, seed) - hashNoise(xi, yi, seed)) * sx;
    const float bottom = hashNoise(xi, yi + 1, seed) + (hashNoise(xi + 1, yi + 1, seed) - hashNoise(xi, yi + 1, seed)) * sx;
    return top + (bottom - top) * sy;
}

float fractalNoise(float x, float y, int seed, int octaves) {
    float total = 0, amplitude = 0.5f, norm = 0;
    for (int octave = 0; octave < octaves; ++octave) {
        total += valueNoise(x, y, seed + octave * 101) * amplitude;
        norm += amplitude;
        x *= 2;
        y *= 2;
        amplitude *= 0.5f;
    }
    return total / norm;
}

Canvas::Canvas(int width, int height, Colour fill, float alpha)
    : width_(width), height_(height), colours_(static_cast<std::size_t>(width) * height, fill),
      alphas_(static_cast<std::size_t>(width) * height, alpha) {}

void Canvas::set(int x, int y, Colour c, float a) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) {
        colours_[index(x, y)] = c;
        alphas_[index(x, y)] = a;
    }
}

void Canvas::blend(int x, int y, Colour c, float a) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || a <= 0) {
        return;
    }
    const std::size_t i = index(x, y);
    const float below = alphas_[i];
    const float out = a + below * (1 - a);
    if (out <= 0) {
        return;
    }
    const Colour& d = colours_[i];
    colours_[i] = {(c.r * a + d.r * below * (1 - a)) / out, (c.g * a + d.g * below * (1 - a)) / out,
                   (c.b * a + d.b * below * (1 - a)) / out};
    alphas_[i] = out;
}

int Canvas::text(GlyphCache& glyphs, int x, int y, std::string_view utf8, Colour c, int scale, float opacity) {
    int penX = x;
    for (const char32_t codePoint : GlyphCache::decodeUtf8(utf8)) {
        const Glyph* cell = glyphs.glyph(codePoint);
        if (cell == nullptr) {
            continue;
        }
        for (int row = 0; row < cell->height; ++row) {
            for (int column = 0; column < cell->width; ++column) {
                if (cell->mask[static_cast<std::size_t>(row) * cell->width + column] == 0) {
                    continue;
                }
                for (int sy = 0; sy < scale; ++sy) {
                    for (int sx = 0; sx < scale; ++sx) {
                        blend(penX + column * scale + sx, y + row * scale + sy, c, opacity);
                    }
                }
            }
        }
        penX += cell->width * scale;
    }
    return penX - x;
}

int Canvas::textWidth(GlyphCache& glyphs, std::string_view utf8, int scale) {
    int width = 0;
    for (const char32_t codePoint : GlyphCache::decodeUtf8(utf8)) {
        if (const Glyph* cell = glyphs.glyph(codePoint); cell != nullptr) {
            width += cell->width * scale;
        }
    }
    return width;
}

}  // namespace kestrane::art
