// The one PNG writer: the capture tool's frames, the generator's previews, the icon and
// the pictures the GL tests leave in the build folder all go through it. A PNG appears
// whole under its name or not at all (tools/common/output_file.h).
#pragma once

#include <cstdint>
#include <string>

#include "output_file.h"

namespace pngfile {

// Writes `height` rows of `width` pixels, the top row first, each pixel `channels` bytes
// (1 grey, 3 RGB, 4 RGBA) with no padding between rows, as an 8-bit PNG at `path`.
// False when the file cannot be written or `channels` is none of those.
bool write(const std::string& path, const std::uint8_t* pixels, int width, int height, int channels);

// The same into an output file made beforehand, committed when it succeeds; false with
// out.error() saying why when it does not.
bool write(output::OutputFile& out, const std::uint8_t* pixels, int width, int height, int channels);

}  // namespace pngfile
