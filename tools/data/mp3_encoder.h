// The one MP3 encoder of the project (LAME): the generator's sound track and the MP3s
// the sound tests and the bench decode all come from here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data_common.h"

namespace datagen {

// MP3 at a constant `kbps` of 16-bit `samples` at `sampleRate` Hz, `channels` (1 or 2)
// interleaved; stereo is joint stereo. The first frame is LAME's Info frame, so players
// know the exact length and a gapless decoder drops the encoder's delay and padding.
// Empty with `error` set when the encoder fails.
Bytes encodeMp3(const std::vector<std::int16_t>& samples, int sampleRate, int channels, int kbps,
                std::string& error);

}  // namespace datagen
