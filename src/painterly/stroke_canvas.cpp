// The canvas: set-up of the quads (rules 1 to 3 of stroke_canvas.h) in plain C++, the
// per-pixel work (rules 3 to 6) in scalar, AVX2 and AVX-512 kernels that give the same
// bytes.
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

constexpr int bandRows = 32;
constexpr int stagingWidth = 256;  // the GL path's backdrop texture
constexpr int stagingHeight = 128;
constexpr int fixedOne = 256;      // sub-pixel steps per pixel

// Rows hold whole vectors of 8 pixels from any starting column, up to 7 past the width.
int strideFor(int width) { return (width + 7) / 8 * 8 + 8; }

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
struct Edge {
    std::int64_t c, a, b;
};

struct Triangle {
    Edge edge[3];
    int from[3], to[3];  // the quad's corners each edge joins
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

// Triangle (i0, i1, i2) of the quad's corners; false for one of no area (it draws nothing).
bool setUpTriangle(const Vertex* corner, int i0, int i1, int i2, int height, Triangle& tri) {
    int id[3] = {i0, i1, i2};
    const Vertex &p0 = corner[i0], &p1 = corner[i1], &p2 = corner[i2];
    const std::int64_t area = (p0.fx - p1.fx) * (p2.fy - p0.fy) - (p2.fx - p0.fx) * (p0.fy - p1.fy);
    if (area == 0) return false;
    if (area < 0) std::swap(id[0], id[1]);  // clockwise: the rasterizer takes (1, 0, 2)
    const Vertex* v[3] = {&corner[id[0]], &corner[id[1]], &corner[id[2]]};

    std::int64_t minY = v[0]->fy, maxY = v[0]->fy;
    for (int i = 0; i < 3; ++i) {
        const Vertex& from = *v[i];
        const Vertex& to = *v[(i + 1) % 3];
        const std::int64_t dcdx = from.fy - to.fy;
        const std::int64_t dcdy = from.fx - to.fx;
        std::int64_t c = dcdx * from.fx - dcdy * from.fy;
        // Pixels on the edge belong to left edges and to horizontal bottom edges.
        if (dcdx < 0 || (dcdx == 0 && dcdy < 0)) ++c;
        tri.edge[i] = {c - 1, -fixedOne * dcdx, fixedOne * dcdy};
        tri.from[i] = id[i];
        tri.to[i] = id[(i + 1) % 3];
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

// One sloped edge walking down the rows: the first pixel inside it (an edge that bounds
// the span on the left, a > 0) or the last (on the right, a < 0), and the edge
// function's distance from its limit there, kept in [0, step) so that one row is two
// adds and a compare, without branches.
struct EdgeWalk {
    std::int64_t bound;
    std::int64_t rem;
    std::int64_t step;  // |a|
    std::int64_t q, r;  // b = q·|a| + r, 0 <= r < |a|

    void start(const Edge& e, int row) {
        const std::int64_t v = e.c + e.b * row;  // E at x = 0
        step = e.a > 0 ? e.a : -e.a;
        q = floorDivide(e.b, step);
        r = e.b - q * step;
        if (e.a > 0) {  // first x with v + a·x >= 0; rem = E(bound)
            bound = -floorDivide(v, step);
            rem = v + step * bound;
        } else {  // last x with v - |a|·x >= 0; rem = E(bound)
            bound = floorDivide(v, step);
            rem = v - step * bound;
        }
    }
    // One row down, for an edge on the left (+1) or on the right (-1).
    template <int side>
    void next() {
        rem += r;
        const std::int64_t over = -static_cast<std::int64_t>(rem >= step);
        rem -= step & over;
        bound += side > 0 ? over - q : q - over;
    }
};

// The rows [first, end) where c + b·y >= 0, for an edge with a == 0; within [top, bottom).
void clipRows(const Edge& e, int& top, int& bottom) {
    if (e.b > 0) top = static_cast<int>(std::clamp<std::int64_t>(-floorDivide(e.c, e.b), top, bottom));
    else if (e.b < 0) bottom = static_cast<int>(std::clamp<std::int64_t>(floorDivide(e.c, -e.b) + 1, top, bottom));
    else if (e.c < 0) bottom = top;
}

// --- the quad: two triangles sharing the diagonal 1–3 ------------------------------------

// The outline of the quad (the triangles' outer edges) and the diagonal as triangle A
// sees it: a pixel inside the outline belongs to A = (0, 1, 3) where the diagonal's
// function is >= 0 and to B = (1, 2, 3) elsewhere. A triangle of no area leaves the
// other alone (the diagonal then says "all A" or "all B").
struct Quad {
    Edge outline[4];
    int edges = 0;
    Edge diagonal;
    Plane s[2], t[2];  // A, B
    int top = 0, bottom = 0;
    std::uint32_t colour = 0;
};

void setUpQuad(const Vertex* corner, int height, Quad& quad) {
    Triangle tri[2];
    const bool live[2] = {setUpTriangle(corner, 0, 1, 3, height, tri[0]), setUpTriangle(corner, 1, 2, 3, height, tri[1])};
    quad.edges = 0;
    quad.top = height;
    quad.bottom = 0;
    quad.diagonal = {live[0] ? 0 : -1, 0, 0};
    for (int k = 0; k < 2; ++k) {
        if (!live[k]) continue;
        for (int i = 0; i < 3; ++i) {
            // The diagonal joins corners 1 and 3; it bounds the quad only when a triangle is alone.
            const bool diagonal = std::min(tri[k].from[i], tri[k].to[i]) == 1 && std::max(tri[k].from[i], tri[k].to[i]) == 3;
            if (!diagonal || !live[1 - k]) quad.outline[quad.edges++] = tri[k].edge[i];
            else if (k == 0) quad.diagonal = tri[k].edge[i];
        }
        quad.s[k] = tri[k].s;
        quad.t[k] = tri[k].t;
        quad.top = std::min(quad.top, tri[k].top);
        quad.bottom = std::max(quad.bottom, tri[k].bottom);
    }
    if (!live[0]) {  // B alone: its planes serve every pixel
        quad.s[0] = quad.s[1];
        quad.t[0] = quad.t[1];
    }
}

// One row of a quad: pixels [left, right), of which [firstA, endA) belong to A.
struct RowSpan {
    int left, right, firstA, endA;
};

// Walks a quad's rows downwards from `top`: the outline's edges sorted into those that
// bound the span on the left and on the right (horizontal ones narrow the rows), and
// the diagonal, which splits the span between the triangles.
class QuadWalk {
public:
    QuadWalk(const Quad& quad, int& top, int& bottom) {
        for (int i = 0; i < quad.edges; ++i) {
            const Edge& e = quad.outline[i];
            if (e.a == 0) clipRows(e, top, bottom);
        }
        for (int i = 0; i < quad.edges; ++i) {
            const Edge& e = quad.outline[i];
            if (e.a > 0) left_[lefts_++].start(e, top);
            else if (e.a < 0) right_[rights_++].start(e, top);
        }
        const Edge& d = quad.diagonal;
        diagonalSide_ = d.a > 0 ? 1 : d.a < 0 ? -1 : 0;
        if (diagonalSide_ != 0) {
            diagonal_.start(d, top);
        } else {
            diagonalValue_ = d.c + d.b * top;
            diagonalStep_ = d.b;
        }
    }
    RowSpan span(int width) const {
        std::int64_t left = 0, right = width;
        for (int i = 0; i < lefts_; ++i) left = std::max(left, left_[i].bound);
        for (int i = 0; i < rights_; ++i) right = std::min(right, right_[i].bound + 1);
        right = std::max(left, right);
        std::int64_t firstA = left, endA = right;
        if (diagonalSide_ > 0) firstA = std::clamp(diagonal_.bound, left, right);
        else if (diagonalSide_ < 0) endA = std::clamp(diagonal_.bound + 1, left, right);
        else if (diagonalValue_ < 0) endA = left;
        return {static_cast<int>(left), static_cast<int>(right), static_cast<int>(firstA),
                static_cast<int>(std::max(firstA, endA))};
    }
    void next() {
        for (int i = 0; i < lefts_; ++i) left_[i].next<1>();
        for (int i = 0; i < rights_; ++i) right_[i].next<-1>();
        if (diagonalSide_ > 0) diagonal_.next<1>();
        else if (diagonalSide_ < 0) diagonal_.next<-1>();
        else diagonalValue_ += diagonalStep_;
    }

private:
    EdgeWalk left_[4], right_[4], diagonal_;
    int lefts_ = 0, rights_ = 0, diagonalSide_ = 0;
    std::int64_t diagonalValue_ = 0, diagonalStep_ = 0;
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

// The backdrop is separable (the quad is upright: s follows the column alone, t the
// row alone), so each staging row it reads is filtered along s once per frame, per
// triangle, into a window-wide row; a window row is then one lerp along t of two such
// rows. The same arithmetic in the same order as filtering each pixel from four taps.
struct ColumnTaps {
    std::vector<std::int32_t> first, second, weight;  // per window column
};

// What a band needs besides the quads.
struct BandSource {
    std::uint32_t* pixels;
    int width;
    int stride;  // pixels from one row to the next, here and in the filtered rows
    const std::uint32_t* brushQuads;  // see makeBrushQuads
    const std::uint32_t* filtered[2]; // backdrop rows filtered along s, stagingHeight × width, per triangle
    const Taps* rowTaps[2];           // per window row, per triangle
};

struct Kernels {
    // Blends the brush through `quad` over rows [top, bottom).
    void (*stroke)(const BandSource& band, int top, int bottom, const Quad& quad);
    // One staging row filtered along s into `out` (width pixels; it may write up to 7
    // more).
    void (*filterRow)(const std::uint32_t* stagingRow, const ColumnTaps& taps, int width, std::uint32_t* out);
    // Pixels [left, right): lerp along t of two filtered rows, opaque.
    void (*blendRows)(const std::uint32_t* upper, const std::uint32_t* lower, int weight, int left, int right,
                      std::uint32_t* out);
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

void strokeScalar(const BandSource& band, int top, int bottom, const Quad& quad) {
    QuadWalk walk(quad, top, bottom);
    for (int y = top; y < bottom; ++y, walk.next()) {
        const RowSpan span = walk.span(band.width);
        std::uint32_t* row = band.pixels + static_cast<std::size_t>(y) * band.stride;
        const float fy = static_cast<float>(y);
        for (int x = span.left; x < span.right; ++x) {
            const int k = x >= span.firstA && x < span.endA ? 0 : 1;
            const float fx = static_cast<float>(x);
            const float s = std::fma(quad.s[k].dy, fy, std::fma(quad.s[k].dx, fx, quad.s[k].at0));
            const float t = std::fma(quad.t[k].dy, fy, std::fma(quad.t[k].dx, fx, quad.t[k].at0));
            const std::int32_t u = static_cast<std::int32_t>(std::lrintf(s * 8192.0f)) - 128;
            const std::int32_t v = static_cast<std::int32_t>(std::lrintf(t * 32768.0f)) - 128;
            const std::uint32_t q =
                band.brushQuads[((v >> 8) & (brushHeight - 1)) * brushWidth + ((u >> 8) & (brushWidth - 1))];
            const int ws = u & 255, wt = v & 255;
            const int near = lerp8(ws, q & 255, q >> 8 & 255);
            const int far = lerp8(ws, q >> 16 & 255, q >> 24);
            const int alpha = lerp8(wt, near, far);
            std::uint8_t* p = reinterpret_cast<std::uint8_t*>(row + x);
            for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>(blend8(alpha, quad.colour >> (8 * c) & 255, p[c]));
        }
    }
}

void filterRowScalar(const std::uint32_t* stagingRow, const ColumnTaps& taps, int width, std::uint32_t* out) {
    for (int x = 0; x < width; ++x) {
        const std::uint32_t a = stagingRow[taps.first[x]], b = stagingRow[taps.second[x]];
        std::uint32_t filtered = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            filtered |= static_cast<std::uint32_t>(lerp8(taps.weight[x], a >> shift & 255, b >> shift & 255)) << shift;
        }
        out[x] = filtered;
    }
}

void blendRowsScalar(const std::uint32_t* upper, const std::uint32_t* lower, int weight, int left, int right,
                     std::uint32_t* out) {
    for (int x = left; x < right; ++x) {
        std::uint32_t pixel = 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            pixel |= static_cast<std::uint32_t>(lerp8(weight, upper[x] >> shift & 255, lower[x] >> shift & 255)) << shift;
        }
        out[x] = pixel;
    }
}

const Kernels scalarKernels{strokeScalar, filterRowScalar, blendRowsScalar};

#ifdef CANVAS_X86

#define CANVAS_AVX2 __attribute__((target("avx2,fma")))

// Lanes x0 + 0..7 within [left, right), as a mask of 32-bit lanes.
CANVAS_AVX2 inline __m256i laneMask(__m256i x, int left, int right) {
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

CANVAS_AVX2 void strokeAvx2(const BandSource& band, int top, int bottom, const Quad& quad) {
    const __m256 sdx[2] = {_mm256_set1_ps(quad.s[0].dx), _mm256_set1_ps(quad.s[1].dx)};
    const __m256 sdy[2] = {_mm256_set1_ps(quad.s[0].dy), _mm256_set1_ps(quad.s[1].dy)};
    const __m256 s0[2] = {_mm256_set1_ps(quad.s[0].at0), _mm256_set1_ps(quad.s[1].at0)};
    const __m256 tdx[2] = {_mm256_set1_ps(quad.t[0].dx), _mm256_set1_ps(quad.t[1].dx)};
    const __m256 tdy[2] = {_mm256_set1_ps(quad.t[0].dy), _mm256_set1_ps(quad.t[1].dy)};
    const __m256 t0[2] = {_mm256_set1_ps(quad.t[0].at0), _mm256_set1_ps(quad.t[1].at0)};
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i bias = _mm256_set1_epi32(128);
    const __m256i byte = _mm256_set1_epi32(255);
    const __m256i word = _mm256_set1_epi32(0xFFFF);
    const __m256i evenBytes = _mm256_set1_epi32(0x00FF00FF);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i source = _mm256_cvtepu8_epi16(_mm_set1_epi32(static_cast<int>(quad.colour)));
    const int* brushQuads = reinterpret_cast<const int*>(band.brushQuads);

    QuadWalk walk(quad, top, bottom);
    for (int y = top; y < bottom; ++y, walk.next()) {
        const RowSpan span = walk.span(band.width);
        if (span.left >= span.right) continue;
        int* row = reinterpret_cast<int*>(band.pixels + static_cast<std::size_t>(y) * band.stride);
        const __m256 fy = _mm256_set1_ps(static_cast<float>(y));
        // Each triangle's plane at x = 0 of this row, as the per-pixel fma chain needs it.
        for (int x0 = span.left; x0 < span.right; x0 += 8) {
            const __m256i xi = _mm256_add_epi32(_mm256_set1_epi32(x0), lanes);
            const __m256 inA = _mm256_castsi256_ps(laneMask(xi, span.firstA, span.endA));
            const __m256 fx = _mm256_cvtepi32_ps(xi);
            const __m256 s = _mm256_fmadd_ps(_mm256_blendv_ps(sdy[1], sdy[0], inA), fy,
                                             _mm256_fmadd_ps(_mm256_blendv_ps(sdx[1], sdx[0], inA), fx,
                                                             _mm256_blendv_ps(s0[1], s0[0], inA)));
            const __m256 t = _mm256_fmadd_ps(_mm256_blendv_ps(tdy[1], tdy[0], inA), fy,
                                             _mm256_fmadd_ps(_mm256_blendv_ps(tdx[1], tdx[0], inA), fx,
                                                             _mm256_blendv_ps(t0[1], t0[0], inA)));
            const __m256i u = _mm256_sub_epi32(_mm256_cvtps_epi32(_mm256_mul_ps(s, _mm256_set1_ps(8192.0f))), bias);
            const __m256i v = _mm256_sub_epi32(_mm256_cvtps_epi32(_mm256_mul_ps(t, _mm256_set1_ps(32768.0f))), bias);
            const __m256i index = _mm256_add_epi32(
                _mm256_slli_epi32(_mm256_and_si256(_mm256_srai_epi32(v, 8), _mm256_set1_epi32(brushHeight - 1)), 5),
                _mm256_and_si256(_mm256_srai_epi32(u, 8), _mm256_set1_epi32(brushWidth - 1)));
#ifdef NOGATHER
            alignas(32) int ix[8];
            _mm256_store_si256(reinterpret_cast<__m256i*>(ix), index);
            const __m256i taps = _mm256_setr_epi32(brushQuads[ix[0]], brushQuads[ix[1]], brushQuads[ix[2]], brushQuads[ix[3]],
                                                   brushQuads[ix[4]], brushQuads[ix[5]], brushQuads[ix[6]], brushQuads[ix[7]]);
#else
            const __m256i taps = _mm256_i32gather_epi32(brushQuads, index, 4);
#endif

            // Along s in both rows at once: 16-bit lanes (s, t) and (s, t + 1) of each pixel.
            const __m256i ws = _mm256_and_si256(u, byte);
            const __m256i wt = _mm256_and_si256(v, byte);
            const __m256i rows = lerp16(_mm256_or_si256(ws, _mm256_slli_epi32(ws, 16)), _mm256_and_si256(taps, evenBytes),
                                        _mm256_and_si256(_mm256_srli_epi32(taps, 8), evenBytes));
            // Along t: the low 16 bits of each lane hold the result, the high ones are dropped.
            const __m256i alpha =
                _mm256_and_si256(lerp16(wt, _mm256_and_si256(rows, word), _mm256_srli_epi32(rows, 16)), word);

            // Whole vectors (rows are padded); lanes outside the span keep what they read.
            const __m256i mask = laneMask(xi, span.left, span.right);
            const __m256i under = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + x0));
            __m256i alphaLow, alphaHigh;
            spreadToChannels(alpha, alphaLow, alphaHigh);
            const __m256i low = blend16(alphaLow, source, _mm256_unpacklo_epi8(under, zero));
            const __m256i high = blend16(alphaHigh, source, _mm256_unpackhi_epi8(under, zero));
            // The alpha byte stays 255: 255·a and 255·(255 − a) come out as a and 255 − a.
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + x0),
                                _mm256_blendv_epi8(under, _mm256_packus_epi16(low, high), mask));
        }
    }
}

