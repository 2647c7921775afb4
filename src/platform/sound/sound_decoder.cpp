#include "platform/sound/sound_decoder.h"

#include <SDL.h>
#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/files/file_path.h"
#include "platform/sound/sound.h"

namespace platform {
namespace {

constexpr int outputChannels = 2;
constexpr int frameBytes = outputChannels * static_cast<int>(sizeof(std::int16_t));

mpg123_ssize_t readSource(void* handle, void* buffer, std::size_t bytes) {
    auto* source = static_cast<Mp3Decoder::Source*>(handle);
    if (source->file != nullptr) {
        const std::size_t got = std::fread(buffer, 1, bytes, source->file);
        if (got < bytes && std::ferror(source->file) != 0) {
            source->readFailed = true;
            if (got == 0) return -1;
        }
        return static_cast<mpg123_ssize_t>(got);
    }
    const std::size_t left = source->size - source->position;
    const std::size_t n = std::min(bytes, left);
    if (n > 0) std::memcpy(buffer, source->data + source->position, n);
    source->position += n;
    return static_cast<mpg123_ssize_t>(n);
}

off_t seekSource(void* handle, off_t offset, int whence) {
    auto* source = static_cast<Mp3Decoder::Source*>(handle);
    if (source->file != nullptr) {
        if (fseeko(source->file, offset, whence) != 0) return -1;
        return ftello(source->file);
    }
    // Memory: positions 0..size; anything else is refused, as lseek would.
    off_t base = 0;
    if (whence == SEEK_CUR) base = static_cast<off_t>(source->position);
    else if (whence == SEEK_END) base = static_cast<off_t>(source->size);
    else if (whence != SEEK_SET) return -1;
    if ((offset > 0 && base > static_cast<off_t>(source->size) - offset) || base + offset < 0) return -1;
    source->position = static_cast<std::size_t>(base + offset);
    return static_cast<off_t>(source->position);
}

void ensureLibraryReady() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

}  // namespace

Mp3Decoder::Mp3Decoder(int outputRate) : outputRate_(outputRate > 0 ? outputRate : 44100) {}

Mp3Decoder::~Mp3Decoder() {
    if (converter_ != nullptr) SDL_FreeAudioStream(converter_);
    if (handle_ != nullptr) {
        mpg123_close(handle_);
        mpg123_delete(handle_);
    }
    if (source_.file != nullptr) std::fclose(source_.file);
}

int Mp3Decoder::openFile(const char* path) {
    if (path == nullptr) return FSOUND_ERR_INVALID_PARAM;
    if (handle_ != nullptr || source_.file != nullptr) return FSOUND_ERR_BUSY;
    // Whatever keeps the file from opening (missing, not allowed, not a regular file) is
    // the library's one code for a file it cannot open.
    source_.file = platform::openFile(path);
    if (source_.file == nullptr) return FSOUND_ERR_FILE_NOTFOUND;
    return openHandle();
}

int Mp3Decoder::openMemory(const unsigned char* data, std::size_t size) {
    if (data == nullptr) return FSOUND_ERR_INVALID_PARAM;
    if (handle_ != nullptr || source_.file != nullptr) return FSOUND_ERR_BUSY;
    source_.data = data;
    source_.size = size;
    source_.position = 0;
    return openHandle();
}

int Mp3Decoder::openHandle() {
    ensureLibraryReady();
    int error = MPG123_OK;
    handle_ = mpg123_new(nullptr, &error);
    if (handle_ == nullptr) return FSOUND_ERR_MEMORY;
    // Quiet (no messages on stderr for bad data); gapless, so encoder padding is dropped
    // and a track lasts exactly as long as what was encoded.
    mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    // Every rate and channel count, always as signed 16-bit samples.
    mpg123_format_none(handle_);
    const long* rates = nullptr;
    std::size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (std::size_t i = 0; i < rateCount; ++i) {
        mpg123_format(handle_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    }
    if (mpg123_replace_reader_handle(handle_, readSource, seekSource, nullptr) != MPG123_OK ||
        mpg123_open_handle(handle_, &source_) != MPG123_OK) {
        return source_.readFailed ? FSOUND_ERR_FILE_BAD : FSOUND_ERR_FILE_FORMAT;
    }
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
        channels < 1 || channels > 2) {
        return source_.readFailed ? FSOUND_ERR_FILE_BAD : FSOUND_ERR_FILE_FORMAT;
    }
    sourceRate_ = rate;
    sourceChannels_ = channels;
    return startConverter(rate, channels) ? 0 : FSOUND_ERR_MEMORY;
}

bool Mp3Decoder::startConverter(long rate, int channels) {
    converter_ = SDL_NewAudioStream(AUDIO_S16SYS, static_cast<Uint8>(channels), static_cast<int>(rate),
                                    AUDIO_S16SYS, outputChannels, outputRate_);
    return converter_ != nullptr;
}

// Moves what the converter still holds into carried_, so a new format can start.
void Mp3Decoder::finishConverter() {
    if (converter_ == nullptr) return;
    SDL_AudioStreamFlush(converter_);
    const int bytes = SDL_AudioStreamAvailable(converter_);
    if (bytes > 0) {
        carried_.erase(carried_.begin(), carried_.begin() + static_cast<std::ptrdiff_t>(carriedAt_));
        carriedAt_ = 0;
        const std::size_t old = carried_.size();
        carried_.resize(old + static_cast<std::size_t>(bytes) / sizeof(std::int16_t));
        const int got = SDL_AudioStreamGet(converter_, carried_.data() + old, bytes);
        carried_.resize(old + static_cast<std::size_t>(std::max(got, 0)) / sizeof(std::int16_t));
    }
    SDL_FreeAudioStream(converter_);
    converter_ = nullptr;
}

// Decodes one MPEG frame into the converter; at the end (or on data it cannot
// decode past) flushes the converter and marks the input done.
void Mp3Decoder::decodeSome() {
    off_t frameNumber = 0;
    unsigned char* audio = nullptr;
    std::size_t bytes = 0;
    const int result = mpg123_decode_frame(handle_, &frameNumber, &audio, &bytes);
    if (result == MPG123_NEW_FORMAT) {
        long rate = 0;
        int channels = 0;
        int encoding = 0;
        if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
            channels < 1 || channels > 2) {
            inputDone_ = true;
            return;
        }
        finishConverter();
        if (!startConverter(rate, channels)) inputDone_ = true;
        return;
    }
    if (result != MPG123_OK) {  // MPG123_DONE, or an error the decoder cannot pass
        if (converter_ != nullptr) SDL_AudioStreamFlush(converter_);
        inputDone_ = true;
        return;
    }
    if (bytes > 0 && converter_ != nullptr &&
        SDL_AudioStreamPut(converter_, audio, static_cast<int>(bytes)) != 0) {
        inputDone_ = true;
    }
}

std::size_t Mp3Decoder::read(std::int16_t* out, std::size_t maxFrames) {
    if (handle_ == nullptr || out == nullptr) return 0;
    std::size_t done = 0;
    while (done < maxFrames) {
        if (carriedAt_ < carried_.size()) {
            const std::size_t frames = std::min(maxFrames - done, (carried_.size() - carriedAt_) / 2);
            std::memcpy(out + done * 2, carried_.data() + carriedAt_, frames * frameBytes);
            carriedAt_ += frames * 2;
            done += frames;
            if (carried_.size() - carriedAt_ < 2) {
                carried_.clear();
                carriedAt_ = 0;
            }
            continue;
        }
        if (converter_ != nullptr) {
            const std::size_t want = std::min<std::size_t>(maxFrames - done, 1 << 16);
            const int got = SDL_AudioStreamGet(converter_, out + done * 2, static_cast<int>(want) * frameBytes);
            if (got > 0) {
                done += static_cast<std::size_t>(got) / frameBytes;
                continue;
            }
            if (got < 0) inputDone_ = true;
        }
        if (inputDone_) break;
        decodeSome();
    }
    return done;
}

}  // namespace platform
