// The orientation field, fast: the 15 passes run on interleaved 16-bit (x, y) pairs with
// SIMD, whole rows at a time. Components stay within -1020..1020 and every sum within
// -2040..2040, so 16-bit lanes give exactly the 32-bit results, and one pair-wise
// multiply-add yields each dot product px·qx + py·qy in a 32-bit lane.
#include "painterly/orientation_field.h"

#include <cstring>
#include <utility>

#include "painterly/painterly.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define PAINTERLY_X86 1
#endif

namespace painterly {

namespace {

constexpr int width = captureWidth;
static_assert(2 * fieldLimit <= 32767, "pair sums must fit 16 bits");

// A pass computes whole rows 1..118, border columns included: their values are garbage
// (the left and right neighbours wrap to the adjacent rows) and are zeroed after the
// pass. Every read stays within the plane: n - width >= 0 and n + width + 7 < 19,200.
constexpr int firstPixel = width;
constexpr int endPixel = (captureHeight - 1) * width;
static_assert((endPixel - firstPixel) % 8 == 0, "whole vectors of 8 pixels");

void extractRed(const std::uint8_t* rgb, std::uint8_t* red) {
    for (int i = 0; i < capturePixels; ++i) red[i] = rgb[3 * i];
}

// Gradient ×4 of the intensity with its sign rule, zero borders.
void gradientPairs(const std::uint8_t* intensity, std::int16_t* pairs) {
    std::memset(pairs, 0, sizeof(std::int16_t) * 2 * width);
    std::memset(pairs + 2 * endPixel, 0, sizeof(std::int16_t) * 2 * width);
    for (int row = 1; row < captureHeight - 1; ++row) {
        const std::uint8_t* in = intensity + row * width;
        std::int16_t* out = pairs + 2 * row * width;
        out[0] = out[1] = 0;
        out[2 * (width - 1)] = out[2 * (width - 1) + 1] = 0;
        for (int column = 1; column < width - 1; ++column) {
            std::int32_t gx = (in[column + 1] - in[column - 1]) * 4;
            std::int32_t gy = (in[column + width] - in[column - width]) * 4;
            const std::int32_t flip = (gx - gy) >> 31;  // all ones when gx - gy < 0
            gx = (gx ^ flip) - flip;
            gy = (gy ^ flip) - flip;
            out[2 * column] = static_cast<std::int16_t>(gx);
            out[2 * column + 1] = static_cast<std::int16_t>(gy);
        }
    }
}

void zeroBorderColumns(std::int16_t* pairs) {
    for (int row = 1; row < captureHeight - 1; ++row) {
        std::int16_t* out = pairs + 2 * row * width;
        out[0] = out[1] = 0;
        out[2 * (width - 1)] = out[2 * (width - 1) + 1] = 0;
    }
}

void smoothScalar(const std::int16_t* src, std::int16_t* dst) {
    const auto v = [src](int k) { return FieldVector{src[2 * k], src[2 * k + 1]}; };
    for (int n = firstPixel; n < endPixel; ++n) {
        const FieldVector h = orientedMean(v(n - 1), v(n + 1));
        const FieldVector u = orientedMean(v(n - width), v(n + width));
        const FieldVector r = orientedMean(orientedMean(h, u), v(n));
        dst[2 * n] = static_cast<std::int16_t>(r.x);
        dst[2 * n + 1] = static_cast<std::int16_t>(r.y);
    }
}

#ifdef PAINTERLY_X86
// orientedMean of 4 pairs: q is negated where p·q <= 0, then (p + q) >> 1.
inline __m128i orientedMean4(__m128i p, __m128i q) {
    const __m128i d = _mm_madd_epi16(p, q);
    const __m128i notPositive = _mm_cmpgt_epi32(_mm_set1_epi32(1), d);
    const __m128i signedQ = _mm_sub_epi16(_mm_xor_si128(q, notPositive), notPositive);
    return _mm_srai_epi16(_mm_add_epi16(p, signedQ), 1);
}

void smoothSse2(const std::int16_t* src, std::int16_t* dst) {
    for (int n = firstPixel; n < endPixel; n += 4) {
        const std::int16_t* v = src + 2 * n;
        const auto load = [](const std::int16_t* at) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        };
        const __m128i h = orientedMean4(load(v - 2), load(v + 2));
        const __m128i u = orientedMean4(load(v - 2 * width), load(v + 2 * width));
        const __m128i r = orientedMean4(orientedMean4(h, u), load(v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * n), r);
    }
}

#define PAINTERLY_AVX2 __attribute__((target("avx2")))

PAINTERLY_AVX2 inline __m256i orientedMean8(__m256i p, __m256i q) {
    const __m256i d = _mm256_madd_epi16(p, q);
    const __m256i notPositive = _mm256_cmpgt_epi32(_mm256_set1_epi32(1), d);
    const __m256i signedQ = _mm256_sub_epi16(_mm256_xor_si256(q, notPositive), notPositive);
    return _mm256_srai_epi16(_mm256_add_epi16(p, signedQ), 1);
}

PAINTERLY_AVX2 inline __m256i load8(const std::int16_t* at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
}

PAINTERLY_AVX2 void smoothAvx2(const std::int16_t* src, std::int16_t* dst) {
    for (int n = firstPixel; n < endPixel; n += 8) {
        const std::int16_t* v = src + 2 * n;
        const __m256i h = orientedMean8(load8(v - 2), load8(v + 2));
        const __m256i u = orientedMean8(load8(v - 2 * width), load8(v + 2 * width));
        const __m256i r = orientedMean8(orientedMean8(h, u), load8(v));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 2 * n), r);
    }
}

