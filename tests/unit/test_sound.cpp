// links: media sound sunmarrow_datagen
// The sound system: the decoder-to-callback ring, every failure code (with its text),
// shutdown at awkward moments, and what really comes out of the device. The output
// checks run on SDL's disk driver, which writes the mixed audio to a file: a tone made
// here with libmp3lame must come out once, at the right length and pitch, only after
// the channel is unpaused, at 44100 Hz whatever the file's own rate.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <cstring>
#include <iterator>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "media/music_stream.h"
#include "platform/sound/sound.h"
#include "platform/sound/sound_decoder.h"
#include "platform/sound/sound_ring.h"

#include "tools/data/mp3_encoder.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// An MP3 of a sine tone at half scale (the same on both channels), with the encoder's
// tag frame in front so that a gapless decoder drops the encoder's delay and padding.
std::vector<unsigned char> encodeTone(int rate, int channels, double hz, double seconds) {
    const int frames = static_cast<int>(std::lround(rate * seconds));
    std::vector<std::int16_t> samples;
    samples.reserve(static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels));
    for (int i = 0; i < frames; ++i) {
        const auto s = static_cast<std::int16_t>(std::lround(16384.0 * std::sin(2.0 * kPi * hz * i / rate)));
        samples.insert(samples.end(), static_cast<std::size_t>(channels), s);
    }
    std::string error;
    return datagen::encodeMp3(samples, rate, channels, 128, error);
}

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/sound_test_XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::string write(const std::string& name, const std::vector<unsigned char>& bytes) const {
        std::ofstream(file(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                          static_cast<std::streamsize>(bytes.size()));
        return file(name);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Sets environment variables for one test and puts the old values back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        const char* old = std::getenv(name);
        hadOld_ = old != nullptr;
        if (hadOld_) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (hadOld_) setenv(name_, old_.c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

void expectError(int code, const char* text) {
    EXPECT_EQ(FSOUND_GetError(), code);
    EXPECT_STREQ(media::soundErrorText(static_cast<unsigned>(FSOUND_GetError())), text);
}

// Every test starts and ends with the sound system shut, on the silent dummy device.
class SoundSystem : public ::testing::Test {
protected:
    void SetUp() override { FSOUND_Close(); }
    void TearDown() override { FSOUND_Close(); }
    ScopedEnv driver_{"SDL_AUDIODRIVER", "dummy"};
    TempDir dir_;
};

TEST(SoundRing, KeepsOrderAcrossTheWrapAndStopsAtCapacity) {
    platform::SoundRing ring(5);
    ASSERT_EQ(ring.capacity(), 8u);
    // Frame f holds the samples (f, -f).
    std::int16_t next = 0;
    std::int16_t expected = 0;
    auto push = [&](std::size_t frames) {
        std::vector<std::int16_t> in;
        for (std::size_t i = 0; i < frames; ++i) in.insert(in.end(), {static_cast<std::int16_t>(next + i), static_cast<std::int16_t>(-(next + i))});
        const std::size_t taken = ring.push(in.data(), frames);
        next = static_cast<std::int16_t>(next + taken);
        return taken;
    };
    auto pop = [&](std::size_t frames) {
        std::vector<std::int16_t> out(frames * 2 + 2, 999);
        const std::size_t given = ring.pop(out.data(), frames);
        for (std::size_t i = 0; i < given; ++i, ++expected) {
            EXPECT_EQ(out[i * 2], expected);
            EXPECT_EQ(out[i * 2 + 1], -expected);
        }
        EXPECT_EQ(out[given * 2], 999) << "pop wrote past what it gave";
        return given;
    };
    EXPECT_EQ(push(6), 6u);
    EXPECT_EQ(pop(4), 4u);
    EXPECT_EQ(push(8), 6u);  // wraps at the end of the storage; only 6 fit
    EXPECT_EQ(ring.freeFrames(), 0u);
    EXPECT_EQ(push(1), 0u);
    EXPECT_EQ(pop(9), 8u);
    EXPECT_EQ(pop(1), 0u);
    EXPECT_EQ(push(7), 7u);
    EXPECT_EQ(pop(7), 7u);
}

TEST_F(SoundSystem, CallsBeforeInitAreRefused) {
    EXPECT_EQ(FSOUND_Stream_OpenFile("x.mp3", media::streamFileMode, 0), nullptr);
    expectError(FSOUND_ERR_UNINITIALIZED, "This command failed because FSOUND_Init was not called");
    EXPECT_EQ(FSOUND_Stream_PlayEx(FSOUND_FREE, nullptr, nullptr, true), -1);
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_UNINITIALIZED);
    EXPECT_FALSE(FSOUND_SetPaused(0, false));
    EXPECT_FALSE(FSOUND_Stream_Close(nullptr));
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_UNINITIALIZED);
}

TEST_F(SoundSystem, SetUpCallsFollowTheirRules) {
    EXPECT_FALSE(FSOUND_SetOutput(7));
    expectError(FSOUND_ERR_INVALID_PARAM, "An invalid parameter was passed to this function");
    EXPECT_FALSE(FSOUND_SetDriver(-1));
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_INVALID_PARAM);
    EXPECT_FALSE(FSOUND_Init(0, 32, 0));
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_INVALID_PARAM);
    EXPECT_FALSE(FSOUND_Init(44100, 0, 0));

    EXPECT_TRUE(FSOUND_SetOutput(FSOUND_OUTPUT_DSOUND));
    EXPECT_TRUE(FSOUND_SetDriver(0));
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    EXPECT_FALSE(FSOUND_Init(44100, 32, 0));
    expectError(FSOUND_ERR_BUSY, "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.");
    EXPECT_FALSE(FSOUND_SetOutput(FSOUND_OUTPUT_DSOUND));
    EXPECT_FALSE(FSOUND_SetDriver(0));
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_BUSY);

    // Shut and opened again: the system starts over.
    FSOUND_Close();
    EXPECT_TRUE(FSOUND_Init(22050, 1, 0));
}

