// links: show
// Caption fades and geometry: the raised cosine, its float constant, the edges' timing,
// texture rows and the drift.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "show/caption_overlay.h"

using namespace show;

TEST(CaptionFade, RaisedCosineOnZeroToOneAndZeroElsewhere) {
    EXPECT_EQ(captionFade(0.0f), 0.0f);
    EXPECT_FLOAT_EQ(captionFade(0.5f), 1.0f);
    EXPECT_LT(captionFade(1.0f), 1e-9f);
    EXPECT_GT(captionFade(1.0f), 0.0f);  // 6.28318 falls short of 2 pi
    EXPECT_EQ(captionFade(-0.001f), 0.0f);
    EXPECT_EQ(captionFade(1.001f), 0.0f);
    EXPECT_EQ(captionFade(std::numeric_limits<float>::quiet_NaN()), 0.0f);
    EXPECT_EQ(captionFade(std::numeric_limits<float>::infinity()), 0.0f);
    EXPECT_EQ(captionFade(-std::numeric_limits<float>::infinity()), 0.0f);
}

TEST(CaptionCorners, AStripAddsNothingAtItsFirstMoment) {
    const auto captions = buildCaptions();
    for (const CaptionStrip& strip : captions) {
        for (const CaptionCorner& c : captionCorners(strip, strip.start)) EXPECT_EQ(c.grey, 0.0f);
    }
}

TEST(CaptionCorners, TitleRowEarlyInTheShow) {
    // Row 0 at t = 0.1: left edge at full brightness, right edge about 0.68.
    const auto captions = buildCaptions();
    const auto corners = captionCorners(captions[0], 0.1f);
    EXPECT_NEAR(corners[0].grey, 1.0f, 1e-6f);
    EXPECT_NEAR(corners[15].grey, 0.5 - 0.5 * std::cos(6.28318 * (1.6 / 5.2)), 1e-5);
    EXPECT_NEAR(corners[15].grey, 0.68f, 0.01f);
    // Neighbouring quads share the level of their common edge.
    for (int j = 0; j < 3; ++j) EXPECT_EQ(corners[4 * j + 2].grey, corners[4 * (j + 1)].grey);
}

TEST(CaptionCorners, BandRowsPositionsAndDrift) {
    const auto captions = buildCaptions();
    const CaptionStrip& strip = captions[13];
    const float t = 30.0f;
    const auto corners = captionCorners(strip, t);
    const float drift = (t - strip.start) * 0.003f;
    // The upper edge shows texel row topRow, the lower edge bottomRow (t = row/512 - 1
    // after the texture matrix, sampled with wrap-around).
    EXPECT_EQ(corners[0].t, static_cast<float>(512 - 454));
    EXPECT_EQ(corners[1].t, static_cast<float>(512 - 388));
    EXPECT_EQ(corners[0].s, 0.0f);
    EXPECT_EQ(corners[15].s, 1.0f);
    EXPECT_FLOAT_EQ(corners[0].x, strip.x - drift);
    EXPECT_FLOAT_EQ(corners[15].x, strip.x + strip.width - drift);
    EXPECT_EQ(corners[0].y, strip.y);
    EXPECT_EQ(corners[1].y, strip.y + strip.height);
}

TEST(CaptionCorners, LastEdgeFinishesItsSwellExactlyAtTheEnd) {
    const auto captions = buildCaptions();
    const CaptionStrip& strip = captions[6];  // 14 to 19, span 4
    const float justBefore = std::nextafter(strip.end, 0.0f);
    const auto corners = captionCorners(strip, justBefore);
    EXPECT_LT(corners[15].grey, 1e-4f);
    // Each edge is brightest a quarter second after its left neighbour.
    const float peakLeft = strip.start + 0.0f + 2.0f;
    EXPECT_NEAR(captionCorners(strip, peakLeft)[0].grey, 1.0f, 1e-6f);
    EXPECT_NEAR(captionCorners(strip, peakLeft + 1.0f)[15].grey, 1.0f, 1e-6f);
}
