// sunmarrow-capture field --capture FILE: the final orientation field of a 160 × 120 RGB
// capture (row 0 at the bottom), 120 lines from row 0 up, each 160 "x,y" pairs.
#include <cstdio>
#include <string>

#include "capture_commands.h"
#include "painterly/capture_file.h"
#include "painterly/painterly.h"

namespace {

constexpr const char* fieldUsage = "field --capture FILE";

int runField(int argc, char** argv) {
    const char* capturePath = nullptr;
    const int status = capture::readOptions("field", fieldUsage, argc, argv,
                                            {options::text("--capture", "a file name", capturePath)});
    if (status >= 0) return status;
    if (capturePath == nullptr) return capture::wrongUsage("field", fieldUsage, "--capture is needed");

    painterly::PainterlyState& s = painterly::painterlyState();
    std::string why;
    if (!painterly::loadCaptureFile(capturePath, s.CaptureImage, why)) {
        std::fprintf(stderr, "sunmarrow-capture field: %s\n", why.c_str());
        return 1;
    }
    painterly::computeOrientationField();

    std::string line;
    char pair[32];
    for (int row = 0; row < painterly::captureHeight; ++row) {
        line.clear();
        for (int column = 0; column < painterly::captureWidth; ++column) {
            const int n = row * painterly::captureWidth + column;
            std::snprintf(pair, sizeof pair, column == 0 ? "%d,%d" : " %d,%d", static_cast<int>(s.FieldX[n]),
                          static_cast<int>(s.FieldY[n]));
            line += pair;
        }
        line += '\n';
        std::fputs(line.c_str(), stdout);
    }
    if (capture::cutShortStatus() != 0) return capture::cutShortStatus();
    return std::fflush(stdout) == 0 ? 0 : 1;
}

capture::Command fieldCommand("field", fieldUsage, runField);

}  // namespace
