// links: sunmarrow_datagen
// The generated images: the atlas coordinate mapping, the brush's shape and clean edges,
// and the caption texture's bands (text inside each band, nothing in shared rows,
// margins or between bands).
// The generator is a program, not a library: its sources are compiled in here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tools/data/atlas.h"
#include "tools/data/brush.h"
#include "tools/data/captions.h"
#include "tools/data/data_common.h"
#include "tools/data/textures.h"

namespace {

using namespace datagen;

// Where the renderer samples for a corner's v: t = -v, wrapped into [0, 1) by GL_REPEAT.
float sampledRowFraction(float v) {
    const float t = -v;
    return t - std::floor(t);
}

TEST(DataAtlas, CornerCoordinatesLandInsideTheirTile) {
    for (int tile = 0; tile < 16; ++tile) {
        const int columnStart = (tile % 4) * 64, rowStart = (tile / 4) * 64;
        for (float s : {0.0f, 0.5f, 1.0f}) {
            for (float t : {0.0f, 0.25f, 1.0f}) {
                const atlas::Uv uv = atlas::tileUv(tile, s, t);
                const float column = uv.u * 256.0f;
                const float row = sampledRowFraction(uv.v) * 256.0f;
                EXPECT_GE(column, columnStart + 2 - 1e-3f) << tile;
                EXPECT_LE(column, columnStart + 62 + 1e-3f) << tile;
                EXPECT_GE(row, rowStart + 2 - 1e-3f) << "tile " << tile << " t " << t;
                EXPECT_LE(row, rowStart + 62 + 1e-3f) << "tile " << tile << " t " << t;
            }
        }
    }
}

TEST(DataAtlas, TileTopIsTheFirstFileRowOfTheTile) {
    // t = 0 is the top of the painted tile: row 2 of the file for the first tile row,
    // which the renderer reaches through v = 1 - 2/256.
    const atlas::Uv top = atlas::tileUv(atlas::SkyDay, 0.5f, 0.0f);
    EXPECT_NEAR(sampledRowFraction(top.v) * 256.0f, 2.0f, 1e-3f);
    const atlas::Uv bottom = atlas::tileUv(atlas::Meadow, 0.5f, 1.0f);
    EXPECT_NEAR(sampledRowFraction(bottom.v) * 256.0f, 254.0f, 1e-3f);
    // Every v stays inside (0, 1): no corner relies on a value the packed scale cannot hold.
    EXPECT_GT(bottom.v, 0.0f);
    EXPECT_LT(top.v, 1.0f);
}

TEST(DataAtlas, SkyTilesRunFromZenithAtTheTopToHorizonAtTheBottom) {
    const Image image = makeSceneAtlas();
    auto rowBrightness = [&](int tile, int y) {
        int sum = 0;
        for (int x = tile * 64; x < tile * 64 + 64; ++x) {
            const std::uint8_t* p = image.at(x, y);
            sum += p[0] + p[1] + p[2];
        }
        return sum;
    };
    // Sky tiles are the first tile row: the zenith (top rows) is darker than the horizon.
    for (int tile : {atlas::SkyDay, atlas::SkyDawn, atlas::SkyNight}) {
        EXPECT_LT(rowBrightness(tile, 4), rowBrightness(tile, 60)) << "tile " << tile;
    }
}

TEST(DataAtlas, EveryTileButTheNightSkyIsBrightEnoughToReadWhenLit) {
    // Lighting can only darken the texture (white material, no ambient part), so dark
    // tiles turn black in the painterly pass.
    for (const Image& image : {makeSceneAtlas(), makeFlowerAtlas()}) {
        for (int tile = 0; tile < 16; ++tile) {
            if (tile == atlas::SkyNight) continue;
            double sum = 0.0;
            for (int y = 0; y < 64; ++y) {
                for (int x = 0; x < 64; ++x) {
                    const std::uint8_t* p = image.at((tile % 4) * 64 + x, (tile / 4) * 64 + y);
                    sum += (p[0] + p[1] + p[2]) / 3.0;
                }
            }
            EXPECT_GT(sum / 4096.0, 50.0) << "tile " << tile;
        }
    }
}

TEST(DataAtlas, ImagesAreTheSizeTheShowReads) {
    EXPECT_EQ(makeSceneAtlas().pixels.size(), 196608u);
    EXPECT_EQ(makeFlowerAtlas().pixels.size(), 196608u);
    EXPECT_EQ(makeBrush().pixels.size(), 4096u);
}

TEST(DataBrush, OuterRingIsTransparentSoTheRepeatingWrapCannotBleed) {
    const Image brush = makeBrush();
    for (int x = 0; x < kBrushWidth; ++x) {
        EXPECT_EQ(*brush.at(x, 0), 0) << x;
        EXPECT_EQ(*brush.at(x, kBrushLength - 1), 0) << x;
    }
    for (int y = 0; y < kBrushLength; ++y) {
        EXPECT_EQ(*brush.at(0, y), 0) << y;
        EXPECT_EQ(*brush.at(kBrushWidth - 1, y), 0) << y;
    }
}

TEST(DataBrush, OpaqueBodySoftSidesTaperedEnds) {
    const Image brush = makeBrush();
    auto rowSum = [&](int y) {
        int sum = 0;
        for (int x = 0; x < kBrushWidth; ++x) sum += *brush.at(x, y);
        return sum;
    };
    // The stroke's centre (row 56) is mostly opaque across its middle.
    int middle = 0;
    for (int x = 10; x < 22; ++x) middle += *brush.at(x, 56);
    EXPECT_GT(middle / 12, 170);
    // Soft sides: coverage falls towards the edges of the row.
    EXPECT_LT(*brush.at(2, 56), *brush.at(16, 56) / 2);
    // Head and tail carry less than the body, the tail frays out before the last row.
    EXPECT_LT(rowSum(3), rowSum(56) / 2);
    EXPECT_LT(rowSum(124), rowSum(56) / 3);
    EXPECT_GT(rowSum(100), rowSum(124));
}

class DataCaptions : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        image_ = new Image(makeCaptions("", error));
        error_ = error;
    }
    static void TearDownTestSuite() { delete image_; }
    static Image* image_;
    static std::string error_;
};
Image* DataCaptions::image_ = nullptr;
std::string DataCaptions::error_;

