// links: show
// The timetable: which scene row plays at a show time, at which frame, which rows share
// a texture, and the caption strips' computed sizes.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>

#include "show/show_tables.h"

using namespace show;

TEST(SceneTimetable, RowBoundariesBelongToTheRowThatStarts) {
    EXPECT_EQ(sceneRowAt(40.2f), 4);            // row 3 ends where row 4 starts
    EXPECT_EQ(sceneFrameAt(4, 40.2f), 0.0f);
    EXPECT_EQ(sceneRowAt(117.68f), 7);          // row 6 ends where row 7 starts
    EXPECT_EQ(sceneRowAt(2.0f), 0);
    EXPECT_EQ(sceneRowAt(std::nextafter(2.0f, 0.0f)), -1);
}

TEST(SceneTimetable, GapsDrawNoScene) {
    for (float t : {-4.0f, 0.0f, 1.99f, 10.0f, 10.5f, 19.5f, 28.1f, 72.3f, 88.8f, 172.9f, 203.0f, 210.0f}) {
        EXPECT_EQ(sceneRowAt(t), -1) << "t = " << t;
    }
}

TEST(SceneTimetable, FramesFollowSpeedInDoublePrecision) {
    ASSERT_EQ(sceneRowAt(100.0f), 6);
    EXPECT_FLOAT_EQ(sceneFrameAt(6, 100.0f), 382.25f);
    // The float nearest 72.6 lies just below it, so clouds at 73 are a hair past 7.5.
    ASSERT_EQ(sceneRowAt(73.0f), 5);
    const float f = sceneFrameAt(5, 73.0f);
    EXPECT_GT(f, 7.5f);
    EXPECT_NEAR(f, 7.50003f, 1e-5f);
}

TEST(SceneTimetable, RowsShareATextureOnlyWhenTheyNameItWithTheSameText) {
    // Eight rows name "data\texture.raw" alike and share the first row's texture; the
    // flowers have their own.
    EXPECT_EQ(textureOwners(sceneTable), (std::array<int, sceneRowCount>{0, 0, 0, 0, 0, 0, 0, 7, 0}));
    // The same file spelt another way is another texture; a later row that names the
    // flowers' texture shares it.
    auto table = sceneTable;
    table[2].textureFile = "data/texture.raw";
    table[5].textureFile = "data\\texture_flowers.raw";
    table[8].textureFile = "data/texture.raw";
    EXPECT_EQ(textureOwners(table), (std::array<int, sceneRowCount>{0, 0, 2, 0, 0, 5, 0, 5, 2}));
}

TEST(CaptionTable, SizesAreComputedFromTheBandsAndTheTitleIsScaledOnce) {
    const auto first = buildCaptions();
    const auto second = buildCaptions();  // a later set-up gives the same values
    for (int i = 0; i < captionRowCount; ++i) {
        EXPECT_EQ(first[i].width, second[i].width);
        EXPECT_EQ(first[i].height, second[i].height);
        if (i == 13) continue;
        EXPECT_EQ(first[i].width, 0.5f);
        EXPECT_EQ(first[i].height, static_cast<float>(first[i].bottomRow - first[i].topRow) * 0.0025f);
    }
    EXPECT_FLOAT_EQ(first[13].width, 0.7f);
    EXPECT_FLOAT_EQ(first[13].height, 0.231f);
    EXPECT_FLOAT_EQ(first[0].height, 0.1425f);
}

TEST(CaptionTable, RowNineSitsOneStepBelowPointEightyFive) {
    EXPECT_EQ(std::bit_cast<std::uint32_t>(captionTable[9].y), 0x3F599999u);
    EXPECT_EQ(captionTable[9].y, std::nextafter(0.85f, 0.0f));
}