// The red byte of every pixel: 16 pixels (48 bytes) per step.
__attribute__((target("ssse3"))) void extractRedSsse3(const std::uint8_t* rgb, std::uint8_t* red) {
    const __m128i from0 = _mm_setr_epi8(0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i from1 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14, -1, -1, -1, -1, -1);
    const __m128i from2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, 4, 7, 10, 13);
    for (int i = 0; i < capturePixels; i += 16) {
        const std::uint8_t* p = rgb + 3 * i;
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
        const __m128i r = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, from0), _mm_shuffle_epi8(b, from1)),
                                       _mm_shuffle_epi8(c, from2));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(red + i), r);
    }
}

// gradientPairs 8 columns at a time. Whole rows 1..118 are computed (the reads wrap into
// the neighbouring rows at the ends, always inside the plane); the border columns are
// zeroed afterwards. gx - gy lies within -2040..2040, so its sign fits 16 bits.
void gradientPairsSse2(const std::uint8_t* intensity, std::int16_t* pairs) {
    std::memset(pairs, 0, sizeof(std::int16_t) * 2 * width);
    std::memset(pairs + 2 * endPixel, 0, sizeof(std::int16_t) * 2 * width);
    const __m128i zero = _mm_setzero_si128();
    const auto widen = [zero](const std::uint8_t* at) {
        return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at)), zero);
    };
    for (int n = firstPixel; n < endPixel; n += 8) {
        const std::uint8_t* in = intensity + n;
        __m128i gx = _mm_slli_epi16(_mm_sub_epi16(widen(in + 1), widen(in - 1)), 2);
        __m128i gy = _mm_slli_epi16(_mm_sub_epi16(widen(in + width), widen(in - width)), 2);
        const __m128i flip = _mm_srai_epi16(_mm_sub_epi16(gx, gy), 15);
        gx = _mm_sub_epi16(_mm_xor_si128(gx, flip), flip);
        gy = _mm_sub_epi16(_mm_xor_si128(gy, flip), flip);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pairs + 2 * n), _mm_unpacklo_epi16(gx, gy));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pairs + 2 * n + 8), _mm_unpackhi_epi16(gx, gy));
    }
    zeroBorderColumns(pairs);
}

