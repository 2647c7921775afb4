// The orientation field written step by step, in 32-bit integers, on the record's planes.
#include <utility>

#include "painterly/orientation_field.h"
#include "support/reference/reference_painterly.h"

namespace painterly {

namespace {
constexpr int width = captureWidth;

bool isBorder(int n) {
    const int row = n / width;
    const int column = n % width;
    return row == 0 || row == captureHeight - 1 || column == 0 || column == width - 1;
}
}  // namespace

void referenceGradient() {
    PainterlyState& s = painterlyState();
    for (int i = 0; i < capturePixels; ++i) s.IntensityPlane[i] = s.CaptureImage[3 * i];

    const std::uint8_t* intensity = s.IntensityPlane;
    for (int row = 1; row < captureHeight - 1; ++row) {
        for (int column = 1; column < width - 1; ++column) {
            const int n = row * width + column;
            std::int32_t gx = (intensity[n + 1] - intensity[n - 1]) * 4;
            std::int32_t gy = (intensity[n + width] - intensity[n - width]) * 4;
            if (gx - gy < 0) {
                gx = -gx;
                gy = -gy;
            }
            s.FieldX[n] = gx;
            s.FieldY[n] = gy;
        }
    }
    for (int n = 0; n < capturePixels; ++n) {
        if (!isBorder(n)) continue;
        s.FieldX[n] = 0;
        s.FieldY[n] = 0;
        s.NextFieldX[n] = 0;
        s.NextFieldY[n] = 0;
    }
}

void referenceSmoothingPass() {
    PainterlyState& s = painterlyState();
    const auto v = [&s](int k) { return FieldVector{s.FieldX[k], s.FieldY[k]}; };
    for (int row = 1; row < captureHeight - 1; ++row) {
        for (int column = 1; column < width - 1; ++column) {
            const int n = row * width + column;
            const FieldVector h = orientedMean(v(n - 1), v(n + 1));
            const FieldVector u = orientedMean(v(n - width), v(n + width));
            const FieldVector m = orientedMean(h, u);
            const FieldVector r = orientedMean(m, v(n));
            s.NextFieldX[n] = r.x;
            s.NextFieldY[n] = r.y;
        }
    }
    std::swap(s.FieldX, s.NextFieldX);
    std::swap(s.FieldY, s.NextFieldY);
}

void referenceOrientationField() {
    referenceGradient();
    for (int pass = 0; pass < smoothingPasses; ++pass) referenceSmoothingPass();
}

}  // namespace painterly
