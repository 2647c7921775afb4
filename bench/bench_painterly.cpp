// Per-frame CPU work of the painterly renderer on a synthetic picture with sky, sun,
// hills, buildings and grain: the orientation field and the stroke planning (sampling,
// bilinear samples, trigonometry; no GL), each fast and step by step, and the processor
// path's canvas (backdrop and 5000 strokes with the generated brush) per kernel and crew.
//   bench_painterly --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "painterly/brush_strokes.h"
#include "painterly/orientation_field.h"
#include "painterly/painterly.h"
#include "painterly/stroke_canvas.h"
#include "support/reference/reference_painterly.h"
#include "tools/data/brush.h"

namespace {

using painterly::captureHeight;
using painterly::captureWidth;

void paintSyntheticCapture() {
    std::uint8_t* c = painterly::painterlyState().CaptureImage;
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> grain(-6, 6);
    for (int row = 0; row < captureHeight; ++row) {
        for (int column = 0; column < captureWidth; ++column) {
            double r = 60 + row * 1.2, g = 90 + row * 1.0, b = 160 + row * 0.7;  // sky
            const double hill = 35 + 12 * std::sin(column * 0.06) + 6 * std::sin(column * 0.21);
            if (row < hill) {  // hills with a ramp towards the bottom
                r = 40 + row * 1.5;
                g = 110 + row;
                b = 30;
            }
            const double dx = column - 115.0, dy = row - 88.0;
            if (dx * dx + dy * dy < 14 * 14) {  // the sun
                r = 250;
                g = 220;
                b = 120;
            }
            for (int k = 0; k < 4; ++k) {  // buildings
                const int left = 10 + k * 24, width = 14 + 3 * k, top = 50 + 9 * k;
                if (column >= left && column < left + width && row >= 20 && row < top) {
                    const bool window = (column - left) % 4 == 1 && (row % 5) == 2;
                    r = window ? 230 : 90 + 20 * k;
                    g = window ? 210 : 80 + 10 * k;
                    b = window ? 90 : 85;
                }
            }
            std::uint8_t* p = c + 3 * (row * captureWidth + column);
            p[0] = static_cast<std::uint8_t>(std::clamp(r + grain(rng), 0.0, 255.0));
            p[1] = static_cast<std::uint8_t>(std::clamp(g + grain(rng), 0.0, 255.0));
            p[2] = static_cast<std::uint8_t>(std::clamp(b + grain(rng), 0.0, 255.0));
        }
    }
}

void BM_FieldStepByStep(benchmark::State& state) {
    paintSyntheticCapture();
    for (auto _ : state) {
        painterly::referenceOrientationField();
        benchmark::DoNotOptimize(painterly::painterlyState().FieldX);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FieldStepByStep)->Unit(benchmark::kMicrosecond);

void BM_FieldFast(benchmark::State& state) {
    const auto kernel = static_cast<painterly::FieldKernel>(state.range(0));
    paintSyntheticCapture();
    if (!painterly::computeOrientationFieldWith(kernel)) {
        state.SkipWithError("code path not available on this processor");
        return;
    }
    for (auto _ : state) {
        painterly::computeOrientationFieldWith(kernel);
        benchmark::DoNotOptimize(painterly::painterlyState().FieldX);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FieldFast)
    ->ArgName("kernel")  // 0 best (as the show runs), 1 scalar, 2 SSE2, 3 AVX2
    ->Arg(static_cast<int>(painterly::FieldKernel::best))
    ->Arg(static_cast<int>(painterly::FieldKernel::scalar))
    ->Arg(static_cast<int>(painterly::FieldKernel::sse2))
    ->Arg(static_cast<int>(painterly::FieldKernel::avx2))
    ->Unit(benchmark::kMicrosecond);

// Frames 40 ms apart, so every iteration wobbles differently.
void BM_StrokesStepByStep(benchmark::State& state) {
    paintSyntheticCapture();
    painterly::computeOrientationField();
    std::vector<painterly::StrokeArgs> out(painterly::strokeCount);
    std::int32_t ms = 0;
    for (auto _ : state) {
        painterly::referencePlanStrokes(painterly::strokePhaseFromClock(ms), out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
        ms += 40;
    }
}
BENCHMARK(BM_StrokesStepByStep)->Unit(benchmark::kMicrosecond);

void BM_StrokesFast(benchmark::State& state) {
    paintSyntheticCapture();
    painterly::computeOrientationField();
    painterly::showStrokeLayout();  // made once per run, not per frame
    std::int32_t ms = 0;
    for (auto _ : state) {
        painterly::planStrokes(painterly::strokePhaseFromClock(ms));
        benchmark::DoNotOptimize(painterly::painterlyState().strokes);
        benchmark::ClobberMemory();
        ms += 40;
    }
}
BENCHMARK(BM_StrokesFast)->Unit(benchmark::kMicrosecond);

void BM_StrokeLayoutOnce(benchmark::State& state) {
    auto layout = std::make_unique<painterly::StrokeLayout>();
    for (auto _ : state) {
        painterly::makeStrokeLayout(1, *layout);
        benchmark::DoNotOptimize(layout.get());
    }
}
BENCHMARK(BM_StrokeLayoutOnce)->Unit(benchmark::kMicrosecond);

// One window of the processor path: arguments width, height, kernel, threads (0: a
// thread per core).
void BM_Canvas(benchmark::State& state) {
    paintSyntheticCapture();
    painterly::computeOrientationField();
    painterly::planStrokes(painterly::strokePhaseFromClock(1000));
    const datagen::Image brush = datagen::makeBrush();
    painterly::StrokeCanvas canvas(static_cast<int>(state.range(3)));
    if (!canvas.useKernel(static_cast<painterly::CanvasKernel>(state.range(2)))) {
        state.SkipWithError("code path not available on this processor");
        return;
    }
    const painterly::PainterlyState& s = painterly::painterlyState();
    for (auto _ : state) {
        canvas.paint(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), s.CaptureImage,
                     brush.pixels.data(), s.strokes, painterly::strokeCount);
        benchmark::DoNotOptimize(canvas.pixels());
    }
}
BENCHMARK(BM_Canvas)
    ->ArgNames({"w", "h", "kernel", "threads"})  // kernel 0 best, 1 scalar, 2 AVX2, 3 AVX-512
    ->Args({640, 480, 1, 1})
    ->Args({640, 480, 2, 1})
    ->Args({640, 480, 3, 1})
    ->Args({640, 480, 0, 0})
    ->Args({1024, 768, 0, 1})
    ->Args({1024, 768, 0, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
