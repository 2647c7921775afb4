// links: scene
// Keyed channels: reading their byte layouts, Hermite evaluation with a cursor that
// walks both ways, and the forward-only visibility channel.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "scene/anim_track.h"
#include "scene/scene_writer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

scene::AnimTrack trackFrom(const Bytes& bytes) {
    scene::ByteReader in(bytes);
    scene::AnimTrack track;
    EXPECT_TRUE(track.read(in));
    EXPECT_EQ(in.remaining(), 0u);
    return track;
}

scene::AnimTrack trackFrom(const scene::writer::Track& desc) {
    Bytes bytes;
    scene::writer::appendTrack(bytes, desc);
    return trackFrom(bytes);
}

// Key 0: value 1.0000001 at frame 0; key 1: value 10.001408, ten frames on.
const Bytes twoKeyTrack = {0x02, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00,
                           0x00, 0x50, 0x00, 0x00, 0x0A, 0x00};

TEST(AnimTrackRead, TwoKeyTrackKeepsItsKeysPacked) {
    scene::AnimTrack track = trackFrom(twoKeyTrack);
    EXPECT_FALSE(track.isConstant());
    ASSERT_EQ(track.keyCount(), 2u);
    EXPECT_EQ(track.keys()[0].value, 0x4000);
    EXPECT_EQ(track.keys()[0].tangent, 0x0000);
    EXPECT_EQ(track.keys()[0].span, 0);
    EXPECT_EQ(track.keys()[1].value, 0x5000);
    EXPECT_EQ(track.keys()[1].span, 10);
    EXPECT_EQ(track.cursor(), 0u);
}

TEST(AnimTrackRead, KeylessTrackIsItsDecodedConstant) {
    scene::AnimTrack track = trackFrom(Bytes{0x00, 0x00, 0x00, 0xC0});
    EXPECT_TRUE(track.isConstant());
    EXPECT_EQ(std::bit_cast<std::uint32_t>(track.constantValue()), std::bit_cast<std::uint32_t>(-1.0000001f));
    for (float frame : {-5.0f, 0.0f, 3.5f, 1e9f}) EXPECT_EQ(track.evaluate(frame), -1.0000001f);
}

TEST(AnimTrackRead, ShortDataFailsWithoutChangingTheTrack) {
    // A count of 65535 keys with the data of one: nothing is read or allocated.
    const Bytes bytes = {0xFF, 0xFF, 0x00, 0x40, 0x00, 0x00, 0x0A, 0x00};
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        scene::ByteReader in(std::span(bytes.data(), size));
        scene::AnimTrack track;
        EXPECT_FALSE(track.read(in)) << size;
        EXPECT_TRUE(track.isConstant());
        EXPECT_EQ(track.keyCount(), 0u);
        EXPECT_EQ(track.keys().data(), nullptr);  // nothing allocated
    }
    scene::ByteReader in(std::span(twoKeyTrack.data(), 3));
    scene::AnimTrack track;
    EXPECT_FALSE(track.read(in));
}

TEST(AnimTrackEvaluate, TwoKeyTrackWorkedValues) {
    scene::AnimTrack track = trackFrom(twoKeyTrack);
    EXPECT_EQ(track.evaluate(0.0f), 1.0000001f);
    EXPECT_NEAR(track.evaluate(2.5f), 2.40647, 5e-6);
    EXPECT_NEAR(track.evaluate(5.0f), 5.50070, 5e-6);
    EXPECT_NEAR(track.evaluate(7.5f), 8.59494, 5e-6);
    EXPECT_EQ(track.evaluate(10.0f), 10.001408f);
    EXPECT_EQ(track.evaluate(11.0f), 10.001408f);
    EXPECT_EQ(track.evaluate(1e9f), 10.001408f);
}

TEST(AnimTrackEvaluate, TangentIsASlopePerFrame) {
    Bytes bytes = twoKeyTrack;
    bytes[4] = 0x00;
    bytes[5] = 0x40;  // key 0 tangent 1.0000001
    scene::AnimTrack track = trackFrom(bytes);
    EXPECT_NEAR(track.evaluate(5.0f), 6.75070, 5e-6);
    // The slope at the start of the segment is the tangent, per frame.
    const double h = 1e-3;
    EXPECT_NEAR((track.evaluate(static_cast<float>(h)) - track.evaluate(0.0f)) / h, 1.0, 2e-2);
}