TEST_F(SoundSystem, NoAudioDeviceFailsInit) {
    {
        ScopedEnv missing("SDL_AUDIODRIVER", "no-such-audio-driver");
        EXPECT_FALSE(FSOUND_Init(44100, 32, 0));
        expectError(FSOUND_ERR_INIT, "Error initializing output device.");
    }
    ASSERT_TRUE(FSOUND_SetDriver(99));
    EXPECT_FALSE(FSOUND_Init(44100, 32, 0));
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_INIT);
    // A failed Init leaves nothing half open.
    EXPECT_EQ(FSOUND_Stream_OpenFile("x.mp3", media::streamFileMode, 0), nullptr);
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_UNINITIALIZED);
    ASSERT_TRUE(FSOUND_SetDriver(0));
}

TEST_F(SoundSystem, FilesThatCannotBePlayedAreNamed) {
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    EXPECT_EQ(FSOUND_Stream_OpenFile(dir_.file("absent.mp3").c_str(), media::streamFileMode, 0), nullptr);
    expectError(FSOUND_ERR_FILE_NOTFOUND, "File not found");

    std::vector<unsigned char> text(3000, 'x');
    const std::string textPath = dir_.write("notes.mp3", text);
    EXPECT_EQ(FSOUND_Stream_OpenFile(textPath.c_str(), media::streamFileMode, 0), nullptr);
    expectError(FSOUND_ERR_FILE_FORMAT, "Unknown file format");
    const std::vector<unsigned char> empty;
    EXPECT_EQ(FSOUND_Stream_OpenFile(dir_.write("empty.mp3", empty).c_str(), media::streamFileMode, 0), nullptr);
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_FILE_FORMAT);
    EXPECT_EQ(FSOUND_Stream_OpenFile(reinterpret_cast<const char*>(text.data()), media::streamMemoryMode,
                                     static_cast<int>(text.size())),
              nullptr);
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_FILE_FORMAT);

    // Anything that is not a regular file cannot be opened, and opening never waits: a
    // directory, a FIFO without a writer, a link to an endless device.
    ASSERT_EQ(mkfifo(dir_.file("fifo.mp3").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", dir_.file("zero.mp3").c_str()), 0);
    for (const std::string& entry : {dir_.path(), dir_.file("fifo.mp3"), dir_.file("zero.mp3")}) {
        EXPECT_EQ(FSOUND_Stream_OpenFile(entry.c_str(), media::streamFileMode, 0), nullptr) << entry;
        expectError(FSOUND_ERR_FILE_NOTFOUND, "File not found");
    }
    // Large files of no MPEG audio are given up on after their first bytes.
    for (const char* head : {"", "XXXX"}) {
        const std::string path = dir_.write("large.mp3", std::vector<unsigned char>(head, head + std::strlen(head)));
        ASSERT_EQ(truncate(path.c_str(), off_t{4} << 30), 0);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(FSOUND_Stream_OpenFile(path.c_str(), media::streamFileMode, 0), nullptr);
        expectError(FSOUND_ERR_FILE_FORMAT, "Unknown file format");
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << head;
    }

    EXPECT_EQ(FSOUND_Stream_OpenFile(nullptr, media::streamFileMode, 0), nullptr);
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_INVALID_PARAM);
    EXPECT_EQ(FSOUND_Stream_OpenFile("abc", media::streamMemoryMode, -1), nullptr);
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_INVALID_PARAM);
}

