// The stroke planning written step by step: the full rejection sampling every frame.
#include <cmath>

#include "painterly/brush_strokes.h"
#include "support/reference/reference_painterly.h"

namespace painterly {

void referencePlanStrokes(float phase, StrokeArgs* out, std::uint32_t seed) {
    const PainterlyState& s = painterlyState();
    StrokeRandom random;
    random.seed(seed);

    // These three live for the whole stage: a stroke that draws no candidate keeps the
    // position the previous stroke left.
    float x = 0.0f;
    float y = 0.0f;
    float rho = 0.0f;
    for (int i = 0; i < strokeCount; ++i) {
        rho = 0.0f;
        for (;;) {
            const double u = random.draw() * unitPerDraw;
            if (u <= rho) break;
            x = static_cast<float>(random.draw() * columnPerDraw + 1.0);
            const double yExact = random.draw() * rowPerDraw + 1.0;
            y = static_cast<float>(yExact);
            rho = static_cast<float>(std::sin(yExact * rowToRadians) *
                                         std::sin(static_cast<double>(x) * columnToRadians) +
                                     0.1);
        }
        const float size = static_cast<float>((0.7 - 0.4 * rho) * 0.7);

        const float w = static_cast<float>(i) + phase;
        x = static_cast<float>(x + std::sin(static_cast<double>(w)));
        y = static_cast<float>(y + std::cos(static_cast<double>(w)));
        if (x < 1.0f) x = 1.0f;
        if (y < 1.0f) y = 1.0f;
        if (x > 158.0f) x = 158.0f;
        if (y > 118.0f) y = 118.0f;

        const int xi = static_cast<int>(x);
        const int yi = static_cast<int>(y);
        const double fx = x - static_cast<float>(xi);
        const double fy = y - static_cast<float>(yi);
        const int index = yi * captureWidth + xi;
        const auto bilinear = [&](auto plane, int stride) {
            const double p00 = plane[index * stride];
            const double p10 = plane[(index + 1) * stride];
            const double p01 = plane[(index + captureWidth) * stride];
            const double p11 = plane[(index + captureWidth + 1) * stride];
            return (1.0 - fy) * ((1.0 - fx) * p00 + fx * p10) + fy * ((1.0 - fx) * p01 + fx * p11);
        };

        StrokeArgs& k = out[i];
        k.red = static_cast<float>(bilinear(s.CaptureImage, 3) * channelScale);
        k.green = static_cast<float>(bilinear(s.CaptureImage + 1, 3) * channelScale);
        k.blue = static_cast<float>(bilinear(s.CaptureImage + 2, 3) * channelScale);
        const double vx = bilinear(s.FieldX, 1);
        const double vy = bilinear(s.FieldY, 1);
        k.angle = static_cast<float>(std::atan2(-vy, vx));
        k.x = static_cast<float>((x + 0.5) * 4.0);
        k.y = static_cast<float>(479.0 - (y + 0.5) * 4.0);
        k.depth = static_cast<float>(-static_cast<double>(size));
        k.size = size;
    }
}

}  // namespace painterly