TEST(AnimTrackEvaluate, SegmentsFollowKeyPositions) {
    // Spans 0, 10, 15 put keys at frames 0, 10 and 25.
    scene::AnimTrack track = trackFrom(scene::writer::Track{0.0f, {{1.0f, 0.0f, 0}, {2.0f, 0.0f, 10}, {4.0f, 0.0f, 15}}});
    const double key0 = scene::decode(scene::writer::encodePacked(1.0f));
    const double key1 = scene::decode(scene::writer::encodePacked(2.0f));
    const double key2 = scene::decode(scene::writer::encodePacked(4.0f));
    track.evaluate(4.0f);
    EXPECT_EQ(track.cursor(), 1u);
    EXPECT_EQ(track.segmentStart(), 0);
    EXPECT_EQ(track.evaluate(10.0f), key1);  // s = 0 in the segment of key 2
    EXPECT_EQ(track.cursor(), 2u);
    EXPECT_EQ(track.segmentStart(), 10);
    EXPECT_GT(track.evaluate(9.999f), key0);
    EXPECT_LT(track.evaluate(9.999f), key1);
    EXPECT_EQ(track.evaluate(25.0f), key2);
    EXPECT_EQ(track.cursor(), 3u);
    EXPECT_EQ(track.evaluate(0.0f), key0);
}

TEST(AnimTrackEvaluate, OneKeyWithZeroSpanHoldsEverywhere) {
    scene::AnimTrack track = trackFrom(scene::writer::Track{0.0f, {{3.0f, 5.0f, 0}}});
    EXPECT_FALSE(track.isConstant());
    const double key = scene::decode(scene::writer::encodePacked(3.0f));
    for (float frame : {0.0f, 0.5f, 7.0f, 1e6f}) EXPECT_EQ(track.evaluate(frame), key);
}

TEST(AnimTrackEvaluate, FramesBeforeTheFirstKeyTakeItsValue) {
    scene::AnimTrack track = trackFrom(scene::writer::Track{0.0f, {{3.0f, 1.0f, 20}, {6.0f, 0.0f, 10}}});
    const double key0 = scene::decode(scene::writer::encodePacked(3.0f));
    for (float frame : {-100.0f, 0.0f, 10.0f, 19.99f, 20.0f}) EXPECT_EQ(track.evaluate(frame), key0) << frame;
    EXPECT_GT(track.evaluate(21.0f), key0);
}

TEST(AnimTrackEvaluate, ZeroSpanInsideATrackJumps) {
    // Keys at frames 0, 10, 10, 20: at frame 10 the value jumps to the third key.
    const scene::writer::Track desc{0.0f, {{1.0f, 0.0f, 0}, {2.0f, 0.0f, 10}, {7.0f, 0.0f, 0}, {8.0f, 0.0f, 10}}};
    scene::AnimTrack track = trackFrom(desc);
    const double key1 = scene::decode(scene::writer::encodePacked(2.0f));
    const double key2 = scene::decode(scene::writer::encodePacked(7.0f));
    EXPECT_LT(track.evaluate(9.99f), key1);
    EXPECT_EQ(track.evaluate(10.0f), key2);
    EXPECT_EQ(track.cursor(), 3u);
    // Walking back over the zero span lands in the segment of key 1 again.
    EXPECT_EQ(track.evaluate(9.99f), trackFrom(desc).evaluate(9.99f));
    EXPECT_EQ(track.cursor(), 1u);
}

TEST(AnimTrackEvaluate, CursorWalksBackAndMatchesFreshTracks) {
    scene::writer::Track desc;
    for (int i = 0; i < 12; ++i) {
        desc.keys.push_back({static_cast<float>((i * 37) % 11) - 5.0f, static_cast<float>(i % 3) - 1.0f,
                             static_cast<std::uint16_t>(i == 0 ? 0 : 1 + i % 4)});
    }
    scene::AnimTrack walked = trackFrom(desc);
    const float frames[] = {20.0f, 5.0f, 20.0f, 0.0f, 13.25f, 2.5f, 100.0f, 7.0f, -1.0f, 6.999f};
    for (float frame : frames) {
        scene::AnimTrack fresh = trackFrom(desc);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(walked.evaluate(frame)), std::bit_cast<std::uint64_t>(fresh.evaluate(frame)))
            << frame;
        EXPECT_EQ(walked.cursor(), fresh.cursor()) << frame;
        EXPECT_EQ(walked.segmentStart(), fresh.segmentStart()) << frame;
    }
}

