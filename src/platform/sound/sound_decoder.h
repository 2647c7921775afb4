// MP3 decoding for the sound system: libmpg123 reads a file or a block of memory and
// the decoded audio is converted (SDL_AudioStream) to interleaved 16-bit stereo at the
// output rate, whatever the file's own rate and channel count. Single-threaded; the
// sound system runs one decoder per stream on that stream's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

struct mpg123_handle_struct;
struct _SDL_AudioStream;

namespace platform {

class Mp3Decoder {
public:
    // `outputRate`: frames per second of what read() gives (positive).
    explicit Mp3Decoder(int outputRate);
    ~Mp3Decoder();
    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;

    // Opens and reads up to the first frame's format. Returns 0, or an FSOUND_ERR_ code:
    // FILE_NOTFOUND (cannot be opened: missing, not allowed, or not a regular file),
    // FILE_BAD (opened but unreadable), FILE_FORMAT (no MPEG audio found), MEMORY. Open once per decoder. openMemory does not copy: the bytes must outlive
    // the decoder.
    int openFile(const char* path);
    int openMemory(const unsigned char* data, std::size_t size);

    // Writes up to `maxFrames` stereo frames to `out` (2 × maxFrames samples); returns
    // the count, 0 only at the end of the track (or when nothing is open).
    std::size_t read(std::int16_t* out, std::size_t maxFrames);

    // The file's own format as first found (0 until opened).
    long sourceRate() const { return sourceRate_; }
    int sourceChannels() const { return sourceChannels_; }

    // Reader callbacks of libmpg123 (public for its C interface only).
    struct Source {
        std::FILE* file = nullptr;
        const unsigned char* data = nullptr;
        std::size_t size = 0;
        std::size_t position = 0;
        bool readFailed = false;
    };

private:
    int openHandle();
    bool startConverter(long rate, int channels);
    void decodeSome();
    void finishConverter();

    int outputRate_;
    mpg123_handle_struct* handle_ = nullptr;
    _SDL_AudioStream* converter_ = nullptr;
    Source source_;
    long sourceRate_ = 0;
    int sourceChannels_ = 0;
    bool inputDone_ = false;
    // Converted audio of an earlier format, given out before anything newer.
    std::vector<std::int16_t> carried_;
    std::size_t carriedAt_ = 0;
};

}  // namespace platform
