// Brush stroke placement. Where strokes go is chosen by rejection sampling from
// StrokeRandom, restarted from seed 1 every frame, so positions, acceptance values and
// sizes are the same in every frame; only the wobble (with time), the colours and the
// angles (with the picture) change. Positions are in capture pixels (row 0 at the
// bottom): candidates cover columns 1..159 and rows 1..118.
#pragma once

#include <cstdint>

#include "painterly/painterly.h"

namespace painterly {

// The system's only pseudo-random generator: a 32-bit linear congruential sequence
// whose draws are 0..32767. After seed(1) the draws begin 41, 18467, 6334, 26500.
class StrokeRandom {
public:
    void seed(std::uint32_t s) { state_ = s; }
    std::int32_t draw() {
        state_ = state_ * 214013u + 2531011u;  // modulo 2^32
        return static_cast<std::int32_t>((state_ >> 16) & 0x7FFFu);
    }

private:
    std::uint32_t state_ = 1;
};

// Float constants of the sampling, written as the double values that the products use.
inline constexpr double unitPerDraw = 3.0518509447574615e-05;     // float nearest 1/32767
inline constexpr double columnPerDraw = 0.004821924492716789;     // float nearest 158/32767
inline constexpr double rowPerDraw = 0.00357066560536623;         // float nearest 117/32767
inline constexpr double rowToRadians = 0.026179916666666664;      // 3.14159 × (1/120)
inline constexpr double columnToRadians = 0.0196349375;           // 3.14159 × (1/160)
inline constexpr double channelScale = 0.003921568859368563;      // float nearest 1/255

// The frame-invariant part of the strokes for one seed: each stroke's sampled position,
// its size, and whether it drew a candidate at all (a stroke whose first test value is 0
// draws none and keeps the position the previous stroke left after its wobble).
struct StrokeLayout {
    float x[strokeCount];
    float y[strokeCount];
    float size[strokeCount];
    bool sampled[strokeCount];
};

// Runs the sampling for `seed` once.
void makeStrokeLayout(std::uint32_t seed, StrokeLayout& layout);

// static_cast<float>(std::atan2(y, x)), bit for bit, in a fraction of the time: a table
// and a short series give atan2 to within 1.5e-15 radians; wherever that leaves the float
// rounding in doubt (within 2e-14 of a midpoint between two floats) the C library decides.
float atan2Float(double y, double x);

// The layout of seed 1, made on first use.
const StrokeLayout& showStrokeLayout();

// Per-frame part for a layout: wobble, clamp, colour and angle samples into `out`.
void planStrokes(const StrokeLayout& layout, float phase, StrokeArgs* out);

}  // namespace painterly
