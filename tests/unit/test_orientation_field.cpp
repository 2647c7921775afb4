// links: painterly sunmarrow_reference
// The orientation field: the sign-reconciling mean, the gradient's sign rule, one
// smoothing pass's operand order, the final field of simple pictures, and the fast
// code paths against the step-by-step version on many captures.
#include <gtest/gtest.h>
#include <unistd.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "painterly/capture_file.h"
#include "painterly/orientation_field.h"
#include "painterly/painterly.h"
#include "support/reference/reference_painterly.h"

namespace {

using painterly::captureHeight;
using painterly::capturePixels;
using painterly::captureWidth;
using painterly::FieldVector;
using painterly::orientedMean;
using painterly::painterlyState;

constexpr int W = captureWidth;

void fillCapture(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    std::uint8_t* c = painterlyState().CaptureImage;
    for (int i = 0; i < capturePixels; ++i) {
        c[3 * i] = r;
        c[3 * i + 1] = g;
        c[3 * i + 2] = b;
    }
}

void setPixel(int column, int row, std::uint8_t r, std::uint8_t g = 0, std::uint8_t b = 0) {
    std::uint8_t* p = painterlyState().CaptureImage + 3 * (row * W + column);
    p[0] = r;
    p[1] = g;
    p[2] = b;
}

FieldVector fieldAt(int column, int row) {
    const auto& s = painterlyState();
    const int n = row * W + column;
    return {s.FieldX[n], s.FieldY[n]};
}

bool isBorder(int n) {
    const int row = n / W;
    const int column = n % W;
    return row == 0 || row == captureHeight - 1 || column == 0 || column == W - 1;
}

// Everything the field stage leaves behind, for bit-for-bit comparison.
struct Planes {
    std::vector<std::uint8_t> intensity;
    std::vector<std::int32_t> x, y, nextX, nextY;
    static Planes take() {
        const auto& s = painterlyState();
        Planes p;
        p.intensity.assign(s.IntensityPlane, s.IntensityPlane + capturePixels);
        p.x.assign(s.FieldX, s.FieldX + capturePixels);
        p.y.assign(s.FieldY, s.FieldY + capturePixels);
        p.nextX.assign(s.NextFieldX, s.NextFieldX + capturePixels);
        p.nextY.assign(s.NextFieldY, s.NextFieldY + capturePixels);
        return p;
    }
    bool operator==(const Planes&) const = default;
};

// ---------------------------------------------------------------------------------------

TEST(OrientedMean, OppositeNeighboursReinforceAndPerpendicularOnesSubtract) {
    EXPECT_EQ(orientedMean({8, 0}, {-8, 0}), (FieldVector{8, 0}));
    EXPECT_EQ(orientedMean({8, 0}, {8, 0}), (FieldVector{8, 0}));
    EXPECT_EQ(orientedMean({8, 0}, {0, 8}), (FieldVector{4, -4}));  // d = 0: p - q
}

TEST(OrientedMean, ZeroFirstOperandNegatesAndHalvesWithFloorRounding) {
    EXPECT_EQ(orientedMean({0, 0}, {4, 0}), (FieldVector{-2, 0}));
    EXPECT_EQ(orientedMean({0, 0}, {1, 0}), (FieldVector{-1, 0}));
    EXPECT_EQ(orientedMean({0, 0}, {-1, 0}), (FieldVector{0, 0}));
    EXPECT_EQ(orientedMean({5, -5}, {0, 0}), (FieldVector{2, -3}));
    EXPECT_EQ(orientedMean({0, 0}, {0, 0}), (FieldVector{0, 0}));
}

TEST(OrientedMean, SecondOperandSignNeverMattersFirstOperandSignCarries) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> component(-painterly::fieldLimit, painterly::fieldLimit);
    for (int i = 0; i < 20000; ++i) {
        const FieldVector p{component(rng), component(rng)};
        const FieldVector q{component(rng), component(rng)};
        if (p.x * q.x + p.y * q.y == 0) continue;
        EXPECT_EQ(orientedMean(p, q), orientedMean(p, {-q.x, -q.y}));
        const FieldVector r = orientedMean(p, q);
        const FieldVector n = orientedMean({-p.x, -p.y}, q);
        EXPECT_LE(std::abs(r.x + n.x), 1);  // negated up to the floor rounding
        EXPECT_LE(std::abs(r.y + n.y), 1);
        EXPECT_LE(std::abs(r.x), painterly::fieldLimit);
        EXPECT_LE(std::abs(r.y), painterly::fieldLimit);
    }
}

