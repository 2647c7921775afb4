#include "data_common.h"

#include <cmath>
#include <cstdio>

#include "tools/common/output_file.h"

namespace datagen {

Random::Random(std::uint64_t seed, std::uint64_t stream) : state_(0), increment_((stream << 1u) | 1u) {
    next();
    state_ += seed;
    next();
}

std::uint32_t Random::next() {
    const std::uint64_t old = state_;
    state_ = old * 6364136223846793005ULL + increment_;
    const auto xorShifted = static_cast<std::uint32_t>(((old >> 18u) ^ old) >> 27u);
    const auto rot = static_cast<std::uint32_t>(old >> 59u);
    return (xorShifted >> rot) | (xorShifted << ((32u - rot) & 31u));
}

float Random::uniform() { return static_cast<float>(next() >> 8) * (1.0f / 16777216.0f); }

float Random::range(float lo, float hi) { return lo + (hi - lo) * uniform(); }

int Random::below(int n) {
    if (n <= 1) return 0;
    return static_cast<int>(static_cast<std::uint64_t>(next()) * static_cast<std::uint64_t>(n) >> 32);
}

float latticeHash(std::int32_t x, std::int32_t y, std::uint32_t seed) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 0x8da6b343u ^ static_cast<std::uint32_t>(y) * 0xd8163841u ^
                      seed * 0xcb1ab31fu;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return static_cast<float>(h >> 8) * (1.0f / 16777216.0f);
}

namespace {

std::int32_t wrapCell(std::int32_t c, std::int32_t period) {
    if (period <= 0) return c;
    const std::int32_t m = c % period;
    return m < 0 ? m + period : m;
}

float fade(float t) { return t * t * (3.0f - 2.0f * t); }

}  // namespace

float valueNoise(float x, float y, std::uint32_t seed, std::int32_t period) {
    const float fx = std::floor(x);
    const float fy = std::floor(y);
    const auto ix = static_cast<std::int32_t>(fx);
    const auto iy = static_cast<std::int32_t>(fy);
    const float tx = fade(x - fx);
    const float ty = fade(y - fy);
    const std::int32_t x0 = wrapCell(ix, period), x1 = wrapCell(ix + 1, period);
    const std::int32_t y0 = wrapCell(iy, period), y1 = wrapCell(iy + 1, period);
    const float a = latticeHash(x0, y0, seed), b = latticeHash(x1, y0, seed);
    const float c = latticeHash(x0, y1, seed), d = latticeHash(x1, y1, seed);
    return mix(mix(a, b, tx), mix(c, d, tx), ty);
}

float fractalNoise(float x, float y, std::uint32_t seed, int octaves, std::int32_t period) {
    float sum = 0.0f, amplitude = 1.0f, total = 0.0f, scale = 1.0f;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * valueNoise(x * scale, y * scale, seed + static_cast<std::uint32_t>(o) * 101u,
                                      period > 0 ? period * static_cast<std::int32_t>(scale) : 0);
        total += amplitude;
        amplitude *= 0.5f;
        scale *= 2.0f;
    }
    return sum / total;
}

float clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

float smoothstep(float edge0, float edge1, float x) {
    const float t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

float mix(float a, float b, float t) { return a + (b - a) * t; }

std::uint8_t toByte(float level) { return static_cast<std::uint8_t>(std::lround(clamp01(level) * 255.0f)); }

Rgb mix(const Rgb& a, const Rgb& b, float t) { return {mix(a.r, b.r, t), mix(a.g, b.g, t), mix(a.b, b.b, t)}; }

void Image::setRgb(int x, int y, const Rgb& c) {
    std::uint8_t* p = at(x, y);
    p[0] = toByte(c.r);
    p[1] = toByte(c.g);
    p[2] = toByte(c.b);
}

bool writeFile(const std::string& path, const Bytes& bytes, std::string& error) {
    output::OutputFile out(path);
    if (out.ok() && !bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), out.stream());
    if (out.commit()) return true;
    error = "cannot write " + out.error();
    return false;
}

}  // namespace datagen
