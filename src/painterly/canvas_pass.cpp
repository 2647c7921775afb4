#include "painterly/canvas_pass.h"

#include <GL/gl.h>

#include "painterly/painterly.h"
#include "painterly/stroke_canvas.h"

namespace painterly {

StrokeCanvas& paintCanvas() {
    // Never destroyed: its threads wait between frames and end with the process.
    static StrokeCanvas* canvas = new StrokeCanvas;
    return *canvas;
}

void composeCanvas(int width, int height) {
    const PainterlyState& s = painterlyState();
    paintCanvas().paint(width, height, s.CaptureImage, s.brush, s.strokes, strokeCount);
}

void showCanvas(int width, int height) {
    const PainterlyState& s = painterlyState();
    beginPaintingPass(width, height);  // the backdrop pass's set-up

    // Into the window as it is, top row first: glDrawPixels measured 15 to 20 % less
    // processor time on llvmpipe than a texture updated with glTexSubImage2D and drawn
    // as a quad (both give the canvas's bytes exactly). Its fragments would be textured.
    const StrokeCanvas& canvas = paintCanvas();
    glDisable(GL_TEXTURE_2D);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, canvas.stride());
    // The raster position at the window's top left with OpenGL 1.1 alone: (-1, -1) under
    // identity matrices is the lower left corner exactly, and an empty bitmap moves it up
    // by whole pixels.
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glRasterPos2f(-1.0f, -1.0f);
    glBitmap(0, 0, 0.0f, 0.0f, 0.0f, static_cast<float>(height), nullptr);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPixelZoom(1.0f, -1.0f);
    glDrawPixels(canvas.width(), canvas.height(), GL_RGBA, GL_UNSIGNED_BYTE, canvas.pixels());
    glPixelZoom(1.0f, 1.0f);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);

    // What the GL path's stroke pass leaves.
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBindTexture(GL_TEXTURE_2D, s.StrokeTexture);
    const StrokeArgs& last = s.strokes[strokeCount - 1];
    glColor4f(last.red, last.green, last.blue, 1.0f);
    glTexCoord2f(0.0f, 1.0f);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
}

void paintFrameOnCanvas(int width, int height, std::int32_t strokeClockMs) {
    computeOrientationField();
    PainterlyState& s = painterlyState();
    s.StrokePhase = strokePhaseFromClock(strokeClockMs);
    planStrokes(s.StrokePhase);
    composeCanvas(width, height);
    showCanvas(width, height);
}

}  // namespace painterly