// ---------------------------------------------------------------------------------------

// The gradient at one pixel whose four neighbours carry the given red values.
FieldVector gradientFor(int left, int right, int below, int above) {
    fillCapture(0, 0, 0);
    const int column = 50;
    const int row = 40;
    setPixel(column - 1, row, static_cast<std::uint8_t>(left));
    setPixel(column + 1, row, static_cast<std::uint8_t>(right));
    setPixel(column, row - 1, static_cast<std::uint8_t>(below));
    setPixel(column, row + 1, static_cast<std::uint8_t>(above));
    painterly::referenceGradient();
    return fieldAt(column, row);
}

TEST(Gradient, SignRuleKeepsXNotBelowY) {
    struct Case {
        int left, right, below, above;
        FieldVector stored;
    };
    const Case cases[] = {
        {2, 0, 3, 0, {-8, -12}},    // gx - gy = 4: unchanged
        {0, 0, 0, 1, {0, -4}},      // (0, 4) is negated
        {1, 0, 0, 0, {4, 0}},       // (-4, 0) is negated
        {0, 1, 0, 1, {4, 4}},       // gx = gy: unchanged
        {0, 0, 0, 0, {0, 0}},
        {255, 0, 0, 0, {1020, 0}},  // the extremes
        {0, 0, 0, 255, {0, -1020}},
        {0, 255, 255, 0, {1020, -1020}},
    };
    for (const Case& c : cases) {
        const FieldVector g = gradientFor(c.left, c.right, c.below, c.above);
        EXPECT_EQ(g, c.stored) << "neighbours " << c.left << " " << c.right << " " << c.below << " " << c.above;
    }
}

TEST(Gradient, EdgesOfBothSignsAndGreenBlueChanges) {
    // Vertical red edge between columns 79 and 80, rising or falling left to right.
    for (const bool rising : {true, false}) {
        fillCapture(0, 0, 0);
        for (int row = 0; row < captureHeight; ++row) {
            for (int column = 0; column < W; ++column) {
                setPixel(column, row, static_cast<std::uint8_t>((column >= 80) == rising ? 200 : 10));
            }
        }
        painterly::referenceGradient();
        EXPECT_EQ(fieldAt(79, 60), (FieldVector{760, 0}));
        EXPECT_EQ(fieldAt(80, 60), (FieldVector{760, 0}));
        EXPECT_EQ(fieldAt(81, 60), (FieldVector{0, 0}));
    }
    // Horizontal edge between rows 59 and 60: brighter below stays (0, <0); brighter
    // above gives (0, >0), which is negated.
    for (const bool brighterBelow : {true, false}) {
        for (int row = 0; row < captureHeight; ++row) {
            for (int column = 0; column < W; ++column) {
                setPixel(column, row, static_cast<std::uint8_t>((row < 60) == brighterBelow ? 200 : 10));
            }
        }
        painterly::referenceGradient();
        EXPECT_EQ(fieldAt(30, 59), (FieldVector{0, -760}));
        EXPECT_EQ(fieldAt(30, 60), (FieldVector{0, -760}));
    }
    // Only green and blue change: the field sees the red byte alone.
    std::mt19937 rng(3);
    for (int i = 0; i < capturePixels; ++i) {
        setPixel(i % W, i / W, 90, static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()));
    }
    painterly::referenceGradient();
    const auto& s = painterlyState();
    for (int n = 0; n < capturePixels; ++n) {
        ASSERT_EQ(s.FieldX[n], 0);
        ASSERT_EQ(s.FieldY[n], 0);
        ASSERT_EQ(s.IntensityPlane[n], 90);
    }
}

