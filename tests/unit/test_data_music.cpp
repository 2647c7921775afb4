// links: sunmarrow_datagen
// The synthesised sound track: its length, its loudness (peak below full scale, every
// section clearly audible), the silence of its ending, and the MP3 stream around it.
// The track takes long to render, so a test run renders it once (render_test_music,
// named by SUNMARROW_TEST_MUSIC) and every test process reads that; run by hand, the
// tests render it themselves.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/data/data_common.h"
#include "tools/data/music.h"

namespace {

using namespace datagen;

// The track as render_test_music wrote it to SUNMARROW_TEST_MUSIC, or rendered here
// when that is unset.
Pcm testMusic() {
    const char* path = std::getenv("SUNMARROW_TEST_MUSIC");
    if (path == nullptr || *path == '\0') return renderMusic();
    Pcm pcm;
    pcm.sampleRate = 0;
    std::FILE* in = std::fopen(path, "rb");
    if (in == nullptr) return pcm;  // each test then fails in SetUp
    std::int32_t rate = 0;
    if (std::fread(&rate, sizeof rate, 1, in) == 1) pcm.sampleRate = rate;
    std::int16_t block[4096];
    while (const std::size_t n = std::fread(block, sizeof block[0], 4096, in)) {
        pcm.samples.insert(pcm.samples.end(), block, block + n);
    }
    std::fclose(in);
    return pcm;
}

class DataMusic : public ::testing::Test {
protected:
    static void SetUpTestSuite() { pcm_ = new Pcm(testMusic()); }
    static void TearDownTestSuite() { delete pcm_; }
    void SetUp() override {
        const char* file = std::getenv("SUNMARROW_TEST_MUSIC");
        ASSERT_GE(pcm_->frames(), static_cast<std::size_t>(kMusicSeconds * kMusicRate))
            << "no whole track in " << (file != nullptr ? file : "the rendering");
    }

    // RMS in dBFS of both channels over [from, to) seconds.
    static double rmsDb(double from, double to) {
        const auto a = static_cast<std::size_t>(from * kMusicRate), b = static_cast<std::size_t>(to * kMusicRate);
        double sum = 0.0;
        for (std::size_t i = 2 * a; i < 2 * b; ++i) {
            const double x = pcm_->samples[i] / 32768.0;
            sum += x * x;
        }
        const double mean = sum / static_cast<double>(2 * (b - a));
        return mean > 0.0 ? 10.0 * std::log10(mean) : -200.0;
    }
    static Pcm* pcm_;
};
Pcm* DataMusic::pcm_ = nullptr;

TEST_F(DataMusic, LastsTheWholeShowAtCdRateInStereo) {
    EXPECT_EQ(pcm_->sampleRate, 44100);
    EXPECT_EQ(pcm_->frames(), 204u * 44100u);
    EXPECT_EQ(pcm_->samples.size() % 2, 0u);
}

TEST_F(DataMusic, PeaksBelowFullScale) {
    int peak = 0;
    for (std::int16_t s : pcm_->samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_LE(peak, 29300);  // -1 dBFS
    EXPECT_GE(peak, 28000);  // and normalised up to it
}

TEST_F(DataMusic, EverySectionIsClearlyAudible) {
    const double* starts = kSectionStarts;
    for (int i = 0; i < 6; ++i) {
        const double end = i < 5 ? starts[i + 1] : kMusicEnd - 2.0;
        EXPECT_GT(rmsDb(starts[i], end), -30.0) << "section " << i << " from " << starts[i];
    }
    EXPECT_GT(rmsDb(0.0, kMusicSeconds), -30.0);
}

TEST_F(DataMusic, EndsInSilenceBeforeTheShowCloses) {
    const auto from = static_cast<std::size_t>(kMusicEnd * kMusicRate) * 2;
    for (std::size_t i = from; i < pcm_->samples.size(); ++i) ASSERT_EQ(pcm_->samples[i], 0) << i;
    // The fade is audible as an ending: the last seconds are far quieter than the moon.
    EXPECT_LT(rmsDb(kMusicEnd - 0.5, kMusicEnd), rmsDb(180.0, 190.0) - 20.0);
}

TEST_F(DataMusic, SectionsTurnWithAChimeAtTheirFirstBeat) {
    // Each new section opens with a struck bell on its own pitch: that pitch is much
    // stronger in the half second after the section's start than in the one before.
    auto energyAt = [&](double frequency, double from, double to) {  // Goertzel, left channel
        const auto a = static_cast<std::size_t>(from * kMusicRate), b = static_cast<std::size_t>(to * kMusicRate);
        const double k = 2.0 * std::cos(2.0 * 3.141592653589793 * frequency / kMusicRate);
        double s1 = 0.0, s2 = 0.0;
        for (std::size_t i = a; i < b; ++i) {
            const double s0 = pcm_->samples[2 * i] + k * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        return s1 * s1 + s2 * s2 - k * s1 * s2;
    };
    for (int i = 1; i < 6; ++i) {
        const double t = kSectionStarts[i];
        const double f = midiFrequency(kSectionChimes[i]);
        EXPECT_GT(energyAt(f, t, t + 0.5), 4.0 * energyAt(f, t - 0.5, t)) << "section " << i;
    }
}

TEST(DataMusicEncoding, WritesConstantBitRateMp3WithAnInfoFrame) {
    Pcm pcm;
    pcm.samples.resize(2 * 44100);  // one second
    for (std::size_t i = 0; i < 44100; ++i) {
        const auto s = static_cast<std::int16_t>(8000.0 * std::sin(2.0 * 3.141592653589793 * 440.0 * i / 44100.0));
        pcm.samples[2 * i] = s;
        pcm.samples[2 * i + 1] = s;
    }
    std::string error;
    const Bytes mp3 = encodeMp3(pcm, error);
    ASSERT_TRUE(error.empty()) << error;
    ASSERT_GT(mp3.size(), 417u);
    // MPEG-1 layer III frame sync, 128 kbps at 44100 Hz: 417 or 418 bytes per frame.
    EXPECT_EQ(mp3[0], 0xFF);
    EXPECT_EQ(mp3[1] & 0xE0, 0xE0);
    EXPECT_EQ(mp3[2] >> 4, 0x9);  // bitrate index 9 = 128 kbps
    // The first frame carries the Info tag (constant bit rate), not audio.
    const std::string firstFrame(mp3.begin(), mp3.begin() + 417);
    EXPECT_NE(firstFrame.find("Info"), std::string::npos);
    // One second of 128 kbps: about 16000 bytes, plus the tag frame and padding.
    EXPECT_NEAR(static_cast<double>(mp3.size()), 16000.0 + 417.0 * 2.0, 1300.0);
}

}  // namespace
