// The canvas: set-up of the quads (rules 1 to 3 of stroke_canvas.h) in plain C++, the
// per-pixel work (rules 3 to 6) in a scalar and an AVX2 kernel that give the same bytes.
// Rows are walked edge by edge in exact integers: each edge keeps the first (or last)
// pixel inside it and the edge function's value there, and steps one row with two adds.
#include "painterly/stroke_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "painterly/band_workers.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define CANVAS_X86 1
#endif

namespace painterly {

namespace {

constexpr int bandRows = 16;
constexpr int stagingWidth = 256;  // the GL path's backdrop texture
constexpr int stagingHeight = 128;
constexpr int fixedOne = 256;      // sub-pixel steps per pixel

// glOrtho(0, 640, 480, 0, ...) as the fixed pipeline holds it, in single precision.
const float projectX = 2.0f / 640.0f;
const float projectY = 2.0f / (0.0f - 480.0f);

// --- rule 1: positions --------------------------------------------------------------

struct Vertex {
    float x, y;           // window position, y downwards
    float s, t;           // texture coordinates
    std::int64_t fx, fy;  // snapped, 1/256 pixel, relative to pixel centres
};

Vertex windowVertex(float x, float y, float s, float t, int width, int height) {
    const float halfWidth = static_cast<float>(width) * 0.5f;
    const float halfHeight = static_cast<float>(height) * 0.5f;
    const float clipX = static_cast<float>(x * projectX) - 1.0f;
    const float clipY = static_cast<float>(y * projectY) + 1.0f;
    Vertex v;
    v.x = static_cast<float>(clipX * halfWidth) + halfWidth;
    v.y = static_cast<float>(clipY * -halfHeight) + halfHeight;
    v.s = s;
    v.t = t;
    v.fx = std::lrintf(static_cast<float>(v.x - 0.5f) * 256.0f);
    v.fy = std::lrintf(static_cast<float>(v.y - 0.5f) * 256.0f);
    return v;
}

// --- rules 2 and 3: one triangle -----------------------------------------------------

// Plane of one attribute at pixel (x, y): fma(dy, y, fma(dx, x, at0)).
struct Plane {
    float at0, dx, dy;
};

// E(x, y) = c + a·x + b·y >= 0 exactly for the pixels inside an edge.
struct Triangle {
    std::int64_t c[3], a[3], b[3];
    Plane s, t;
    int top, bottom;  // rows that may hold pixels, [top, bottom)
};

Plane planeOf(float a0, float a1, float a2, float x0c, float y0c, float dx01o, float dy01o, float dx20o,
              float dy20o) {
    const float da01 = a0 - a1;
    const float da20 = a2 - a0;
    Plane p;
    p.dx = static_cast<float>(da01 * dy20o) - static_cast<float>(da20 * dy01o);
    p.dy = static_cast<float>(da20 * dx01o) - static_cast<float>(da01 * dx20o);
    p.at0 = a0 - (static_cast<float>(p.dx * x0c) + static_cast<float>(p.dy * y0c));
    return p;
}

// False for a triangle of no area (it draws nothing).
bool setUpTriangle(const Vertex& p0, const Vertex& p1, const Vertex& p2, int height, Triangle& tri) {
    const Vertex* v[3] = {&p0, &p1, &p2};
    const std::int64_t area = (p0.fx - p1.fx) * (p2.fy - p0.fy) - (p2.fx - p0.fx) * (p0.fy - p1.fy);
    if (area == 0) return false;
    if (area < 0) std::swap(v[0], v[1]);  // clockwise: the rasterizer takes (1, 0, 2)

    std::int64_t minY = v[0]->fy, maxY = v[0]->fy;
    for (int i = 0; i < 3; ++i) {
        const Vertex& from = *v[i];
        const Vertex& to = *v[(i + 1) % 3];
        const std::int64_t dcdx = from.fy - to.fy;
        const std::int64_t dcdy = from.fx - to.fx;
        std::int64_t c = dcdx * from.fx - dcdy * from.fy;
        // Pixels on the edge belong to left edges and to horizontal bottom edges.
        if (dcdx < 0 || (dcdx == 0 && dcdy < 0)) ++c;
        tri.c[i] = c - 1;
        tri.a[i] = -fixedOne * dcdx;
        tri.b[i] = fixedOne * dcdy;
        minY = std::min(minY, from.fy);
        maxY = std::max(maxY, from.fy);
    }
    // Pixel row y has its centre at y·256.
    tri.top = static_cast<int>(std::clamp<std::int64_t>((minY + fixedOne - 1) >> 8, 0, height));
    tri.bottom = static_cast<int>(std::clamp<std::int64_t>((maxY >> 8) + 1, 0, height));

    const float x0c = v[0]->x - 0.5f;
    const float y0c = v[0]->y - 0.5f;
    const float dx01 = v[0]->x - v[1]->x;
    const float dy01 = v[0]->y - v[1]->y;
    const float dx20 = v[2]->x - v[0]->x;
    const float dy20 = v[2]->y - v[0]->y;
    const float ooa = 1.0f / (static_cast<float>(dx01 * dy20) - static_cast<float>(dy01 * dx20));
    const float dx01o = dx01 * ooa, dy01o = dy01 * ooa, dx20o = dx20 * ooa, dy20o = dy20 * ooa;
    tri.s = planeOf(v[0]->s, v[1]->s, v[2]->s, x0c, y0c, dx01o, dy01o, dx20o, dy20o);
    tri.t = planeOf(v[0]->t, v[1]->t, v[2]->t, x0c, y0c, dx01o, dy01o, dx20o, dy20o);
    return true;
}

// floor(n / d) for d > 0. The double quotient picks it, the integers confirm it.
std::int64_t floorDivide(std::int64_t n, std::int64_t d) {
    std::int64_t q = static_cast<std::int64_t>(std::floor(static_cast<double>(n) / static_cast<double>(d)));
    while (q * d > n) --q;
    while ((q + 1) * d <= n) ++q;
    return q;
}

// One edge walking down the rows. Lower edges (a > 0) bound the span on the left with
// their first pixel inside, upper edges (a < 0) on the right with their last; a
// horizontal edge (a == 0) holds its whole row in or out.
struct EdgeWalk {
    std::int64_t bound;  // first / last pixel inside
    std::int64_t rem;    // E at bound, in [0, step)
    std::int64_t step;   // |a|
    std::int64_t q, r;   // b = q·|a| + r, 0 <= r < |a|
    std::int64_t value;  // horizontal edges: E of the row
    int kind;            // +1 lower, -1 upper, 0 horizontal

