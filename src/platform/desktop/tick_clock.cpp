#include "platform/desktop/tick_clock.h"

#include <ctime>

namespace platform {

std::uint32_t tickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000U +
                             static_cast<std::uint64_t>(now.tv_nsec) / 1000000U;
    return static_cast<std::uint32_t>(ms);  // keeps the low 32 bits: the wrap
}

}  // namespace platform
