// A real OpenGL context for tests: the platform's offscreen context (SDL's offscreen
// video driver on Mesa, llvmpipe; no X server needed), one hidden window of the asked
// size with a double-buffered RGB surface and a 16-bit depth buffer, like the player's;
// current on the calling thread.
#pragma once

#include <string>

#include "platform/desktop/offscreen_gl.h"

namespace testsupport {

class GlContext {
public:
    GlContext(int width = 640, int height = 480);
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;

    bool ok() const { return gl_.ok(); }
    // Why there is no context (SDL's words); empty when there is one.
    const std::string& failure() const { return failure_; }
    void swap() { gl_.swap(); }

private:
    platform::OffscreenGl gl_;
    std::string failure_;
};

}  // namespace testsupport

// Skips the current test when no GL context could be made, saying why. The context
// test itself fails instead, so a machine without working GL never runs a green suite.
#define REQUIRE_GL(ctx)                                                                 \
    do {                                                                                \
        if (!(ctx).ok()) GTEST_SKIP() << "no offscreen GL context: " << (ctx).failure(); \
    } while (0)