// ---------------------------------------------------------------------------------------

TEST(SmoothingPass, LoneVectorSpreadsWithPreviousNeighbourFirst) {
    auto& s = painterlyState();
    fillCapture(0, 0, 0);
    painterly::referenceGradient();  // zero field, zero borders everywhere
    const int column = 60;
    const int row = 50;
    const int n = row * W + column;
    s.FieldX[n] = 4;
    painterly::referenceSmoothingPass();
    // Its own neighbours' mean is zero: the vector comes out negated and halved.
    EXPECT_EQ(fieldAt(column, row), (FieldVector{-2, 0}));
    // The previous-column and previous-row operands go first, so the spread is lopsided:
    // the left neighbour sees H = (0 - 4) >> 1, the right one H = (4 - 0) >> 1, and so on.
    EXPECT_EQ(fieldAt(column - 1, row), (FieldVector{-1, 0}));
    EXPECT_EQ(fieldAt(column + 1, row), (FieldVector{0, 0}));
    EXPECT_EQ(fieldAt(column, row - 1), (FieldVector{0, 0}));
    EXPECT_EQ(fieldAt(column, row + 1), (FieldVector{-1, 0}));
    EXPECT_EQ(fieldAt(column + 2, row), (FieldVector{0, 0}));
}

// ---------------------------------------------------------------------------------------

TEST(OrientationField, UniformAndGreenBlueOnlyFramesGiveZeroField) {
    auto& s = painterlyState();
    std::mt19937 rng(11);
    for (int variant = 0; variant < 3; ++variant) {
        if (variant == 0) fillCapture(0, 0, 0);
        if (variant == 1) fillCapture(173, 20, 250);
        if (variant == 2) {
            for (int i = 0; i < capturePixels; ++i) {
                setPixel(i % W, i / W, 255, static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()));
            }
        }
        painterly::computeOrientationField();
        for (int n = 0; n < capturePixels; ++n) {
            ASSERT_EQ(s.FieldX[n], 0) << "variant " << variant << " pixel " << n;
            ASSERT_EQ(s.FieldY[n], 0) << "variant " << variant << " pixel " << n;
        }
    }
}

TEST(OrientationField, EdgesKeepTheirOrientationThroughTheSmoothing) {
    // A vertical edge's vectors may change sign but never gain a y component; a
    // horizontal edge's never gain an x component.
    auto& s = painterlyState();
    for (int row = 0; row < captureHeight; ++row) {
        for (int column = 0; column < W; ++column) setPixel(column, row, column < 80 ? 30 : 220);
    }
    painterly::computeOrientationField();
    for (int n = 0; n < capturePixels; ++n) ASSERT_EQ(s.FieldY[n], 0);
    EXPECT_NE(fieldAt(79, 60).x, 0);
    EXPECT_NE(fieldAt(80, 60).x, 0);
    EXPECT_EQ(fieldAt(20, 60).x, 0);  // far from the edge nothing arrives

    for (int row = 0; row < captureHeight; ++row) {
        for (int column = 0; column < W; ++column) setPixel(column, row, row < 60 ? 220 : 30);
    }
    painterly::computeOrientationField();
    for (int n = 0; n < capturePixels; ++n) ASSERT_EQ(s.FieldX[n], 0);
    EXPECT_NE(fieldAt(80, 59).y, 0);
    EXPECT_NE(fieldAt(80, 60).y, 0);
}

// ---------------------------------------------------------------------------------------

