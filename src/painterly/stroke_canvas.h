// The painterly picture composed on the processor: the backdrop (the capture magnified
// bilinearly over the window) and the strokes blended over it in drawing order, each
// pixel computed the way a software rasterizer (Mesa's llvmpipe, 8-bit colour buffer)
// computes the GL path's quads under the GL path's state, so that both paths give the
// same picture:
//
// 1. Positions. A vertex (x, y) of the 640 × 480 top-down drawing space becomes a window
//    position in single precision as the fixed pipeline forms it (x·(2/640) − 1, then
//    ·W/2 + W/2; y likewise, downwards) and is snapped to 1/256 pixel, nearest, relative
//    to pixel centres.
// 2. Coverage. A quad is the triangles (0, 1, 3) and (1, 2, 3). A pixel belongs to a
//    triangle when its centre lies inside every edge, or on an edge that bounds the
//    triangle on its left (or, for a horizontal edge, below): GL's fill rule with the
//    window's origin at the lower left. Decided exactly, in 64-bit integers.
// 3. Texture coordinates. Per triangle, planes a0 + x·dadx + y·dady set up in single
//    precision from the window positions and evaluated at pixel (x, y) with fused
//    multiply-adds.
// 4. Filtering (GL_LINEAR, GL_REPEAT). u = round(s·size·256) − 128, ties to even: texel
//    u >> 8 wrapped, weight u & 255; lerp(w, a, b) = a + round(w·(b − a)/256), halves
//    up; along s in both rows, then along t.
// 5. Colour. A stroke colour c becomes round(c·255) in single precision, ties to even.
// 6. Blending (SRC_ALPHA, ONE_MINUS_SRC_ALPHA), per channel in bytes: c·a/255 and
//    d·(255 − a)/255, each rounded to nearest, summed and saturated at 255.
//
// Units: the canvas is width × height pixels of 4 bytes R, G, B, A (A always 255), row 0
// at the TOP of the window, rows `stride` pixels apart (a little more than the width). Strokes come as planStrokes leaves them (640 × 480 space).
// The window is split into bands of rows; each band draws the backdrop and then every
// stroke, in order, clipped to its rows, so each pixel sees the strokes in their order
// whichever thread draws it. Sizes 1 × 1 to 8192 × 8192.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "painterly/painterly.h"

namespace painterly {

// The code paths of the canvas; all give the same bytes. best: AVX-512 (F, BW) where the
// processor has it, else AVX2 with FMA, else scalar (other architectures too).
enum class CanvasKernel { best, scalar, avx2, avx512 };

class StrokeCanvas {
public:
    // threads: as BandWorkers (0: one per core).
    explicit StrokeCanvas(int threads = 0);
    ~StrokeCanvas();
    StrokeCanvas(const StrokeCanvas&) = delete;
    StrokeCanvas& operator=(const StrokeCanvas&) = delete;

    // false (and the kernel unchanged) when this processor or build lacks it.
    bool useKernel(CanvasKernel kernel);
    CanvasKernel kernel() const;
    int threads() const;  // the crew's size

    // Composes the window: capture is CaptureImage (160 × 120 RGB, bottom row first),
    // brush the 32 × 128 alpha texels (row t = 0 first).
    void paint(int width, int height, const std::uint8_t* capture, const std::uint8_t* brush,
               const StrokeArgs* strokes, int count);

    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return stride_; }
    const std::uint8_t* pixels() const { return reinterpret_cast<const std::uint8_t*>(pixels_.data()); }

    struct Impl;

private:
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    std::vector<std::uint32_t> pixels_;
    std::unique_ptr<Impl> impl_;
};

// The 8-bit arithmetic of rules 4 to 6, for tests.
int canvasLerp(int weight, int from, int to);       // weight 0..255 (rule 4)
int canvasColourByte(float channel);                 // rule 5, clamped to 0..255
int canvasBlend(int alpha, int colour, int under);   // rule 6

}  // namespace painterly

// Needs: band_workers.h (threads). No GL.
// Tested by: tests/unit/test_stroke_canvas.cpp (rules, kernels, bands);
// tests/gl/test_painterly.cpp (the same picture as the GL path's on llvmpipe).
