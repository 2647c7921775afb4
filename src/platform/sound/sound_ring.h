// The hand-over between a stream's decoder thread and the audio callback: a ring of
// interleaved 16-bit stereo frames with one writer and one reader and no locks, so the
// callback never waits. Capacity is a power of two (frames).
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace platform {

class SoundRing {
public:
    // Holds at least `minFrames` frames (rounded up to a power of two, at least 2).
    explicit SoundRing(std::size_t minFrames) {
        std::size_t frames = 2;
        while (frames < minFrames) frames *= 2;
        samples_.assign(frames * 2, 0);
        mask_ = frames - 1;
    }

    std::size_t capacity() const { return mask_ + 1; }

    // Writer side: frames that push() can take now.
    std::size_t freeFrames() const {
        return capacity() - (head_.load(std::memory_order_relaxed) - tail_.load(std::memory_order_acquire));
    }

    // Reader side: frames that pop() can give now.
    std::size_t usedFrames() const {
        return head_.load(std::memory_order_acquire) - tail_.load(std::memory_order_relaxed);
    }

    // Writer: copies up to `frames` frames in; returns how many fitted.
    std::size_t push(const std::int16_t* in, std::size_t frames) {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        const std::size_t n = std::min(frames, freeFrames());
        copyRing(head, n, [&](std::size_t at, std::size_t from, std::size_t count) {
            std::memcpy(&samples_[at * 2], in + from * 2, count * 2 * sizeof(std::int16_t));
        });
        head_.store(head + n, std::memory_order_release);
        return n;
    }

    // Reader: copies up to `frames` frames out; returns how many there were.
    std::size_t pop(std::int16_t* out, std::size_t frames) {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        const std::size_t n = std::min(frames, usedFrames());
        copyRing(tail, n, [&](std::size_t at, std::size_t to, std::size_t count) {
            std::memcpy(out + to * 2, &samples_[at * 2], count * 2 * sizeof(std::int16_t));
        });
        tail_.store(tail + n, std::memory_order_release);
        return n;
    }

private:
    // Calls copy(ringIndex, linearIndex, count) for the one or two pieces of the
    // n frames that start at the running position `position`.
    template <typename Copy>
    void copyRing(std::size_t position, std::size_t n, Copy copy) {
        const std::size_t start = position & mask_;
        const std::size_t first = std::min(n, capacity() - start);
        if (first > 0) copy(start, 0, first);
        if (n > first) copy(0, first, n - first);
    }

    std::vector<std::int16_t> samples_;
    std::size_t mask_ = 0;
    // Running frame counts; they only grow (wrapping of size_t is harmless).
    std::atomic<std::size_t> head_{0};
    std::atomic<std::size_t> tail_{0};
};

}  // namespace platform
