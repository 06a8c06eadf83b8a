// imgui_window.cpp -- SDL window, SDL_Renderer and Dear ImGui wired together.
#include "platform/ui/imgui_window.h"

#include <SDL.h>
#include <imgui.h>
#include <imgui_impl_sdl.h>
#include <imgui_impl_sdlrenderer.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <vector>

#include "platform/png_writer.h"

namespace kestrane {

void useClassicDialogStyle(float verticalPadding) {
    ImGui::StyleColorsLight();
    ImGuiStyle& style = ImGui::GetStyle();
    style.WindowRounding = 0;
    style.FrameBorderSize = 1;
    style.FramePadding = ImVec2(6, verticalPadding);
}

ImGuiWindow::~ImGuiWindow() { close(); }

namespace {

// SDL falls back to its offscreen driver when no display answers. A window there is seen by
// nobody, so it counts as a display only when asked for by name (tests, screenshots).
bool onlyInvisibleDriver() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr) {
        return true;
    }
    const std::string_view name = driver;
    if (name != "offscreen" && name != "dummy") {
        return false;
    }
    const char* requested = SDL_getenv("SDL_VIDEODRIVER");
    return requested == nullptr || name != requested;
}

}  // namespace

bool ImGuiWindow::open(const std::string& title, int width, int height, bool visible) {
    close();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        return false;
    }
    videoStarted_ = true;
    if (onlyInvisibleDriver()) {
        SDL_SetError("no display (SDL found only its '%s' video driver)", SDL_GetCurrentVideoDriver());
        close();
        return false;
    }
    const Uint32 flags = visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
    window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, flags);
    if (window_ != nullptr) {
        // A small 2D window: the software renderer, drawing into the window's own surface,
        // needs no GPU driver and starts no threads. The hint is SDL-wide: restore it.
        const char* previous = SDL_GetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION);
        const std::string kept = previous != nullptr ? previous : "";
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
        if (previous != nullptr) {
            SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, kept.c_str());
        } else {
            SDL_ResetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION);
        }
    }
    if (renderer_ == nullptr) {
        close();
        return false;
    }

    context_ = ImGui::CreateContext();
    ImGui::SetCurrentContext(context_);
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;  // nothing written to the working directory
    io.LogFilename = nullptr;
    loadFont();
    ImGui_ImplSDL2_InitForSDLRenderer(window_);
    ImGui_ImplSDLRenderer_Init(renderer_);
    return true;
}

void ImGuiWindow::loadFont() {
    ImGuiIO& io = ImGui::GetIO();
    const std::string fontPath = unifontPath();
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::path(std::u8string(fontPath.begin(), fontPath.end())), error)) {
        std::fprintf(stderr, "kestrane: font %s not found; using ImGui's own (no Korean)\n", fontPath.c_str());
        return;
    }
    // Unifont is drawn on a pixel grid: no oversampling, glyphs snapped to whole pixels.
    ImFontConfig config;
    config.OversampleH = 1;
    config.OversampleV = 1;
    config.PixelSnapH = true;
    io.Fonts->AddFontFromFileTTF(fontPath.c_str(), kUiFontSize, &config, io.Fonts->GetGlyphRangesKorean());
}

void ImGuiWindow::show() {
    if (window_ != nullptr) {
        SDL_ShowWindow(window_);
    }
}

void ImGuiWindow::close() {
    if (context_ != nullptr) {
        ImGui::SetCurrentContext(context_);
        ImGui_ImplSDLRenderer_Shutdown();
        ImGui_ImplSDL2_Shutdown();
        ImGui::DestroyContext(context_);
        context_ = nullptr;
    }
    if (renderer_ != nullptr) {
        SDL_DestroyRenderer(renderer_);
        renderer_ = nullptr;
    }
    if (window_ != nullptr) {
        SDL_DestroyWindow(window_);
        window_ = nullptr;
    }
    if (videoStarted_) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        videoStarted_ = false;
    }
    frameRendered_ = false;
}

unsigned ImGuiWindow::windowId() const { return window_ != nullptr ? SDL_GetWindowID(window_) : 0; }

bool ImGuiWindow::processEvent(const SDL_Event& event) {
    if (context_ == nullptr) {
        return false;
    }
    Uint32 target = 0;
    switch (event.type) {
        case SDL_WINDOWEVENT: target = event.window.windowID; break;
        case SDL_MOUSEMOTION: target = event.motion.windowID; break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: target = event.button.windowID; break;
        case SDL_MOUSEWHEEL: target = event.wheel.windowID; break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: target = event.key.windowID; break;
        case SDL_TEXTINPUT: target = event.text.windowID; break;
        default: break;
    }
    if (target != 0 && target != windowId()) {
        return false;
    }
    trackPointer(event);
    makeCurrent();
    return ImGui_ImplSDL2_ProcessEvent(&event);
}

void ImGuiWindow::trackPointer(const SDL_Event& event) {
    switch (event.type) {
        case SDL_MOUSEMOTION:
            pointerInside_ = true;
            pointerX_ = static_cast<float>(event.motion.x);
            pointerY_ = static_cast<float>(event.motion.y);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            pointerInside_ = true;
            pointerX_ = static_cast<float>(event.button.x);
            pointerY_ = static_cast<float>(event.button.y);
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_LEAVE || event.window.event == SDL_WINDOWEVENT_HIDDEN) {
                pointerInside_ = false;
            }
            break;
        default:
            break;
    }
}

void ImGuiWindow::makeCurrent() {
    if (context_ != nullptr) {
        ImGui::SetCurrentContext(context_);
    }
}

void ImGuiWindow::beginFrame() {
    if (context_ == nullptr) {
        return;
    }
    makeCurrent();
    ImGui_ImplSDLRenderer_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGuiIO& io = ImGui::GetIO();
    if (!ImGui::IsMousePosValid(&io.MousePos) && pointerInside_) {
        io.MousePos = ImVec2(pointerX_, pointerY_);
    }
    ImGui::NewFrame();
}

namespace {

void drawFrame(SDL_Renderer* renderer, ImDrawData* data) {
    const ImVec4 background = ImGui::GetStyle().Colors[ImGuiCol_WindowBg];
    SDL_SetRenderDrawColor(renderer, static_cast<Uint8>(background.x * 255), static_cast<Uint8>(background.y * 255),
                           static_cast<Uint8>(background.z * 255), 255);
    SDL_RenderClear(renderer);
    ImGui_ImplSDLRenderer_RenderDrawData(data);
}

}  // namespace

void ImGuiWindow::endFrame() {
    if (context_ == nullptr) {
        return;
    }
    makeCurrent();
    ImGui::Render();
    drawFrame(renderer_, ImGui::GetDrawData());
    SDL_RenderPresent(renderer_);
    frameRendered_ = true;
}

bool ImGuiWindow::saveScreenshot(const std::string& path) {
    if (context_ == nullptr || !frameRendered_) {
        return false;
    }
    makeCurrent();
    // The presented buffer may be gone; draw the last frame again and read it back.
    drawFrame(renderer_, ImGui::GetDrawData());
    int width = 0;
    int height = 0;
    if (SDL_GetRendererOutputSize(renderer_, &width, &height) != 0 || width <= 0 || height <= 0) {
        return false;
    }
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    if (SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_RGBA32, pixels.data(), width * 4) != 0) {
        return false;
    }
    for (std::size_t i = 3; i < pixels.size(); i += 4) {
        pixels[i] = 255;
    }
    SDL_RenderPresent(renderer_);
    return writePngRgba(path, width, height, pixels);
}

}  // namespace kestrane