    void start(std::int64_t c, std::int64_t a, std::int64_t b, int row) {
        const std::int64_t v = c + b * row;  // E at x = 0
        if (a == 0) {
            kind = 0;
            value = v;
            q = b;
            return;
        }
        step = a > 0 ? a : -a;
        q = floorDivide(b, step);
        r = b - q * step;
        if (a > 0) {  // first x with v + a·x >= 0
            kind = 1;
            bound = -floorDivide(v, step);
            rem = v + a * bound;
        } else {  // last x with v - |a|·x >= 0
            kind = -1;
            bound = floorDivide(v, step);
            rem = v - step * bound;
        }
    }
    void next() {
        if (kind == 0) {
            value += q;
            return;
        }
        rem += r;
        bound += kind > 0 ? -q : q;
        if (rem >= step) {
            rem -= step;
            bound += kind > 0 ? -1 : 1;
        }
    }
};

// --- the per-pixel work ----------------------------------------------------------------

// Bilinear taps of the backdrop for one column (or row): texel, texel + 1, weight.
struct Taps {
    std::int32_t first, second, weight;
};

Taps tapsOf(float coordinate, int size) {
    const std::int32_t u = static_cast<std::int32_t>(std::lrintf(coordinate * static_cast<float>(size * 256))) - 128;
    const std::int32_t texel = (u >> 8) & (size - 1);
    return {texel, (texel + 1) & (size - 1), u & 255};
}

// pmulhrsw: round(w·d/256), halves up, for w·d within ±65,280.
inline int roundedShare(int weight, int difference) { return (weight * difference * 128 + 0x4000) >> 15; }

inline int lerp8(int weight, int from, int to) { return from + roundedShare(weight, to - from); }

// x·y/255 rounded to nearest, for bytes: (t + (t >> 8) + 128) >> 8 with t = x·y.
inline int timesNorm(int x, int y) {
    const int t = x * y;
    return (t + (t >> 8) + 128) >> 8;
}

// Rule 6: colour·alpha + under·(255 − alpha), each product rounded, the sum saturated.
inline int blend8(int alpha, int colour, int under) {
    return std::min(255, timesNorm(colour, alpha) + timesNorm(under, 255 - alpha));
}

// A stroke's fixed part: its colour bytes (alpha 255) and its two triangles.
struct StrokeSetup {
    Triangle tri[2];
    bool live[2];
    int top, bottom;
    std::uint32_t colour;
};

struct Kernels {
    // Blends the brush through triangle `tri` over pixels [left, right) of one row.
    void (*strokeSpan)(std::uint32_t* row, int left, int right, int y, const Triangle& tri,
                       const std::uint32_t* brushQuads, std::uint32_t colour);
    // Backdrop pixels [left, right) of one row from the per-column taps and the row's.
    void (*backdropSpan)(std::uint32_t* row, int left, int right, const Taps* columns, const Taps& rowTaps,
                         const std::uint32_t* staging);
};

// The brush as quads of taps: entry t·32 + s holds texels (s, t), (s + 1, t), (s, t + 1),
// (s + 1, t + 1) in its four bytes, lowest first, wrapping as GL_REPEAT does.
void makeBrushQuads(const std::uint8_t* brush, std::uint32_t* quads) {
    for (int t = 0; t < brushHeight; ++t) {
        const int t1 = (t + 1) & (brushHeight - 1);
        for (int s = 0; s < brushWidth; ++s) {
            const int s1 = (s + 1) & (brushWidth - 1);
            quads[t * brushWidth + s] = brush[t * brushWidth + s] | brush[t * brushWidth + s1] << 8 |
                                        brush[t1 * brushWidth + s] << 16 |
                                        static_cast<std::uint32_t>(brush[t1 * brushWidth + s1]) << 24;
        }
    }
}

void strokeSpanScalar(std::uint32_t* row, int left, int right, int y, const Triangle& tri,
                      const std::uint32_t* brushQuads, std::uint32_t colour) {
    const float fy = static_cast<float>(y);
    for (int x = left; x < right; ++x) {
        const float fx = static_cast<float>(x);
        const float s = std::fma(tri.s.dy, fy, std::fma(tri.s.dx, fx, tri.s.at0));
        const float t = std::fma(tri.t.dy, fy, std::fma(tri.t.dx, fx, tri.t.at0));
        const std::int32_t u = static_cast<std::int32_t>(std::lrintf(s * 8192.0f)) - 128;
        const std::int32_t v = static_cast<std::int32_t>(std::lrintf(t * 32768.0f)) - 128;
        const std::uint32_t q = brushQuads[((v >> 8) & (brushHeight - 1)) * brushWidth + ((u >> 8) & (brushWidth - 1))];
        const int ws = u & 255, wt = v & 255;
        const int near = lerp8(ws, q & 255, q >> 8 & 255);
        const int far = lerp8(ws, q >> 16 & 255, q >> 24);
        const int alpha = lerp8(wt, near, far);
        std::uint8_t* p = reinterpret_cast<std::uint8_t*>(row + x);
        for (int k = 0; k < 3; ++k) p[k] = static_cast<std::uint8_t>(blend8(alpha, colour >> (8 * k) & 255, p[k]));
    }
}

void backdropSpanScalar(std::uint32_t* row, int left, int right, const Taps* columns, const Taps& rowTaps,
                        const std::uint32_t* staging) {
    const std::uint32_t* near = staging + rowTaps.first * stagingWidth;
    const std::uint32_t* far = staging + rowTaps.second * stagingWidth;
    for (int x = left; x < right; ++x) {
        const Taps& c = columns[x];
        std::uint32_t out = 0xFF000000u;
        for (int k = 0; k < 24; k += 8) {
            const int top = lerp8(c.weight, near[c.first] >> k & 255, near[c.second] >> k & 255);
            const int bottom = lerp8(c.weight, far[c.first] >> k & 255, far[c.second] >> k & 255);
            out |= static_cast<std::uint32_t>(lerp8(rowTaps.weight, top, bottom)) << k;
        }
        row[x] = out;
    }
}

const Kernels scalarKernels{strokeSpanScalar, backdropSpanScalar};

#ifdef CANVAS_X86

#define CANVAS_AVX2 __attribute__((target("avx2,fma")))

// Lanes [left, right) of the eight starting at x0, as a mask of 32-bit lanes.
CANVAS_AVX2 inline __m256i laneMask(int x0, int left, int right) {
    const __m256i x = _mm256_add_epi32(_mm256_set1_epi32(x0), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    return _mm256_and_si256(_mm256_cmpgt_epi32(x, _mm256_set1_epi32(left - 1)),
                            _mm256_cmpgt_epi32(_mm256_set1_epi32(right), x));
}

// lerp8 on 16-bit lanes: from + pmulhrsw(weight, (to - from) << 7).
CANVAS_AVX2 inline __m256i lerp16(__m256i weight, __m256i from, __m256i to) {
    return _mm256_add_epi16(from, _mm256_mulhrs_epi16(weight, _mm256_slli_epi16(_mm256_sub_epi16(to, from), 7)));
}

// timesNorm on 16-bit lanes of bytes: every step stays below 65,536.
CANVAS_AVX2 inline __m256i timesNorm16(__m256i x, __m256i y) {
    const __m256i t = _mm256_mullo_epi16(x, y);
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(t, _mm256_srli_epi16(t, 8)), _mm256_set1_epi16(128)), 8);
}

// blend8 on 16-bit lanes; the sum (at most 510) saturates when packed to bytes.
CANVAS_AVX2 inline __m256i blend16(__m256i alpha, __m256i colour, __m256i under) {
    return _mm256_add_epi16(timesNorm16(colour, alpha),
                            timesNorm16(under, _mm256_sub_epi16(_mm256_set1_epi16(255), alpha)));
}

// Eight 32-bit lanes holding 0..255 each, spread to the 16-bit channels of the pixels
// that unpacklo / unpackhi_epi8 of the pixel vector produce.
CANVAS_AVX2 inline void spreadToChannels(__m256i value, __m256i& low, __m256i& high) {
    const __m256i pairs = _mm256_or_si256(value, _mm256_slli_epi32(value, 16));
    low = _mm256_unpacklo_epi32(pairs, pairs);
    high = _mm256_unpackhi_epi32(pairs, pairs);
}

CANVAS_AVX2 void strokeSpanAvx2(std::uint32_t* row, int left, int right, int y, const Triangle& tri,
                                const std::uint32_t* brushQuads, std::uint32_t colour) {
    const __m256 fy = _mm256_set1_ps(static_cast<float>(y));
    const __m256 sdx = _mm256_set1_ps(tri.s.dx), sdy = _mm256_set1_ps(tri.s.dy), s0 = _mm256_set1_ps(tri.s.at0);
    const __m256 tdx = _mm256_set1_ps(tri.t.dx), tdy = _mm256_set1_ps(tri.t.dy), t0 = _mm256_set1_ps(tri.t.at0);
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i bias = _mm256_set1_epi32(128);
    const __m256i byte = _mm256_set1_epi32(255);
    const __m256i word = _mm256_set1_epi32(0xFFFF);
    const __m256i evenBytes = _mm256_set1_epi32(0x00FF00FF);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i source = _mm256_cvtepu8_epi16(_mm_set1_epi32(static_cast<int>(colour)));

    for (int x0 = left; x0 < right; x0 += 8) {
        const __m256i xi = _mm256_add_epi32(_mm256_set1_epi32(x0), lanes);
        const __m256 fx = _mm256_cvtepi32_ps(xi);
        const __m256 s = _mm256_fmadd_ps(sdy, fy, _mm256_fmadd_ps(sdx, fx, s0));
        const __m256 t = _mm256_fmadd_ps(tdy, fy, _mm256_fmadd_ps(tdx, fx, t0));
        const __m256i u = _mm256_sub_epi32(_mm256_cvtps_epi32(_mm256_mul_ps(s, _mm256_set1_ps(8192.0f))), bias);
        const __m256i v = _mm256_sub_epi32(_mm256_cvtps_epi32(_mm256_mul_ps(t, _mm256_set1_ps(32768.0f))), bias);
        const __m256i index =
            _mm256_add_epi32(_mm256_slli_epi32(_mm256_and_si256(_mm256_srai_epi32(v, 8), _mm256_set1_epi32(brushHeight - 1)), 5),
                             _mm256_and_si256(_mm256_srai_epi32(u, 8), _mm256_set1_epi32(brushWidth - 1)));
        const __m256i quad = _mm256_i32gather_epi32(reinterpret_cast<const int*>(brushQuads), index, 4);

        // Along s in both rows at once: 16-bit lanes (s, t) and (s, t + 1) of each pixel.
        const __m256i ws = _mm256_and_si256(u, byte);
        const __m256i wt = _mm256_and_si256(v, byte);
        const __m256i rows = lerp16(_mm256_or_si256(ws, _mm256_slli_epi32(ws, 16)), _mm256_and_si256(quad, evenBytes),
                                    _mm256_and_si256(_mm256_srli_epi32(quad, 8), evenBytes));
        // Along t: the low 16 bits of each lane hold the result, the high ones are dropped.
        const __m256i nearRow = _mm256_and_si256(rows, word);
        const __m256i alpha = _mm256_and_si256(lerp16(wt, nearRow, _mm256_srli_epi32(rows, 16)), word);

        const __m256i mask = laneMask(x0, left, right);
        int* target = reinterpret_cast<int*>(row + x0);
        const __m256i under = _mm256_maskload_epi32(target, mask);
        __m256i alphaLow, alphaHigh;
        spreadToChannels(alpha, alphaLow, alphaHigh);
        const __m256i low = blend16(alphaLow, source, _mm256_unpacklo_epi8(under, zero));
        const __m256i high = blend16(alphaHigh, source, _mm256_unpackhi_epi8(under, zero));
        // The alpha byte stays 255: 255·a and 255·(255 − a) come out as a and 255 − a.
        _mm256_maskstore_epi32(target, mask, _mm256_packus_epi16(low, high));
    }
}

CANVAS_AVX2 void backdropSpanAvx2(std::uint32_t* row, int left, int right, const Taps* columns, const Taps& rowTaps,
                                  const std::uint32_t* staging) {
    const int* near = reinterpret_cast<const int*>(staging + rowTaps.first * stagingWidth);
    const int* far = reinterpret_cast<const int*>(staging + rowTaps.second * stagingWidth);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i wt = _mm256_set1_epi16(static_cast<short>(rowTaps.weight));
    const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    static_assert(sizeof(Taps) == 12, "three int32 per column");
    for (int x0 = left; x0 < right; x0 += 8) {
        const __m256i mask = laneMask(x0, left, right);
        // Columns past `right` read taps of column `left` (in range) and are not stored.
        const __m256i column = _mm256_blendv_epi8(_mm256_set1_epi32(left),
                                                  _mm256_add_epi32(_mm256_set1_epi32(x0), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)),
                                                  mask);
        const __m256i at = _mm256_mullo_epi32(column, _mm256_set1_epi32(3));
        const int* taps = reinterpret_cast<const int*>(columns);
        const __m256i first = _mm256_i32gather_epi32(taps, at, 4);
        const __m256i second = _mm256_i32gather_epi32(taps, _mm256_add_epi32(at, _mm256_set1_epi32(1)), 4);
        const __m256i ws = _mm256_i32gather_epi32(taps, _mm256_add_epi32(at, _mm256_set1_epi32(2)), 4);
        const __m256i n0 = _mm256_i32gather_epi32(near, first, 4);
        const __m256i n1 = _mm256_i32gather_epi32(near, second, 4);
        const __m256i f0 = _mm256_i32gather_epi32(far, first, 4);
        const __m256i f1 = _mm256_i32gather_epi32(far, second, 4);
        __m256i wsLow, wsHigh;
        spreadToChannels(ws, wsLow, wsHigh);
        const __m256i topLow = lerp16(wsLow, _mm256_unpacklo_epi8(n0, zero), _mm256_unpacklo_epi8(n1, zero));
        const __m256i topHigh = lerp16(wsHigh, _mm256_unpackhi_epi8(n0, zero), _mm256_unpackhi_epi8(n1, zero));
        const __m256i bottomLow = lerp16(wsLow, _mm256_unpacklo_epi8(f0, zero), _mm256_unpacklo_epi8(f1, zero));
        const __m256i bottomHigh = lerp16(wsHigh, _mm256_unpackhi_epi8(f0, zero), _mm256_unpackhi_epi8(f1, zero));
        const __m256i out = _mm256_packus_epi16(lerp16(wt, topLow, bottomLow), lerp16(wt, topHigh, bottomHigh));
        _mm256_maskstore_epi32(reinterpret_cast<int*>(row + x0), mask, _mm256_or_si256(out, opaque));
    }
}

