// The sound track sunmarrow.mp3: 204 seconds at 44100 Hz stereo from a small synthesiser
// of our own (additive pads, FM plucks and bells, a sine bass, soft kick and shaker,
// a plain feedback-comb reverb), encoded with LAME as 128 kbps CBR. Its sections turn
// where the show's scenes turn; times here are seconds since the music began, which is
// where the show's elapsed clock starts too (scene start + 4).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data_common.h"

namespace datagen {

constexpr int kMusicRate = 44100;
constexpr double kMusicSeconds = 204.0;

// Elapsed seconds at which the music changes section: the opening, the forest, the
// clouds, the bird, the flowers, the moon; the ending fades out by kMusicEnd.
constexpr double kSectionStarts[] = {0.0, 44.2, 76.6, 93.0, 121.68, 177.0};
constexpr double kMusicEnd = 201.5;

// The bell note that opens each section (the first one opens with the swell alone).
constexpr int kSectionChimes[] = {0, 59, 67, 74, 67, 59};

// Frequency in Hz of a MIDI note number (69 is A at 440 Hz).
double midiFrequency(double note);

struct Pcm {
    int sampleRate = kMusicRate;
    std::vector<std::int16_t> samples;  // interleaved left, right
    std::size_t frames() const { return samples.size() / 2; }
};

// The whole track, kMusicSeconds long, peak at -1 dBFS.
Pcm renderMusic();

// MP3 of `pcm` (stereo) at 128 kbit/s, by encodeMp3 of mp3_encoder.h: with a LAME Info
// frame so players know its exact length. Empty with `error` set when the encoder fails.
Bytes encodeMp3(const Pcm& pcm, std::string& error);

}  // namespace datagen
