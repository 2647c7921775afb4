#include "show/show.h"

#include <GL/gl.h>

namespace show {

namespace {
ShowHost host;
}

void setShowHost(const ShowHost& h) { host = h; }

bool initShow() { return true; }

void drawShowFrame(double elapsed, const std::uint8_t* keys) {
    const double d = elapsed - 4.0;
    if (d > 200.0 && host.requestQuit != nullptr) host.requestQuit();
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (keys != nullptr && (keys[1] & 0x80) != 0 && host.requestQuit != nullptr) host.requestQuit();
}

}  // namespace show
