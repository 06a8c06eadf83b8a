// kestrane-artgen -- writes the game's sprite sets, background picture and sound effects.
// Usage: kestrane-artgen OUTPUT_DIRECTORY. The same files on every run.
#include <cstdio>
#include <filesystem>
#include <string>

#include "client/media/font_glyphs.h"
#include "tools/artgen/artwork.h"

int main(int argc, char** argv) {
    using namespace kestrane::art;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::filesystem::path out = argv[1];
    std::error_code error;
    std::filesystem::create_directories(out, error);
    kestrane::GlyphCache glyphs(kestrane::openFontGlyphs());
    if (!glyphs.available()) {
        std::fprintf(stderr, "artgen: the game font is needed to letter the pictures\n");
        return 1;
    }
    bool ok = writeSpriteSet((out / "Player.spr").string(), playerFrames(), 16);
    ok = writeSpriteSet((out / "bullet.Spr").string(), bulletFrames(), 8) && ok;
    ok = writeSpriteSet((out / "Etc.Spr").string(), centrePictures(glyphs), 24) && ok;
    ok = writeBmp24((out / "background.bmp").string(), background(glyphs)) && ok;
    const std::vector<Sound> sounds = soundEffects();
    for (std::size_t i = 0; i < sounds.size(); ++i) {
        const Sound& s = sounds[i];
        const std::string name = std::to_string(i + 1) + ".wav";
        ok = writeWave((out / name).string(), s.channels, s.sampleRate, s.bitsPerSample, s.samples) && ok;
    }
    if (!ok) {
        std::fprintf(stderr, "artgen: could not write every file into %s\n", out.string().c_str());
        return 1;
    }
    return 0;
}
