#include "painterly/canvas_pass.h"

#include <GL/gl.h>

#include "painterly/painterly.h"
#include "painterly/stroke_canvas.h"

namespace painterly {

namespace {

constexpr int drawingWidth = 640;  // the top-down drawing space every window shows
constexpr int drawingHeight = 480;

// The canvas texture of the current context; allocated again only when the size changes.
struct CanvasTexture {
    GLuint name = 0;
    int width = 0;
    int height = 0;
};
CanvasTexture texture;

void upload(const StrokeCanvas& canvas) {
    if (texture.name == 0) glGenTextures(1, &texture.name);
    glBindTexture(GL_TEXTURE_2D, texture.name);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, canvas.stride());
    if (canvas.width() != texture.width || canvas.height() != texture.height) {
        // One texel per window pixel: nearest filtering reads each exactly once.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, canvas.width(), canvas.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     canvas.pixels());
        texture.width = canvas.width();
        texture.height = canvas.height();
    } else {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, canvas.width(), canvas.height(), GL_RGBA, GL_UNSIGNED_BYTE,
                        canvas.pixels());
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

}  // namespace

StrokeCanvas& paintCanvas() {
    // Never destroyed: its threads wait between frames and end with the process.
    static StrokeCanvas* canvas = new StrokeCanvas;
    return *canvas;
}

void resetCanvasPass() { texture = CanvasTexture{}; }

void composeCanvas(int width, int height) {
    const PainterlyState& s = painterlyState();
    paintCanvas().paint(width, height, s.CaptureImage, s.brush, s.strokes, strokeCount);
}

void showCanvas(int width, int height) {
    const PainterlyState& s = painterlyState();
    // The backdrop pass's set-up: the drawing space over the whole window, cleared.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, drawingWidth, drawingHeight, 0.0, -1000.0, 1000.0);  // (0, 0) top left
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glViewport(0, 0, width, height);
    glClearColor(0.95f, 0.95f, 0.80f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);

    upload(paintCanvas());
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    // Canvas row 0 (texture row 0) at the top; the last corner's coordinates are the
    // strokes' last ones, (0, 1).
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(drawingWidth, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(drawingWidth, drawingHeight);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(0.0f, drawingHeight);
    glEnd();

    // What the GL path's stroke pass leaves.
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBindTexture(GL_TEXTURE_2D, s.StrokeTexture);
    const StrokeArgs& last = s.strokes[strokeCount - 1];
    glColor4f(last.red, last.green, last.blue, 1.0f);
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
