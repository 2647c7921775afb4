#include "painterly/painterly.h"

#include <GL/gl.h>

#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "media/read_error.h"
#include "painterly/canvas_pass.h"
#include "painterly/orientation_field.h"
#include "painterly/painter_choice.h"
#include "platform/files/file_path.h"

namespace painterly {

namespace {

constexpr int drawingWidth = 640;   // the top-down drawing space every window shows
constexpr int drawingHeight = 480;

PainterlyState& stateInstance() {
    static PainterlyState state;
    return state;
}

// The planes exist before the entry routine runs, like the rest of the static data.
[[maybe_unused]] PainterlyState& staticState = stateInstance();

// Reads the brush's 4096 alpha bytes. Bytes the file does not hold stay 0, so a missing
// or short file gives a (partly) transparent brush rather than undefined texels.
void loadBrush(std::uint8_t* brush) {
    std::memset(brush, 0, brushBytes);
    std::size_t got = 0;
    if (std::FILE* file = platform::openFile(brushPath)) {
        got = std::fread(brush, 1, brushBytes, file);
        std::fclose(file);
    }
    if (got < static_cast<std::size_t>(brushBytes)) media::reportReadError();
}

void setLinearRepeat() {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

// Places the capture in the lower left block of the staging image, rows unflipped, and
// blackens that block's outermost ring. The quad's texture coordinates keep every filter
// tap inside texels 1..158 × 1..118, so neither the ring nor the unwritten rest shows.
void fillStaging(PainterlyState& s) {
    const int rowBytes = captureWidth * 3;
    const int stagingRowBytes = s.StagingWidth * 3;
    for (int r = 0; r < captureHeight; ++r) {
        std::memcpy(s.BackdropStaging + r * stagingRowBytes, s.CaptureImage + r * rowBytes, rowBytes);
    }
    std::uint8_t* top = s.BackdropStaging + (captureHeight - 1) * stagingRowBytes;
    std::memset(s.BackdropStaging, 0, rowBytes);
    std::memset(top, 0, rowBytes);
    for (int r = 0; r < captureHeight; ++r) {
        std::uint8_t* row = s.BackdropStaging + r * stagingRowBytes;
        std::memset(row, 0, 3);
        std::memset(row + (captureWidth - 1) * 3, 0, 3);
    }
}

}  // namespace

PainterlyState::PainterlyState()
    : CaptureImage(new std::uint8_t[captureBytes]()),
      IntensityPlane(new std::uint8_t[capturePixels]()),
      FieldX(new std::int32_t[capturePixels]()),
      FieldY(new std::int32_t[capturePixels]()),
      NextFieldX(new std::int32_t[capturePixels]()),
      NextFieldY(new std::int32_t[capturePixels]()),
      brush{},
      strokes{} {
    fieldPairs[0] = new std::int16_t[capturePixels * 2]();
    fieldPairs[1] = new std::int16_t[capturePixels * 2]();
}

PainterlyState& painterlyState() { return stateInstance(); }

void initPainterly() {
    PainterlyState& s = painterlyState();
    GLuint names[2] = {0, 0};
    glGenTextures(2, names);
    s.StrokeTexture = names[0];
    s.BackdropTexture = names[1];

    loadBrush(s.brush);
    glBindTexture(GL_TEXTURE_2D, s.StrokeTexture);
    setLinearRepeat();
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA8, brushWidth, brushHeight, 0, GL_ALPHA, GL_UNSIGNED_BYTE,
                 s.brush);

    while (s.StagingWidth < captureWidth) s.StagingWidth *= 2;
    while (s.StagingHeight < captureHeight) s.StagingHeight *= 2;
    // A later cycle (new GL context) keeps the staging image: its size cannot change.
    if (s.BackdropStaging == nullptr) {
        s.BackdropStaging = new std::uint8_t[static_cast<std::size_t>(s.StagingWidth) * s.StagingHeight * 3]();
    }
    // The backdrop texture is made once at the staging image's size; every frame only
    // replaces its texels.
    glBindTexture(GL_TEXTURE_2D, s.BackdropTexture);
    setLinearRepeat();
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, s.StagingWidth, s.StagingHeight, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 s.BackdropStaging);

    // The painterly path for this context: the processor's on a software rasterizer.
    setPainterPath(choosePainter(requestedPainter(), reinterpret_cast<const char*>(glGetString(GL_RENDERER))));
}

void beginCapture() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, drawingWidth, 0.0, drawingHeight, -1000.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glViewport(0, 0, captureWidth, captureHeight);
}

void readCapture() {
    // glReadPixels waits for the scene's drawing itself. 480-byte rows carry no padding
    // under the default pack alignment of 4.
    glReadPixels(0, 0, captureWidth, captureHeight, GL_RGB, GL_UNSIGNED_BYTE, painterlyState().CaptureImage);
}

void beginPaintingPass(int width, int height) {
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
}

