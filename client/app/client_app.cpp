// client_app.cpp -- start-up, the main loop's SDL side, chat typing, screenshots and shutdown.
#include "client/app/client_app.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "client/app/login_dialog.h"
#include "client/app/login_window.h"
#include "client/app/main_window.h"
#include "client/media/font_glyphs.h"
#include "client/world/dispatcher.h"
#include "client/world/frame_tick.h"
#include "client/world/world_drawing.h"
#include "platform/message_box.h"
#include "platform/png_writer.h"
#include "platform/text_encoding.h"

namespace kestrane {

namespace {

// How often a --connect attempt looks at the connection and at a quit request.
constexpr int kConnectPollMs = 50;

std::optional<ChatKey> chatKeyFor(SDL_Keycode key) {
    switch (key) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return ChatKey::Enter;
        case SDLK_ESCAPE: return ChatKey::Escape;
        case SDLK_BACKSPACE: return ChatKey::Backspace;
        case SDLK_DELETE: return ChatKey::Delete;
        case SDLK_LEFT: return ChatKey::Left;
        case SDLK_RIGHT: return ChatKey::Right;
        case SDLK_HOME: return ChatKey::Home;
        case SDLK_END: return ChatKey::End;
        default: return std::nullopt;
    }
}

SDL_Keycode keycodeFor(ScriptKey key) {
    switch (key) {
        case ScriptKey::Enter: return SDLK_RETURN;
        case ScriptKey::Escape: return SDLK_ESCAPE;
        case ScriptKey::Backspace: return SDLK_BACKSPACE;
        case ScriptKey::Delete: return SDLK_DELETE;
        case ScriptKey::Left: return SDLK_LEFT;
        case ScriptKey::Right: return SDLK_RIGHT;
        case ScriptKey::Home: return SDLK_HOME;
        case ScriptKey::End: return SDLK_END;
        case ScriptKey::F5: return SDLK_F5;
        case ScriptKey::F6: return SDLK_F6;
        case ScriptKey::F7: return SDLK_F7;
        case ScriptKey::F11: return SDLK_F11;
        case ScriptKey::F12: return SDLK_F12;
    }
    return SDLK_UNKNOWN;
}

// True when an SDL_QUIT (a signal) waits; it is taken from the queue.
bool quitEventWaiting() {
    SDL_PumpEvents();
    SDL_Event event;
    return SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_QUIT, SDL_QUIT) > 0;
}

}  // namespace

void ClientApp::WindowDeleter::operator()(SDL_Window* window) const { SDL_DestroyWindow(window); }

ClientApp::ClientApp(ClientOptions options, std::filesystem::path startDirectory,
                     std::optional<std::vector<ScriptCommand>> script, GameClock clock)
    : clock_(std::move(clock)),
      options_(std::move(options)),
      startDirectory_(std::move(startDirectory)),
      frameTimer_(clock_) {
    if (script) {
        script_.emplace(std::move(*script));
    }
}

ClientApp::~ClientApp() {
    // A run that ended early (a failed start-up) leaves nothing running behind it. The
    // listener goes only once the thread that calls it has ended.
    session_.stopNetwork();
    session_.queue().setPushListener({});
}

