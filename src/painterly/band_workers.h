// A fixed crew of threads for work that splits into independent pieces (the canvas's
// horizontal bands): made once, sized to the processor's cores, and woken for each
// batch. The calling thread works too, so a crew of one is just the caller.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace painterly {

class BandWorkers {
public:
    // threads: the crew's size, the caller included; 0 means one per core.
    explicit BandWorkers(int threads = 0);
    ~BandWorkers();
    BandWorkers(const BandWorkers&) = delete;
    BandWorkers& operator=(const BandWorkers&) = delete;

    int size() const { return static_cast<int>(helpers_.size()) + 1; }

    // Runs job(0) .. job(count - 1), each once, spread over the crew; returns when all
    // are done. Pieces are handed out in order as threads become free. Not reentrant.
    void forEach(int count, const std::function<void(int piece)>& job);

private:
    void helperLoop();
    void work(std::unique_lock<std::mutex>& lock);

    std::vector<std::thread> helpers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    const std::function<void(int)>* job_ = nullptr;
    int count_ = 0;
    int next_ = 0;        // next piece to hand out
    int busy_ = 0;        // helpers still inside this batch
    unsigned batch_ = 0;  // bumped for every batch, so a helper runs each batch once
    bool stopping_ = false;
};

}  // namespace painterly

// Needs: std::thread. Leaves: nothing running between batches (helpers wait).
// Tested by: tests/unit/test_stroke_canvas.cpp (the bands of a canvas).
