// kestrane-sheet -- contact sheets of the game's data files, drawn with the game's own loader
// and drawing code.
//   kestrane-sheet [--data DIR] OUT.png           every sprite frame over the background
//   kestrane-sheet --sounds [--data DIR] OUT.png  waveform and spectrogram of 1.wav .. 6.wav
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "client/media/client_media.h"
#include "client/media/font_glyphs.h"
#include "client/media/wave_file.h"
#include "platform/png_writer.h"
#include "platform/text_encoding.h"

namespace kestrane {
namespace {

using Rgba = std::vector<std::uint8_t>;

void drawLabel(Display& display, int x, int y, const std::string& utf8, Rgb colour = kBlack) {
    if (auto dc = display.getDC()) {
        dc->setTextColor(colour);
        dc->textOut(x, y, utf8ToCp949(utf8));
    }
}

// A player as the game shows it: frame, energy bar and name under the frame.
void drawPlayer(ClientMedia& media, int frame, int x, int y, int energy, const std::string& name) {
    media.playerSprites.draw(media.display, energy == 0 ? kDeadFrame : frame, x, y);
    const SpriteFrame& f = media.playerSprites[static_cast<std::size_t>(frame)];
    const std::string bytes = utf8ToCp949(name);
    const int labelX = x - static_cast<int>(bytes.size() / 2) * 8;
    const int labelY = y - f.hotSpotY() + f.height();
    if (auto dc = media.display.getDC()) {
        dc->selectBrush({255, 0, 0});
        dc->rectangle(labelX, labelY, labelX + energy / 3, labelY + 5);
        dc->setTextColor({0, 0, 255});
        dc->textOut(labelX, labelY + 6, bytes);
    }
}

void appendScreen(Rgba& sheet, const Display& display) {
    const Rgba screen = display.backBuffer().toRgba();
    sheet.insert(sheet.end(), screen.begin(), screen.end());
}

// The game screen with every player and bullet frame on the floor, players at the arena's
// corners with their bars and names, and chat text where the game puts it.
void gameScreen(ClientMedia& media) {
    media.copyBackground();
    const char* directions[] = {"0 N", "1 NE", "2 E", "3 SE", "4 S", "5 SW", "6 W", "7 NW"};
    for (int d = 0; d < 8; ++d) {
        const int row = d % 4, column = d / 4;
        const int x = 150 + column * 220, y = 262 + row * 54;
        drawLabel(media.display, x - 62, y - 8, directions[d], {70, 60, 40});
        for (int step = 0; step < 3; ++step) {
            media.playerSprites.draw(media.display, d * 3 + step, x + step * 40, y);
        }
    }
    for (int b = 0; b < 6; ++b) {
        media.bulletSprites.draw(media.display, b, 500 + (b % 3) * 30, 380 + (b / 3) * 30);
    }
    drawPlayer(media, 3, 76, 76, 100, "구석에서");
    drawPlayer(media, 21, 609, 76, 60, "NorthEast");
    drawPlayer(media, 15, 76, 469, 33, "Kim");
    drawPlayer(media, 9, 609, 469, 0, "down-right-20-bytes!");
    drawPlayer(media, 12, 330, 200, 85, "플레이어");
    media.bulletSprites.draw(media.display, 0, 330, 160);
    media.bulletSprites.draw(media.display, 3, 360, 240);
    const char* chat[] = {"[구석에서] 안녕하세요! 한판 해요", "[Kim] gl hf", "[NorthEast] mines on the left side, watch out",
                          "[플레이어] ㅋㅋㅋ 70바이트까지 되는 채팅 줄이 이렇게 길어질 수 있습니다 보이나요?"};
    for (int i = 0; i < 4; ++i) {
        drawLabel(media.display, 20, 50 + 16 * i, chat[i]);
    }
    drawLabel(media.display, 20, 575, "typing a chat line|");
}

void pictureScreen(ClientMedia& media) {
    media.copyBackground();
    for (int i = 0; i < 3; ++i) {
        media.etcSprites.draw(media.display, i, 343, 110 + i * 190);
    }
}

// Every frame at three times its size on the floor colour, in the order of the sets.
Rgba zoomScreen(ClientMedia& media) {
    Display& display = media.display;
    display.backBuffer().fill(toRgb565({228, 214, 180}));
    for (int i = 0; i < 25; ++i) {
        media.playerSprites.draw(display, i, 20 + (i % 8) * 32, 24 + (i / 8) * 44);
    }
    for (int b = 0; b < 6; ++b) {
        media.bulletSprites.draw(display, b, 150 + b * 18, 168);
    }
    Rgba zoomed;
    const Rgba screen = display.backBuffer().toRgba();
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            const std::size_t from = (static_cast<std::size_t>(y / 3) * 800 + static_cast<std::size_t>(x / 3)) * 4;
            zoomed.insert(zoomed.end(), screen.begin() + static_cast<std::ptrdiff_t>(from),
                          screen.begin() + static_cast<std::ptrdiff_t>(from) + 4);
        }
    }
    return zoomed;
}