CANVAS_AVX2 void filterRowAvx2(const std::uint32_t* stagingRow, const ColumnTaps& taps, int width, std::uint32_t* out) {
    const int* row = reinterpret_cast<const int*>(stagingRow);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    for (int x0 = 0; x0 < width; x0 += 8) {
        const __m256i mask = laneMask(_mm256_add_epi32(_mm256_set1_epi32(x0), lanes), 0, width);
        const __m256i first = _mm256_maskload_epi32(taps.first.data() + x0, mask);  // 0 past the end
        const __m256i second = _mm256_maskload_epi32(taps.second.data() + x0, mask);
        const __m256i weight = _mm256_maskload_epi32(taps.weight.data() + x0, mask);
        const __m256i a = _mm256_i32gather_epi32(row, first, 4);
        const __m256i b = _mm256_i32gather_epi32(row, second, 4);
        __m256i weightLow, weightHigh;
        spreadToChannels(weight, weightLow, weightHigh);
        const __m256i low = lerp16(weightLow, _mm256_unpacklo_epi8(a, zero), _mm256_unpacklo_epi8(b, zero));
        const __m256i high = lerp16(weightHigh, _mm256_unpackhi_epi8(a, zero), _mm256_unpackhi_epi8(b, zero));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x0), _mm256_packus_epi16(low, high));
    }
}

