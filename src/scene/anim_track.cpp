#include "scene/anim_track.h"

namespace scene {

bool AnimTrack::read(ByteReader& in) {
    const std::uint8_t* head = in.take(2);
    if (head == nullptr) return false;
    const std::uint16_t count = ByteReader::u16At(head);
    // The whole body is taken before anything is allocated, so a count larger than
    // the data costs no memory.
    const std::uint8_t* body = in.take(count == 0 ? 2 : 6 * static_cast<std::size_t>(count));
    if (body == nullptr) return false;
    if (count == 0) {
        word_ = std::bit_cast<std::uint32_t>(decode(ByteReader::u16At(body)));
        keys_.reset();
        keyCount_ = 0;
    } else {
        keys_ = std::make_unique<AnimKey[]>(count);
        keyCount_ = count;
        for (AnimKey& key : std::span<AnimKey>(keys_.get(), count)) {
            key.value = ByteReader::u16At(body);
            key.tangent = ByteReader::u16At(body + 2);
            key.span = ByteReader::u16At(body + 4);
            body += 6;
        }
    }
    cursor_ = 0;
    if (count != 0) word_ = 0;  // segment start
    return true;
}

double AnimTrack::evaluate(float frame) {
    if (keyCount_ == 0) return std::bit_cast<float>(word_);

    const AnimKey* keys = keys_.get();
    const std::uint32_t count = keyCount_;  // at most 65535
    std::uint32_t cursor = cursor_;
    std::int64_t start = word_;
    // Frame counts and the float frame compare exactly as doubles. A frame equal to a
    // key's position belongs to the segment that starts there, so zero spans are
    // passed over. The walk back is written as "not at or after" so that a NaN frame
    // walks to the start and gets the first key's value wherever the cursor stood.
    const double f = frame;
    while (cursor < count && static_cast<double>(start + keys[cursor].span) <= f) {
        start += keys[cursor].span;
        ++cursor;
    }
    while (cursor > 0 && !(static_cast<double>(start) <= f)) {
        --cursor;
        start -= keys[cursor].span;
    }
    cursor_ = static_cast<std::uint16_t>(cursor);
    word_ = static_cast<std::uint32_t>(start);  // 0 .. 65535 × 65535

    const PackedScalarTable& table = packedScalarTable();
    if (cursor == count) return decode(table, keys[count - 1].value);
    if (cursor == 0) return decode(table, keys[0].value);  // before the first key

    // Hermite segment from key c-1 to key c, span L > 0 (a zero span never remains the
    // current segment). u is 1/L as a float; the tangents are per frame, so the
    // segment's end tangents are g/u. Double precision, in this arrangement.
    const AnimKey& from = keys[cursor - 1];
    const AnimKey& to = keys[cursor];
    const double u = 1.0f / static_cast<float>(to.span);
    const double s = (f - static_cast<double>(start)) * u;
    const double p0 = decode(table, from.value);
    const double g0 = decode(table, from.tangent);
    const double p1 = decode(table, to.value);
    const double g1 = decode(table, to.tangent);
    return p0 + s * (g0 / u + s * (-(3.0 * p0 * u + 2.0 * g0 - 3.0 * p1 * u + g1) / u +
                                   s * (2.0 * p0 * u + g0 - 2.0 * p1 * u + g1) / u));
}

bool VisibilityTrack::read(ByteReader& in) {
    const std::uint8_t* head = in.take(2);
    if (head == nullptr) return false;
    const std::uint16_t count = ByteReader::u16At(head);
    const std::uint8_t* body = in.take(3 * static_cast<std::size_t>(count));
    if (body == nullptr) return false;
    keys_.resize(count);
    for (VisibilityKey& key : keys_) {
        key.visible = body[0];
        key.lastFrame = ByteReader::u16At(body + 1);
        body += 3;
    }
    cursor_ = 0;
    return true;
}

bool VisibilityTrack::isVisible(float frame) {
    if (keys_.empty()) return true;
    while (cursor_ + 1 < keys_.size() && keys_[cursor_].lastFrame < frame) ++cursor_;
    return keys_[cursor_].visible != 0;
}

}  // namespace scene
