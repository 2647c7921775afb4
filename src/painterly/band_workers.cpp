#include "painterly/band_workers.h"

#include <algorithm>

namespace painterly {

BandWorkers::BandWorkers(int threads) {
    if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    for (int i = 1; i < threads; ++i) helpers_.emplace_back([this] { helperLoop(); });
}

BandWorkers::~BandWorkers() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : helpers_) t.join();
}

// Takes pieces until none is left; the lock is held on entry and on return.
void BandWorkers::work(std::unique_lock<std::mutex>& lock) {
    while (next_ < count_) {
        const int piece = next_++;
        const std::function<void(int)>& job = *job_;
        lock.unlock();
        job(piece);
        lock.lock();
    }
}

void BandWorkers::helperLoop() {
    unsigned seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || batch_ != seen; });
        if (stopping_) return;
        seen = batch_;
        work(lock);
        if (--busy_ == 0) done_.notify_one();
    }
}

void BandWorkers::forEach(int count, const std::function<void(int)>& job) {
    if (count <= 0) return;
    if (helpers_.empty() || count == 1) {
        for (int i = 0; i < count; ++i) job(i);
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    job_ = &job;
    count_ = count;
    next_ = 0;
    busy_ = static_cast<int>(helpers_.size());
    ++batch_;
    wake_.notify_all();
    work(lock);
    done_.wait(lock, [&] { return busy_ == 0; });
    job_ = nullptr;
}

}  // namespace painterly
