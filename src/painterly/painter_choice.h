// Which of the two painterly paths draws the backdrop and the strokes. On a GPU the GL
// pipeline does (5000 blended quads cost it nothing); on a software rasterizer that
// same pipeline is the whole frame, and the processor path composes the identical
// picture with SIMD on every core and hands GL one window-sized image (canvas_pass.h).
// The choice is made once per GL context, at initPainterly, from the renderer's name;
// an option of the player and the capture tool, or SUNMARROW_PAINTER, overrides it.
#pragma once

#include <optional>

namespace painterly {

enum class PainterPath { gl, cpu };
enum class PainterRequest { automatic, gl, cpu };

// "gl", "cpu" or "auto"; nothing for any other text (and for null).
std::optional<PainterRequest> parsePainterRequest(const char* text);

// Whether GL_RENDERER names a rasterizer that runs on the processor: Mesa's llvmpipe,
// softpipe and swrast (also behind zink or in "Gallium 0.4 on ..." names), SwiftShader
// (also behind ANGLE). Case is ignored; null or empty is not one.
bool isSoftwareRenderer(const char* glRenderer);

// automatic: the processor path exactly on a software rasterizer.
PainterPath choosePainter(PainterRequest request, const char* glRenderer);

// "gl" / "cpu", as the tools report it.
const char* painterName(PainterPath path);

// The request that initPainterly applies: the one given here (by a command-line option)
// if any, else SUNMARROW_PAINTER's value; an unknown value of the variable is reported
// on standard error once and counts as "auto".
void requestPainter(PainterRequest request);
PainterRequest requestedPainter();

// The path chosen by the last initPainterly (gl before the first). Tests may set it.
PainterPath painterPath();
void setPainterPath(PainterPath path);

}  // namespace painterly

// Needs: nothing (plain strings; the caller reads GL_RENDERER).
// Tested by: tests/unit/test_painter_choice.cpp.
