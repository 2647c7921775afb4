// The sound system: a small library with the call shapes and error codes that the
// music code expects (FSOUND_ names, integer error codes 0..18). It plays MP3 streams
// once through SDL's audio device at the mixing rate given to FSOUND_Init, as 16-bit
// stereo. Each open stream is decoded ahead by a thread of its own into a ring of 1.5
// to 3 seconds; SDL's audio callback mixes the playing channels from those rings and
// never waits on a file. A file at another sample rate or channel count is converted
// to the mixing rate, so it keeps its pitch and duration.
//
// Calls are meant for one thread (the caller's); they are serialised all the same.
// Every failure returns false / null / -1 and leaves its code for FSOUND_GetError.
//
// This header is the sound room's: these calls, their mixing and SDL's audio device are
// sound.cpp; sound_decoder.h turns an MP3 into 16-bit stereo at the output rate, and
// sound_ring.h hands it from a stream's decoder thread to the audio callback.
//
// Needs: libmpg123, SDL2's audio (never its video), and platform_files to open files
//   by the show's one rule (platform/files/file_path.h).
// Leaves: between FSOUND_Init and FSOUND_Close, SDL's audio thread and one decoder
//   thread per open stream; FSOUND_Close ends them all.
// Tested by: tests/unit/test_sound.cpp (ring, decoder and calls on SDL's dummy and
//   disk audio drivers), tests/unit/test_music_stream.cpp (through media's music
//   stream), tests/fuzz/fuzz_sound_open.cpp, bench/bench_sound.cpp (decoder speed).
#pragma once

// Opaque handles. No DSP units exist in this layer: the DSP argument must be null.
struct FSOUND_STREAM;
struct FSOUND_DSPUNIT;

// Error codes, as FSOUND_GetError reports them.
enum FSOUND_ERRORS {
    FSOUND_ERR_NONE = 0,
    FSOUND_ERR_BUSY = 1,               // a set-up call after FSOUND_Init
    FSOUND_ERR_UNINITIALIZED = 2,      // a call before FSOUND_Init (or after FSOUND_Close)
    FSOUND_ERR_INIT = 3,               // no audio device could be opened
    FSOUND_ERR_ALLOCATED = 4,
    FSOUND_ERR_PLAY = 5,
    FSOUND_ERR_OUTPUT_FORMAT = 6,
    FSOUND_ERR_COOPERATIVELEVEL = 7,
    FSOUND_ERR_CREATEBUFFER = 8,
    FSOUND_ERR_FILE_NOTFOUND = 9,
    FSOUND_ERR_FILE_FORMAT = 10,       // the data is not MPEG audio
    FSOUND_ERR_FILE_BAD = 11,          // the file opened but could not be read
    FSOUND_ERR_MEMORY = 12,
    FSOUND_ERR_VERSION = 13,
    FSOUND_ERR_INVALID_PARAM = 14,     // null stream, bad channel, bad size, ...
    FSOUND_ERR_NO_EAX = 15,
    FSOUND_ERR_CHANNEL_ALLOC = 16,     // every channel is taken
    FSOUND_ERR_RECORD = 17,
    FSOUND_ERR_MEDIAPLAYER = 18,
};

// Outputs. The system's audio device (through SDL) is the only one there is.
constexpr int FSOUND_OUTPUT_DSOUND = 2;

// Channel argument of FSOUND_Stream_PlayEx: the first free channel.
constexpr int FSOUND_FREE = -1;

// Stream open modes. A stream always plays once; the sample-format bits describe raw
// sample data and do not change how an MP3 decodes (its own rate and channel count are
// converted to the output's). FSOUND_LOADMEMORY: the first argument of
// FSOUND_Stream_OpenFile is the file's bytes, not a path.
constexpr unsigned FSOUND_LOOP_OFF = 0x00000001;
constexpr unsigned FSOUND_8BITS = 0x00000008;
constexpr unsigned FSOUND_MONO = 0x00000020;
constexpr unsigned FSOUND_LOADMEMORY = 0x00008000;
constexpr unsigned FSOUND_MPEGACCURATE = 0x00020000;

// Before FSOUND_Init only (else FSOUND_ERR_BUSY). Output FSOUND_OUTPUT_DSOUND; driver 0
// is the system's default device, driver n > 0 the n-th device that SDL lists.
bool FSOUND_SetOutput(int outputType);
bool FSOUND_SetDriver(int driver);

// Opens the audio device at `mixRate` Hz (4000..192000) with `maxSoftwareChannels`
// channels (1..256). Flags are accepted and ignored. FSOUND_ERR_INIT when no device.
bool FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned flags);

// Shuts down: stops output, closes every stream still open (their handles become
// invalid) and releases the device. Harmless when not initialised.
void FSOUND_Close();

// Opens an MP3 stream, not yet playing. Path mode: `nameOrData` is a path (backslashes
// allowed), `length` is ignored. FSOUND_LOADMEMORY: `nameOrData` points at `length`
// bytes that must stay valid and unchanged until FSOUND_Stream_Close or FSOUND_Close.
FSOUND_STREAM* FSOUND_Stream_OpenFile(const char* nameOrData, unsigned mode, int length);

// Places `stream` on `channel` (0..maxSoftwareChannels-1, or FSOUND_FREE), paused or
// playing. Returns the channel number, or -1. A stream is on one channel at most:
// placing it again moves it. A stream that has played to its end stays silent.
int FSOUND_Stream_PlayEx(int channel, FSOUND_STREAM* stream, FSOUND_DSPUNIT* dsp, bool startPaused);

// Pauses or resumes whatever plays on `channel`.
bool FSOUND_SetPaused(int channel, bool paused);

// Stops and frees a stream. An unknown or already closed handle is refused
// (FSOUND_ERR_INVALID_PARAM) without being touched.
bool FSOUND_Stream_Close(FSOUND_STREAM* stream);

// The code of the last failure (not reset by later successes).
int FSOUND_GetError();
