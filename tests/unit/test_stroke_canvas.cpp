// links: painterly sunmarrow_datagen
// The processor path's canvas without GL: the 8-bit rules as llvmpipe applies them
// (worked values measured on it), the brush laid 1:1 on the pixels, every kernel and
// every crew size giving the same bytes, and strokes no GL would draw drawing nothing
// harmful. That the canvas is the GL path's picture is gl.PainterlyPaths' to show.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "painterly/painterly.h"
#include "painterly/stroke_canvas.h"
#include "tools/data/brush.h"

namespace {

using painterly::StrokeArgs;
using painterly::StrokeCanvas;

TEST(StrokeCanvasRules, ByteArithmeticAsTheRasterizerDoesIt) {
    // Filter lerp: a + round(w·(b − a)/256), halves up.
    EXPECT_EQ(painterly::canvasLerp(0, 7, 200), 7);
    EXPECT_EQ(painterly::canvasLerp(128, 0, 255), 128);  // 127.5 up
    EXPECT_EQ(painterly::canvasLerp(255, 0, 255), 254);
    EXPECT_EQ(painterly::canvasLerp(128, 1, 0), 1);      // 0.5 up
    EXPECT_EQ(painterly::canvasLerp(64, 100, 20), 80);
    // Blend: c·a/255 + d·(255 − a)/255, each rounded.
    EXPECT_EQ(painterly::canvasBlend(0, 200, 30), 30);
    EXPECT_EQ(painterly::canvasBlend(255, 200, 30), 200);
    EXPECT_EQ(painterly::canvasBlend(5, 26, 17), 18);    // llvmpipe: 18, not 17.2 rounded
    EXPECT_EQ(painterly::canvasBlend(5, 25, 17), 17);
    EXPECT_EQ(painterly::canvasBlend(25, 13, 17), 16);
    // Colour: round(c·255) in single precision, ties to even, clamped.
    EXPECT_EQ(painterly::canvasColourByte(0.254255414f), 65);
    EXPECT_EQ(painterly::canvasColourByte(0.5f / 255.0f), 0);
    EXPECT_EQ(painterly::canvasColourByte(1.5f / 255.0f), 2);
    EXPECT_EQ(painterly::canvasColourByte(-0.1f), 0);
    EXPECT_EQ(painterly::canvasColourByte(1.7f), 255);
    EXPECT_EQ(painterly::canvasColourByte(std::numeric_limits<float>::quiet_NaN()), 0);
}

std::vector<std::uint8_t> capture(std::uint32_t seed) {
    std::vector<std::uint8_t> c(painterly::captureBytes);
    std::mt19937 rng(seed);
    for (std::uint8_t& b : c) b = static_cast<std::uint8_t>(rng());
    return c;
}

const std::uint8_t* pixel(const StrokeCanvas& canvas, int x, int y) {
    return canvas.pixels() + 4 * (static_cast<std::size_t>(y) * canvas.stride() + x);
}

TEST(StrokeCanvasRules, AStrokeAtFullSizeLaysTheBrushOnThePixelsHeadUp) {
    // Centre (320, 240), angle 0, size 1 on 640 × 480: texel (s, t) on pixel
    // (304 + s, 184 + t), every pixel centre on a texel centre.
    const datagen::Image brush = datagen::makeBrush();
    std::vector<std::uint8_t> grey(painterly::captureBytes, 90);
    const StrokeArgs stroke{320.0f, 240.0f, -1.0f, 0.0f, 1.0f, 1.0f, 0.5f, 0.0f};
    for (const painterly::CanvasKernel kernel :
         {painterly::CanvasKernel::scalar, painterly::CanvasKernel::avx2, painterly::CanvasKernel::avx512}) {
        StrokeCanvas canvas(1);
        if (!canvas.useKernel(kernel)) continue;
        canvas.paint(640, 480, grey.data(), brush.pixels.data(), &stroke, 1);
        for (int t = 0; t < painterly::brushHeight; ++t) {
            for (int s = 0; s < painterly::brushWidth; ++s) {
                const int alpha = brush.pixels[t * painterly::brushWidth + s];
                const std::uint8_t* p = pixel(canvas, 304 + s, 184 + t);
                ASSERT_EQ(p[0], painterly::canvasBlend(alpha, 255, 90)) << "texel " << s << "," << t;
                ASSERT_EQ(p[1], painterly::canvasBlend(alpha, 128, 90)) << "texel " << s << "," << t;
                ASSERT_EQ(p[2], painterly::canvasBlend(alpha, 0, 90)) << "texel " << s << "," << t;
                ASSERT_EQ(p[3], 255);
            }
        }
        EXPECT_EQ(pixel(canvas, 303, 250)[0], 90);  // outside the quad: the backdrop alone
        EXPECT_EQ(pixel(canvas, 320, 312)[0], 90);
    }
}

// The show's strokes over a random capture.
std::vector<StrokeArgs> showStrokes(const std::vector<std::uint8_t>& c, int clockMs) {
    std::memcpy(painterly::painterlyState().CaptureImage, c.data(), c.size());
    painterly::computeOrientationField();
    painterly::planStrokes(painterly::strokePhaseFromClock(clockMs));
    const StrokeArgs* s = painterly::painterlyState().strokes;
    return {s, s + painterly::strokeCount};
}

TEST(StrokeCanvasKernels, EveryKernelAndCrewPaintsTheSameBytes) {
    const datagen::Image brush = datagen::makeBrush();
    const std::vector<std::uint8_t> c = capture(7);
    const std::vector<StrokeArgs> strokes = showStrokes(c, 2500);
    for (const auto& [width, height] : {std::pair{640, 480}, std::pair{333, 247}, std::pair{1, 1}}) {
        StrokeCanvas reference(1);
        reference.useKernel(painterly::CanvasKernel::scalar);
        reference.paint(width, height, c.data(), brush.pixels.data(), strokes.data(), painterly::strokeCount);
        for (const auto& [kernel, threads] : {std::pair{painterly::CanvasKernel::avx2, 1},
                                              std::pair{painterly::CanvasKernel::avx512, 1},
                                              std::pair{painterly::CanvasKernel::best, 3}}) {
            StrokeCanvas canvas(threads);
            if (!canvas.useKernel(kernel)) continue;
            canvas.paint(width, height, c.data(), brush.pixels.data(), strokes.data(), painterly::strokeCount);
            for (int y = 0; y < height; ++y) {
                ASSERT_EQ(std::memcmp(pixel(canvas, 0, y), pixel(reference, 0, y), 4 * width), 0)
                    << width << "x" << height << " row " << y << ", " << threads << " threads";
            }
        }
    }
}

TEST(StrokeCanvasKernels, StrokesNoWindowWouldShowLeaveTheBackdrop) {
    const datagen::Image brush = datagen::makeBrush();
    const std::vector<std::uint8_t> c = capture(3);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float huge = 3e38f;
    const std::vector<StrokeArgs> strokes = {
        {320, 240, 0, 0.5f, 0.0f, 1, 1, 1},     // no area
        {nan, 240, 0, 0.5f, 0.4f, 1, 1, 1},     // no position
        {320, 240, 0, nan, 0.4f, 1, 1, 1},      // no angle
        {-5000, 9000, 0, 1.0f, 0.4f, 1, 1, 1},  // far outside
        {huge, -huge, 0, 1.0f, huge, 1, 1, 1},
    };
    for (const painterly::CanvasKernel kernel : {painterly::CanvasKernel::scalar, painterly::CanvasKernel::best}) {
        StrokeCanvas backdrop(2), canvas(2);
        backdrop.useKernel(kernel);
        canvas.useKernel(kernel);
        backdrop.paint(200, 150, c.data(), brush.pixels.data(), nullptr, 0);
        canvas.paint(200, 150, c.data(), brush.pixels.data(), strokes.data(), static_cast<int>(strokes.size()));
        for (int y = 0; y < 150; ++y) ASSERT_EQ(std::memcmp(pixel(canvas, 0, y), pixel(backdrop, 0, y), 4 * 200), 0);
    }
}

}  // namespace
