// Stroke planning, fast: the rejection sampling depends on nothing but the seed, so it
// runs once; each frame only wobbles, clamps and samples colour and field.
#include "painterly/brush_strokes.h"

#include <cmath>

namespace painterly {

float strokePhaseFromClock(std::int32_t ms) {
    const float seconds = static_cast<float>(ms) * 0.001f;
    return seconds * 5.0f;
}

void makeStrokeLayout(std::uint32_t seed, StrokeLayout& layout) {
    StrokeRandom random;
    random.seed(seed);
    float x = 0.0f;
    float y = 0.0f;
    for (int i = 0; i < StrokeCount; ++i) {
        float rho = 0.0f;
        bool sampled = false;
        for (;;) {
            // u in double; rho, x and y stored as floats; the sine of y takes y before
            // its rounding, the sine of x the stored float.
            const double u = random.draw() * UnitPerDraw;
            if (u <= rho) break;
            x = static_cast<float>(random.draw() * ColumnPerDraw + 1.0);
            const double yExact = random.draw() * RowPerDraw + 1.0;
            y = static_cast<float>(yExact);
            rho = static_cast<float>(std::sin(yExact * RowToRadians) *
                                         std::sin(static_cast<double>(x) * ColumnToRadians) +
                                     0.1);
            sampled = true;
        }
        layout.x[i] = x;
        layout.y[i] = y;
        layout.size[i] = static_cast<float>((0.7 - 0.4 * rho) * 0.7);
        layout.sampled[i] = sampled;
    }
}

const StrokeLayout& showStrokeLayout() {
    static const StrokeLayout* layout = [] {
        auto* made = new StrokeLayout;
        makeStrokeLayout(1, *made);
        return made;
    }();
    return *layout;
}

namespace {

inline double bilinear(double fx, double fy, double p00, double p10, double p01, double p11) {
    return (1.0 - fy) * ((1.0 - fx) * p00 + fx * p10) + fy * ((1.0 - fx) * p01 + fx * p11);
}

}  // namespace

void planStrokes(const StrokeLayout& layout, float phase, StrokeArgs* out) {
    const PainterlyState& s = painterlyState();
    const std::uint8_t* rgb = s.CaptureImage;
    const std::int32_t* fieldX = s.FieldX;
    const std::int32_t* fieldY = s.FieldY;
    constexpr int W = CaptureWidth;

    float x = 0.0f;
    float y = 0.0f;
    for (int i = 0; i < StrokeCount; ++i) {
        if (layout.sampled[i]) {
            x = layout.x[i];
            y = layout.y[i];
        }
        // One turn around the sampled spot every 2π/5 seconds, set off by the index.
        const float w = static_cast<float>(i) + phase;
        x = static_cast<float>(x + std::sin(static_cast<double>(w)));
        y = static_cast<float>(y + std::cos(static_cast<double>(w)));
        x = x < 1.0f ? 1.0f : (x > 158.0f ? 158.0f : x);
        y = y < 1.0f ? 1.0f : (y > 118.0f ? 118.0f : y);

        const int xi = static_cast<int>(x);
        const int yi = static_cast<int>(y);
        const double fx = x - static_cast<float>(xi);
        const double fy = y - static_cast<float>(yi);
        const int n = yi * W + xi;  // columns xi, xi + 1 <= 159; rows yi, yi + 1 <= 119
        const std::uint8_t* c0 = rgb + 3 * n;
        const std::uint8_t* c1 = c0 + 3 * W;

        StrokeArgs& k = out[i];
        k.red = static_cast<float>(bilinear(fx, fy, c0[0], c0[3], c1[0], c1[3]) * ChannelScale);
        k.green = static_cast<float>(bilinear(fx, fy, c0[1], c0[4], c1[1], c1[4]) * ChannelScale);
        k.blue = static_cast<float>(bilinear(fx, fy, c0[2], c0[5], c1[2], c1[5]) * ChannelScale);
        const double vx = bilinear(fx, fy, fieldX[n], fieldX[n + 1], fieldX[n + W], fieldX[n + W + 1]);
        const double vy = bilinear(fx, fy, fieldY[n], fieldY[n + 1], fieldY[n + W], fieldY[n + W + 1]);
        k.angle = static_cast<float>(std::atan2(-vy, vx));
        k.x = static_cast<float>((x + 0.5) * 4.0);
        k.y = static_cast<float>(479.0 - (y + 0.5) * 4.0);
        k.size = layout.size[i];
        k.depth = -k.size;
    }
}

void planStrokes(float phase) { planStrokes(showStrokeLayout(), phase, painterlyState().strokes); }

}  // namespace painterly
