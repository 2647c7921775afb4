// Packed scalars: the 16-bit sign-and-logarithm numbers of scene files.
// Bit 15 is the sign; bits 0-14 are a magnitude code m. Code 0 with the sign clear is
// +0.0; code m >= 1 is 0.0001 * e^((m - 1) / k), k = 32766 / ln(10^8) rounded to a
// float, so magnitudes run from 0.0001 to 10000.003 in steps of about 0.056 %.
// The sign-set zero code (0x8000) decodes to -0.0.
#pragma once

#include <cstdint>

namespace scene {

using PackedScalar = std::uint16_t;

// The decoding table: entry i is the magnitude of code i + 1. Built on first use
// (by decode or by an explicit call), kept read-only until the process ends.
struct PackedScalarTable {
    static constexpr int entryCount = 32767;
    float entries[entryCount];
};

// The process-wide table; the first call builds it (thread-safe, once).
const PackedScalarTable& packedScalarTable();

// The value of a packed word; only the low 16 bits of `word` count.
// A table lookup and a sign flip: no logarithm or exponential per call.
inline float decode(const PackedScalarTable& table, std::uint32_t word) {
    const std::uint32_t code = word & 0x7FFFu;
    const float magnitude = code == 0 ? 0.0f : table.entries[code - 1];
    return (word & 0x8000u) != 0 ? -magnitude : magnitude;
}

inline float decode(std::uint32_t word) { return decode(packedScalarTable(), word); }

}  // namespace scene
