#include "music.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "mp3_encoder.h"

namespace datagen {

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Oscillators run on 32-bit phase accumulators over one sine table, so the result does
// not depend on the math library beyond building the table.
constexpr int kTableBits = 12;
constexpr int kTableSize = 1 << kTableBits;

const std::array<float, kTableSize + 1>& sineTable() {
    static const std::array<float, kTableSize + 1> table = [] {
        std::array<float, kTableSize + 1> t{};
        for (int i = 0; i <= kTableSize; ++i) {
            t[static_cast<std::size_t>(i)] = static_cast<float>(std::sin(kTwoPi * i / kTableSize));
        }
        return t;
    }();
    return table;
}

inline float sine(std::uint32_t phase) {
    const auto& table = sineTable();
    const std::uint32_t index = phase >> (32 - kTableBits);
    const float frac = static_cast<float>(phase & ((1u << (32 - kTableBits)) - 1u)) * (1.0f / (1u << (32 - kTableBits)));
    const float a = table[index];
    return a + (table[index + 1] - a) * frac;
}

std::uint32_t phaseStep(double frequency) {
    return static_cast<std::uint32_t>(std::llround(frequency / kMusicRate * 4294967296.0));
}

// Phase offset (in accumulator units) of `radians`, wrapping like the accumulator.
std::uint32_t phaseOffset(double radians) {
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(std::llround(radians / kTwoPi * 4294967296.0)));
}

// The mixing buses: the dry stereo sum and a stereo send into the reverb.
struct Bus {
    std::size_t frames;
    std::vector<float> left, right, sendLeft, sendRight;
    explicit Bus(std::size_t n) : frames(n), left(n), right(n), sendLeft(n), sendRight(n) {}

    std::size_t frameAt(double seconds) const {
        const double f = std::floor(seconds * kMusicRate);
        return f <= 0.0 ? 0 : std::min(frames, static_cast<std::size_t>(f));
    }
};

struct Pan {
    float left, right;
};
Pan panGains(float pan) {  // pan -1 (left) .. 1 (right), equal power
    const double angle = (static_cast<double>(pan) + 1.0) * kTwoPi / 8.0;
    return {static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))};
}

void put(Bus& bus, std::size_t i, float sample, const Pan& pan, float send) {
    bus.left[i] += sample * pan.left;
    bus.right[i] += sample * pan.right;
    bus.sendLeft[i] += sample * pan.left * send;
    bus.sendRight[i] += sample * pan.right * send;
}

// Additive pad: a chord of notes, each the first five harmonics with falling weights, the
// lowest two doubled by a slightly detuned partner for a slow chorus. Swells in over
// `attack`, holds for `length`, dies away over a few seconds.
void addPad(Bus& bus, double start, double length, const std::vector<int>& notes, float amp, float brightness,
            float send = 0.5f) {
    const double attack = std::min(1.8, 0.45 * length);
    const double release = 2.2;
    const std::size_t first = bus.frameAt(start);
    const std::size_t last = bus.frameAt(start + length + 2.0 * release);
    for (std::size_t n = 0; n < notes.size(); ++n) {
        const float spread = notes.size() > 1 ? static_cast<float>(n) / static_cast<float>(notes.size() - 1) : 0.5f;
        const Pan pan = panGains(-0.6f + 1.2f * spread);
        const double f = midiFrequency(notes[n]);
        struct Partial {
            std::uint32_t phase, step;
            float weight;
        };
        std::vector<Partial> partials;
        float weight = 1.0f, total = 0.0f;
        for (int h = 1; h <= 5; ++h) {
            const double fh = f * h;
            if (fh > 9000.0) break;
            if (h <= 2) {
                partials.push_back({phaseOffset(0.7 * h + n), phaseStep(fh * 1.0019), weight * 0.5f});
                partials.push_back({phaseOffset(1.9 * h + n), phaseStep(fh * 0.9981), weight * 0.5f});
            } else {
                partials.push_back({phaseOffset(0.3 * h + n), phaseStep(fh), weight});
            }
            total += weight;
            weight *= brightness / static_cast<float>(h);
        }
        const float norm = amp / total;
        for (std::size_t i = first; i < last; ++i) {
            const double t = static_cast<double>(i - first) / kMusicRate;
            double env;
            if (t < attack) {
                env = smoothstep(0.0f, static_cast<float>(attack), static_cast<float>(t));
            } else if (t < length) {
                env = 1.0;
            } else {
                env = std::exp(-(t - length) * 3.0 / release) *
                      (1.0 - smoothstep(static_cast<float>(length + 1.5 * release), static_cast<float>(length + 2.0 * release),
                                        static_cast<float>(t)));
            }
            float s = 0.0f;
            for (Partial& p : partials) {
                s += p.weight * sine(p.phase);
                p.phase += p.step;
            }
            put(bus, i, s * norm * static_cast<float>(env), pan, send);
        }
    }
}

