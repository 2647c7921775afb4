#include "media/music_stream.h"

#include <cstdio>
#include <limits>
#include <new>

#include "platform/files/file_path.h"

namespace media {
namespace {

const SoundApi realSoundApi = {
    FSOUND_SetOutput,     FSOUND_SetDriver,   FSOUND_Init,          FSOUND_Stream_OpenFile,
    FSOUND_Stream_PlayEx, FSOUND_SetPaused,   FSOUND_Stream_Close,  FSOUND_Close,
    FSOUND_GetError,
};

const SoundApi* currentSoundApi = &realSoundApi;

constexpr int outputDirectSound = FSOUND_OUTPUT_DSOUND;
constexpr int firstDriver = 0;
constexpr int softwareChannels = 32;

}  // namespace

const SoundApi& defaultSoundApi() { return realSoundApi; }

void setSoundApi(const SoundApi* api) { currentSoundApi = api != nullptr ? api : &realSoundApi; }

const char* soundErrorText(unsigned code) {
    switch (code) {
        case 0: return "No errors";
        case 1: return "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.";
        case 2: return "This command failed because FSOUND_Init was not called";
        case 3: return "Error initializing output device.";
        case 4: return "The output device is already in use and cannot be reused.";
        case 5: return "Playing the sound failed.";
        case 6: return "Soundcard does not support the features needed for this soundsystem (16bit stereo output)";
        case 7: return "Error setting cooperative level for hardware.";
        case 8: return "Error creating hardware sound buffer.";
        case 9: return "File not found";
        case 10: return "Unknown file format";
        case 11: return "Error loading file";
        case 12: return "Not enough memory ";
        case 13: return "The version number of this file format is not supported";
        case 14: return "An invalid parameter was passed to this function";
        case 15: return "Tried to use an EAX command on a non EAX enabled channel or output.";
        case 16: return "Failed to allocate a new channel";
        case 17: return "Recording not supported on this device";
        case 18: return "Required Mediaplayer codec is not installed";
        default: return "Unknown error";
    }
}

MusicStream::MusicStream(const char* path, int mixRate, int streamFromFile)
    : api_(currentSoundApi), mixRate_(mixRate), streamFromFile_(streamFromFile) {
    api_->setOutput(outputDirectSound);
    api_->setDriver(firstDriver);
    if (!api_->init(mixRate_, softwareChannels, 0)) {
        reportError();
        return;
    }
    if (streamFromFile_ != 0) {
        stream_ = api_->streamOpenFile(path, streamFileMode, 0);
        if (stream_ == nullptr) reportError();
        return;
    }
    openFromMemory(path);
}

// Reads the whole file, then opens the stream on those bytes; the stream's result
// is not examined here (play reports a stream that did not open).
void MusicStream::openFromMemory(const char* path) {
    std::FILE* file = platform::openFile(path);
    if (file == nullptr) {
        std::printf("Error!\n");
        std::printf("File Not Found\n");
        api_->close();
        return;
    }
    // Only a regular file opens, so its size is there to be found. A size that does not
    // fit the stream's length argument, and a read that comes up short (the file shrank),
    // are load errors: the sound system never sees bytes that were not read.
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    const bool sized = size >= 0 && size <= std::numeric_limits<int>::max() && std::fseek(file, 0, SEEK_SET) == 0;
    unsigned failure = 0;
    if (!sized) {
        failure = FSOUND_ERR_FILE_BAD;
    } else {
        try {
            fileImage_.resize(static_cast<std::size_t>(size));
        } catch (const std::bad_alloc&) {
            failure = FSOUND_ERR_MEMORY;
        }
        if (failure == 0 && std::fread(fileImage_.data(), 1, fileImage_.size(), file) != fileImage_.size()) {
            failure = FSOUND_ERR_FILE_BAD;
        }
    }
    std::fclose(file);
    if (failure != 0) {
        fileImage_.clear();
        std::printf("Error!\n");
        std::printf("%s\n", soundErrorText(failure));
        api_->close();
        return;
    }
    stream_ = api_->streamOpenFile(fileImage_.data(), streamMemoryMode, static_cast<int>(fileImage_.size()));
}

MusicStream::~MusicStream() {
    api_->streamClose(stream_);
    api_->close();
    // fileImage_ goes last, once the sound system no longer plays from it.
}

void MusicStream::play() {
    channel_ = api_->streamPlayEx(FSOUND_FREE, stream_, nullptr, true);
    if (channel_ != -1) {
        api_->setPaused(channel_, false);
    } else {
        reportError();
    }
}

void MusicStream::reportError() {
    std::printf("Error!\n");
    std::printf("%s\n", soundErrorText(static_cast<unsigned>(api_->getError())));
    api_->close();
}

}  // namespace media