TEST_F(DataCaptions, TextureIsTheSizeTheShowReads) {
    ASSERT_TRUE(error_.empty()) << error_;
    EXPECT_EQ(image_->width, 256);
    EXPECT_EQ(image_->height, 512);
    EXPECT_EQ(image_->pixels.size(), 131072u);
}

TEST_F(DataCaptions, EveryBandHoldsOneLineOfText) {
    ASSERT_TRUE(error_.empty()) << error_;
    const auto& bands = captionBands();
    ASSERT_EQ(bands.size(), 15u);
    for (std::size_t i = 0; i < bands.size(); ++i) {
        int peak = 0, inkRows = 0;
        for (int y = bands[i].topRow; y < bands[i].bottomRow; ++y) {
            int rowPeak = 0;
            for (int x = 0; x < 256; ++x) rowPeak = std::max<int>(rowPeak, *image_->at(x, y));
            peak = std::max(peak, rowPeak);
            if (rowPeak > 0) ++inkRows;
        }
        EXPECT_GE(peak, 200) << "band " << i;
        // One line fills most of its band's height, not a sliver of it.
        EXPECT_GE(inkRows * 2, bands[i].bottomRow - bands[i].topRow) << "band " << i;
    }
}

TEST_F(DataCaptions, NothingOutsideTheClearRowsOfSomeBand) {
    ASSERT_TRUE(error_.empty()) << error_;
    std::vector<bool> allowed(512, false);
    for (std::size_t i = 0; i < captionBands().size(); ++i) {
        const RowRange rows = clearRows(i);
        for (int y = rows.first; y <= rows.last; ++y) allowed[static_cast<std::size_t>(y)] = true;
    }
    for (int y = 0; y < 512; ++y) {
        if (allowed[static_cast<std::size_t>(y)]) continue;
        for (int x = 0; x < 256; ++x) ASSERT_EQ(*image_->at(x, y), 0) << "row " << y << " column " << x;
    }
}

TEST_F(DataCaptions, TextStaysOffTheBandsLeftAndRightEdges) {
    ASSERT_TRUE(error_.empty()) << error_;
    for (int y = 0; y < 512; ++y) {
        for (int x : {0, 1, 2, 253, 254, 255}) EXPECT_EQ(*image_->at(x, y), 0) << "row " << y;
    }
}

TEST(DataCaptionLayout, OverlappingBandsKeepTheirTextApart) {
    // Bands 9 (rows 293..315) and 10 (rows 314..338) share rows 314 and 315.
    const RowRange nine = clearRows(9);
    const RowRange ten = clearRows(10);
    EXPECT_EQ(nine.first, 294);
    EXPECT_EQ(nine.last, 312);
    EXPECT_EQ(ten.first, 317);
    EXPECT_EQ(ten.last, 337);
    // Bands 2 and 3 touch at 126 without sharing a row; each keeps a row of margin.
    EXPECT_EQ(clearRows(2).last, 124);
    EXPECT_EQ(clearRows(3).first, 127);
}

TEST(DataCaptionLayout, GlyphsAreSqueezedForTheStripsOnScreenAspect) {
    // A band of h rows is shown 320 px wide and 1.2 h px high on 640 x 480: a texel is
    // 1.25 px wide and a row 1.2 px high, so glyphs are drawn at 0.96 of their width.
    // The wide strip (row 13) is scaled in both directions and keeps the same squeeze.
    for (const CaptionBand& band : captionBands()) EXPECT_NEAR(glyphSqueeze(band), 0.96f, 1e-4f);
    EXPECT_NEAR(stripHeight(captionBands()[13]), 0.231f, 1e-6f);
    EXPECT_NEAR(stripHeight(captionBands()[0]), 0.1425f, 1e-6f);
}

TEST(DataCaptionLayout, MissingFontsAreReportedNotFatal) {
    std::string error;
    const Image image = makeCaptions("/nonexistent/fonts", error);
    EXPECT_TRUE(image.pixels.empty());
    EXPECT_NE(error.find("/nonexistent/fonts"), std::string::npos) << error;
}

}  // namespace