// Two-operator FM voice: plucks (ratio 1 or 2) and bells (inharmonic ratios). The
// modulation index dies away faster than the sound, so notes start bright and mellow.
void addFm(Bus& bus, double start, double note, float amp, float pan, double decay, double ratio, double index,
           float send = 0.4f) {
    const std::size_t first = bus.frameAt(start);
    const std::size_t last = bus.frameAt(start + decay * 7.0);
    const double f = midiFrequency(note);
    const std::uint32_t carrierStep = phaseStep(f);
    const std::uint32_t modulatorStep = phaseStep(f * ratio);
    std::uint32_t carrier = 0, modulator = 0;
    const Pan gains = panGains(pan);
    const double radiansToPhase = 4294967296.0 / kTwoPi;
    for (std::size_t i = first; i < last; ++i) {
        const double t = static_cast<double>(i - first) / kMusicRate;
        const double env = std::min(1.0, t / 0.004) * std::exp(-t / decay);
        const double depth = index * std::exp(-t / (decay * 0.35));
        const auto offset = static_cast<std::uint32_t>(
            static_cast<std::int64_t>(std::llround(depth * sine(modulator) * radiansToPhase)));
        put(bus, i, sine(carrier + offset) * amp * static_cast<float>(env), gains, send);
        carrier += carrierStep;
        modulator += modulatorStep;
    }
}

void addBass(Bus& bus, double start, double length, int note, float amp) {
    const std::size_t first = bus.frameAt(start);
    const std::size_t last = bus.frameAt(start + length + 0.3);
    const std::uint32_t step = phaseStep(midiFrequency(note));
    std::uint32_t phase = 0;
    const Pan centre = panGains(0.0f);
    for (std::size_t i = first; i < last; ++i) {
        const double t = static_cast<double>(i - first) / kMusicRate;
        double env = std::min(1.0, t / 0.02) * (0.6 + 0.4 * std::exp(-t / 0.4));
        if (t > length) env *= std::exp(-(t - length) / 0.07);
        const float s = sine(phase) + 0.25f * sine(phase * 2u) + 0.08f * sine(phase * 3u);
        put(bus, i, s * amp * static_cast<float>(env), centre, 0.1f);
        phase += step;
    }
}

void addKick(Bus& bus, double start, float amp) {
    const std::size_t first = bus.frameAt(start);
    const std::size_t last = bus.frameAt(start + 0.6);
    std::uint32_t phase = 0;
    const Pan centre = panGains(0.0f);
    for (std::size_t i = first; i < last; ++i) {
        const double t = static_cast<double>(i - first) / kMusicRate;
        const double f = 46.0 + 75.0 * std::exp(-t / 0.035);
        const double env = std::min(1.0, t / 0.003) * std::exp(-t / 0.16);
        put(bus, i, sine(phase) * amp * static_cast<float>(env), centre, 0.05f);
        phase += phaseStep(f);
    }
}

void addShaker(Bus& bus, double start, float amp, float pan, Random& random) {
    const std::size_t first = bus.frameAt(start);
    const std::size_t last = bus.frameAt(start + 0.25);
    const Pan gains = panGains(pan);
    float low = 0.0f;
    for (std::size_t i = first; i < last; ++i) {
        const double t = static_cast<double>(i - first) / kMusicRate;
        const float noise = random.range(-1.0f, 1.0f);
        low += (noise - low) * 0.35f;  // one-pole low-pass; its remainder is the hiss
        const double env = std::min(1.0, t / 0.006) * std::exp(-t / 0.04);
        put(bus, i, (noise - low) * amp * static_cast<float>(env), gains, 0.3f);
    }
}

