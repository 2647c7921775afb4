// A real OpenGL context for tests: SDL's offscreen video driver on Mesa (llvmpipe),
// no X server needed. One hidden window of the asked size with a double-buffered RGBA
// surface and a 16-bit depth buffer, like the player's; current on the calling thread.
#pragma once

struct SDL_Window;

namespace testsupport {

class GlContext {
public:
    GlContext(int width = 640, int height = 480);
    ~GlContext();
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;

    bool ok() const { return window_ != nullptr && context_ != nullptr; }
    void swap();

private:
    SDL_Window* window_ = nullptr;
    void* context_ = nullptr;
};

}  // namespace testsupport

// Skips the current test when no GL context could be made (reports why).
#define REQUIRE_GL(ctx)                                                     \
    do {                                                                    \
        if (!(ctx).ok()) GTEST_SKIP() << "no offscreen GL context available"; \
    } while (0)
