// The orientation field: image gradients of the capture's red channel, smoothed 15 times
// with sign-reconciling means so that a vector and its negation count as one orientation.
// Integer arithmetic only; components stay within -1020..1020 (multiples of 4 before the
// first pass), so every product and sum fits a signed 32-bit integer with room to spare,
// and halving is an arithmetic shift (rounding towards minus infinity: -5 >> 1 = -3).
#pragma once

#include <cstdint>

namespace painterly {

inline constexpr int smoothingPasses = 15;
inline constexpr int fieldLimit = 1020;  // |component| never exceeds this

struct FieldVector {
    std::int32_t x;
    std::int32_t y;
    friend bool operator==(const FieldVector&, const FieldVector&) = default;
};

// Mean of p and q with q's sign made to agree with p's: (p + q) >> 1 when p·q > 0,
// otherwise (p - q) >> 1. Only the first operand's sign carries into the result.
constexpr FieldVector orientedMean(FieldVector p, FieldVector q) {
    const std::int32_t d = p.x * q.x + p.y * q.y;
    if (d > 0) return {(p.x + q.x) >> 1, (p.y + q.y) >> 1};
    return {(p.x - q.x) >> 1, (p.y - q.y) >> 1};
}

}  // namespace painterly

namespace painterly {

// The smoothing code paths of computeOrientationField; all give the same planes.
enum class FieldKernel { best, scalar, sse2, avx2 };

// computeOrientationField on one code path; false (and nothing done) when this processor
// or build lacks it.
bool computeOrientationFieldWith(FieldKernel kernel);

}  // namespace painterly
