// links: show
// The caption overlay as GL draws it under the caption pass: a strip over a known
// background shows its own band of the caption texture, upright; each quarter of the
// strip shades smoothly from the level of its left edge to that of its right edge; and
// the caption adds to the picture beneath instead of covering it.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/raw_texture.h"
#include "show/caption_overlay.h"
#include "show/show.h"
#include "support/gl_context.h"

namespace {

namespace fs = std::filesystem;

constexpr int W = 320, H = 240;
constexpr int Top = 100, Middle = 150, Bottom = 200;  // the band's texel rows
constexpr int UpperLevel = 200, LowerLevel = 100;      // its two halves; 0 elsewhere
constexpr int Background[3] = {20, 30, 40};

// The caption texture: 256 × 512 grey levels, the band's upper half at UpperLevel, its
// lower half at LowerLevel, every other row black.
std::vector<std::uint8_t> captionTexels() {
    std::vector<std::uint8_t> texels(256 * 512, 0);
    for (int row = Top; row < Bottom; ++row) {
        std::fill_n(texels.begin() + row * 256, 256, static_cast<std::uint8_t>(row < Middle ? UpperLevel : LowerLevel));
    }
    return texels;
}

// The grey level the strip's gradient gives at u (0..1 across the strip): linear within
// each quarter between the fades of its two edges.
double gradientAt(const show::CaptionStrip& strip, float t, double u) {
    const float age = t - strip.start;
    const float span = strip.end - strip.start - 1.0f;
    const int j = std::min(3, static_cast<int>(u * 4.0));
    const float left = show::captionFade((age - static_cast<float>(j) * 0.25f) / span);
    const float right = show::captionFade((age - static_cast<float>(j + 1) * 0.25f) / span);
    return left + (right - left) * (u * 4.0 - j);
}

}  // namespace

TEST(CaptionOverlayGl, AStripAddsItsBandShadedByItsGradient) {
    testsupport::GlContext ctx(W, H);
    REQUIRE_GL(ctx);
    const fs::path file = fs::temp_directory_path() / ("caption_texture_" + std::to_string(getpid()) + ".raw");
    const std::vector<std::uint8_t> texels = captionTexels();
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(texels.data()), texels.size());
    media::RawTexture texture(file.c_str(), 256, 512, 2);
    fs::remove(file);
    ASSERT_TRUE(texture.upload());

    // One strip, due from 0 to 6; at t = 2 every edge is on its rise, each at its own level.
    std::array<show::CaptionStrip, show::captionRowCount> captions{};
    captions[4] = {0.1f, 0.3f, 0.8f, 0.4f, 0.0f, 6.0f, Top, Bottom};
    const show::CaptionStrip& strip = captions[4];
    const float t = 2.0f;

    glViewport(0, 0, W, H);
    glClearColor(Background[0] / 255.0f, Background[1] / 255.0f, Background[2] / 255.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    show::beginCaptionPass();
    texture.bind();
    show::drawCaptions(captions, t);
    std::vector<std::uint8_t> rgb(W * H * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, W, H, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    const double left = strip.x - (t - strip.start) * 0.003f;
    int checked = 0, wrong = 0;
    for (int y = 0; y < H; ++y) {
        // Texel row under the pixel's centre: Bottom at the strip's lower edge, Top at its upper.
        const double v = ((y + 0.5) / H - strip.y) / strip.height;
        const double row = Bottom + v * (Top - Bottom);
        const bool inBand = v > 0.0 && v < 1.0;
        for (int x = 0; x < W; ++x) {
            const double u = ((x + 0.5) / W - left) / strip.width;
            const bool inStrip = inBand && u > 0.0 && u < 1.0;
            // Pixels on the strip's outline and within two texels of a change of level
            // mix their neighbours; the rest must match.
            const double du = 1.0 / (strip.width * W), dv = 1.0 / (strip.height * H);
            const bool onEdge = std::abs(u) < du || std::abs(u - 1.0) < du || std::abs(v) < dv ||
                                std::abs(v - 1.0) < dv || std::abs(row - Middle) < 2.5 ||
                                (inStrip && (std::abs(row - Top) < 2.5 || std::abs(row - Bottom) < 2.5));
            if (onEdge) continue;
            const double level = inStrip ? gradientAt(strip, t, u) * (row < Middle ? UpperLevel : LowerLevel) : 0.0;
            for (int c = 0; c < 3; ++c) {
                const double want = std::min(255.0, Background[c] + level);
                const int got = rgb[3 * (y * W + x) + c];
                ++checked;
                if (std::abs(got - want) > 3.0 && ++wrong <= 10) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " channel " << c << ": " << got << ", want " << want
                                  << (inStrip ? " (u " + std::to_string(u) + ", texel row " + std::to_string(row) + ")"
                                              : " (outside the strip)");
                }
            }
        }
    }
    EXPECT_EQ(wrong, 0) << "of " << checked << " channel values";
    EXPECT_GT(checked, W * H * 3 * 9 / 10);
}