TEST(AnimTrackEvaluate, KeyFramesBeyondThe32BitRange) {
    // 40000 spans of 65535 frames reach 2.6e9 frames, past what an int32 can count.
    scene::writer::Track desc;
    for (int i = 0; i < 40000; ++i) desc.keys.push_back({i % 2 == 0 ? 1.0f : 3.0f, 0.0f, 65535});
    scene::AnimTrack walked = trackFrom(desc);
    const double low = scene::decode(scene::writer::encodePacked(1.0f));
    const double high = scene::decode(scene::writer::encodePacked(3.0f));
    const float lateFrame = 65535.0f * 39000.5f;  // inside a segment near the end
    for (float frame : {lateFrame, 1e30f, lateFrame, 1000.0f, lateFrame}) {
        scene::AnimTrack fresh = trackFrom(desc);
        EXPECT_EQ(walked.evaluate(frame), fresh.evaluate(frame)) << frame;
    }
    const double late = walked.evaluate(lateFrame);
    EXPECT_GT(late, low);
    EXPECT_LT(late, high);
    EXPECT_EQ(walked.evaluate(1e30f), high);  // the last key (index 39999) is odd
}

TEST(AnimTrackEvaluate, NonFiniteFramesStayOnTheKeys) {
    scene::AnimTrack track = trackFrom(twoKeyTrack);
    EXPECT_EQ(track.evaluate(INFINITY), 10.001408f);
    EXPECT_EQ(track.evaluate(-INFINITY), 1.0000001f);
    // A NaN frame gives the first key's value, wherever the cursor stood before.
    for (float before : {0.0f, 5.0f, 50.0f}) {
        track.evaluate(before);
        EXPECT_EQ(track.evaluate(NAN), 1.0000001f) << before;
    }
}

scene::VisibilityTrack visibilityFrom(const std::vector<scene::writer::VisibilityKey>& keys) {
    Bytes bytes;
    scene::writer::appendVisibility(bytes, keys);
    EXPECT_EQ(bytes.size(), 2 + 3 * keys.size());
    scene::ByteReader in(bytes);
    scene::VisibilityTrack track;
    EXPECT_TRUE(track.read(in));
    return track;
}

TEST(VisibilityTrack, NoKeysIsAlwaysVisible) {
    scene::VisibilityTrack track;
    EXPECT_TRUE(track.isVisible(0.0f));
    scene::VisibilityTrack read = visibilityFrom({});
    for (float frame : {-1.0f, 0.0f, 1e9f}) EXPECT_TRUE(read.isVisible(frame));
}

TEST(VisibilityTrack, ShownHiddenShown) {
    const std::vector<scene::writer::VisibilityKey> keys = {{true, 10}, {false, 30}, {true, 65535}};
    scene::VisibilityTrack track = visibilityFrom(keys);
    EXPECT_TRUE(track.isVisible(0.0f));
    EXPECT_TRUE(track.isVisible(10.0f));
    EXPECT_FALSE(track.isVisible(10.5f));
    EXPECT_FALSE(track.isVisible(30.0f));
    EXPECT_TRUE(track.isVisible(30.5f));
    EXPECT_TRUE(track.isVisible(70000.0f));  // after the last key: its state

    scene::VisibilityTrack fresh = visibilityFrom(keys);
    EXPECT_FALSE(fresh.isVisible(10.5f));
}

TEST(VisibilityTrack, AnyNonzeroByteIsShownAndTheLastKeyHoldsAfterwards) {
    const Bytes bytes = {0x02, 0x00, 0x00, 0x05, 0x00, 0x7F, 0x06, 0x00};
    scene::ByteReader in(bytes);
    scene::VisibilityTrack track;
    ASSERT_TRUE(track.read(in));
    EXPECT_FALSE(track.isVisible(5.0f));
    EXPECT_TRUE(track.isVisible(5.5f));
    EXPECT_TRUE(track.isVisible(1000.0f));
}

TEST(VisibilityTrack, CursorOnlyMovesForward) {
    scene::VisibilityTrack track = visibilityFrom({{true, 10}, {false, 30}, {true, 40}});
    EXPECT_FALSE(track.isVisible(20.0f));
    // An earlier frame is answered from the current key on.
    EXPECT_FALSE(track.isVisible(5.0f));
    EXPECT_EQ(track.cursor(), 1u);
}

TEST(VisibilityTrack, ShortDataFails) {
    const Bytes bytes = {0x03, 0x00, 0x01, 0x0A, 0x00, 0x00};
    scene::ByteReader in(bytes);
    scene::VisibilityTrack track;
    EXPECT_FALSE(track.read(in));
    EXPECT_EQ(track.keyCount(), 0u);
    EXPECT_TRUE(track.isVisible(100.0f));
}

}  // namespace
