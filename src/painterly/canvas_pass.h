// The painterly pass on the processor path (painter_choice.h): the orientation field and
// the stroke plan as on the GL path, then the backdrop and the strokes composed on a
// StrokeCanvas at window size and handed to GL in one glDrawPixels. The scene render
// before it and the captions after it stay in GL; the GL state it hands on is the GL
// path's (the raster position and nothing else besides).
#pragma once

#include <cstdint>

namespace painterly {

class StrokeCanvas;

// paintFrame on the processor path. Leaves what paintFrame leaves: texturing and
// blending off (blend function SRC_ALPHA, ONE_MINUS_SRC_ALPHA), the depth test on, the
// whole-window viewport with the 640 × 480 top-down projection and identity model-view,
// the brush bound, the last stroke's colour current.
void paintFrameOnCanvas(int width, int height, std::int32_t strokeClockMs);

// Its two halves, for the benchmark: the canvas composed from CaptureImage and the
// planned strokes (no GL), and the canvas shown in the window with the state above.
void composeCanvas(int width, int height);
void showCanvas(int width, int height);

// The canvas itself (made on first use, kept for the process).
StrokeCanvas& paintCanvas();

}  // namespace painterly

// Needs: initPainterly (the brush, the stroke texture); a current GL context of
// OpenGL 1.4 (glWindowPos).
// Tested by: tests/gl/test_painterly.cpp.