TEST_F(SoundSystem, BackslashPathsOpen) {
    const std::string path = dir_.write("tone.mp3", encodeTone(44100, 1, 440.0, 0.1));
    std::string windowsStyle = path;
    for (char& c : windowsStyle) if (c == '/') c = '\\';
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(windowsStyle.c_str(), media::streamFileMode, 0);
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(FSOUND_Stream_Close(stream));
}

TEST_F(SoundSystem, ChannelsAndStreamsAreChecked) {
    const std::vector<unsigned char> mp3 = encodeTone(44100, 2, 440.0, 0.2);
    const std::string path = dir_.write("tone.mp3", mp3);
    ASSERT_TRUE(FSOUND_Init(44100, 1, 0));
    FSOUND_STREAM* first = FSOUND_Stream_OpenFile(path.c_str(), media::streamFileMode, 0);
    FSOUND_STREAM* second = FSOUND_Stream_OpenFile(reinterpret_cast<const char*>(mp3.data()),
                                                   media::streamMemoryMode, static_cast<int>(mp3.size()));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);

    EXPECT_EQ(FSOUND_Stream_PlayEx(FSOUND_FREE, nullptr, nullptr, true), -1);
    expectError(FSOUND_ERR_INVALID_PARAM, "An invalid parameter was passed to this function");
    EXPECT_EQ(FSOUND_Stream_PlayEx(1, first, nullptr, true), -1);
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_INVALID_PARAM);
    EXPECT_EQ(FSOUND_Stream_PlayEx(FSOUND_FREE, first, reinterpret_cast<FSOUND_DSPUNIT*>(first), true), -1);
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_INVALID_PARAM);
    EXPECT_FALSE(FSOUND_SetPaused(1, false));
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_INVALID_PARAM);

    EXPECT_EQ(FSOUND_Stream_PlayEx(FSOUND_FREE, first, nullptr, true), 0);
    EXPECT_EQ(FSOUND_Stream_PlayEx(FSOUND_FREE, second, nullptr, true), -1);
    expectError(FSOUND_ERR_CHANNEL_ALLOC, "Failed to allocate a new channel");
    // The same stream placed again moves rather than taking a second channel.
    EXPECT_EQ(FSOUND_Stream_PlayEx(FSOUND_FREE, first, nullptr, false), 0);
    // Closing a stream frees its channel.
    EXPECT_TRUE(FSOUND_Stream_Close(first));
    EXPECT_FALSE(FSOUND_Stream_Close(first));
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_INVALID_PARAM);
    EXPECT_EQ(FSOUND_Stream_PlayEx(FSOUND_FREE, second, nullptr, false), 0);
    FSOUND_Close();  // before the bytes that `second` plays from go away
}

