// kestrane-render-frame -- one game frame drawn by the real world code (players, bullets, chat,
// the typed line with its caret) into an offscreen display, saved as PNG.
//   kestrane-render-frame [--data DIR] [--down] [--scores] [--volume PERCENT] [--time FRAMES] OUT.png
// --down renders the frame a player sees while down, with the centre picture; --scores with
// Tab held (the scoreboard); --volume with the volume shown as after a volume key; --time then
// runs that many more frames of the scene and prints the average time one frame takes.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "client/media/client_media.h"
#include "client/media/font_glyphs.h"
#include "client/world/client_world.h"
#include "client/world/dispatcher.h"
#include "client/world/frame_tick.h"
#include "client/world/world_drawing.h"
#include "platform/text_encoding.h"

namespace kestrane {
namespace {

constexpr std::uint8_t kLocalNumber = 1;

PlayerInfo player(int x, int y, std::uint8_t direction, std::string_view utf8Name, std::uint8_t energy = 100) {
    PlayerInfo info;
    info.energy = energy;
    info.direction = direction;
    info.frame = static_cast<std::uint8_t>(direction * kFramesPerDirection);
    info.x = static_cast<std::int16_t>(x);
    info.y = static_cast<std::int16_t>(y);
    info.name = makeNameField(utf8ToCp949(utf8Name));
    return info;
}

PacketRecord fire(std::uint8_t owner, std::uint16_t id, int x, int y, std::uint8_t kind, std::uint8_t direction) {
    return makeFirePacket(owner, id, static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y), kind, direction);
}

PacketRecord chat(std::uint8_t sender, std::string_view utf8Line) {
    const std::string line = utf8ToCp949(utf8Line);
    return makePacket(sender, MsgType::Chat, std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size()));
}

// A game in progress, as the dispatcher would have built it from the server's packets.
void buildScene(ClientWorld& world, bool localDown) {
    const PacketRecord packets[] = {
        makePacket(kLocalNumber, MsgType::Join, player(330, 300, 2, "플레이어").encode()),
        makePacket(2, MsgType::PlayerState, player(520, 160, 5, "NorthEast", 60).encode()),
        makePacket(3, MsgType::PlayerState, player(160, 380, 1, "Kim", 33).encode()),
        makePacket(4, MsgType::PlayerState, player(450, 410, 6, "down-right-20-bytes!", 0).encode()),
        makePacket(5, MsgType::PlayerState, player(240, 170, 3, "구석에서", 85).encode()),
        makePacket(3, MsgType::Steer, std::array<std::uint8_t, 1>{0}),
        makePacket(0, MsgType::Resume),
        fire(kLocalNumber, 1, 352, 302, kShot, 2),
        fire(2, 2, 508, 178, kShot, 5),
        fire(3, 3, 178, 362, kShot, 1),
        fire(5, 4, 224, 150, kMine, 3),
        fire(2, 5, 540, 140, kMine, 5),
        chat(3, "[Kim] gl hf"),
        chat(2, "[NorthEast] mines on the left side, watch out"),
        chat(5, "[구석에서] 안녕하세요! 한판 해요"),
        chat(kLocalNumber, "[플레이어] ㅋㅋㅋ 좋아요"),
        // Two kills for the feed and the scoreboard: a shot and a mine.
        makePacket(6, MsgType::PlayerState, player(560, 330, 6, "Joon", 5).encode()),
        fire(kLocalNumber, 6, 560, 330, kShot, 2),
        makePacket(6, MsgType::Hit, std::array<std::uint8_t, 2>{6, 0}),
        makePacket(7, MsgType::PlayerState, player(120, 250, 2, "Mina", 10).encode()),
        fire(5, 7, 120, 250, kMine, 3),
        makePacket(7, MsgType::Hit, std::array<std::uint8_t, 2>{7, 0}),
    };
    for (const PacketRecord& packet : packets) {
        applyPacket(world, packet);
    }
    for (int tick = 0; tick < 6; ++tick) {
        applyPacket(world, makePacket(0, MsgType::Tick));
    }
    // Kim was just hit: it still flashes in the last frame drawn.
    applyPacket(world, fire(2, 8, 160, 380, kShot, 5));
    applyPacket(world, makePacket(3, MsgType::Hit, std::array<std::uint8_t, 2>{8, 0}));
    world.outbox.clear();
    if (localDown) {
        world.localDead = true;
        localPlayerRecord(world)->energy = 0;
    }
    world.chatBox.setFocus();
    world.chatBox.textInput(utf8ToCp949("다들 준비됐나요? ready"));
}

