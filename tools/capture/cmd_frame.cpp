// sunmarrow-capture frame --time SECONDS [--size WxH] [--out FILE.png]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "capture_commands.h"
#include "headless.h"

namespace {

int runFrame(int argc, char** argv) {
    double elapsed = -1.0;
    bool haveTime = false;
    int width = 640, height = 480;
    const char* out = "frame.png";
    for (int i = 0; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--time") == 0 && hasValue) {
            char* end = nullptr;
            elapsed = std::strtod(argv[++i], &end);
            haveTime = end != argv[i] && *end == '\0' && elapsed >= 0.0 && elapsed < 1e6;
            if (!haveTime) break;
        } else if (std::strcmp(argv[i], "--size") == 0 && hasValue) {
            if (!capture::parseSize(argv[++i], width, height)) {
                std::fprintf(stderr, "frame: --size wants WxH, for example 640x480\n");
                return 2;
            }
        } else if (std::strcmp(argv[i], "--out") == 0 && hasValue) {
            out = argv[++i];
        } else {
            haveTime = false;
            break;
        }
    }
    if (!haveTime) {
        std::fprintf(stderr, "usage: sunmarrow-capture frame --time SECONDS [--size WxH] [--out FILE.png]\n");
        return 2;
    }
    capture::HeadlessShow show(width, height);
    if (!show.ok()) return 1;
    show.drawFrame(elapsed);
    if (!capture::writePng(out, show.readPixels(), width, height)) {
        std::fprintf(stderr, "frame: cannot write %s\n", out);
        return 1;
    }
    return 0;
}

capture::Command frameCommand("frame", "frame --time SECONDS [--size WxH] [--out FILE.png]", runFrame);

}  // namespace