CANVAS_AVX2 void blendRowsAvx2(const std::uint32_t* upper, const std::uint32_t* lower, int weight, int left, int right,
                               std::uint32_t* out) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i w = _mm256_set1_epi16(static_cast<short>(weight));
    const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    for (int x0 = left; x0 < right; x0 += 8) {
        // Whole vectors (rows are padded); lanes outside [left, right) keep what they read.
        const __m256i mask = laneMask(_mm256_add_epi32(_mm256_set1_epi32(x0), lanes), left, right);
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(upper + x0));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lower + x0));
        const __m256i low = lerp16(w, _mm256_unpacklo_epi8(a, zero), _mm256_unpacklo_epi8(b, zero));
        const __m256i high = lerp16(w, _mm256_unpackhi_epi8(a, zero), _mm256_unpackhi_epi8(b, zero));
        __m256i* target = reinterpret_cast<__m256i*>(out + x0);
        _mm256_storeu_si256(target, _mm256_blendv_epi8(_mm256_loadu_si256(target),
                                                       _mm256_or_si256(_mm256_packus_epi16(low, high), opaque), mask));
    }
}

const Kernels avx2Kernels{strokeAvx2, filterRowAvx2, blendRowsAvx2};

bool haveAvx2() { return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"); }

// The strokes with 16 lanes: most rows of a stroke are 6 to 16 pixels long, so one
// vector covers a row where AVX2 needs two. Masked loads and stores take the span's
// ends; the backdrop keeps the AVX2 code.
#define CANVAS_AVX512 __attribute__((target("avx512f,avx512bw,avx2,fma")))

// GCC 12's own AVX-512 headers warn of their undefined pass-through vectors (its bug
// 105593), at every use.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

CANVAS_AVX512 inline __m512i lerp32(__m512i weight, __m512i from, __m512i to) {
    return _mm512_add_epi16(from, _mm512_mulhrs_epi16(weight, _mm512_slli_epi16(_mm512_sub_epi16(to, from), 7)));
}

CANVAS_AVX512 inline __m512i timesNorm32(__m512i x, __m512i y) {
    const __m512i t = _mm512_mullo_epi16(x, y);
    return _mm512_srli_epi16(_mm512_add_epi16(_mm512_add_epi16(t, _mm512_srli_epi16(t, 8)), _mm512_set1_epi16(128)), 8);
}

CANVAS_AVX512 inline __m512i blend32(__m512i alpha, __m512i colour, __m512i under) {
    return _mm512_add_epi16(timesNorm32(colour, alpha),
                            timesNorm32(under, _mm512_sub_epi16(_mm512_set1_epi16(255), alpha)));
}

CANVAS_AVX512 void strokeAvx512(const BandSource& band, int top, int bottom, const Quad& quad) {
    const __m512 sdx[2] = {_mm512_set1_ps(quad.s[0].dx), _mm512_set1_ps(quad.s[1].dx)};
    const __m512 sdy[2] = {_mm512_set1_ps(quad.s[0].dy), _mm512_set1_ps(quad.s[1].dy)};
    const __m512 s0[2] = {_mm512_set1_ps(quad.s[0].at0), _mm512_set1_ps(quad.s[1].at0)};
    const __m512 tdx[2] = {_mm512_set1_ps(quad.t[0].dx), _mm512_set1_ps(quad.t[1].dx)};
    const __m512 tdy[2] = {_mm512_set1_ps(quad.t[0].dy), _mm512_set1_ps(quad.t[1].dy)};
    const __m512 t0[2] = {_mm512_set1_ps(quad.t[0].at0), _mm512_set1_ps(quad.t[1].at0)};
    const __m512i lanes = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m512i bias = _mm512_set1_epi32(128);
    const __m512i byte = _mm512_set1_epi32(255);
    const __m512i word = _mm512_set1_epi32(0xFFFF);
    const __m512i evenBytes = _mm512_set1_epi32(0x00FF00FF);
    const __m512i zero = _mm512_setzero_si512();
    const __m512i source = _mm512_cvtepu8_epi16(_mm256_set1_epi32(static_cast<int>(quad.colour)));
    const int* brushQuads = reinterpret_cast<const int*>(band.brushQuads);

    QuadWalk walk(quad, top, bottom);
    for (int y = top; y < bottom; ++y, walk.next()) {
        const RowSpan span = walk.span(band.width);
        int* row = reinterpret_cast<int*>(band.pixels + static_cast<std::size_t>(y) * band.stride);
        const __m512 fy = _mm512_set1_ps(static_cast<float>(y));
        for (int x0 = span.left; x0 < span.right; x0 += 16) {
            const __m512i xi = _mm512_add_epi32(_mm512_set1_epi32(x0), lanes);
            const __mmask16 inA = _mm512_cmpge_epi32_mask(xi, _mm512_set1_epi32(span.firstA)) &
                                  _mm512_cmplt_epi32_mask(xi, _mm512_set1_epi32(span.endA));
            const __m512 fx = _mm512_cvtepi32_ps(xi);
            const __m512 s = _mm512_fmadd_ps(_mm512_mask_blend_ps(inA, sdy[1], sdy[0]), fy,
                                             _mm512_fmadd_ps(_mm512_mask_blend_ps(inA, sdx[1], sdx[0]), fx,
                                                             _mm512_mask_blend_ps(inA, s0[1], s0[0])));
            const __m512 t = _mm512_fmadd_ps(_mm512_mask_blend_ps(inA, tdy[1], tdy[0]), fy,
                                             _mm512_fmadd_ps(_mm512_mask_blend_ps(inA, tdx[1], tdx[0]), fx,
                                                             _mm512_mask_blend_ps(inA, t0[1], t0[0])));
            const __m512i u = _mm512_sub_epi32(_mm512_cvtps_epi32(_mm512_mul_ps(s, _mm512_set1_ps(8192.0f))), bias);
            const __m512i v = _mm512_sub_epi32(_mm512_cvtps_epi32(_mm512_mul_ps(t, _mm512_set1_ps(32768.0f))), bias);
            const __m512i index = _mm512_add_epi32(
                _mm512_slli_epi32(_mm512_and_si512(_mm512_srai_epi32(v, 8), _mm512_set1_epi32(brushHeight - 1)), 5),
                _mm512_and_si512(_mm512_srai_epi32(u, 8), _mm512_set1_epi32(brushWidth - 1)));
            const __m512i taps = _mm512_i32gather_epi32(index, brushQuads, 4);

            const __m512i ws = _mm512_and_si512(u, byte);
            const __m512i wt = _mm512_and_si512(v, byte);
            const __m512i rows = lerp32(_mm512_or_si512(ws, _mm512_slli_epi32(ws, 16)), _mm512_and_si512(taps, evenBytes),
                                        _mm512_and_si512(_mm512_srli_epi32(taps, 8), evenBytes));
            const __m512i alpha =
                _mm512_and_si512(lerp32(wt, _mm512_and_si512(rows, word), _mm512_srli_epi32(rows, 16)), word);

            const __mmask16 mask = _mm512_cmpge_epi32_mask(xi, _mm512_set1_epi32(span.left)) &
                                   _mm512_cmplt_epi32_mask(xi, _mm512_set1_epi32(span.right));
            const __m512i under = _mm512_maskz_loadu_epi32(mask, row + x0);
            const __m512i pairs = _mm512_or_si512(alpha, _mm512_slli_epi32(alpha, 16));
            const __m512i low = blend32(_mm512_unpacklo_epi32(pairs, pairs), source, _mm512_unpacklo_epi8(under, zero));
            const __m512i high = blend32(_mm512_unpackhi_epi32(pairs, pairs), source, _mm512_unpackhi_epi8(under, zero));
            _mm512_mask_storeu_epi32(row + x0, mask, _mm512_packus_epi16(low, high));
        }
    }
}

#pragma GCC diagnostic pop

const Kernels avx512Kernels{strokeAvx512, filterRowAvx2, blendRowsAvx2};

bool haveAvx512() {
    return haveAvx2() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
}

#else

bool haveAvx2() { return false; }
bool haveAvx512() { return false; }
const Kernels avx2Kernels = scalarKernels;
const Kernels avx512Kernels = scalarKernels;

#endif

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

    std::vector<Quad> strokes;
    // Each stroke's rows [top, bottom), apart: every band reads them all, and 8 bytes a
    // stroke stay in cache where whole quads would not.
    std::vector<std::pair<std::int32_t, std::int32_t>> strokeRows;
    std::uint32_t brushQuads[brushBytes];
    std::uint32_t staging[stagingWidth * stagingHeight];
    // The backdrop quad and, per triangle, its taps per column and per row, the staging
    // rows those read, and the rows filtered along s.
    Quad backdrop;
    ColumnTaps columnTaps[2];
    std::vector<Taps> rowTaps[2];
    std::vector<int> stagingRows[2];
    std::vector<std::uint32_t> filtered[2];
    int tapsWidth = 0, tapsHeight = 0;

    explicit Impl(int threads) : workers(threads), brushQuads{}, staging{} {}

    void sizeBackdrop(int width, int height) {
        if (width == tapsWidth && height == tapsHeight) return;
        Vertex corner[4];
        backdropQuad(width, height, corner);
        setUpQuad(corner, height, backdrop);
        for (int k = 0; k < 2; ++k) {
            const Plane& s = backdrop.s[k];
            const Plane& t = backdrop.t[k];
            ColumnTaps& columns = columnTaps[k];
            columns.first.resize(width);
            columns.second.resize(width);
            columns.weight.resize(width);
            for (int x = 0; x < width; ++x) {
                // s.dy is 0 exactly, as is t.dx below: fma(0, y, v) is v.
                const Taps taps = tapsOf(std::fma(s.dx, static_cast<float>(x), s.at0), stagingWidth);
                columns.first[x] = taps.first;
                columns.second[x] = taps.second;
                columns.weight[x] = taps.weight;
            }
            rowTaps[k].resize(height);
            bool used[stagingHeight] = {};
            for (int y = 0; y < height; ++y) {
                rowTaps[k][y] = tapsOf(std::fma(t.dy, static_cast<float>(y), t.at0), stagingHeight);
                used[rowTaps[k][y].first] = used[rowTaps[k][y].second] = true;
            }
            stagingRows[k].clear();
            for (int j = 0; j < stagingHeight; ++j) {
                if (used[j]) stagingRows[k].push_back(j);
            }
            filtered[k].assign(static_cast<std::size_t>(stagingHeight) * strideFor(width), 0);
        }
        tapsWidth = width;
        tapsHeight = height;
    }
};

