// sunmarrow-capture frame --time SECONDS [--size WxH] [--stretch] [--out FILE.png]
//                         [--painter gl|cpu|auto]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "capture_commands.h"
#include "framing.h"
#include "headless.h"
#include "tools/common/png_file.h"

namespace {

constexpr const char* frameUsage =
    "frame --time SECONDS [--size WxH] [--stretch] [--out FILE.png] [--painter gl|cpu|auto]";

int usage() {
    std::fprintf(stderr, "usage: sunmarrow-capture %s\n", frameUsage);
    return 2;
}

int runFrame(int argc, char** argv) {
    double elapsed = -1.0;
    bool haveTime = false;
    bool stretch = false;
    int width = 640, height = 480;
    const char* out = "frame.png";
    for (int i = 0; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--time") == 0 && hasValue) {
            char* end = nullptr;
            elapsed = std::strtod(argv[++i], &end);
            haveTime = end != argv[i] && *end == '\0' && elapsed >= 0.0 && elapsed < 1e6;
            if (!haveTime) return usage();
        } else if (std::strcmp(argv[i], "--size") == 0 && hasValue) {
            if (!capture::parseSize(argv[++i], width, height)) {
                std::fprintf(stderr, "frame: --size wants WxH from 16x16 to 8192x8192, for example 1920x1080\n");
                return usage();
            }
        } else if (std::strcmp(argv[i], "--stretch") == 0) {
            stretch = true;
        } else if (std::strcmp(argv[i], "--out") == 0 && hasValue) {
            out = argv[++i];
        } else if (std::strcmp(argv[i], "--painter") == 0 && hasValue) {
            if (!capture::parsePainter(argv[++i])) return usage();
        } else {
            return usage();
        }
    }
    if (!haveTime) return usage();
    const capture::Framing framing = capture::frameShow(width, height, stretch);
    capture::HeadlessShow show(framing.viewWidth, framing.viewHeight);
    if (!show.ok()) return 1;
    show.drawFrame(elapsed);
    std::fprintf(stderr, "frame: painted on the %s path (%s)\n", show.painter(), show.renderer());
    if (!pngfile::write(out, capture::placeInFrame(framing, show.readPixels()).data(), width, height, 3)) {
        std::fprintf(stderr, "frame: cannot write %s\n", out);
        return 1;
    }
    return 0;
}

capture::Command frameCommand("frame", frameUsage, runFrame);

}  // namespace