int ClientApp::run() {
    loadSettings();
    if (!options_.record.empty()) {
        std::string error;
        if (!recording_.open((startDirectory_ / options_.record).string(), RecordingSource::Client, error)) {
            std::fprintf(stderr, "kestrane-client: %s\n", error.c_str());
            return kExitFailed;
        }
    }
    if (const std::optional<int> ended = login()) {
        return *ended;
    }
    saveSettings();  // the server and name that worked
    // The dialog has switched the socket to blocking mode for the handshake.
    if (!session_.joinGame()) {
        showMessageBox(kMessageCaption, kWrongServerText);
        session_.stopNetwork();
        return kExitFailed;
    }
    const bool windowed = startChoices(options_, settings_).windowed;
    window_.reset(createMainWindow(windowed));
    if (!window_) {
        leaveAfterFailure();
        showMessageBox(kMessageCaption, kWindowCreationFailedText);
        return kExitFailed;
    }
    media_.sound.setVolume(settings_.muted ? 0 : settings_.volume);
    media_.sound.init();  // without sound the game plays silently
    world_.emplace(clock_);  // with it the hidden chat box
    world_->setLocalPlayer(session_.localPlayerNumber(), session_.playerName());
    recording_.writeLocalPlayer(session_.localPlayerNumber(), session_.playerName());
    startReceiving();
    const WindowMode mode = windowed ? WindowMode::Windowed : WindowMode::FullScreenDesktop;
    if (!media_.display.init(window_.get(), kScreenWidth, kScreenHeight, kScreenBitsPerPixel, mode)) {
        leaveAfterFailure();
        showMessageBox(kMessageCaption, kDisplayCreationFailedText);
        return kExitFailed;
    }
    media_.display.glyphs().setSource(openFontGlyphs());
    // The energy bar's red brush is a constant colour of the players table: nothing to make.
    media_.input.create(window_.get());
    if (!script_) {
        media_.keyboard.create(window_.get(), media_.input);  // a script sets the key states itself
        gamepads_.open();  // without pad support the keyboard alone plays
    }
    media_.loadArtwork();  // each missing file has said so and leaves its part undrawn
    world_->sprites = media_.spriteSizes();

    SDL_StopTextInput();  // on only while the chat box has the keyboard
    textInputOn_ = false;
    runMainLoop(*this);
    return shutDown();
}

std::optional<int> ClientApp::login() {
    LoginDialog dialog(session_);
    if (!dialog.open()) {
        showMessageBox(kMessageCaption, kProgramEndingText);
        return kExitFailed;
    }
    const StartChoices choices = startChoices(options_, settings_);
    if (!choices.server.empty()) {
        dialog.serverIp = choices.server;
    }
    if (!choices.name.empty()) {
        dialog.playerName = choices.name;
    }
    if (options_.connect) {
        return connectAtOnce(dialog);
    }

    // The LAN list is a help, never a condition: without its socket the dialog works as ever.
    LanBrowser browser;
    LoginWindow window(dialog, browser.open() ? &browser : nullptr);
    if (!window.open()) {
        dialog.pressExit();
        std::fprintf(stderr, "kestrane-client: cannot open the login window: %s\n", SDL_GetError());
        return kExitNoDisplay;
    }
    const LoginResult result = runLoginDialog(dialog, window);
    window.close();
    switch (result) {
        case LoginResult::Connected:
            settings_.server = dialog.serverIp;
            settings_.name = dialog.playerName;
            return std::nullopt;
        case LoginResult::Exit:
            showMessageBox(kMessageCaption, kProgramEndingText);
            return kExitOk;
        case LoginResult::Quit:
            return kExitOk;
    }
    return kExitOk;
}

std::optional<int> ClientApp::connectAtOnce(LoginDialog& dialog) {
    dialog.pressConnect();
    while (dialog.outcome() == LoginDialog::Outcome::Open && !dialog.controlsEnabled()) {
        if (quitEventWaiting()) {
            dialog.pressExit();
            return kExitOk;
        }
        dialog.checkConnect(kConnectPollMs);
    }
    if (dialog.outcome() == LoginDialog::Outcome::Connected) {
        settings_.server = dialog.serverIp;
        settings_.name = dialog.playerName;
        return std::nullopt;
    }
    // The name or the connection failed and has said why; with no dialog to retry in, end.
    dialog.pressExit();
    showMessageBox(kMessageCaption, kProgramEndingText);
    return kExitFailed;
}

void ClientApp::leaveAfterFailure() {
    session_.sendHeaderOnly(MsgType::Leave);
    session_.stopNetwork();
    session_.queue().setPushListener({});
}

void ClientApp::startReceiving() {
    // Registered before the thread starts: every packet queued from then on wakes the main
    // loop. One wake-up event at a time is enough; the loop drains the queue before it sleeps.
    wakeEventType_ = SDL_RegisterEvents(1);
    if (wakeEventType_ != static_cast<std::uint32_t>(-1)) {
        session_.queue().setPushListener([this] {
            if (wakePending_.exchange(true)) {
                return;
            }
            SDL_Event wake{};
            wake.type = wakeEventType_;
            if (SDL_PushEvent(&wake) <= 0) {
                wakePending_ = false;
            }
        });
    }
    session_.startReceiveThread();
}

