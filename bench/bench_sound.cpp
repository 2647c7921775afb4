// The sound system's decoder on a whole track: MP3 decoding plus conversion to 16-bit
// stereo at 44100 Hz, on one thread. The counter "x_realtime" is seconds of audio per
// second of work; the show's track needs far more than 1 to leave the render thread
// its core (the target is 100).
#include <benchmark/benchmark.h>
#include <lame/lame.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/sound/sound_decoder.h"

namespace {

// A track with some movement in it (two drifting tones), encoded at 128 kbit/s.
std::vector<unsigned char> encodeTrack(int rate, int channels, double seconds) {
    lame_t lame = lame_init();
    lame_set_in_samplerate(lame, rate);
    lame_set_out_samplerate(lame, rate);
    lame_set_num_channels(lame, channels);
    lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(lame, 128);
    lame_set_quality(lame, 7);
    lame_set_write_id3tag_automatic(lame, 0);
    lame_init_params(lame);
    const int frames = static_cast<int>(rate * seconds);
    std::vector<unsigned char> mp3;
    std::vector<short> left(8192);
    std::vector<short> right(8192);
    std::vector<unsigned char> out(8192 * 5 / 4 + 7200);
    double phaseA = 0.0;
    double phaseB = 0.0;
    for (int start = 0; start < frames; start += 8192) {
        const int n = std::min(8192, frames - start);
        for (int i = 0; i < n; ++i) {
            const double t = static_cast<double>(start + i) / rate;
            phaseA += 2.0 * M_PI * (220.0 + 30.0 * std::sin(t * 0.5)) / rate;
            phaseB += 2.0 * M_PI * (660.0 + 90.0 * std::sin(t * 0.3)) / rate;
            left[static_cast<std::size_t>(i)] = static_cast<short>(9000.0 * std::sin(phaseA) + 4000.0 * std::sin(phaseB));
            right[static_cast<std::size_t>(i)] = static_cast<short>(4000.0 * std::sin(phaseA) + 9000.0 * std::sin(phaseB));
        }
        const int bytes = lame_encode_buffer(lame, left.data(), channels == 2 ? right.data() : nullptr, n,
                                             out.data(), static_cast<int>(out.size()));
        mp3.insert(mp3.end(), out.begin(), out.begin() + std::max(bytes, 0));
    }
    const int bytes = lame_encode_flush(lame, out.data(), static_cast<int>(out.size()));
    mp3.insert(mp3.end(), out.begin(), out.begin() + std::max(bytes, 0));
    lame_close(lame);
    return mp3;
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
