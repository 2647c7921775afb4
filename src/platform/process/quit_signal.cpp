#include "platform/process/quit_signal.h"

#include <atomic>
#include <csignal>

namespace platform {

namespace {

// The signal number, 0 for none. Lock-free, so the handler may touch it.
std::atomic<int> quitMark{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void onQuitSignal(int signal) { quitMark.store(signal, std::memory_order_relaxed); }

}  // namespace

void installQuitSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocking call returns early for the mark
    // SIGHUP and SIGQUIT would otherwise end the process on the spot and leave a
    // switched screen mode behind.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaction(signal, &action, nullptr);
}

bool takeQuitSignal() { return quitMark.exchange(0, std::memory_order_relaxed) != 0; }

bool quitSignalPending() { return quitMark.load(std::memory_order_relaxed) != 0; }

int pendingQuitSignal() { return quitMark.load(std::memory_order_relaxed); }

}  // namespace platform