TEST_F(SoundSystem, ShutdownWhilePlayingInvalidatesHandles) {
    const std::string path = dir_.write("tone.mp3", encodeTone(44100, 2, 440.0, 5.0));
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    FSOUND_STREAM* playing = FSOUND_Stream_OpenFile(path.c_str(), media::streamFileMode, 0);
    FSOUND_STREAM* idle = FSOUND_Stream_OpenFile(path.c_str(), media::streamFileMode, 0);
    ASSERT_NE(playing, nullptr);
    ASSERT_NE(idle, nullptr);
    const int channel = FSOUND_Stream_PlayEx(FSOUND_FREE, playing, nullptr, true);
    ASSERT_GE(channel, 0);
    EXPECT_TRUE(FSOUND_SetPaused(channel, false));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    FSOUND_Close();  // both decoders are still at work: their rings hold 3 s of 5 s
    FSOUND_Close();
    // The streams went with the system; their handles are refused, not followed.
    EXPECT_FALSE(FSOUND_Stream_Close(playing));
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_UNINITIALIZED);
    EXPECT_EQ(FSOUND_Stream_PlayEx(FSOUND_FREE, idle, nullptr, true), -1);
    EXPECT_FALSE(FSOUND_SetPaused(channel, true));
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    EXPECT_FALSE(FSOUND_Stream_Close(idle));
    EXPECT_EQ(FSOUND_GetError(), FSOUND_ERR_INVALID_PARAM);
}

TEST(Mp3Decoder, ConvertsToStereoAtTheOutputRate) {
    const std::vector<unsigned char> mp3 = encodeTone(22050, 1, 1000.0, 0.5);
    platform::Mp3Decoder decoder(44100);
    ASSERT_EQ(decoder.openMemory(mp3.data(), mp3.size()), 0);
    EXPECT_EQ(decoder.sourceRate(), 22050);
    EXPECT_EQ(decoder.sourceChannels(), 1);
    std::vector<std::int16_t> pcm;
    std::int16_t block[2 * 1000];
    while (std::size_t frames = decoder.read(block, 1000)) pcm.insert(pcm.end(), block, block + frames * 2);
    EXPECT_EQ(decoder.read(block, 1000), 0u);
    // 0.5 s at the output rate (gapless: no encoder delay or padding), within
    // what the resampler's filter may hold back.
    EXPECT_NEAR(static_cast<double>(pcm.size() / 2), 22050.0, 100.0);
    int differing = 0;
    for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) differing += pcm[i] != pcm[i + 1];
    EXPECT_EQ(differing, 0) << "a mono file plays the same on both sides";
}

// --- What the device plays (SDL's disk driver) ---

constexpr int kMixRate = 44100;
constexpr long kFrameBytes = 4;  // 16-bit stereo

long fileSize(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : 0;
}

struct Played {
    std::vector<std::int16_t> pcm;  // interleaved stereo at kMixRate
    long bytesBeforeUnpause = 0;    // written while the stream was open, then paused
    long bytesAfterUnpause = 0;
};

// The device's file size once it has written at least `bytes` more than `from` (the
// device plays on, silence included, so this is the sign that it has mixed what was
// asked of it by then); waits at most 10 s.
long sizeAfterDeviceWrote(const std::string& output, long from, long bytes) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    long size = fileSize(output);
    while (size < from + bytes && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        size = fileSize(output);
    }
    return size;
}

