#include "platform/quit_signal.h"

#include <atomic>
#include <csignal>

namespace platform {

namespace {

// Lock-free, so the handler may touch it.
std::atomic<bool> quitMark{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onQuitSignal(int) { quitMark.store(true, std::memory_order_relaxed); }

}  // namespace

void installQuitSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocking call returns early for the mark
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool takeQuitSignal() { return quitMark.exchange(false, std::memory_order_relaxed); }

bool quitSignalPending() { return quitMark.load(std::memory_order_relaxed); }

}  // namespace platform