int ClientApp::shutDown() {
    // The window goes at once; the program follows once the server has had its time.
    SDL_HideWindow(window_.get());
    SDL_StopTextInput();
    session_.sendHeaderOnly(MsgType::Leave);
    waitOutLeaveGrace();
    session_.stopReceiveThread();
    session_.stopNetwork();
    session_.queue().setPushListener({});
    session_.queue().clear();
    clearWorld(*world_);
    recording_.close();
    saveSettings();  // the volume and screen mode as the player left them
    return script_ && script_->failed() ? kExitScriptFailed : kExitOk;
}

void ClientApp::waitOutLeaveGrace() {
    const double end = clock_() + kLeaveGraceMs / 1000.0;
    for (double now = clock_(); now < end; now = clock_()) {
        SDL_Event event;
        while (SDL_PollEvent(&event) != 0) {
            // Nothing changes now: a second close request, keys and packets' wake-ups go unheeded.
        }
        session_.flushOutgoing();
        if (frameTimer_.due(kFrameSlot, framePeriod)) {
            drawAndShow();
        }
        const double untilFrame = std::min(end - now, static_cast<double>(framePeriod));
        SDL_WaitEventTimeout(nullptr, std::max(waitMilliseconds(untilFrame), 1));
    }
}

// --- The main loop's side ---

bool ClientApp::handleWaitingEvent() {
    SDL_Event event;
    if (SDL_PollEvent(&event) == 0) {
        return false;
    }
    handleEvent(event);
    return true;
}

void ClientApp::waitForEvent(int timeoutMs) {
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, timeoutMs) != 0) {
        handleEvent(event);
    }
}

void ClientApp::dispatchNextPacket() {
    if (const std::optional<PacketRecord> record = session_.queue().front()) {
        recording_.writePacket(*record);
    }
    kestrane::dispatchNextPacket(*world_, session_.queue());
    carryOut();
}

bool ClientApp::packetWaiting() const { return !session_.queue().empty(); }

void ClientApp::carryOut() {
    for (const PacketRecord& packet : world_->outbox.packets) {
        session_.sendPacket(packet);
    }
    world_->outbox.packets.clear();
    playEffects(world_->outbox, media_);
}

bool ClientApp::frameDue() {
    if (!frameTimer_.due(kFrameSlot, framePeriod)) {
        return false;
    }
    lastFrameAt_ = clock_();
    return true;
}

double ClientApp::secondsUntilFrame() const {
    return lastFrameAt_ + static_cast<double>(framePeriod) - clock_();
}

void ClientApp::frameTick() {
    if (script_) {
        script_->step(*this);
    }
    if (!world_->chatBox.chatActive()) {
        media_.keyboard.readKeys();  // while the box is open it has the keys
    }
    const KeyState keys = gameKeys();
    recording_.writeFrame(keys);
    kestrane::frameTick(*world_, keys, [this] { drawAndShow(); });
    carryOut();
    followChatFocus();
    for (const std::string& file : scriptScreenshots_) {
        if (saveScreenshot(file)) {
            report("script: saved " + file);
        }
    }
    scriptScreenshots_.clear();
    saveTimedScreenshot();
}

std::uint32_t ClientApp::mainWindowId() const { return window_ ? SDL_GetWindowID(window_.get()) : 0; }

void ClientApp::handleEvent(const SDL_Event& event) {
    if (event.type == wakeEventType_) {
        wakePending_ = false;  // the packets it announced are in the queue
        return;
    }
    if (gamepads_.handleEvent(event)) {
        return;
    }
    switch (event.type) {
        case SDL_QUIT:  // SIGINT or SIGTERM
            quitRequested_ = true;
            break;
        case SDL_WINDOWEVENT:
            if (event.window.windowID != mainWindowId()) {
                break;
            }
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
                quitRequested_ = true;  // Alt+F4 or the window manager
            } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED && media_.display.presentCount() > 0) {
                media_.display.present();  // the last picture again, e.g. while the world waits
            }
            break;
        case SDL_KEYDOWN:
            handleKey(event.key);
            break;
        case SDL_TEXTINPUT:
            world_->chatBox.textInput(utf8ToCp949(event.text.text));  // ignored while the box is closed
            break;
        default:
            break;
    }
}

