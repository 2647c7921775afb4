// A GL context with no window system, for the programs that draw without showing
// anything: the capture tool, the GL tests and the fuzzers. SDL's offscreen video
// driver (unless SDL_VIDEODRIVER names another) on Mesa, with one hidden window of the
// asked size: a double-buffered 8/8/8 surface with a 16-bit depth buffer, like the
// player's. Once made, the context is current on the calling thread.
#pragma once

#include <cstdint>
#include <string>

struct SDL_Window;

namespace platform {

class OffscreenGl {
public:
    // The step that failed; none once the context is made.
    enum class Failure : std::uint8_t { none, videoDriver, window, context };

    // `title` names the hidden window.
    OffscreenGl(int width, int height, const char* title);
    // Deletes the context and the window, and lets SDL's video go.
    ~OffscreenGl();
    OffscreenGl(const OffscreenGl&) = delete;
    OffscreenGl& operator=(const OffscreenGl&) = delete;

    bool ok() const { return window_ != nullptr && context_ != nullptr; }
    Failure failure() const { return failure_; }
    // SDL's words for the failure; empty when there is none.
    const std::string& reason() const { return reason_; }

    // The swap interval of the context (0: never wait for a refresh); false when the
    // driver refuses it.
    bool setSwapInterval(int interval);
    // Presents the back buffer (a new one for the next frame).
    void swap();

private:
    void fail(Failure failure);

    SDL_Window* window_ = nullptr;
    void* context_ = nullptr;
    Failure failure_ = Failure::none;
    std::string reason_;
};

}  // namespace platform
