// Capture files: a 160 × 120 RGB frame exactly as readCapture stores it (57,600 bytes,
// rows of 480 bytes, row 0 at the bottom), for the dump tools and tests.
#pragma once

#include <cstdint>
#include <string>

namespace painterly {

// Reads the file at the host path `path` into `capture` (captureBytes bytes). On failure
// returns false with a one-line reason in `why` and leaves `capture` unchanged; a file of
// any other length than 57,600 bytes is refused, and so is anything that is not a
// regular file (opening never waits, reading stops one byte past a capture's length).
bool loadCaptureFile(const char* path, std::uint8_t* capture, std::string& why);

}  // namespace painterly