// Captures that reach the corners of the arithmetic: noise, full-range checkerboards,
// hard-edged blocks, ramps, and lone bright pixels.
void makeCapture(int kind, std::mt19937& rng) {
    std::uniform_int_distribution<int> byte(0, 255);
    switch (kind % 5) {
        case 0:
            for (int i = 0; i < painterly::captureBytes; ++i) {
                painterlyState().CaptureImage[i] = static_cast<std::uint8_t>(byte(rng));
            }
            break;
        case 1: {
            const int cell = 1 + kind % 4;
            for (int i = 0; i < capturePixels; ++i) {
                const bool on = ((i % W) / cell + (i / W) / cell) % 2 == 0;
                setPixel(i % W, i / W, on ? 255 : 0, 7, 9);
            }
            break;
        }
        case 2: {
            fillCapture(static_cast<std::uint8_t>(byte(rng)), 0, 0);
            for (int block = 0; block < 12; ++block) {
                const int c0 = byte(rng) % W, r0 = byte(rng) % captureHeight;
                const int c1 = std::min(W, c0 + 5 + byte(rng) % 60), r1 = std::min(captureHeight, r0 + 5 + byte(rng) % 50);
                const auto red = static_cast<std::uint8_t>(byte(rng));
                for (int r = r0; r < r1; ++r) {
                    for (int c = c0; c < c1; ++c) setPixel(c, r, red, 40, 40);
                }
            }
            break;
        }
        case 3: {
            const int dx = byte(rng) % 5 - 2, dy = byte(rng) % 5 - 2, base = byte(rng);
            for (int i = 0; i < capturePixels; ++i) {
                const int v = base + dx * (i % W) + dy * (i / W);
                setPixel(i % W, i / W, static_cast<std::uint8_t>(v & 255));
            }
            break;
        }
        default:
            fillCapture(0, 0, 0);
            for (int k = 0; k < 40; ++k) setPixel(byte(rng) % W, byte(rng) % captureHeight, 255);
            break;
    }
}

TEST(OrientationField, FastPathsMatchTheStepByStepFieldBitForBit) {
    std::mt19937 rng(2024);
    const painterly::FieldKernel kernels[] = {painterly::FieldKernel::best, painterly::FieldKernel::scalar,
                                              painterly::FieldKernel::sse2, painterly::FieldKernel::avx2};
    int compared = 0;
    for (int trial = 0; trial < 60; ++trial) {
        makeCapture(trial, rng);
        painterly::referenceOrientationField();
        const Planes expected = Planes::take();
        for (const painterly::FieldKernel kernel : kernels) {
            if (!painterly::computeOrientationFieldWith(kernel)) continue;  // not on this processor
            ASSERT_TRUE(Planes::take() == expected)
                << "capture kind " << trial % 5 << ", trial " << trial << ", kernel " << static_cast<int>(kernel);
            ++compared;
        }
    }
    EXPECT_GE(compared, 60 * 3);  // Best, Scalar and at least one SIMD path everywhere
}

TEST(OrientationField, BordersOfAllFourPlanesStayZero) {
    std::mt19937 rng(5);
    auto& s = painterlyState();
    for (int trial = 0; trial < 10; ++trial) {
        makeCapture(trial, rng);
        // Garbage in every plane beforehand: the stage must re-zero the borders itself.
        for (std::int32_t* plane : {s.FieldX, s.FieldY, s.NextFieldX, s.NextFieldY}) {
            for (int n = 0; n < capturePixels; ++n) plane[n] = static_cast<std::int32_t>(rng() % 2041) - 1020;
        }
        painterly::computeOrientationField();
        for (int n = 0; n < capturePixels; ++n) {
            if (!isBorder(n)) continue;
            ASSERT_EQ(s.FieldX[n], 0);
            ASSERT_EQ(s.FieldY[n], 0);
            ASSERT_EQ(s.NextFieldX[n], 0);
            ASSERT_EQ(s.NextFieldY[n], 0);
        }
        for (int n = 0; n < capturePixels; ++n) {
            ASSERT_LE(std::abs(s.FieldX[n]), painterly::fieldLimit);
            ASSERT_LE(std::abs(s.FieldY[n]), painterly::fieldLimit);
        }
    }
}

// ---------------------------------------------------------------------------------------