// A plain stereo reverb: eight damped feedback combs and four all-passes per side.
void addReverb(Bus& bus, float wet) {
    constexpr std::array<int, 8> combLengths = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    constexpr std::array<int, 4> allpassLengths = {556, 441, 341, 225};
    constexpr float feedback = 0.84f, damping = 0.22f, inputGain = 0.015f;
    for (int side = 0; side < 2; ++side) {
        const std::vector<float>& in = side == 0 ? bus.sendLeft : bus.sendRight;
        std::vector<float>& out = side == 0 ? bus.left : bus.right;
        const int spread = side == 0 ? 0 : 23;
        std::vector<std::vector<float>> combs, allpasses;
        for (int len : combLengths) combs.emplace_back(static_cast<std::size_t>(len + spread), 0.0f);
        for (int len : allpassLengths) allpasses.emplace_back(static_cast<std::size_t>(len + spread), 0.0f);
        std::vector<std::size_t> combPos(combs.size(), 0), allpassPos(allpasses.size(), 0);
        std::vector<float> combLow(combs.size(), 0.0f);
        for (std::size_t i = 0; i < bus.frames; ++i) {
            const float input = in[i] * inputGain;
            float sum = 0.0f;
            for (std::size_t c = 0; c < combs.size(); ++c) {
                std::vector<float>& buffer = combs[c];
                const float y = buffer[combPos[c]];
                combLow[c] = y * (1.0f - damping) + combLow[c] * damping;
                buffer[combPos[c]] = input + combLow[c] * feedback;
                if (++combPos[c] == buffer.size()) combPos[c] = 0;
                sum += y;
            }
            for (std::size_t a = 0; a < allpasses.size(); ++a) {
                std::vector<float>& buffer = allpasses[a];
                const float delayed = buffer[allpassPos[a]];
                buffer[allpassPos[a]] = sum + delayed * 0.5f;
                sum = delayed - sum;
                if (++allpassPos[a] == buffer.size()) allpassPos[a] = 0;
            }
            out[i] += sum * wet;
        }
    }
}

// ---- The score -------------------------------------------------------------------

using Chord = std::vector<int>;

// Major pentatonic of D over three octaves, for melodies and bells.
int pentatonic(int degree) {
    static const int steps[] = {0, 2, 4, 7, 9};
    const int octave = degree >= 0 ? degree / 5 : (degree - 4) / 5;
    const int within = degree - octave * 5;
    return 62 + 12 * octave + steps[within];
}

// Plays `chords` one after another from `start`, each `chordSeconds` long, until `end`.
// Calls `each` with the chord, its start and its index for the section's other voices.
template <typename Each>
void progression(double start, double end, double chordSeconds, const std::vector<Chord>& chords, Each each) {
    int index = 0;
    for (double t = start; t < end - 0.01; t += chordSeconds, ++index) {
        const double length = std::min(chordSeconds, end - t);
        each(chords[static_cast<std::size_t>(index) % chords.size()], t, length, index);
    }
}

void arpeggio(Bus& bus, const Chord& chord, double start, double length, double step, float amp, double decay,
              int octaveUp) {
    static const int pattern[] = {0, 1, 2, 3, 2, 1, 3, 2};
    int k = 0;
    for (double t = start; t < start + length - 0.01; t += step, ++k) {
        const int note = chord[static_cast<std::size_t>(1 + pattern[k % 8]) % chord.size()] + 12 * octaveUp;
        addFm(bus, t, note, amp * (k % 2 == 0 ? 1.0f : 0.75f), (k % 4 < 2) ? -0.35f : 0.35f, decay, 2.0, 1.6);
    }
}

void chime(Bus& bus, double at, int note) {
    addFm(bus, at, note, 0.07f, 0.0f, 1.6, 1.4, 1.3, 0.7f);
    addFm(bus, at + 0.01, note + 7, 0.04f, 0.3f, 1.2, 3.5, 0.8, 0.7f);
}

void scoreOpening(Bus& bus, Random& random, double start, double end) {
    // First light: a low open fifth that swells from nothing.
    addPad(bus, start, 6.0, {38, 45, 50}, 0.05f, 0.5f);
    const std::vector<Chord> chords = {{50, 57, 64, 66, 69}, {43, 55, 59, 62, 66}, {47, 54, 62, 64, 69}, {45, 57, 61, 64, 69}};
    progression(6.0, end, 3.0, chords, [&](const Chord& c, double t, double len, int i) {
        addPad(bus, t, len, c, 0.045f, 0.55f);
        addBass(bus, t, len * 0.9, c[0] - 12, 0.05f + (t > 24.0 ? 0.04f : 0.0f));
        if (t >= 32.2) arpeggio(bus, c, t, len, 0.375, 0.035f, 0.35, 1);
        (void)i;
    });
    // Sparse bell melody over the meadow and the water.
    int degree = 7;
    for (double t = 14.0; t < end - 1.0; t += 0.75) {
        if (random.uniform() < 0.45f) {
            degree = std::clamp(degree + random.below(5) - 2, 4, 12);
            addFm(bus, t, pentatonic(degree), 0.045f, random.range(-0.5f, 0.5f), 1.4, 3.5, 0.9, 0.8f);
        }
    }
}