const Kernels avx2Kernels{strokeSpanAvx2, backdropSpanAvx2};

bool haveAvx2() { return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"); }

#else

bool haveAvx2() { return false; }
const Kernels avx2Kernels = scalarKernels;

#endif

}  // namespace

int canvasLerp(int weight, int from, int to) { return lerp8(weight, from, to); }

int canvasColourByte(float channel) {
    const float scaled = channel * 255.0f;
    if (!(scaled > 0.0f)) return 0;  // NaN too, as the conversion's saturation gives
    if (scaled >= 255.0f) return 255;
    return static_cast<int>(std::lrintf(scaled));
}

int canvasBlend(int alpha, int colour, int under) { return blend8(alpha, colour, under); }

struct StrokeCanvas::Impl {
    BandWorkers workers;
    CanvasKernel kernel = CanvasKernel::scalar;
    const Kernels* kernels = &scalarKernels;

    std::vector<StrokeSetup> strokes;
    std::uint32_t brushQuads[brushBytes];
    std::uint32_t staging[stagingWidth * stagingHeight];
    // The backdrop quad's two triangles, per column and per row.
    Triangle backdrop[2];
    bool backdropLive[2] = {false, false};
    std::vector<Taps> columnTaps[2];
    std::vector<Taps> rowTaps[2];
    int tapsWidth = 0, tapsHeight = 0;