// Opens the tone, lets the device play 32 buffers, places it paused, 32 more buffers,
// unpauses and records until the tone plus some silence has been written. False when
// the disk driver is missing.
bool playThroughDisk(const TempDir& dir, const std::vector<unsigned char>& mp3, bool fromMemory, double seconds,
                     Played& played) {
    const std::string output = dir.file("device.raw");
    ScopedEnv driver("SDL_AUDIODRIVER", "disk");
    ScopedEnv file("SDL_DISKAUDIOFILE", output);
    ScopedEnv delay("SDL_DISKAUDIODELAY", "5");  // a 1024-frame buffer every 5 ms: about 4.6× real time
    if (!FSOUND_Init(kMixRate, 32, 0)) return false;
    const std::string path = dir.write("tone.mp3", mp3);
    FSOUND_STREAM* stream = fromMemory
        ? FSOUND_Stream_OpenFile(reinterpret_cast<const char*>(mp3.data()), media::streamMemoryMode,
                                 static_cast<int>(mp3.size()))
        : FSOUND_Stream_OpenFile(path.c_str(), media::streamFileMode, 0);
    EXPECT_NE(stream, nullptr);
    constexpr long kBuffers = 32 * 4096;  // 1024-frame device buffers
    sizeAfterDeviceWrote(output, fileSize(output), kBuffers);
    const int channel = FSOUND_Stream_PlayEx(FSOUND_FREE, stream, nullptr, true);
    EXPECT_GE(channel, 0);
    played.bytesBeforeUnpause = sizeAfterDeviceWrote(output, fileSize(output), kBuffers);
    EXPECT_TRUE(FSOUND_SetPaused(channel, false));
    played.bytesAfterUnpause = fileSize(output);
    const long wanted = played.bytesAfterUnpause + static_cast<long>((seconds + 0.6) * kMixRate) * kFrameBytes;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (fileSize(output) < wanted && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    FSOUND_Close();
    std::ifstream in(output, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    played.pcm.resize(bytes.size() / sizeof(std::int16_t));
    std::memcpy(played.pcm.data(), bytes.data(), played.pcm.size() * sizeof(std::int16_t));
    return true;
}

struct Tone {
    long firstFrame = -1;  // first and last frame louder than a quarter of the tone's level
    long lastFrame = -1;
    double seconds = 0.0;
    double hz = 0.0;        // from the zero crossings between them
    long trailingFrames = 0;
    bool silentAfter = true;  // every sample 10 ms past the tone's end is exactly zero
};

Tone measure(const std::vector<std::int16_t>& pcm, int side) {
    Tone tone;
    const long frames = static_cast<long>(pcm.size() / 2);
    auto at = [&](long frame) { return pcm[static_cast<std::size_t>(frame * 2 + side)]; };
    for (long i = 0; i < frames; ++i) {
        if (std::abs(at(i)) > 4000) {
            if (tone.firstFrame < 0) tone.firstFrame = i;
            tone.lastFrame = i;
        }
    }
    if (tone.firstFrame < 0) return tone;
    tone.seconds = static_cast<double>(tone.lastFrame - tone.firstFrame + 1) / kMixRate;
    int crossings = 0;
    for (long i = tone.firstFrame + 1; i <= tone.lastFrame; ++i) crossings += (at(i - 1) < 0) != (at(i) < 0);
    tone.hz = crossings / 2.0 / tone.seconds;
    tone.trailingFrames = frames - 1 - tone.lastFrame;
    for (long i = tone.lastFrame + kMixRate / 100; i < frames; ++i) tone.silentAfter = tone.silentAfter && at(i) == 0;
    return tone;
}

TEST_F(SoundSystem, PlaysAToneOnceAtItsPitchFromUnpause) {
    Played played;
    if (!playThroughDisk(dir_, encodeTone(44100, 2, 440.0, 1.2), false, 1.2, played)) {
        GTEST_SKIP() << "SDL's disk audio driver is not available";
    }
    for (int side = 0; side < 2; ++side) {
        const Tone tone = measure(played.pcm, side);
        ASSERT_GE(tone.firstFrame, 0) << "nothing was played";
        EXPECT_NEAR(tone.seconds, 1.2, 1.2 * 0.02);
        EXPECT_NEAR(tone.hz, 440.0, 440.0 * 0.02);
        EXPECT_TRUE(tone.silentAfter);
        EXPECT_GT(tone.trailingFrames, kMixRate / 4) << "the recording ended before the silence";
        // Nothing came out while the stream was open or placed paused (the device's
        // file is written through a stdio buffer, hence the slack of a few KiB).
        EXPECT_GE(tone.firstFrame * kFrameBytes, played.bytesBeforeUnpause - 16384);
        // ...and it started as soon as it was unpaused (within a few device buffers).
        EXPECT_LE(tone.firstFrame * kFrameBytes, played.bytesAfterUnpause + 8 * 4096 + 16384);
    }
}

TEST_F(SoundSystem, PlaysAHalfRateMonoToneFromMemoryAtTheMixingRate) {
    Played played;
    if (!playThroughDisk(dir_, encodeTone(22050, 1, 440.0, 0.8), true, 0.8, played)) {
        GTEST_SKIP() << "SDL's disk audio driver is not available";
    }
    for (int side = 0; side < 2; ++side) {
        const Tone tone = measure(played.pcm, side);
        ASSERT_GE(tone.firstFrame, 0) << "nothing was played";
        EXPECT_NEAR(tone.seconds, 0.8, 0.8 * 0.02);
        EXPECT_NEAR(tone.hz, 440.0, 440.0 * 0.02);
        EXPECT_TRUE(tone.silentAfter);
    }
}

}  // namespace