StrokeCanvas::StrokeCanvas(int threads) : impl_(std::make_unique<Impl>(threads)) { useKernel(CanvasKernel::best); }

StrokeCanvas::~StrokeCanvas() = default;

bool StrokeCanvas::useKernel(CanvasKernel kernel) {
    if (kernel == CanvasKernel::best) {
        kernel = haveAvx512() ? CanvasKernel::avx512 : haveAvx2() ? CanvasKernel::avx2 : CanvasKernel::scalar;
    }
    if ((kernel == CanvasKernel::avx2 && !haveAvx2()) || (kernel == CanvasKernel::avx512 && !haveAvx512())) return false;
    impl_->kernel = kernel;
    impl_->kernels = kernel == CanvasKernel::avx512 ? &avx512Kernels
                     : kernel == CanvasKernel::avx2 ? &avx2Kernels
                                                    : &scalarKernels;
    return true;
}

CanvasKernel StrokeCanvas::kernel() const { return impl_->kernel; }

int StrokeCanvas::threads() const { return impl_->workers.size(); }

void StrokeCanvas::paint(int width, int height, const std::uint8_t* capture, const std::uint8_t* brush,
                         const StrokeArgs* args, int count) {
    width = std::clamp(width, 1, 8192);
    height = std::clamp(height, 1, 8192);
    count = std::max(count, 0);
    Impl& m = *impl_;
    if (width != width_ || height != height_) {
        width_ = width;
        height_ = height;
        stride_ = strideFor(width);
        pixels_.assign(static_cast<std::size_t>(stride_) * height, 0xFF000000u);
    }
    m.sizeBackdrop(width, height);
    fillStaging(capture, m.staging);
    makeBrushQuads(brush, m.brushQuads);

    // The strokes' quads and the backdrop's filtered rows, shared by every band.
    const Kernels& kernels = *m.kernels;
    m.strokes.resize(count);
    m.strokeRows.resize(count);
    const int setupPieces = std::min(count, 4 * m.workers.size());
    const int filterJobs = static_cast<int>(m.stagingRows[0].size() + m.stagingRows[1].size());
    m.workers.forEach(setupPieces + filterJobs, [&](int piece) {
        if (piece >= setupPieces) {
            int job = piece - setupPieces;
            const int k = job < static_cast<int>(m.stagingRows[0].size()) ? 0 : 1;
            if (k == 1) job -= static_cast<int>(m.stagingRows[0].size());
            const int j = m.stagingRows[k][job];
            kernels.filterRow(m.staging + j * stagingWidth, m.columnTaps[k], width,
                              m.filtered[k].data() + static_cast<std::size_t>(j) * stride_);
            return;
        }
        const int begin = static_cast<int>(static_cast<long long>(count) * piece / setupPieces);
        const int end = static_cast<int>(static_cast<long long>(count) * (piece + 1) / setupPieces);
        for (int i = begin; i < end; ++i) {
            const StrokeArgs& k = args[i];
            const StrokeQuad q = strokeQuad(k.x, k.y, k.depth, k.angle, k.size);
            Quad& quad = m.strokes[i];
            // Corners beyond ±100,000 (the drawing space is 640 × 480; NaN fails too) draw
            // nothing here, which keeps every edge product within 64 bits.
            bool near = true;
            for (int c = 0; c < 4; ++c) near = near && std::fabs(q.x[c]) < 1e5 && std::fabs(q.y[c]) < 1e5;
            if (!near) {
                quad = Quad{};
                m.strokeRows[i] = {0, 0};
                continue;
            }
            static constexpr float s[4] = {0.0f, 1.0f, 1.0f, 0.0f};
            static constexpr float t[4] = {0.0f, 0.0f, 1.0f, 1.0f};
            Vertex v[4];
            for (int c = 0; c < 4; ++c) {
                v[c] = windowVertex(static_cast<float>(q.x[c]), static_cast<float>(q.y[c]), s[c], t[c], width, height);
            }
            setUpQuad(v, height, quad);
            quad.colour = static_cast<std::uint32_t>(canvasColourByte(k.red)) |
                          static_cast<std::uint32_t>(canvasColourByte(k.green)) << 8 |
                          static_cast<std::uint32_t>(canvasColourByte(k.blue)) << 16 | 0xFF000000u;
            m.strokeRows[i] = {quad.top, quad.bottom};
        }
    });

    const BandSource source{pixels_.data(), width, stride_, m.brushQuads, {m.filtered[0].data(), m.filtered[1].data()},
                            {m.rowTaps[0].data(), m.rowTaps[1].data()}};
    const int bands = (height + bandRows - 1) / bandRows;
    m.workers.forEach(bands, [&](int band) {
        const int top = band * bandRows;
        const int bottom = std::min(height, top + bandRows);
        if (m.backdrop.edges > 0) {
            int first = top, last = bottom;
            QuadWalk walk(m.backdrop, first, last);
            for (int y = first; y < last; ++y, walk.next()) {
                const RowSpan span = walk.span(width);
                std::uint32_t* row = pixels_.data() + static_cast<std::size_t>(y) * stride_;
                const auto part = [&](int k, int left, int right) {
                    if (left >= right) return;
                    const Taps& taps = m.rowTaps[k][y];
                    kernels.blendRows(source.filtered[k] + static_cast<std::size_t>(taps.first) * stride_,
                                      source.filtered[k] + static_cast<std::size_t>(taps.second) * stride_, taps.weight,
                                      left, right, row);
                };
                part(1, span.left, span.firstA);
                part(0, span.firstA, span.endA);
                part(1, span.endA, span.right);
            }
        }
        for (int i = 0; i < count; ++i) {
            const int first = std::max(top, m.strokeRows[i].first);
            const int last = std::min(bottom, m.strokeRows[i].second);
            if (first < last) kernels.stroke(source, first, last, m.strokes[i]);
        }
    });
}

}  // namespace painterly