    explicit Impl(int threads) : workers(threads), brushQuads{}, staging{} {}
};

StrokeCanvas::StrokeCanvas(int threads) : impl_(std::make_unique<Impl>(threads)) { useKernel(CanvasKernel::best); }

StrokeCanvas::~StrokeCanvas() = default;

bool StrokeCanvas::useKernel(CanvasKernel kernel) {
    if (kernel == CanvasKernel::best) kernel = haveAvx2() ? CanvasKernel::avx2 : CanvasKernel::scalar;
    if (kernel == CanvasKernel::avx2 && !haveAvx2()) return false;
    impl_->kernel = kernel;
    impl_->kernels = kernel == CanvasKernel::avx2 ? &avx2Kernels : &scalarKernels;
    return true;
}

CanvasKernel StrokeCanvas::kernel() const { return impl_->kernel; }

namespace {

// The GL path's staging image: the capture in the lower left block, its outermost ring
// black, the rest never written (zero), as RGBX words.
void fillStaging(const std::uint8_t* capture, std::uint32_t* staging) {
    for (int r = 0; r < captureHeight; ++r) {
        for (int c = 0; c < captureWidth; ++c) {
            const std::uint8_t* p = capture + 3 * (r * captureWidth + c);
            const bool ring = r == 0 || r == captureHeight - 1 || c == 0 || c == captureWidth - 1;
            staging[r * stagingWidth + c] = ring ? 0u : (p[0] | p[1] << 8 | p[2] << 16);
        }
    }
}

// Texels 2..158 × 2..118 of the staging image over the whole window, capture row 0 at
// the bottom: the GL path's backdrop quad.
void backdropQuad(int width, int height, Vertex corner[4]) {
    const float w = stagingWidth, h = stagingHeight;
    corner[0] = windowVertex(0.0f, 480.0f, 2.0f / w, 2.0f / h, width, height);
    corner[1] = windowVertex(640.0f, 480.0f, 158.0f / w, 2.0f / h, width, height);
    corner[2] = windowVertex(640.0f, 0.0f, 158.0f / w, 118.0f / h, width, height);
    corner[3] = windowVertex(0.0f, 0.0f, 2.0f / w, 118.0f / h, width, height);
}

// A triangle's rows within [top, bottom) as spans: draw(y, left, right) for every
// non-empty one, in row order.
template <typename Draw>
void walkTriangle(const Triangle& tri, int top, int bottom, int width, Draw draw) {
    const int first = std::max(top, tri.top);
    const int last = std::min(bottom, tri.bottom);
    if (first >= last) return;
    EdgeWalk edge[3];
    for (int i = 0; i < 3; ++i) edge[i].start(tri.c[i], tri.a[i], tri.b[i], first);
    for (int y = first; y < last; ++y) {
        std::int64_t left = 0, right = width;
        for (const EdgeWalk& e : edge) {
            if (e.kind > 0) left = std::max(left, e.bound);
            else if (e.kind < 0) right = std::min(right, e.bound + 1);
            else if (e.value < 0) right = left;
        }
        if (left < right) draw(y, static_cast<int>(left), static_cast<int>(right));
        for (EdgeWalk& e : edge) e.next();
    }
}

}  // namespace

