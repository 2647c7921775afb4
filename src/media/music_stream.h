// The sound track: one MP3 file opened as a stream of the sound system and started
// once. Construction sets the sound system up and opens the stream (not playing);
// play() starts it; destruction closes the stream and the sound system. Failures are
// printed on standard output ("Error!\n" and the sound system's error text) and leave
// an object without sound; nothing here stops the show.
//
// All sound-system calls go through a table of function pointers, the real sound
// system (platform/sound/sound.h) by default; tests install a recording stand-in with
// setSoundApi.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/sound/sound.h"

namespace media {

struct SoundApi {
    bool (*setOutput)(int outputType);
    bool (*setDriver)(int driver);
    bool (*init)(int mixRate, int maxSoftwareChannels, unsigned flags);
    FSOUND_STREAM* (*streamOpenFile)(const char* nameOrData, unsigned mode, int length);
    int (*streamPlayEx)(int channel, FSOUND_STREAM* stream, FSOUND_DSPUNIT* dsp, bool startPaused);
    bool (*setPaused)(int channel, bool paused);
    bool (*streamClose)(FSOUND_STREAM* stream);
    void (*close)();
    int (*getError)();
};

// The real sound system's table.
const SoundApi& defaultSoundApi();

// The table that MusicStream objects constructed from now on use; null restores the
// real one. The table must outlive those objects.
void setSoundApi(const SoundApi* api);

// Message text of a sound-system error code; "Unknown error" above 18.
const char* soundErrorText(unsigned code);

// Open modes: play once from the file, or from the file's bytes held in memory.
constexpr unsigned streamFileMode = FSOUND_LOOP_OFF | FSOUND_8BITS | FSOUND_MONO | FSOUND_MPEGACCURATE;
constexpr unsigned streamMemoryMode = streamFileMode | FSOUND_LOADMEMORY;

class MusicStream {
public:
    // `mixRate` in Hz; `streamFromFile` nonzero streams from the path, zero reads the
    // whole file into memory first and plays from there.
    MusicStream(const char* path, int mixRate, int streamFromFile);
    ~MusicStream();
    MusicStream(const MusicStream&) = delete;
    MusicStream& operator=(const MusicStream&) = delete;

    // Puts the stream on a free channel and starts it; reports when that fails
    // (also after a failed construction, where there is no stream).
    void play();

    FSOUND_STREAM* stream() const { return stream_; }
    int channel() const { return channel_; }

private:
    void openFromMemory(const char* path);
    // Prints the report for the sound system's current error, then shuts it down.
    void reportError();

    const SoundApi* api_;
    std::int32_t mixRate_;
    FSOUND_STREAM* stream_ = nullptr;
    std::int32_t channel_ = -1;
    std::vector<char> fileImage_;
    std::int32_t streamFromFile_;
};

}  // namespace media
