// The painterly renderer: every frame the scene is drawn into a 160 × 120 corner of the
// back buffer, read back into CaptureImage, and repainted over the whole window as a
// bilinearly magnified backdrop plus 5000 brush strokes that follow an orientation field.
//
// Units and ranges:
// - capture planes are 160 columns × 120 rows, index = row × 160 + column, row 0 is the
//   BOTTOM row of the picture (as glReadPixels delivers it);
// - field components are integers in -1020..1020 (x rightwards, y upwards);
// - strokes are drawn in a 640 × 480 space with (0, 0) at the top left, y downwards,
//   stretched over the whole window whatever its size;
// - the strokes' wobble clock is an integer count of milliseconds.
//
// All functions run on the thread that owns the GL context, except the CPU stages
// (computeOrientationField, planStrokes and the reference versions), which need no GL.
#pragma once

#include <cstdint>

namespace painterly {

inline constexpr int captureWidth = 160;
inline constexpr int captureHeight = 120;
inline constexpr int capturePixels = captureWidth * captureHeight;  // 19,200
inline constexpr int captureBytes = capturePixels * 3;                // 57,600 (RGB)
inline constexpr int strokeCount = 5000;
inline constexpr int brushWidth = 32;
inline constexpr int brushHeight = 128;
inline constexpr int brushBytes = brushWidth * brushHeight;  // one alpha byte per texel
inline constexpr const char* brushPath = "data\\stroke4_A_32_128.raw";

// The exact arguments of one drawStroke call and the colour set before it.
struct StrokeArgs {
    float x;      // centre, 640 × 480 top-down drawing space
    float y;
    float depth;  // -size; no effect on the picture (no depth test while drawing)
    float angle;  // radians, direction of the field vector on screen
    float size;   // D: the quad is 32·D across and 128·D long
    float red;    // 0..1, alpha is always 1
    float green;
    float blue;
};

// The renderer's long-lived state. The six capture-sized planes are allocated during
// static initialisation and never freed or resized; the four field planes are reached
// through pointers that the smoothing exchanges pair-wise after every pass (which
// physical array each designates does not matter).
struct PainterlyState {
    PainterlyState();
    PainterlyState(const PainterlyState&) = delete;
    PainterlyState& operator=(const PainterlyState&) = delete;

    std::uint8_t* CaptureImage;    // 160 × 120 RGB, rows of 480 bytes, row 0 at the bottom
    std::uint8_t* IntensityPlane;  // red byte of each capture pixel
    std::int32_t* FieldX;          // final field after computeOrientationField
    std::int32_t* FieldY;
    std::int32_t* NextFieldX;      // output of the last smoothing pass but one
    std::int32_t* NextFieldY;
    // Working planes of computeOrientationField: interleaved (x, y) pairs of 16 bits.
    std::int16_t* fieldPairs[2];

    // Power-of-two backdrop image; 1 × 1 until initPainterly raises it to 256 × 128.
    std::int32_t StagingWidth = 1;
    std::int32_t StagingHeight = 1;
    std::uint8_t* BackdropStaging = nullptr;  // StagingWidth × StagingHeight × 3 bytes

    unsigned StrokeTexture = 0;    // GL names, generated together by initPainterly
    unsigned BackdropTexture = 0;
    std::uint8_t brush[brushBytes];  // the brush's alpha bytes, row t = 0 first

    float StrokePhase = 0.0f;          // radians of wobble, 5 × seconds
    StrokeArgs strokes[strokeCount];   // this frame's strokes in drawing order
};

// The one record (created at static initialisation).
PainterlyState& painterlyState();

// Generates the two texture names, loads and uploads the brush ("Error reading file\n"
// on standard output when it is missing or short; missing bytes are transparent),
// sizes the staging image, makes the backdrop texture at its size (each frame then
// replaces the texels) and chooses the painterly path for the context's renderer
// (painter_choice.h). Call once per GL context before the first frame.
void initPainterly();

// Selects the 160 × 120 capture viewport at the window's lower left corner with a
// 640 × 480 orthographic projection and identity model-view.
void beginCapture();

// Reads the capture area into CaptureImage (glReadPixels waits for the scene's drawing).
void readCapture();

// Repaints the whole window (width × height pixels) from CaptureImage: backdrop,
// orientation field, strokes. strokeClockMs is the wobble clock in milliseconds. On the
// processor path the stages below give way to canvas_pass.h, with the same picture.
// Leaves texturing and blending off, the depth test on, the viewport on the whole window.
void paintFrame(int width, int height, std::int32_t strokeClockMs);

// --- The stages of paintFrame, in the order it runs them ------------------------------

// The painting's set-up: the 640 x 480 drawing space, top left at (0, 0), over the
// whole window, cleared to the paper colour, depth test and blending off.
void beginPaintingPass(int width, int height);

// Stage 1: window set-up (beginPaintingPass), backdrop quad; leaves texturing on and blending on with
// (SRC_ALPHA, ONE_MINUS_SRC_ALPHA), the depth test off.
void paintBackdrop(int width, int height);

// Stage 2: the orientation field of CaptureImage into FieldX / FieldY (integer only,
// no GL). Bit-identical to referenceOrientationField.
void computeOrientationField();

// StrokePhase for a clock reading: float(float(ms × 0.001f) × 5).
float strokePhaseFromClock(std::int32_t ms);

// Stage 3, CPU part: fills painterlyState().strokes from CaptureImage and the final field
// for the given StrokePhase (no GL). Bit-identical to referencePlanStrokes.
void planStrokes(float phase);

// Stage 3, GL part: beginStrokePass, the planned strokes, endStrokePass.
void drawPlannedStrokes();

// The stroke pass's GL state: the brush bound with texturing on, blending on with
// (SRC_ALPHA, ONE_MINUS_SRC_ALPHA) (the brush's alpha acts through it alone), the depth
// test off. The strokes keep the drawing space and whole-window viewport of the backdrop.
void beginStrokePass();

// After the strokes: texturing and blending off, the depth test on (what the caption
// pass and the next frame's scene pass expect); the brush stays bound.
void endStrokePass();

// One brush quad: centre (a, b), depth z, angle theta (radians), size d.
void drawStroke(float a, float b, float z, float theta, float d);

// The four corners drawStroke sends (texture corners (0,0), (1,0), (1,1), (0,1) in this
// order), and the GL calls that send them: drawStroke is the two together. Kept apart so
// a benchmark can replay a frame's strokes without redoing their arithmetic.
struct StrokeQuad {
    double x[4];
    double y[4];
    double z;
};
StrokeQuad strokeQuad(float a, float b, float z, float theta, float d);
void emitStrokeQuad(const StrokeQuad& quad);

// The strokeCount strokes in one batch, as drawPlannedStrokes sends them: each quad
// after glColor4f(red, green, blue, 1) of its stroke. The picture is the one of 5000
// drawStroke calls, to the bit.
void emitStrokeBatch(const StrokeArgs* strokes, const StrokeQuad* quads);

}  // namespace painterly
