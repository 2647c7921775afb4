// Shared pieces of the data generator: its own pseudo-random generator (the output must
// not depend on the C++ library's generators or distributions), lattice value noise,
// small image buffers and file output. Every generator takes fixed seeds, so a run gives
// the same bytes as the last one with the same toolchain.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace datagen {

using Bytes = std::vector<std::uint8_t>;

// PCG32 (XSH RR): 64-bit state, 32-bit output. Deterministic across platforms.
class Random {
public:
    explicit Random(std::uint64_t seed, std::uint64_t stream = 0x5eed);
    std::uint32_t next();
    float uniform();                      // [0, 1), 24 bits
    float range(float lo, float hi);      // [lo, hi)
    int below(int n);                     // 0 .. n-1, n >= 1

private:
    std::uint64_t state_;
    std::uint64_t increment_;
};

// Hash of lattice coordinates and a seed to [0, 1).
float latticeHash(std::int32_t x, std::int32_t y, std::uint32_t seed);

// Value noise on a square lattice with smoothstep blending, in [0, 1). With period > 0
// the lattice repeats every `period` cells in both directions (seamless tiles).
float valueNoise(float x, float y, std::uint32_t seed, std::int32_t period = 0);

// Fractal sum of `octaves` value-noise layers, each twice the frequency and half the
// amplitude of the one before; normalised to [0, 1).
float fractalNoise(float x, float y, std::uint32_t seed, int octaves, std::int32_t period = 0);

float clamp01(float v);
float smoothstep(float edge0, float edge1, float x);
float mix(float a, float b, float t);

// 8-bit channel value of a [0, 1] level, rounded to nearest.
std::uint8_t toByte(float level);

struct Rgb {
    float r = 0.0f, g = 0.0f, b = 0.0f;
};
Rgb mix(const Rgb& a, const Rgb& b, float t);

// A headerless image, rows top to bottom (the first row is the file's first row).
struct Image {
    int width = 0;
    int height = 0;
    int channels = 0;
    Bytes pixels;

    Image() = default;
    Image(int w, int h, int c) : width(w), height(h), channels(c), pixels(static_cast<std::size_t>(w) * h * c, 0) {}
    std::uint8_t* at(int x, int y) { return &pixels[(static_cast<std::size_t>(y) * width + x) * channels]; }
    const std::uint8_t* at(int x, int y) const {
        return &pixels[(static_cast<std::size_t>(y) * width + x) * channels];
    }
    void setRgb(int x, int y, const Rgb& c);
};

// Writes `bytes` to `path`, whole or not at all (tools/common/output_file.h); false with
// `error` saying why when it cannot.
bool writeFile(const std::string& path, const Bytes& bytes, std::string& error);

}  // namespace datagen
