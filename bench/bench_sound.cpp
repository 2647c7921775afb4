// The sound system's decoder on a whole track: MP3 decoding plus conversion to 16-bit
// stereo at 44100 Hz, on one thread. The counter "x_realtime" is seconds of audio per
// second of work; the show's track needs far more than 1 to leave the render thread
// its core (the target is 100).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/sound/sound_decoder.h"

#include "tools/data/mp3_encoder.h"

namespace {

// A track with some movement in it (two drifting tones), encoded at 128 kbit/s.
std::vector<unsigned char> encodeTrack(int rate, int channels, double seconds) {
    const int frames = static_cast<int>(rate * seconds);
    std::vector<std::int16_t> samples;
    samples.reserve(static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels));
    double phaseA = 0.0;
    double phaseB = 0.0;
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        phaseA += 2.0 * M_PI * (220.0 + 30.0 * std::sin(t * 0.5)) / rate;
        phaseB += 2.0 * M_PI * (660.0 + 90.0 * std::sin(t * 0.3)) / rate;
        samples.push_back(static_cast<std::int16_t>(9000.0 * std::sin(phaseA) + 4000.0 * std::sin(phaseB)));
        if (channels == 2) {
            samples.push_back(static_cast<std::int16_t>(4000.0 * std::sin(phaseA) + 9000.0 * std::sin(phaseB)));
        }
    }
    std::string error;
    return datagen::encodeMp3(samples, rate, channels, 128, error);
}

void decodeWhole(benchmark::State& state, const std::vector<unsigned char>& mp3, double seconds) {
    std::vector<std::int16_t> block(4096 * 2);
    std::size_t frames = 0;
    for (auto _ : state) {
        platform::Mp3Decoder decoder(44100);
        if (decoder.openMemory(mp3.data(), mp3.size()) != 0) {
            state.SkipWithError("the track did not open");
            return;
        }
        frames = 0;
        while (std::size_t got = decoder.read(block.data(), 4096)) frames += got;
        benchmark::DoNotOptimize(block.data());
    }
    state.counters["x_realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["frames"] = static_cast<double>(frames);
}

// The show's case: 44100 Hz stereo, 200 seconds.
void BM_DecodeTrack44100Stereo(benchmark::State& state) {
    static const std::vector<unsigned char> mp3 = encodeTrack(44100, 2, 200.0);
    decodeWhole(state, mp3, 200.0);
}
BENCHMARK(BM_DecodeTrack44100Stereo)->Unit(benchmark::kMillisecond)->UseRealTime();

// A file that needs resampling and channel conversion: 22050 Hz mono, 60 seconds.
void BM_DecodeTrack22050MonoResampled(benchmark::State& state) {
    static const std::vector<unsigned char> mp3 = encodeTrack(22050, 1, 60.0);
    decodeWhole(state, mp3, 60.0);
}
BENCHMARK(BM_DecodeTrack22050MonoResampled)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