void ClientApp::handleKey(const SDL_KeyboardEvent& key) {
    const SDL_Keycode code = key.keysym.sym;
    if (code == SDLK_F4 && (key.keysym.mod & KMOD_ALT) != 0) {
        // The close command, also where no window manager provides it (a bare X server).
        quitRequested_ = true;
        return;
    }
    if ((code == SDLK_F11 || (code == SDLK_RETURN && (key.keysym.mod & KMOD_ALT) != 0)) && key.repeat == 0) {
        toggleFullScreen();  // also while chatting: Alt+Enter does not send the line
        return;
    }
    if (code == SDLK_F12 && key.repeat == 0) {
        const std::filesystem::path directory =
            options_.screenshotDir.empty() ? startDirectory_ : options_.screenshotDir;
        saveScreenshot((directory / timestampedPngName("kestrane")).string());
        return;
    }
    if (!world_->chatBox.chatActive()) {
        const int gameCode = keyCodeForScancode(key.keysym.scancode);
        for (const KeyAction action : {KeyAction::Mute, KeyAction::Quieter, KeyAction::Louder}) {
            if (gameCode != 0 && gameCode == settings_.key(action) && (key.repeat == 0 || action != KeyAction::Mute)) {
                changeVolume(action);
            }
        }
        return;  // game keys are read from the keyboard state in the frame
    }
    if (const std::optional<ChatKey> chatKey = chatKeyFor(code)) {
        world_->chatBox.keyDown(*chatKey);
        carryOut();  // Enter has put the line into the outbox
        followChatFocus();
    }
}

void ClientApp::followChatFocus() {
    const bool active = world_->chatBox.chatActive();
    if (active == textInputOn_) {
        return;
    }
    textInputOn_ = active;
    if (!active) {
        SDL_StopTextInput();
        return;
    }
    // An input method shows its candidates next to the line being typed.
    SDL_Rect area{kChatLeft, kChatInputTop, kScreenWidth - 2 * kChatLeft, kChatLineSpacing};
    if (SDL_Renderer* renderer = SDL_GetRenderer(window_.get())) {
        int x = 0;
        int y = 0;
        SDL_RenderLogicalToWindow(renderer, static_cast<float>(area.x), static_cast<float>(area.y), &x, &y);
        area.x = x;
        area.y = y;
    }
    SDL_SetTextInputRect(&area);
    SDL_StartTextInput();
}

void ClientApp::saveTimedScreenshot() {
    if (options_.screenshotEvery <= 0) {
        return;
    }
    const double at = clock_();
    if (lastTimedScreenshot_ && at - *lastTimedScreenshot_ < options_.screenshotEvery) {
        return;
    }
    lastTimedScreenshot_ = at;
    const std::filesystem::path directory = options_.screenshotDir.empty() ? startDirectory_ : options_.screenshotDir;
    saveScreenshot((directory / timestampedPngName("kestrane")).string());
}

// --- Settings, volume, screen mode and the pads ---

void ClientApp::loadSettings() {
    settingsPath_ = settingsPath();
    if (!settingsPath_) {
        std::fprintf(stderr, "kestrane-client: neither XDG_CONFIG_HOME nor HOME is set; settings are not remembered\n");
        return;
    }
    LoadedSettings loaded = readSettings(*settingsPath_);
    if (!loaded.problem.empty()) {
        std::fprintf(stderr, "kestrane-client: %s\n", loaded.problem.c_str());
    }
    settings_ = loaded.settings;
    settingsMalformed_ = loaded.malformed;
}

void ClientApp::saveSettings() {
    if (!settingsPath_) {
        return;
    }
    std::string error;
    if (!writeSettings(*settingsPath_, settings_, settingsMalformed_, error)) {
        std::fprintf(stderr, "kestrane-client: settings not saved: %s\n", error.c_str());
        settingsPath_.reset();  // said once; the game goes on without remembering
        return;
    }
    settingsMalformed_ = false;
}