void paintBackdrop(int width, int height) {
    PainterlyState& s = painterlyState();
    assert(s.BackdropStaging != nullptr && "call initPainterly with the GL context current first");

    beginPaintingPass(width, height);
    if (s.BackdropStaging == nullptr) return;

    fillStaging(s);
    glBindTexture(GL_TEXTURE_2D, s.BackdropTexture);
    setLinearRepeat();
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, s.StagingWidth, s.StagingHeight, GL_RGB, GL_UNSIGNED_BYTE,
                    s.BackdropStaging);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

    // Texels 2..158 × 2..118 of the capture over the whole window, capture row 0 at the
    // bottom (y = 480 in the top-down space).
    const double w = s.StagingWidth;
    const double h = s.StagingHeight;
    glBegin(GL_QUADS);
    glTexCoord2d(2.0 / w, 2.0 / h);
    glVertex2d(0.0, drawingHeight);
    glTexCoord2d(158.0 / w, 2.0 / h);
    glVertex2d(drawingWidth, drawingHeight);
    glTexCoord2d(158.0 / w, 118.0 / h);
    glVertex2d(drawingWidth, 0.0);
    glTexCoord2d(2.0 / w, 118.0 / h);
    glVertex2d(0.0, 0.0);
    glEnd();

    // The strokes' blending; the brush's alpha acts through it alone (no alpha test).
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

StrokeQuad strokeQuad(float a, float b, float z, float theta, float d) {
    const double cd = static_cast<float>(std::cos(static_cast<double>(theta)) * d);
    const double sd = static_cast<float>(std::sin(static_cast<double>(theta)) * d);
    const double ad = a;
    const double bd = b;
    // The brush's 32-texel rows lie across the stroke, its 128 rows along it; the centre
    // is 56·D from the t = 0 end and 72·D from the t = 1 end.
    return StrokeQuad{{ad - 16.0 * cd + 56.0 * sd, ad + 16.0 * cd + 56.0 * sd, ad + 16.0 * cd - 72.0 * sd,
                       ad - 16.0 * cd - 72.0 * sd},
                      {bd - 56.0 * cd - 16.0 * sd, bd - 56.0 * cd + 16.0 * sd, bd + 72.0 * cd + 16.0 * sd,
                       bd + 72.0 * cd - 16.0 * sd},
                      static_cast<double>(z)};
}

namespace {

void sendStrokeCorners(const StrokeQuad& q) {
    static constexpr float s[4] = {0.0f, 1.0f, 1.0f, 0.0f};
    static constexpr float t[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    for (int k = 0; k < 4; ++k) {
        glTexCoord2f(s[k], t[k]);
        glVertex3d(q.x[k], q.y[k], q.z);
    }
}

}  // namespace

void emitStrokeQuad(const StrokeQuad& q) {
    glBegin(GL_QUADS);
    sendStrokeCorners(q);
    glEnd();
}

void drawStroke(float a, float b, float z, float theta, float d) { emitStrokeQuad(strokeQuad(a, b, z, theta, d)); }

void beginStrokePass() {
    glBindTexture(GL_TEXTURE_2D, painterlyState().StrokeTexture);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void endStrokePass() {
    // What the caption pass and the next frame's scene expect.
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
}

void emitStrokeBatch(const StrokeArgs* strokes, const StrokeQuad* quads) {
    // One batch, but the first stroke goes alone with its colour set before glBegin, as
    // when each stroke was a glBegin/glEnd pair: Mesa draws that first quad by itself (its
    // colour not yet per vertex) and merged the pairs after it into the very draws this
    // batch makes. Where a draw begins decides along which diagonal llvmpipe cuts some
    // quads into triangles, so the same draws keep every stroke pixel.
    for (int i = 0; i < strokeCount; ++i) {
        glColor4f(strokes[i].red, strokes[i].green, strokes[i].blue, 1.0f);
        if (i <= 1) glBegin(GL_QUADS);
        sendStrokeCorners(quads[i]);
        if (i == 0) glEnd();
    }
    glEnd();
}

void drawPlannedStrokes() {
    static StrokeQuad quads[strokeCount];  // 360 KB, kept off the stack
    const StrokeArgs* strokes = painterlyState().strokes;
    for (int i = 0; i < strokeCount; ++i) {
        const StrokeArgs& k = strokes[i];
        quads[i] = strokeQuad(k.x, k.y, k.depth, k.angle, k.size);
    }
    beginStrokePass();
    emitStrokeBatch(strokes, quads);
    endStrokePass();
}

void paintFrame(int width, int height, std::int32_t strokeClockMs) {
    if (painterPath() == PainterPath::cpu) return paintFrameOnCanvas(width, height, strokeClockMs);
    paintBackdrop(width, height);
    computeOrientationField();
    PainterlyState& s = painterlyState();
    s.StrokePhase = strokePhaseFromClock(strokeClockMs);
    planStrokes(s.StrokePhase);
    drawPlannedStrokes();
}

}  // namespace painterly