void scoreForest(Bus& bus, Random& random, double start, double end) {
    chime(bus, start, kSectionChimes[1]);
    const std::vector<Chord> chords = {{47, 54, 57, 62, 66}, {43, 50, 54, 59, 62}, {50, 57, 62, 66, 69}, {45, 52, 57, 61, 64}};
    const double beat = 0.75;
    progression(start, end, 4 * beat, chords, [&](const Chord& c, double t, double len, int) {
        addPad(bus, t, len, c, 0.04f, 0.5f);
        addBass(bus, t, 1.4, c[0] - 12, 0.10f);
        addBass(bus, t + 2.5 * beat, 0.6, c[0] - 12, 0.07f);
        arpeggio(bus, c, t, len, beat / 2.0, 0.045f, 0.4, 1);
        for (int b = 0; b < 4 && t + b * beat < end; ++b) {
            if (b % 2 == 0) addKick(bus, t + b * beat, 0.14f);
            addShaker(bus, t + b * beat + beat / 2.0, 0.030f, 0.4f, random);
            addShaker(bus, t + b * beat, 0.015f, -0.4f, random);
        }
    });
}

void scoreClouds(Bus& bus, Random& random, double start, double end) {
    chime(bus, start, kSectionChimes[2]);
    const std::vector<Chord> chords = {{55, 62, 66, 69, 71}, {54, 57, 62, 64, 69}, {52, 59, 62, 66, 71}, {57, 62, 64, 69, 74}};
    progression(start, end, 4.0, chords, [&](const Chord& c, double t, double len, int) {
        addPad(bus, t, len, c, 0.05f, 0.35f, 0.8f);
        addBass(bus, t, len * 0.8, c[0] - 24, 0.05f);
    });
    for (double t = start + 0.5; t < end - 0.5; t += 0.5) {
        if (random.uniform() < 0.35f) {
            addFm(bus, t, pentatonic(10 + random.below(6)), 0.03f, random.range(-0.8f, 0.8f), 1.0, 3.5, 0.6, 0.9f);
        }
    }
}

void scoreBird(Bus& bus, Random& random, double start, double end) {
    chime(bus, start, kSectionChimes[3]);
    const std::vector<Chord> chords = {{50, 57, 62, 66, 69}, {49, 57, 61, 64, 69}, {47, 54, 62, 66, 71}, {43, 55, 59, 62, 67}};
    const double beat = 0.625;  // 96 beats a minute: the wings beat faster
    progression(start, end, 4 * beat, chords, [&](const Chord& c, double t, double len, int) {
        addPad(bus, t, len, c, 0.038f, 0.6f);
        for (int e = 0; e < 8 && t + e * beat / 2.0 < end; ++e) {
            addBass(bus, t + e * beat / 2.0, beat * 0.35, c[0] - 12, e % 2 == 0 ? 0.09f : 0.05f);
        }
        arpeggio(bus, c, t, len, beat / 4.0, 0.036f, 0.25, 1);
        for (int b = 0; b < 4 && t + b * beat < end; ++b) {
            addKick(bus, t + b * beat, b % 2 == 0 ? 0.16f : 0.10f);
            for (int s = 0; s < 4; ++s) {
                addShaker(bus, t + b * beat + s * beat / 4.0, s == 2 ? 0.032f : 0.014f, s % 2 == 0 ? -0.3f : 0.3f, random);
            }
        }
    });
}

