// links: platform
// The offscreen context that every GL test stands on: it exists, is double-buffered
// with a depth buffer, and reads back what was drawn.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "support/gl_context.h"

TEST(GlContext, ClearsAndReadsBack) {
    testsupport::GlContext ctx(160, 120);
    REQUIRE_GL(ctx);
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_GE(depthBits, 16);
    glClearColor(1.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    unsigned char rgb[3] = {0, 0, 0};
    glReadPixels(10, 10, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    EXPECT_EQ(rgb[0], 255);
    EXPECT_EQ(rgb[1], 0);
}
