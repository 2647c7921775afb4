#include "headless.h"

#include <GL/gl.h>
#include <SDL.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shell/app_window.h"
#include "show/show.h"

namespace capture {

namespace {

// The host's view of the virtual clock and window: plain globals, since the show
// calls plain functions.
double currentElapsed = 0.0;
bool quitFlag = false;

void hostRequestQuit() { quitFlag = true; }
bool hostMusicOff() { return false; }
std::int32_t hostStrokeClock() { return static_cast<std::int32_t>(std::llround(currentElapsed * 1000.0)); }
std::int32_t hostViewWidth() { return shell::viewWidth; }
std::int32_t hostViewHeight() { return shell::viewHeight; }

}  // namespace

HeadlessShow::HeadlessShow(int width, int height) : width_(width), height_(height) {
    if (std::getenv("SDL_VIDEODRIVER") == nullptr) setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "Cannot start the offscreen video driver: %s\n", SDL_GetError());
        return;
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    window_ = SDL_CreateWindow("Tessaly - Sunmarrow", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (window_ == nullptr) {
        std::fprintf(stderr, "Cannot create an offscreen window: %s\n", SDL_GetError());
        return;
    }
    context_ = SDL_GL_CreateContext(window_);
    if (context_ == nullptr) {
        std::fprintf(stderr, "Cannot create a GL context: %s\n", SDL_GetError());
        return;
    }
    SDL_GL_MakeCurrent(window_, context_);
    SDL_GL_SetSwapInterval(0);

    quitFlag = false;
    // The view as the player's window set-up leaves it, by the player's own code.
    shell::resizeView(width, height);

    show::ShowHost host;
    host.requestQuit = hostRequestQuit;
    host.isMusicOn = hostMusicOff;
    host.strokeClockMs = hostStrokeClock;
    host.viewWidth = hostViewWidth;
    host.viewHeight = hostViewHeight;
    show::setShowHost(host);
    const auto start = std::chrono::steady_clock::now();
    show::initShow();
    setupMs_ = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

HeadlessShow::~HeadlessShow() {
    if (context_ != nullptr) SDL_GL_DeleteContext(context_);
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void HeadlessShow::drawFrame(double elapsed) {
    static const std::uint8_t noKeys[256] = {};
    currentElapsed = elapsed;
    show::drawShowFrame(elapsed, noKeys);
}

std::vector<std::uint8_t> HeadlessShow::readPixels() const {
    const std::size_t row = static_cast<std::size_t>(width_) * 3;
    std::vector<std::uint8_t> bottomUp(row * static_cast<std::size_t>(height_));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);  // the show's read-back relies on the default
    std::vector<std::uint8_t> topDown(bottomUp.size());
    for (int y = 0; y < height_; ++y) {
        std::memcpy(&topDown[static_cast<std::size_t>(y) * row],
                    &bottomUp[static_cast<std::size_t>(height_ - 1 - y) * row], row);
    }
    return topDown;
}

void HeadlessShow::swap() {
    if (window_ != nullptr) SDL_GL_SwapWindow(window_);
}

bool HeadlessShow::quitRequested() const { return quitFlag; }

bool parseSize(const char* text, int& width, int& height) {
    if (text == nullptr) return false;
    int w = 0, h = 0;
    char tail = 0;
    if (std::sscanf(text, "%dx%d%c", &w, &h, &tail) != 2) return false;
    if (w < 16 || h < 16 || w > 8192 || h > 8192) return false;
    width = w;
    height = h;
    return true;
}

}  // namespace capture