int artworkSheet(const std::filesystem::path& data, const std::string& out) {
    ClientMedia media;
    if (!media.display.initOffscreen()) {
        return 1;
    }
    media.display.glyphs().setSource(openFontGlyphs());
    const bool loaded = media.loadArtwork(data);
    Rgba sheet;
    gameScreen(media);
    appendScreen(sheet, media.display);
    pictureScreen(media);
    appendScreen(sheet, media.display);
    const Rgba zoomed = zoomScreen(media);
    sheet.insert(sheet.end(), zoomed.begin(), zoomed.end());
    if (!writePngRgba(out, 800, 1800, sheet)) {
        std::fprintf(stderr, "sheet: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("%s: 3 screens, %s\n", out.c_str(), loaded ? "all artwork loaded" : "some artwork missing");
    return loaded ? 0 : 1;
}

struct Samples {
    SoundBufferFormat format;
    std::vector<float> mono;  // -1..1
};

// The sound as the game reads it, its channels mixed down.
bool readSamples(const std::filesystem::path& path, Samples& samples) {
    const std::optional<WaveSound> sound = readWaveFile(path);
    if (!sound) {
        return false;
    }
    samples.format = sound->format;
    const std::size_t bytesPerSample = sound->sixteenBits ? 2 : 1;
    const std::size_t frameBytes = static_cast<std::size_t>(sound->channels) * bytesPerSample;
    const std::vector<std::uint8_t>& data = sound->samples;
    for (std::size_t at = 0; at + frameBytes <= data.size(); at += frameBytes) {
        float sum = 0;
        for (std::size_t c = 0; c < static_cast<std::size_t>(sound->channels); ++c) {
            const std::size_t i = at + c * bytesPerSample;
            sum += bytesPerSample == 1 ? (data[i] - 128) / 128.0f
                                       : static_cast<std::int16_t>(data[i] | (data[i + 1] << 8)) / 32768.0f;
        }
        samples.mono.push_back(sum / static_cast<float>(sound->channels));
    }
    return true;
}

void soundStrip(Surface& sheet, GlyphCache& glyphs, int top, const std::string& name, const Samples& s) {
    constexpr int stripHeight = 90;
    const float seconds = static_cast<float>(s.mono.size()) / static_cast<float>(s.format.samplesPerSecond);
    DrawContext dc(sheet, &glyphs);
    char label[160];
    std::snprintf(label, sizeof label, "%s  %d-bit %s %u Hz  %.0f ms  (red line: one frame, 33 ms)", name.c_str(),
                  s.format.bitsPerSample, s.format.channels > 1 ? "stereo" : "mono", s.format.samplesPerSecond,
                  seconds * 1000.0f);
    dc.setTextColor({230, 230, 240});
    dc.textOutUtf8(8, top + 2, label);
    const int waveTop = top + 20, specTop = waveTop + stripHeight + 4;
    const std::size_t n = s.mono.size();
    for (int x = 0; x < 800; ++x) {
        const std::size_t from = n * static_cast<std::size_t>(x) / 800, to = std::max(from + 1, n * static_cast<std::size_t>(x + 1) / 800);
        float low = 0, high = 0;
        for (std::size_t i = from; i < to && i < n; ++i) {
            low = std::min(low, s.mono[i]);
            high = std::max(high, s.mono[i]);
        }
        const int mid = waveTop + stripHeight / 2;
        for (int y = mid - static_cast<int>(high * stripHeight / 2); y <= mid - static_cast<int>(low * stripHeight / 2); ++y) {
            sheet.setPixel(x, y, toRgb565({110, 220, 170}));
        }
        sheet.setPixel(x, mid, toRgb565({70, 80, 100}));
        // Spectrogram: a 256-sample Hann window around this column; 50 Hz .. half the rate
        // upwards on a logarithmic scale.
        constexpr int window = 256;
        const std::ptrdiff_t centre = static_cast<std::ptrdiff_t>((from + to) / 2);
        for (int bin = 0; bin < stripHeight; ++bin) {
            const float nyquist = static_cast<float>(s.format.samplesPerSecond) / 2.0f;
            const float frequency = 50.0f * std::pow(nyquist / 50.0f, static_cast<float>(bin) / stripHeight);
            const float k = frequency / static_cast<float>(s.format.samplesPerSecond) * window;
            float re = 0, im = 0;
            for (int j = 0; j < window; ++j) {
                const std::ptrdiff_t i = centre - window / 2 + j;
                if (i < 0 || i >= static_cast<std::ptrdiff_t>(n)) {
                    continue;
                }
                const float w = 0.5f - 0.5f * std::cos(6.2831853f * static_cast<float>(j) / window);
                const float angle = 6.2831853f * k * static_cast<float>(j) / window;
                re += s.mono[static_cast<std::size_t>(i)] * w * std::cos(angle);
                im -= s.mono[static_cast<std::size_t>(i)] * w * std::sin(angle);
            }
            const float level = std::clamp((20.0f * std::log10(std::sqrt(re * re + im * im) + 1e-6f) + 50.0f) / 60.0f, 0.0f, 1.0f);
            sheet.setPixel(x, specTop + stripHeight - 1 - bin,
                           toRgb565({static_cast<std::uint8_t>(255 * level), static_cast<std::uint8_t>(200 * level * level),
                                     static_cast<std::uint8_t>(80 + 120 * (1 - level) * level)}));
        }
    }
    const int frameX = static_cast<int>(0.0333f / seconds * 800);
    for (int y = waveTop; y < specTop + stripHeight && frameX < 800; ++y) {
        sheet.setPixel(frameX, y, toRgb565({240, 60, 60}));
    }
}

int soundSheet(const std::filesystem::path& data, const std::string& out) {
    constexpr int stripTotal = 210;
    Surface sheet;
    if (!sheet.create(800, stripTotal * 6)) {
        return 1;
    }
    sheet.fill(toRgb565({24, 28, 40}));
    GlyphCache glyphs(openFontGlyphs());
    bool all = true;
    for (int i = 0; i < 6; ++i) {
        const std::string name = std::to_string(i + 1) + ".wav";
        Samples samples;
        if (!readSamples(data / name, samples) || samples.mono.empty()) {
            DrawContext(sheet, &glyphs).textOutUtf8(8, i * stripTotal + 2, name + ": cannot be read");
            all = false;
            continue;
        }
        soundStrip(sheet, glyphs, i * stripTotal, name, samples);
    }
    if (!sheet.savePng(out)) {
        std::fprintf(stderr, "sheet: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("%s: 6 sounds%s\n", out.c_str(), all ? "" : ", some missing");
    return all ? 0 : 1;
}

}  // namespace
}  // namespace kestrane

int main(int argc, char** argv) {
    bool sounds = false;
    std::filesystem::path data = ".";
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--sounds") {
            sounds = true;
        } else if (argument == "--data" && i + 1 < argc) {
            data = argv[++i];
        } else if (out.empty() && !argument.starts_with("-")) {
            out = argument;
        } else {
            out.clear();
            break;
        }
    }
    if (out.empty()) {
        std::fprintf(stderr, "usage: %s [--sounds] [--data DIR] OUT.png\n", argv[0]);
        return 2;
    }
    return sounds ? kestrane::soundSheet(data, out) : kestrane::artworkSheet(data, out);
}