std::string writeBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = (std::filesystem::temp_directory_path() / (std::to_string(getpid()) + "_" + name)).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
}

TEST(CaptureFile, OnlyAWholeCaptureIsTaken) {
    std::vector<std::uint8_t> bytes(painterly::captureBytes);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    const std::string whole = writeBytes("painterly_whole.raw", bytes);
    bytes.push_back(1);
    const std::string longer = writeBytes("painterly_longer.raw", bytes);
    bytes.resize(1000);
    const std::string shorter = writeBytes("painterly_short.raw", bytes);

    std::vector<std::uint8_t> capture(painterly::captureBytes, 0xAB);
    std::string why;
    for (const std::string& path : {shorter, longer, std::string("/nonexistent/painterly.raw")}) {
        EXPECT_FALSE(painterly::loadCaptureFile(path.c_str(), capture.data(), why)) << path;
        EXPECT_FALSE(why.empty());
        EXPECT_EQ(capture, std::vector<std::uint8_t>(painterly::captureBytes, 0xAB)) << "touched by " << path;
    }
    // Only a regular file is read, and nothing waits: not a directory, a FIFO without a
    // writer, or a link to an endless device.
    const std::string fifo = writeBytes("painterly_fifo.raw", {}) + ".fifo";
    const std::string zero = fifo + ".zero";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
    for (const std::string& path : {std::filesystem::temp_directory_path().string(), fifo, zero}) {
        EXPECT_FALSE(painterly::loadCaptureFile(path.c_str(), capture.data(), why)) << path;
        EXPECT_EQ(why, "cannot open " + path + ": not a regular file");
        EXPECT_EQ(capture, std::vector<std::uint8_t>(painterly::captureBytes, 0xAB)) << "touched by " << path;
    }
    ASSERT_TRUE(painterly::loadCaptureFile(whole.c_str(), capture.data(), why)) << why;
    EXPECT_EQ(capture[1], 7);
    EXPECT_EQ(capture[painterly::captureBytes - 1], static_cast<std::uint8_t>((painterly::captureBytes - 1) * 7));
    for (const std::string& path : {whole, longer, shorter, fifo, zero, fifo.substr(0, fifo.size() - 5)}) {
        std::remove(path.c_str());
    }
}

// Runs the capture tool; its standard output in `out`, the exit status returned.
int runTool(const std::string& arguments, std::string& out) {
    const std::string command = std::string(SUNMARROW_BINARY_DIR) + "/sunmarrow-capture " + arguments + " 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    out.clear();
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(FieldDump, PrintsTheFinalFieldRowZeroFirst) {
    if (!std::filesystem::exists(std::string(SUNMARROW_BINARY_DIR) + "/sunmarrow-capture")) {
        GTEST_SKIP() << "sunmarrow-capture is not built";
    }
    std::mt19937 rng(77);
    makeCapture(2, rng);
    const auto& s = painterlyState();
    const std::vector<std::uint8_t> capture(s.CaptureImage, s.CaptureImage + painterly::captureBytes);
    const std::string path = writeBytes("painterly_field_dump.raw", capture);
    painterly::computeOrientationField();

    std::string out;
    ASSERT_EQ(runTool("field --capture " + path, out), 0);
    std::istringstream lines(out);
    std::string line;
    int row = 0;
    while (std::getline(lines, line)) {
        std::ostringstream want;
        for (int column = 0; column < W; ++column) {
            const FieldVector v = fieldAt(column, row);
            want << (column == 0 ? "" : " ") << v.x << "," << v.y;
        }
        ASSERT_EQ(line, want.str()) << "row " << row;
        ++row;
    }
    EXPECT_EQ(row, captureHeight);

    EXPECT_EQ(runTool("field", out), 2);
    EXPECT_EQ(runTool("field --capture " + path + " --extra", out), 2);
    EXPECT_EQ(runTool("field --capture /nonexistent/capture.raw", out), 1);
    std::remove(path.c_str());
}

}  // namespace
