// Stroke planning, fast: the rejection sampling depends on nothing but the seed, so it
// runs once; each frame only wobbles, clamps and samples colour and field.
#include "painterly/brush_strokes.h"

#include <algorithm>
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
    for (int i = 0; i < strokeCount; ++i) {
        float rho = 0.0f;
        bool sampled = false;
        for (;;) {
            // u in double; rho, x and y stored as floats; the sine of y takes y before
            // its rounding, the sine of x the stored float.
            const double u = random.draw() * unitPerDraw;
            if (u <= rho) break;
            x = static_cast<float>(random.draw() * columnPerDraw + 1.0);
            const double yExact = random.draw() * rowPerDraw + 1.0;
            y = static_cast<float>(yExact);
            rho = static_cast<float>(std::sin(yExact * rowToRadians) *
                                         std::sin(static_cast<double>(x) * columnToRadians) +
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

// atan(k / 64) for k = 0..64.
struct ArcTangentTable {
    double value[65];
    ArcTangentTable() {
        for (int k = 0; k <= 64; ++k) value[k] = std::atan(k / 64.0);
    }
};
const ArcTangentTable arcTangents;

constexpr double pi = 3.141592653589793;
constexpr double halfPi = 1.5707963267948966;

// Error budget of the fast angle (absolute, radians). Its own error stays below 1.5e-15:
// the numerator num - c·den loses at most 2^-53·c·den, the denominator and the quotient
// one rounding each, the table entry and the three quadrant steps one ulp each (at most
// 4.5e-16); the series' truncation after r^7 is below 1e-19 for |r| <= 1/100. The C
// library's atan2 is within an ulp (4.5e-16).
constexpr double angleDoubt = 2e-14;

inline float fastAtan2Float(double y, double x) {
    const double ax = std::fabs(x);
    const double ay = std::fabs(y);
    const bool steep = ay > ax;
    const double num = steep ? ax : ay;
    const double den = steep ? ay : ax;  // num / den in 0..1
    // Zeros, infinities, NaNs and magnitudes beyond float: the C library's own cases.
    if (!(den > 1e-30 && den < 1e30 && num <= den)) return static_cast<float>(std::atan2(y, x));
    // atan(num/den) = atan(c) + atan(r) with c = k/64 next to num/den (a float quotient
    // is close enough to choose it) and r = (num - c·den) / (den + c·num), |r| < 1/100.
    const int k = std::min(64, static_cast<int>(static_cast<float>(num) / static_cast<float>(den) * 64.0f + 0.5f));
    const double c = k * (1.0 / 64.0);
    const double r = (num - c * den) / (den + c * num);
    const double r2 = r * r;
    const double series = r + r * r2 * (-1.0 / 3.0 + r2 * (1.0 / 5.0 - r2 * (1.0 / 7.0)));
    double angle = arcTangents.value[k] + series;
    if (steep) angle = halfPi - angle;
    if (x < 0.0) angle = pi - angle;
    // Rounding is monotonic: when both ends of the doubt interval round to the same
    // float, so do the true angle and the library's.
    const float rounded = static_cast<float>(angle);
    if (static_cast<float>(angle - angleDoubt) == rounded && static_cast<float>(angle + angleDoubt) == rounded) {
        return std::signbit(y) ? -rounded : rounded;
    }
    return static_cast<float>(std::atan2(y, x));
}

// The bilinear value at (fx, fy) between four samples, in this order of operations.
inline double bilinear(double fx, double fy, double p00, double p10, double p01, double p11) {
    return (1.0 - fy) * ((1.0 - fx) * p00 + fx * p10) + fy * ((1.0 - fx) * p01 + fx * p11);
}

}  // namespace

float atan2Float(double y, double x) { return fastAtan2Float(y, x); }

void planStrokes(const StrokeLayout& layout, float phase, StrokeArgs* out) {
    const PainterlyState& s = painterlyState();
    const std::uint8_t* rgb = s.CaptureImage;
    const std::int32_t* fieldX = s.FieldX;
    const std::int32_t* fieldY = s.FieldY;
    constexpr int width = captureWidth;

    // Strokes go in blocks, each in three sweeps: the wobble's sines, then the samples
    // (plain arithmetic and loads that the processor can overlap from stroke to stroke
    // when no library call sits between them), then the angles.
    constexpr int block = 100;
    static_assert(strokeCount % block == 0);
    double sine[block], cosine[block], vx[block], vy[block];

    float x = 0.0f;
    float y = 0.0f;
    for (int first = 0; first < strokeCount; first += block) {
        for (int j = 0; j < block; ++j) {
            // One turn around the sampled spot every 2π/5 seconds, set off by the index.
            const float w = static_cast<float>(first + j) + phase;
            sine[j] = std::sin(static_cast<double>(w));
            cosine[j] = std::cos(static_cast<double>(w));
        }
        for (int j = 0; j < block; ++j) {
            const int i = first + j;
            if (layout.sampled[i]) {
                x = layout.x[i];
                y = layout.y[i];
            }
            x = static_cast<float>(x + sine[j]);
            y = static_cast<float>(y + cosine[j]);
            x = x < 1.0f ? 1.0f : (x > 158.0f ? 158.0f : x);
            y = y < 1.0f ? 1.0f : (y > 118.0f ? 118.0f : y);

            const int xi = static_cast<int>(x);
            const int yi = static_cast<int>(y);
            const double fx = x - static_cast<float>(xi);
            const double fy = y - static_cast<float>(yi);
            const int n = yi * width + xi;  // columns xi, xi + 1 <= 159; rows yi, yi + 1 <= 119
            const std::uint8_t* c0 = rgb + 3 * n;
            const std::uint8_t* c1 = c0 + 3 * width;

            StrokeArgs& k = out[i];
            k.red = static_cast<float>(bilinear(fx, fy, c0[0], c0[3], c1[0], c1[3]) * channelScale);
            k.green = static_cast<float>(bilinear(fx, fy, c0[1], c0[4], c1[1], c1[4]) * channelScale);
            k.blue = static_cast<float>(bilinear(fx, fy, c0[2], c0[5], c1[2], c1[5]) * channelScale);
            vx[j] = bilinear(fx, fy, fieldX[n], fieldX[n + 1], fieldX[n + width], fieldX[n + width + 1]);
            vy[j] = bilinear(fx, fy, fieldY[n], fieldY[n + 1], fieldY[n + width], fieldY[n + width + 1]);
            k.x = static_cast<float>((x + 0.5) * 4.0);
            k.y = static_cast<float>(479.0 - (y + 0.5) * 4.0);
            k.size = layout.size[i];
            k.depth = -k.size;
        }
        for (int j = 0; j < block; ++j) out[first + j].angle = fastAtan2Float(-vy[j], vx[j]);
    }
}

void planStrokes(float phase) { planStrokes(showStrokeLayout(), phase, painterlyState().strokes); }

}  // namespace painterly
