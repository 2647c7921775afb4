// sunmarrow-capture strokes --capture FILE --phase P: the 5000 strokes of a 160 × 120 RGB
// capture at StrokePhase P, one line per stroke in drawing order:
// "x y depth angle size red green blue", the exact float arguments of each drawStroke
// call and the colour set before it, each %.9g.
#include <cfloat>
#include <cstdio>
#include <string>

#include "capture_commands.h"
#include "painterly/capture_file.h"
#include "painterly/painterly.h"

namespace {

constexpr const char* strokesUsage = "strokes --capture FILE --phase P";

int runStrokes(int argc, char** argv) {
    const char* capturePath = nullptr;
    bool havePhase = false;
    float phase = 0.0f;
    const int status = capture::readOptions(
        "strokes", strokesUsage, argc, argv,
        {options::text("--capture", "a file name", capturePath),
         {"--phase", "a number", [&](const char* value) {
              double number = 0;
              havePhase = options::parseNumber(value, -FLT_MAX, FLT_MAX, number);
              phase = static_cast<float>(number);
              return havePhase;
          }}});
    if (status >= 0) return status;
    if (capturePath == nullptr || !havePhase) {
        return capture::wrongUsage("strokes", strokesUsage, "--capture and --phase are needed");
    }

    painterly::PainterlyState& s = painterly::painterlyState();
    std::string why;
    if (!painterly::loadCaptureFile(capturePath, s.CaptureImage, why)) {
        std::fprintf(stderr, "sunmarrow-capture strokes: %s\n", why.c_str());
        return 1;
    }
    painterly::computeOrientationField();
    painterly::planStrokes(phase);

    for (const painterly::StrokeArgs& k : s.strokes) {
        std::printf("%.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g\n", k.x, k.y, k.depth, k.angle, k.size, k.red,
                    k.green, k.blue);
    }
    if (capture::cutShortStatus() != 0) return capture::cutShortStatus();
    return std::fflush(stdout) == 0 ? 0 : 1;
}

capture::Command strokesCommand("strokes", strokesUsage, runStrokes);

}  // namespace