// Frames of a busy scene, timed: drawing everything and reading the keys, as the client does
// 30 times a second.
void timeFrames(ClientWorld& world, ClientMedia& media, double& now, int frames) {
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 0; frame < frames; ++frame) {
        now += 0.2;
        frameTick(world, KeyState{}, [&] { showFrame(world, media); });
        world.outbox.clear();
    }
    const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
    std::printf("%d frames: %.1f us per frame (the frame period is 33333 us)\n", frames, spent.count() / frames);
}

int run(const std::filesystem::path& data, bool localDown, bool scores, int volume, int timedFrames,
        const std::string& out) {
    ClientMedia media;
    if (!media.display.initOffscreen()) {
        std::fprintf(stderr, "render-frame: no offscreen display\n");
        return 1;
    }
    media.display.glyphs().setSource(openFontGlyphs());
    const bool loaded = media.loadArtwork(data);
    // A clock that moves a fifth of a second per frame, so the caret shows in every frame.
    double now = 0;
    ClientWorld world([&now] { return now; });
    world.setLocalPlayer(kLocalNumber, makeNameField(utf8ToCp949("플레이어")));
    world.sprites = media.spriteSizes();
    buildScene(world, localDown);
    if (scores) {
        world.chatBox.keyDown(ChatKey::Escape);  // Tab does nothing while the chat line has the keys
    }
    // No server: what the world would send goes nowhere.
    KeyState keys{};
    setKeyDown(keys, kKeyTab, scores);
    for (int frame = 0; frame < kHitFlashFrames - 1; ++frame) {
        now += 0.2;
        frameTick(world, keys, [&] {
            drawWorld(world, media);
            if (volume >= 0) {
                drawVolume(media, volume, false);
            }
            media.display.present();
        });
        world.outbox.clear();
    }
    if (!media.display.saveScreenshot(out)) {
        std::fprintf(stderr, "render-frame: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("%s: %zu players, %zu bullets, %zu chat lines%s\n", out.c_str(), world.playerRecords.size(),
                world.bulletRecords.size(), world.chatLines.size(), loaded ? "" : " (some artwork missing)");
    if (timedFrames > 0) {
        timeFrames(world, media, now, timedFrames);
    }
    return loaded ? 0 : 1;
}

}  // namespace
}  // namespace kestrane

int main(int argc, char** argv) {
    std::filesystem::path data;
    bool localDown = false;
    bool scores = false;
    int volume = -1;
    int timedFrames = 0;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--data" && i + 1 < argc) {
            data = argv[++i];
        } else if (arg == "--time" && i + 1 < argc) {
            timedFrames = std::atoi(argv[++i]);
        } else if (arg == "--down") {
            localDown = true;
        } else if (arg == "--scores") {
            scores = true;
        } else if (arg == "--volume" && i + 1 < argc) {
            volume = std::atoi(argv[++i]);
        } else if (out.empty() && !arg.starts_with("--")) {
            out = arg;
        } else {
            out.clear();
            break;
        }
    }
    if (out.empty()) {
        std::fprintf(stderr,
                     "usage: kestrane-render-frame [--data DIR] [--down] [--scores] [--volume PERCENT] [--time FRAMES] "
                     "OUT.png\n");
        return 2;
    }
    return kestrane::run(data, localDown, scores, volume, timedFrames, out);
}
