// The millisecond tick count of the shell's clock: unsigned 32 bits, counted from an
// arbitrary origin (here the system's monotonic clock, so since boot), wrapping to 0
// after 2^32 ms. Differences taken as unsigned 32-bit numbers survive the wrap.
#pragma once

#include <cstdint>

namespace platform {

std::uint32_t tickCount();

}  // namespace platform