void splitPairsSse2(const std::int16_t* pairs, std::int32_t* x, std::int32_t* y) {
    for (int n = 0; n < capturePixels; n += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pairs + 2 * n));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(x + n), _mm_srai_epi32(_mm_slli_epi32(v, 16), 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(y + n), _mm_srai_epi32(v, 16));
    }
}

bool hasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}

bool hasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

using SmoothPass = void (*)(const std::int16_t*, std::int16_t*);

SmoothPass passFor(FieldKernel kernel) {
    switch (kernel) {
        case FieldKernel::scalar:
            return smoothScalar;
#ifdef PAINTERLY_X86
        case FieldKernel::sse2:
            return smoothSse2;
        case FieldKernel::avx2:
            return hasAvx2() ? smoothAvx2 : nullptr;
        case FieldKernel::best:
            return hasAvx2() ? smoothAvx2 : smoothSse2;
#else
        case FieldKernel::sse2:
        case FieldKernel::avx2:
            return nullptr;
        case FieldKernel::best:
            return smoothScalar;
#endif
    }
    return nullptr;
}

void splitPairs(const std::int16_t* pairs, std::int32_t* x, std::int32_t* y) {
    for (int n = 0; n < capturePixels; ++n) {
        x[n] = pairs[2 * n];
        y[n] = pairs[2 * n + 1];
    }
}

// Intensity and gradient into `pairs`, then (after the passes) the pairs back into the
// 32-bit planes: vectorised except on the scalar path, which stays independent of them.
void gradientStage(bool vector, PainterlyState& s, std::int16_t* pairs) {
#ifdef PAINTERLY_X86
    if (vector) {
        if (hasSsse3()) {
            extractRedSsse3(s.CaptureImage, s.IntensityPlane);
        } else {
            extractRed(s.CaptureImage, s.IntensityPlane);
        }
        gradientPairsSse2(s.IntensityPlane, pairs);
        return;
    }
#endif
    (void)vector;
    extractRed(s.CaptureImage, s.IntensityPlane);
    gradientPairs(s.IntensityPlane, pairs);
}

void splitStage(bool vector, const std::int16_t* pairs, std::int32_t* x, std::int32_t* y) {
#ifdef PAINTERLY_X86
    if (vector) {
        splitPairsSse2(pairs, x, y);
        return;
    }
#endif
    (void)vector;
    splitPairs(pairs, x, y);
}

}  // namespace

bool computeOrientationFieldWith(FieldKernel kernel) {
    const SmoothPass pass = passFor(kernel);
    if (pass == nullptr) return false;
    const bool vector = kernel != FieldKernel::scalar;
    PainterlyState& s = painterlyState();
    std::int16_t* current = s.fieldPairs[0];
    std::int16_t* next = s.fieldPairs[1];
    gradientStage(vector, s, current);
    std::memcpy(next, current, sizeof(std::int16_t) * 2 * width);  // zero border rows
    std::memcpy(next + 2 * endPixel, current + 2 * endPixel, sizeof(std::int16_t) * 2 * width);
    for (int p = 0; p < smoothingPasses; ++p) {
        pass(current, next);
        zeroBorderColumns(next);
        std::swap(current, next);
    }
    // The planes end as the step-by-step passes leave them: an odd number of exchanges
    // swaps the pointer pairs once; the last pass's output becomes the field, the one
    // before it stays in the Next planes.
    std::swap(s.FieldX, s.NextFieldX);
    std::swap(s.FieldY, s.NextFieldY);
    splitStage(vector, current, s.FieldX, s.FieldY);
    splitStage(vector, next, s.NextFieldX, s.NextFieldY);
    return true;
}

void computeOrientationField() { computeOrientationFieldWith(FieldKernel::best); }

}  // namespace painterly
