// A real OpenGL context for tests: SDL's offscreen video driver on Mesa (llvmpipe),
// no X server needed. One hidden window of the asked size with a double-buffered RGBA
// surface and a 16-bit depth buffer, like the player's; current on the calling thread.
#pragma once

#include <string>

struct SDL_Window;

namespace testsupport {

class GlContext {
public:
    GlContext(int width = 640, int height = 480);
    ~GlContext();
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;

    bool ok() const { return window_ != nullptr && context_ != nullptr; }
    // Why there is no context (SDL's words); empty when there is one.
    const std::string& failure() const { return failure_; }
    void swap();

private:
    SDL_Window* window_ = nullptr;
    void* context_ = nullptr;
    std::string failure_;
};

}  // namespace testsupport

// Skips the current test when no GL context could be made, saying why. The context
// test itself fails instead, so a machine without working GL never runs a green suite.
#define REQUIRE_GL(ctx)                                                                 \
    do {                                                                                \
        if (!(ctx).ok()) GTEST_SKIP() << "no offscreen GL context: " << (ctx).failure(); \
    } while (0)
