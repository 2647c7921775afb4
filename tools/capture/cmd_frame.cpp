// sunmarrow-capture frame --time SECONDS [--size WxH] [--stretch] [--out FILE.png]
//                         [--painter gl|cpu|auto]
#include <cstdio>

#include "capture_commands.h"
#include "framing.h"
#include "headless.h"
#include "tools/common/png_file.h"

namespace {

constexpr const char* frameUsage =
    "frame --time SECONDS [--size WxH] [--stretch] [--out FILE.png] [--painter gl|cpu|auto]";

int runFrame(int argc, char** argv) {
    double elapsed = -1.0;
    bool stretch = false;
    int width = 640, height = 480;
    const char* out = "frame.png";
    const int status = capture::readOptions("frame", frameUsage, argc, argv,
                                            {options::number("--time", 0, 1e6, elapsed),
                                             options::size("--size", 16, 8192, width, height),
                                             options::flag("--stretch", stretch),
                                             options::text("--out", "a file name", out),
                                             capture::painterOption()});
    if (status >= 0) return status;
    if (elapsed < 0) return capture::wrongUsage("frame", frameUsage, "--time is needed");

    // A file that cannot be written is said before anything is drawn.
    output::OutputFile png(out);
    if (!png.ok()) {
        std::fprintf(stderr, "frame: cannot write %s\n", png.error().c_str());
        return 1;
    }
    const capture::Framing framing = capture::frameShow(width, height, stretch);
    capture::HeadlessShow show(framing.viewWidth, framing.viewHeight);
    if (!show.ok()) return 1;
    show.drawFrame(elapsed);
    std::fprintf(stderr, "frame: painted on the %s path (%s)\n", show.painter(), show.renderer());
    capture::FrameImage image(framing);
    image.place(show.readPixels());
    if (capture::cutShortStatus() != 0) return capture::cutShortStatus();
    if (!pngfile::write(png, image.pixels().data(), width, height, 3)) {
        std::fprintf(stderr, "frame: cannot write %s\n", png.error().c_str());
        return 1;
    }
    return 0;
}

capture::Command frameCommand("frame", frameUsage, runFrame, capture::ShowData::drawn);

}  // namespace
