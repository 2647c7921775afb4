#include "headless.h"

#include <GL/gl.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "painterly/painter_choice.h"
#include "platform/desktop/key_codes.h"
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

HeadlessShow::HeadlessShow(int width, int height)
    : width_(width), height_(height), gl_(width, height, "Tessaly - Sunmarrow") {
    switch (gl_.failure()) {
        case platform::OffscreenGl::Failure::none:
            break;
        case platform::OffscreenGl::Failure::videoDriver:
            std::fprintf(stderr, "Cannot start the offscreen video driver: %s\n", gl_.reason().c_str());
            return;
        case platform::OffscreenGl::Failure::window:
            std::fprintf(stderr, "Cannot create an offscreen window: %s\n", gl_.reason().c_str());
            return;
        case platform::OffscreenGl::Failure::context:
            std::fprintf(stderr, "Cannot create a GL context: %s\n", gl_.reason().c_str());
            return;
    }
    gl_.setSwapInterval(0);

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

HeadlessShow::~HeadlessShow() = default;

void HeadlessShow::drawFrame(double elapsed) {
    static const std::uint8_t noKeys[platform::keyboardStateSize] = {};
    currentElapsed = elapsed;
    show::drawShowFrame(elapsed, noKeys);
}

const std::vector<std::uint8_t>& HeadlessShow::readPixels() {
    pixels_.resize(static_cast<std::size_t>(width_) * 3 * static_cast<std::size_t>(height_));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, pixels_.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);  // the show's read-back relies on the default
    return pixels_;
}

void HeadlessShow::swap() { gl_.swap(); }

bool HeadlessShow::quitRequested() const { return quitFlag; }

const char* HeadlessShow::painter() const { return painterly::painterName(painterly::painterPath()); }

const char* HeadlessShow::renderer() const {
    const GLubyte* name = gl_.ok() ? glGetString(GL_RENDERER) : nullptr;
    return name != nullptr ? reinterpret_cast<const char*>(name) : "no renderer";
}

options::Option painterOption() {
    return {"--painter", "gl, cpu or auto", [](const char* value) {
                const auto request = painterly::parsePainterRequest(value);
                if (request) painterly::requestPainter(*request);
                return request.has_value();
            }};
}

}  // namespace capture
