// links: offscreen_gl
// The offscreen context that every GL test stands on: it exists, is double-buffered
// with a depth buffer, and reads back what was drawn. The other GL tests skip without
// it; this one fails, so a machine whose GL is broken never shows a green GL suite.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "support/gl_context.h"

TEST(GlContext, ClearsAndReadsBack) {
    testsupport::GlContext ctx(160, 120);
    ASSERT_TRUE(ctx.ok()) << "no offscreen GL context: " << ctx.failure();
    std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
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