void scoreFlowers(Bus& bus, Random& random, double start, double end) {
    chime(bus, start, kSectionChimes[4]);
    const std::vector<Chord> chords = {{43, 55, 59, 62, 66}, {45, 54, 57, 61, 64}, {42, 54, 57, 61, 64}, {47, 54, 61, 62, 66}};
    const double beat = 0.75;
    progression(start, end, 4 * beat, chords, [&](const Chord& c, double t, double len, int i) {
        addPad(bus, t, len, c, 0.042f, 0.55f);
        addBass(bus, t, 2.0, c[0] - 12, 0.09f);
        addBass(bus, t + 3 * beat, 0.5, c[0] - 12 + 7, 0.05f);
        addKick(bus, t, 0.12f);
        for (int b = 0; b < 4 && t + b * beat + beat / 2.0 < end; ++b) {
            addShaker(bus, t + b * beat + beat / 2.0, 0.022f, 0.35f, random);
        }
        if (i % 4 >= 2) arpeggio(bus, c, t, len, beat / 2.0, 0.03f, 0.3, 2);
    });
    // A plucked tune that wanders over the pentatonic, resting now and then.
    int degree = 6;
    for (double t = start + 3.0; t < end - 2.0;) {
        const double length = random.uniform() < 0.3f ? 2 * beat : beat;
        if (random.uniform() < 0.8f) {
            degree = std::clamp(degree + random.below(5) - 2, 3, 11);
            addFm(bus, t, pentatonic(degree), 0.07f, 0.15f, 0.7, 1.0, 1.4, 0.5f);
        }
        t += length;
    }
}

void scoreMoon(Bus& bus, Random& random, double start, double end) {
    chime(bus, start, kSectionChimes[5]);
    const std::vector<Chord> chords = {{47, 54, 61, 62, 66}, {43, 50, 54, 59, 62}, {40, 52, 55, 59, 66}, {42, 54, 59, 61, 64}};
    const double finalChord = 193.0;
    progression(start, finalChord, 4.0, chords, [&](const Chord& c, double t, double len, int) {
        addPad(bus, t, len, c, 0.045f, 0.3f, 0.8f);
        addBass(bus, t, len * 0.7, c[0] - 12, 0.06f);
    });
    for (double t = start + 1.0; t < finalChord - 1.0; t += 1.0) {
        if (random.uniform() < 0.4f) {
            addFm(bus, t, pentatonic(random.below(6)), 0.05f, random.range(-0.5f, 0.5f), 1.8, 3.5, 0.7, 0.8f);
        }
    }
    // The ending: one long chord that dies away well before the show closes.
    addPad(bus, finalChord, 3.0, {38, 50, 57, 64, 66, 69}, 0.05f, 0.35f, 0.8f);
    addBass(bus, finalChord, 3.0, 38, 0.07f);
    chime(bus, finalChord, 74);
    (void)end;
}

}  // namespace

double midiFrequency(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

Pcm renderMusic() {
    const auto frames = static_cast<std::size_t>(kMusicSeconds * kMusicRate);
    Bus bus(frames);
    Random random(204, 0x5ca1e);

    const double* s = kSectionStarts;
    scoreOpening(bus, random, s[0], s[1]);
    scoreForest(bus, random, s[1], s[2]);
    scoreClouds(bus, random, s[2], s[3]);
    scoreBird(bus, random, s[3], s[4]);
    scoreFlowers(bus, random, s[4], s[5]);
    scoreMoon(bus, random, s[5], kMusicEnd);
    addReverb(bus, 0.9f);

    // Fade out to silence by kMusicEnd, whatever the reverb still holds.
    const std::size_t fadeFrom = bus.frameAt(kMusicEnd - 2.0);
    const std::size_t silentFrom = bus.frameAt(kMusicEnd);
    for (std::size_t i = fadeFrom; i < frames; ++i) {
        const float k = i >= silentFrom ? 0.0f
                                        : 1.0f - smoothstep(0.0f, 1.0f,
                                                            static_cast<float>(i - fadeFrom) /
                                                                static_cast<float>(silentFrom - fadeFrom));
        bus.left[i] *= k;
        bus.right[i] *= k;
    }

    float peak = 0.0f;
    for (std::size_t i = 0; i < frames; ++i) peak = std::max({peak, std::fabs(bus.left[i]), std::fabs(bus.right[i])});
    const float gain = peak > 0.0f ? 0.891f / peak : 1.0f;  // -1 dBFS

    Pcm pcm;
    pcm.samples.resize(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        pcm.samples[2 * i] = static_cast<std::int16_t>(std::lround(bus.left[i] * gain * 32767.0f));
        pcm.samples[2 * i + 1] = static_cast<std::int16_t>(std::lround(bus.right[i] * gain * 32767.0f));
    }
    return pcm;
}

Bytes encodeMp3(const Pcm& pcm, std::string& error) {
    return encodeMp3(pcm.samples, pcm.sampleRate, 2, 128, error);
}

}  // namespace datagen