void ClientApp::changeVolume(KeyAction action) {
    if (action == KeyAction::Mute) {
        settings_.muted = !settings_.muted;
    } else {
        const int step = action == KeyAction::Louder ? kVolumeStep : -kVolumeStep;
        settings_.volume = std::clamp(settings_.volume + step, 0, 100);
        settings_.muted = false;
    }
    media_.sound.setVolume(settings_.muted ? 0 : settings_.volume);
    volumeShownUntil_ = clock_() + kVolumeShownSeconds;
}

void ClientApp::toggleFullScreen() {
    if (!window_) {
        return;
    }
    const bool fullScreen = (SDL_GetWindowFlags(window_.get()) & SDL_WINDOW_FULLSCREEN) == 0;
    if (SDL_SetWindowFullscreen(window_.get(), fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
        return;
    }
    if (!fullScreen) {
        SDL_SetWindowSize(window_.get(), kScreenWidth, kScreenHeight);
    }
    settings_.fullScreen = fullScreen;
}

KeyState ClientApp::gameKeys() const {
    // A script speaks the game's own key codes.
    KeyState keys = script_ ? media_.keyboard.keyState() : bindKeys(media_.keyboard.keyState(), settings_.keys);
    gamepads_.addTo(keys);
    return keys;
}

void ClientApp::drawAndShow() {
    drawWorld(*world_, media_);
    if (clock_() < volumeShownUntil_) {
        drawVolume(media_, settings_.volume, settings_.muted);
    }
    media_.display.present();
}

// --- What an input script reaches ---

double ClientApp::now() const { return clock_(); }

bool ClientApp::worldRunning() const { return world_->worldRunning; }

std::vector<std::string> ClientApp::playerNames() const {
    std::vector<std::string> names;
    for (const PlayerRecord& player : world_->playerRecords) {
        names.push_back(cp949ToUtf8(nameText(player.name)));
    }
    return names;
}

std::vector<std::string> ClientApp::chatLines() const {
    std::vector<std::string> lines;
    for (const ChatLine& line : world_->chatLines) {
        lines.push_back(cp949ToUtf8(chatLineText(line)));
    }
    return lines;
}

void ClientApp::setKeys(const KeyState& keys) { media_.keyboard.setKeyState(keys); }

void ClientApp::typeText(std::string_view utf8) {
    // An event carries at most 31 bytes; cut only between characters.
    constexpr std::size_t kEventText = sizeof(SDL_TextInputEvent::text) - 1;
    while (!utf8.empty()) {
        std::size_t length = std::min(utf8.size(), kEventText);
        while (length < utf8.size() && (static_cast<unsigned char>(utf8[length]) & 0xC0) == 0x80) {
            --length;
        }
        SDL_Event event{};
        event.type = SDL_TEXTINPUT;
        event.text.windowID = mainWindowId();
        utf8.copy(event.text.text, length);
        SDL_PushEvent(&event);
        utf8.remove_prefix(length);
    }
}

void ClientApp::pressKey(ScriptKey key) {
    SDL_Event event{};
    event.key.windowID = mainWindowId();
    event.key.keysym.sym = keycodeFor(key);
    event.key.keysym.scancode = SDL_GetScancodeFromKey(event.key.keysym.sym);
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    SDL_PushEvent(&event);
    event.type = SDL_KEYUP;
    event.key.state = SDL_RELEASED;
    SDL_PushEvent(&event);
}

void ClientApp::requestScreenshot(const std::string& file) { scriptScreenshots_.push_back(file); }

bool ClientApp::saveScreenshot(const std::string& file) {
    const std::filesystem::path path = startDirectory_ / file;  // an absolute file stays as it is
    std::error_code error;
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path(), error);
    }
    if (!media_.display.saveScreenshot(path.string())) {
        std::fprintf(stderr, "kestrane-client: could not save the screenshot %s\n", path.string().c_str());
        return false;
    }
    std::printf("kestrane-client: saved %s\n", path.string().c_str());
    std::fflush(stdout);
    return true;
}

void ClientApp::requestClose() {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = mainWindowId();
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&event);
}

void ClientApp::report(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void ClientApp::reportError(const std::string& line) { std::fprintf(stderr, "kestrane-client: %s\n", line.c_str()); }

}  // namespace kestrane
