// links: media
// The music stream's conversation with the sound system: the calls, their order and
// arguments, and the lines printed for each failure, against a recording stand-in;
// then the same failures once through the real sound system.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/music_stream.h"

namespace {

// What the stand-in answers and what it was asked.
struct Script {
    bool initResult = true;
    bool openSucceeds = true;
    int playResult = 3;
    int error = FSOUND_ERR_NONE;
    std::vector<std::string> calls;
    std::vector<char> openedBytes;  // memory mode: what the stream was given
};
Script script;
char fakeStreamStorage;
FSOUND_STREAM* const fakeStream = reinterpret_cast<FSOUND_STREAM*>(&fakeStreamStorage);

std::string streamName(FSOUND_STREAM* stream) {
    return stream == nullptr ? "null" : stream == fakeStream ? "stream" : "?";
}

const media::SoundApi recordingApi = {
    [](int output) { script.calls.push_back("SetOutput " + std::to_string(output)); return true; },
    [](int driver) { script.calls.push_back("SetDriver " + std::to_string(driver)); return true; },
    [](int rate, int channels, unsigned flags) {
        script.calls.push_back("Init " + std::to_string(rate) + " " + std::to_string(channels) + " " +
                               std::to_string(flags));
        return script.initResult;
    },
    [](const char* nameOrData, unsigned mode, int length) -> FSOUND_STREAM* {
        char hexMode[16];
        std::snprintf(hexMode, sizeof hexMode, "%#x", mode);
        const bool memory = (mode & FSOUND_LOADMEMORY) != 0;
        script.calls.push_back(std::string("Open ") + (memory ? "<memory>" : nameOrData) + " " + hexMode + " " +
                               std::to_string(length));
        if (memory && nameOrData != nullptr) script.openedBytes.assign(nameOrData, nameOrData + length);
        return script.openSucceeds ? fakeStream : nullptr;
    },
    [](int channel, FSOUND_STREAM* stream, FSOUND_DSPUNIT* dsp, bool paused) {
        script.calls.push_back("PlayEx " + std::to_string(channel) + " " + streamName(stream) + " " +
                               (dsp == nullptr ? "null" : "dsp") + " " + (paused ? "paused" : "playing"));
        return script.playResult;
    },
    [](int channel, bool paused) {
        script.calls.push_back("SetPaused " + std::to_string(channel) + " " + (paused ? "true" : "false"));
        return true;
    },
    [](FSOUND_STREAM* stream) { script.calls.push_back("StreamClose " + streamName(stream)); return true; },
    [] { script.calls.push_back("Close"); },
    [] { script.calls.push_back("GetError"); return script.error; },
};

using Calls = std::vector<std::string>;

class MusicStreamCalls : public ::testing::Test {
protected:
    void SetUp() override {
        script = Script{};
        media::setSoundApi(&recordingApi);
        char pattern[] = "/tmp/music_test_XXXXXX";
        dir_ = mkdtemp(pattern);
    }
    void TearDown() override {
        media::setSoundApi(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string writeFile(const std::string& bytes) {
        const std::string path = dir_ + "/music.mp3";
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string dir_;
};

TEST_F(MusicStreamCalls, StreamFromFileOpensPlaysAndShutsDown) {
    testing::internal::CaptureStdout();
    {
        media::MusicStream music("data\\sunmarrow.mp3", 44100, 1);
        EXPECT_EQ(script.calls, (Calls{"SetOutput 2", "SetDriver 0", "Init 44100 32 0",
                                       "Open data\\sunmarrow.mp3 0x20029 0"}));
        script.calls.clear();
        music.play();
        EXPECT_EQ(music.channel(), 3);
        EXPECT_EQ(script.calls, (Calls{"PlayEx -1 stream null paused", "SetPaused 3 false"}));
        script.calls.clear();
    }
    EXPECT_EQ(script.calls, (Calls{"StreamClose stream", "Close"}));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(MusicStreamCalls, FailedInitReportsAndOpensNothing) {
    script.initResult = false;
    script.error = FSOUND_ERR_INIT;
    testing::internal::CaptureStdout();
    {
        media::MusicStream music("data\\sunmarrow.mp3", 44100, 1);
        EXPECT_EQ(music.stream(), nullptr);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error!\nError initializing output device.\n");
    EXPECT_EQ(script.calls, (Calls{"SetOutput 2", "SetDriver 0", "Init 44100 32 0", "GetError", "Close",
                                   "StreamClose null", "Close"}));
}

TEST_F(MusicStreamCalls, MissingFileReportsTwiceWhenPlayFollows) {
    script.openSucceeds = false;
    script.playResult = -1;
    script.error = FSOUND_ERR_FILE_NOTFOUND;
    testing::internal::CaptureStdout();
    {
        media::MusicStream music("data\\sunmarrow.mp3", 44100, 1);
        script.error = FSOUND_ERR_INVALID_PARAM;
        music.play();
        EXPECT_EQ(music.channel(), -1);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error!\nFile not found\nError!\nAn invalid parameter was passed to this function\n");
    EXPECT_EQ(script.calls, (Calls{"SetOutput 2", "SetDriver 0", "Init 44100 32 0",
                                   "Open data\\sunmarrow.mp3 0x20029 0", "GetError", "Close",
                                   "PlayEx -1 null null paused", "GetError", "Close", "StreamClose null", "Close"}));
}

TEST_F(MusicStreamCalls, NoFreeChannelReportsTheCurrentError) {
    script.playResult = -1;
    script.error = FSOUND_ERR_CHANNEL_ALLOC;
    media::MusicStream music("m.mp3", 22050, 1);
    testing::internal::CaptureStdout();
    music.play();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error!\nFailed to allocate a new channel\n");
    EXPECT_EQ(script.calls.back(), "Close");
}

TEST_F(MusicStreamCalls, MemoryModeHandsOverTheWholeFile) {
    const std::string bytes = std::string("ID3\0\x01", 5) + std::string(1000, '\xff');
    const std::string path = writeFile(bytes);
    testing::internal::CaptureStdout();
    {
        media::MusicStream music(path.c_str(), 44100, 0);
        EXPECT_EQ(script.calls, (Calls{"SetOutput 2", "SetDriver 0", "Init 44100 32 0",
                                       "Open <memory> 0x28029 1005"}));
        EXPECT_EQ(std::string(script.openedBytes.begin(), script.openedBytes.end()), bytes);
        music.play();
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(script.calls.back(), "Close");
}

TEST_F(MusicStreamCalls, MemoryModeMissingFileSaysFileNotFound) {
    testing::internal::CaptureStdout();
    { media::MusicStream music((dir_ + "/absent.mp3").c_str(), 44100, 0); }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error!\nFile Not Found\n");
    EXPECT_EQ(script.calls, (Calls{"SetOutput 2", "SetDriver 0", "Init 44100 32 0", "Close", "StreamClose null",
                                   "Close"}));
}

TEST_F(MusicStreamCalls, MemoryModeTakesOnlyARegularFile) {
    // A directory, a FIFO without a writer and a link to an endless device cannot be
    // opened: reported at once, as a missing file is.
    ASSERT_EQ(mkfifo((dir_ + "/fifo.mp3").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", (dir_ + "/zero.mp3").c_str()), 0);
    for (const std::string& entry : {dir_, dir_ + "/fifo.mp3", dir_ + "/zero.mp3"}) {
        script.calls.clear();
        testing::internal::CaptureStdout();
        { media::MusicStream music(entry.c_str(), 44100, 0); }
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error!\nFile Not Found\n") << entry;
        EXPECT_EQ(script.calls, (Calls{"SetOutput 2", "SetDriver 0", "Init 44100 32 0", "Close", "StreamClose null",
                                       "Close"}));
    }
    // A file too large for the stream's length argument is not read at all.
    const std::string large = writeFile("XXXX");
    ASSERT_EQ(truncate(large.c_str(), off_t{4} << 30), 0);
    script.calls.clear();
    testing::internal::CaptureStdout();
    { media::MusicStream music(large.c_str(), 44100, 0); }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error!\nError loading file\n");
    EXPECT_EQ(script.calls.size(), 6u);
}

TEST_F(MusicStreamCalls, FailedInitInMemoryModeReadsNoFile) {
    script.initResult = false;
    script.error = FSOUND_ERR_INIT;
    testing::internal::CaptureStdout();
    { media::MusicStream music((dir_ + "/absent.mp3").c_str(), 44100, 0); }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error!\nError initializing output device.\n");
}

TEST(SoundErrorText, TextsKeepTheirExactSpelling) {
    EXPECT_STREQ(media::soundErrorText(0), "No errors");
    EXPECT_STREQ(media::soundErrorText(1), "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.");
    EXPECT_STREQ(media::soundErrorText(6),
                 "Soundcard does not support the features needed for this soundsystem (16bit stereo output)");
    EXPECT_STREQ(media::soundErrorText(9), "File not found");
    EXPECT_STREQ(media::soundErrorText(12), "Not enough memory ");
    EXPECT_STREQ(media::soundErrorText(15), "Tried to use an EAX command on a non EAX enabled channel or output.");
    EXPECT_STREQ(media::soundErrorText(18), "Required Mediaplayer codec is not installed");
    EXPECT_STREQ(media::soundErrorText(19), "Unknown error");
    EXPECT_STREQ(media::soundErrorText(0xFFFFFFFFu), "Unknown error");
}

// The real sound system behind the same failures: nothing crashes, each report names
// what really happened.
TEST(MusicStreamOnTheSoundSystem, MissingFileThenPlayReportsBothFailures) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    media::setSoundApi(nullptr);
    testing::internal::CaptureStdout();
    {
        media::MusicStream music("data\\no-such-track.mp3", 44100, 1);
        music.play();
        EXPECT_EQ(music.channel(), -1);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error!\nFile not found\nError!\nThis command failed because FSOUND_Init was not called\n");
}

TEST(MusicStreamOnTheSoundSystem, UnreadableDataInMemoryIsReportedByPlay) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    media::setSoundApi(nullptr);
    char pattern[] = "/tmp/music_test_XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const std::string path = dir + "/text.mp3";
    std::ofstream(path) << std::string(4000, 'a');
    testing::internal::CaptureStdout();
    {
        media::MusicStream music(path.c_str(), 44100, 0);
        EXPECT_EQ(music.stream(), nullptr);
        music.play();
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error!\nAn invalid parameter was passed to this function\n");
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

}  // namespace