void StrokeCanvas::paint(int width, int height, const std::uint8_t* capture, const std::uint8_t* brush,
                         const StrokeArgs* args, int count) {
    width = std::clamp(width, 1, 8192);
    height = std::clamp(height, 1, 8192);
    Impl& m = *impl_;
    if (width != width_ || height != height_) {
        width_ = width;
        height_ = height;
        pixels_.assign(static_cast<std::size_t>(width) * height, 0xFF000000u);
    }
    if (width != m.tapsWidth || height != m.tapsHeight) {
        Vertex corner[4];
        backdropQuad(width, height, corner);
        m.backdropLive[0] = setUpTriangle(corner[0], corner[1], corner[3], height, m.backdrop[0]);
        m.backdropLive[1] = setUpTriangle(corner[1], corner[2], corner[3], height, m.backdrop[1]);
        for (int k = 0; k < 2; ++k) {
            // s depends on the column alone and t on the row alone (the quad is upright).
            const Plane& s = m.backdrop[k].s;
            const Plane& t = m.backdrop[k].t;
            m.columnTaps[k].resize(width);
            m.rowTaps[k].resize(height);
            for (int x = 0; x < width; ++x) {
                m.columnTaps[k][x] = tapsOf(std::fma(s.dy, 0.0f, std::fma(s.dx, static_cast<float>(x), s.at0)), stagingWidth);
            }
            for (int y = 0; y < height; ++y) {
                m.rowTaps[k][y] = tapsOf(std::fma(t.dy, static_cast<float>(y), std::fma(t.dx, 0.0f, t.at0)), stagingHeight);
            }
        }
        m.tapsWidth = width;
        m.tapsHeight = height;
    }
    fillStaging(capture, m.staging);
    makeBrushQuads(brush, m.brushQuads);

    // The strokes' fixed parts, shared by every band.
    count = std::max(count, 0);
    m.strokes.resize(count);
    const int setupPieces = std::min(count, 4 * m.workers.size());
    m.workers.forEach(setupPieces, [&](int piece) {
        const int begin = static_cast<int>(static_cast<long long>(count) * piece / setupPieces);
        const int end = static_cast<int>(static_cast<long long>(count) * (piece + 1) / setupPieces);
        for (int i = begin; i < end; ++i) {
            const StrokeArgs& k = args[i];
            const StrokeQuad q = strokeQuad(k.x, k.y, k.depth, k.angle, k.size);
            static constexpr float s[4] = {0.0f, 1.0f, 1.0f, 0.0f};
            static constexpr float t[4] = {0.0f, 0.0f, 1.0f, 1.0f};
            Vertex v[4];
            for (int c = 0; c < 4; ++c) {
                v[c] = windowVertex(static_cast<float>(q.x[c]), static_cast<float>(q.y[c]), s[c], t[c], width, height);
            }
            StrokeSetup& st = m.strokes[i];
            st.live[0] = setUpTriangle(v[0], v[1], v[3], height, st.tri[0]);
            st.live[1] = setUpTriangle(v[1], v[2], v[3], height, st.tri[1]);
            st.top = std::min(st.live[0] ? st.tri[0].top : height, st.live[1] ? st.tri[1].top : height);
            st.bottom = std::max(st.live[0] ? st.tri[0].bottom : 0, st.live[1] ? st.tri[1].bottom : 0);
            st.colour = static_cast<std::uint32_t>(canvasColourByte(k.red)) |
                        static_cast<std::uint32_t>(canvasColourByte(k.green)) << 8 |
                        static_cast<std::uint32_t>(canvasColourByte(k.blue)) << 16 | 0xFF000000u;
        }
    });

    const int bands = (height + bandRows - 1) / bandRows;
    const Kernels& kernels = *m.kernels;
    m.workers.forEach(bands, [&](int band) {
        const int top = band * bandRows;
        const int bottom = std::min(height, top + bandRows);
        std::uint32_t* pixels = pixels_.data();
        for (int k = 0; k < 2; ++k) {
            if (!m.backdropLive[k]) continue;
            walkTriangle(m.backdrop[k], top, bottom, width, [&](int y, int left, int right) {
                kernels.backdropSpan(pixels + static_cast<std::size_t>(y) * width, left, right, m.columnTaps[k].data(),
                                     m.rowTaps[k][y], m.staging);
            });
        }
        for (const StrokeSetup& st : m.strokes) {
            if (st.bottom <= top || st.top >= bottom) continue;
            for (int k = 0; k < 2; ++k) {
                if (!st.live[k]) continue;
                walkTriangle(st.tri[k], top, bottom, width, [&](int y, int left, int right) {
                    kernels.strokeSpan(pixels + static_cast<std::size_t>(y) * width, left, right, y, st.tri[k],
                                       m.brushQuads, st.colour);
                });
            }
        }
    });
}

}  // namespace painterly
