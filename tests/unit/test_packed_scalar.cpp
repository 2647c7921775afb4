// links: scene
// Packed scalars decode to exact float bit patterns: files made elsewhere rely on them.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

#include "scene/packed_scalar.h"

namespace {

std::uint32_t bits(float value) { return std::bit_cast<std::uint32_t>(value); }

TEST(PackedScalarDecode, SampleWordsGiveExactFloats) {
    struct Sample {
        std::uint16_t word;
        float value;
    };
    // Each literal has enough digits to name one float.
    const Sample samples[] = {
        {0x0001, 0.0001f},      {0x4000, 1.0000001f},  {0x4001, 1.0005625f},
        {0x5000, 10.001408f},   {0x6000, 100.02814f},  {0x7FFF, 10000.003f},
        {0x8001, -0.0001f},     {0xBFFF, -0.9994381f}, {0xC000, -1.0000001f},
        {0xFFFF, -10000.003f},
    };
    for (const Sample& sample : samples) {
        EXPECT_EQ(bits(scene::decode(sample.word)), bits(sample.value)) << std::hex << sample.word;
    }
}

TEST(PackedScalarDecode, ShortSamplesAreTheRoundedTableRule) {
    // The table gives these to six digits only; check them against the rule computed
    // in long double, and against the printed digits.
    const long double k = static_cast<float>(32766.0L / std::log(1.0e8L));
    const struct {
        std::uint16_t word;
        double printed;
    } samples[] = {{0x0002, 0.000100056}, {0x1000, 0.000999579}, {0x2000, 0.00999719}};
    for (const auto& sample : samples) {
        const float expected = static_cast<float>(0.0001L * std::exp((sample.word - 1) / k));
        const float got = scene::decode(sample.word);
        EXPECT_EQ(bits(got), bits(expected)) << std::hex << sample.word;
        EXPECT_NEAR(got, sample.printed, sample.printed * 1e-5);
    }
}

TEST(PackedScalarDecode, ZeroWordsAndSigns) {
    EXPECT_EQ(bits(scene::decode(0x0000)), bits(0.0f));
    // Our choice for the sign-set zero code.
    EXPECT_EQ(bits(scene::decode(0x8000)), bits(-0.0f));
    for (std::uint32_t code = 1; code <= 0x7FFF; ++code) {
        ASSERT_EQ(bits(scene::decode(code | 0x8000)), bits(-scene::decode(code))) << code;
    }
}

TEST(PackedScalarDecode, OneIsNotExactlyRepresentable) {
    EXPECT_EQ(bits(scene::decode(0x4000)), 0x3F800001u);
    EXPECT_GT(scene::decode(0x4000), 1.0f);
    EXPECT_LT(scene::decode(0x3FFF), 1.0f);
}

TEST(PackedScalarDecode, HighBitsOfTheArgumentAreIgnored) {
    for (std::uint32_t word : {0x0000u, 0x0001u, 0x4000u, 0x8000u, 0xC123u, 0xFFFFu}) {
        EXPECT_EQ(bits(scene::decode(word | 0x10000u)), bits(scene::decode(word)));
        EXPECT_EQ(bits(scene::decode(word | 0xFFFF0000u)), bits(scene::decode(word)));
    }
}

TEST(PackedScalarTable, IsIncreasingWithAConstantRatio) {
    const scene::PackedScalarTable& table = scene::packedScalarTable();
    const double step = std::exp(1.0 / 1778.7615966796875);
    for (int i = 1; i < scene::PackedScalarTable::entryCount; ++i) {
        ASSERT_GT(table.entries[i], table.entries[i - 1]) << i;
        ASSERT_NEAR(table.entries[i] / static_cast<double>(table.entries[i - 1]), step, 2e-7) << i;
    }
    // Built once: later calls hand out the same table, unchanged.
    EXPECT_EQ(&scene::packedScalarTable(), &table);
    EXPECT_EQ(bits(scene::decode(0x4000)), bits(table.entries[0x3FFF]));
}

}  // namespace
