// sunmarrow-capture renderer: the GL renderer that the capture tool's offscreen context
// lands on (GL_RENDERER, one line on standard output), so that a caller can tell Mesa's
// llvmpipe from a GPU's driver or softpipe before comparing pictures.
#include <GL/gl.h>

#include <cstdio>

#include "capture_commands.h"
#include "platform/desktop/offscreen_gl.h"

namespace {

int runRenderer(int argc, char** argv) {
    const int status = capture::readOptions("renderer", "renderer", argc, argv, {});
    if (status >= 0) return status;
    // The same driver and surface as the headless show's.
    const platform::OffscreenGl gl(16, 16, "renderer");
    if (gl.failure() == platform::OffscreenGl::Failure::videoDriver) {
        std::fprintf(stderr, "Cannot start the offscreen video driver: %s\n", gl.reason().c_str());
        return 1;
    }
    const GLubyte* renderer = gl.ok() ? glGetString(GL_RENDERER) : nullptr;
    if (renderer == nullptr) {
        std::fprintf(stderr, "Cannot create a GL context: %s\n", gl.reason().c_str());
        return 1;
    }
    std::printf("%s\n", reinterpret_cast<const char*>(renderer));
    return 0;
}

capture::Command rendererCommand("renderer", "renderer", runRenderer);

}  // namespace
