// Keyed channels of a scene: AnimTrack (a real value over frames, constant or cubic
// Hermite segments between keys) and VisibilityTrack (shown or hidden over frames).
// Frames are scene frames, 25 a second, as 32-bit floats; key positions are whole
// frames. Keys stay packed as read (6 bytes each) and are decoded when evaluated.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "scene/byte_reader.h"
#include "scene/packed_scalar.h"

namespace scene {

struct AnimKey {
    PackedScalar value = 0;    // the channel's value at the key
    PackedScalar tangent = 0;  // slope in value units per frame, both sides of the key
    std::uint16_t span = 0;    // frames since the previous key (the first: since frame 0)
};

class AnimTrack {
public:
    // An empty track is the constant 0.0 until it is read.
    AnimTrack() = default;

    // Reads a track at the reader's position: u16 key count, then either one packed
    // constant (count 0) or count keys of value, tangent and span. False when the data
    // ends inside the track; the track is then unchanged.
    bool read(ByteReader& in);

    // The value at `frame`: the constant; before the first key (and at a NaN frame),
    // the first key's value; at or after the last key, the last key's value; otherwise
    // the Hermite segment that holds the frame. Depends only on the keys and the
    // frame: the cursor is a cache that moves forward or back to the segment asked for.
    double evaluate(float frame);

    bool isConstant() const { return keyCount_ == 0; }
    float constantValue() const { return isConstant() ? std::bit_cast<float>(word_) : 0.0f; }
    std::size_t keyCount() const { return keyCount_; }
    std::span<const AnimKey> keys() const { return {keys_.get(), keyCount_}; }
    std::size_t cursor() const { return cursor_; }
    // Unsigned 32-bit: the spans of 65535 keys add up to at most 65535 × 65535 frames,
    // more than a signed 32-bit int holds but less than 2^32.
    std::uint32_t segmentStart() const { return isConstant() ? 0 : word_; }

private:
    // Packed into 16 bytes: a static mesh holds six tracks per vertex, and the show's
    // scenes hold about 90,000 vertices. A constant track has no segment and a keyed
    // one no constant, so one word holds whichever the track has.
    std::unique_ptr<AnimKey[]> keys_;
    std::uint32_t word_ = 0;     // constant: the value's bits; keyed: frame of key cursor_ - 1
    std::uint16_t keyCount_ = 0;  // 0: constant
    std::uint16_t cursor_ = 0;    // index of the key that ends the current segment
};
static_assert(sizeof(AnimTrack) <= 16, "six tracks a vertex: keep a track small");

struct VisibilityKey {
    std::uint8_t visible = 1;     // 0 hidden, anything else shown
    std::uint16_t lastFrame = 0;  // last frame (inclusive) that this key's state covers
};

class VisibilityTrack {
public:
    // An empty track is visible at every frame.
    VisibilityTrack() = default;

    // Reads a u16 key count and count keys of (u8 visible, u16 lastFrame), packed.
    // False when the data ends inside the track; the track is then unchanged.
    bool read(ByteReader& in);

    // Whether the channel is shown at `frame`. The cursor only moves forward: a frame
    // earlier than one asked before is answered from the current key on, as the show
    // asks for non-decreasing frames.
    bool isVisible(float frame);

    std::size_t keyCount() const { return keys_.size(); }
    const std::vector<VisibilityKey>& keys() const { return keys_; }
    std::size_t cursor() const { return cursor_; }

private:
    std::vector<VisibilityKey> keys_;
    std::size_t cursor_ = 0;
};

}  // namespace scene
