// sunmarrow-capture strokes --capture FILE --phase P: the 5000 strokes of a 160 × 120 RGB
// capture at StrokePhase P, one line per stroke in drawing order:
// "x y depth angle size red green blue", the exact float arguments of each drawStroke
// call and the colour set before it, each %.9g.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "capture_commands.h"
#include "painterly/capture_file.h"
#include "painterly/painterly.h"

namespace {

constexpr const char* StrokesUsage = "strokes --capture FILE --phase P";

bool parsePhase(const char* text, float& phase) {
    char* end = nullptr;
    const float value = std::strtof(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(value)) return false;
    phase = value;
    return true;
}

int runStrokes(int argc, char** argv) {
    const char* capturePath = nullptr;
    bool havePhase = false;
    bool wrong = false;
    float phase = 0.0f;
    for (int i = 0; i < argc && !wrong; ++i) {
        if (std::strcmp(argv[i], "--capture") == 0 && i + 1 < argc) {
            capturePath = argv[++i];
        } else if (std::strcmp(argv[i], "--phase") == 0 && i + 1 < argc) {
            havePhase = parsePhase(argv[++i], phase);
            wrong = !havePhase;
        } else {
            wrong = true;
        }
    }
    if (wrong || capturePath == nullptr || !havePhase) {
        std::fprintf(stderr, "usage: sunmarrow-capture %s\n", StrokesUsage);
        return 2;
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
    return std::fflush(stdout) == 0 ? 0 : 1;
}

capture::Command strokesCommand("strokes", StrokesUsage, runStrokes);

}  // namespace
