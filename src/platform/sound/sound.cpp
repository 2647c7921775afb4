#include "platform/sound/sound.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/sound/sound_decoder.h"
#include "platform/sound/sound_ring.h"

namespace {

constexpr int minMixRate = 4000;
constexpr int maxMixRate = 192000;
constexpr int maxChannels = 256;
constexpr Uint16 deviceFrames = 1024;           // per callback: about 23 ms at 44100 Hz
constexpr std::size_t decodeFrames = 4096;      // what a decoder thread adds at a time
constexpr std::size_t mixFrames = 512;          // the callback mixes in blocks this long

}  // namespace

// One open stream: its decoder, the thread that runs it, and the ring the callback
// reads. `channel` belongs to the channel table (guarded by the device lock).
struct FSOUND_STREAM {
    explicit FSOUND_STREAM(int mixRate)
        // At least 1.5 s ahead (the ring rounds up to a power of two: about 3 s at
        // 44100 Hz), so long stalls of the decoder thread go unheard.
        : decoder(mixRate), ring(static_cast<std::size_t>(mixRate) * 3 / 2) {}

    platform::Mp3Decoder decoder;
    platform::SoundRing ring;
    std::thread worker;
    std::mutex wakeMutex;
    std::condition_variable wake;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> decodeDone{false};  // set after the decoder's last push
    int channel = -1;
};

namespace {

struct Channel {
    FSOUND_STREAM* stream = nullptr;
    bool paused = true;
};

// The sound system's one record. `apiMutex` serialises the FSOUND_ calls; `channels`
// is shared with the audio callback and changed only under SDL's device lock.
struct SoundSystem {
    std::mutex apiMutex;
    bool initialized = false;
    int outputType = FSOUND_OUTPUT_DSOUND;
    int driver = 0;
    SDL_AudioDeviceID device = 0;
    int mixRate = 0;
    std::vector<Channel> channels;
    std::set<FSOUND_STREAM*> streams;
    std::atomic<int> lastError{FSOUND_ERR_NONE};
};

// Never destroyed: a program may end with sound still playing (the show never stops
// its music), and the audio and decoder threads must not outlive the record. Ending
// the process shuts the system down first (see FSOUND_Init).
SoundSystem& soundSystem = *new SoundSystem;

template <typename Result>
Result fail(int code, Result result) {
    soundSystem.lastError.store(code);
    return result;
}

void decodeLoop(FSOUND_STREAM* stream) {
    std::vector<std::int16_t> block(decodeFrames * 2);
    while (!stream->stopRequested.load()) {
        if (stream->ring.freeFrames() < decodeFrames) {
            std::unique_lock<std::mutex> lock(stream->wakeMutex);
            stream->wake.wait_for(lock, std::chrono::milliseconds(10),
                                  [stream] { return stream->stopRequested.load(); });
            continue;
        }
        const std::size_t frames = stream->decoder.read(block.data(), decodeFrames);
        if (frames == 0) break;
        stream->ring.push(block.data(), frames);
    }
    stream->decodeDone.store(true, std::memory_order_release);
}

void stopAndFree(FSOUND_STREAM* stream) {
    {
        std::lock_guard<std::mutex> lock(stream->wakeMutex);
        stream->stopRequested.store(true);
    }
    stream->wake.notify_all();
    if (stream->worker.joinable()) stream->worker.join();
    delete stream;
}

std::int16_t saturate(std::int32_t value) {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(value, INT16_MIN, INT16_MAX));
}

// SDL's audio thread, with the device lock held: mixes every unpaused channel. A
// channel whose stream has been decoded to its end and drained is freed.
void mixCallback(void* userdata, Uint8* out, int bytes) {
    auto* system = static_cast<SoundSystem*>(userdata);
    auto* dst = reinterpret_cast<std::int16_t*>(out);
    std::size_t frames = static_cast<std::size_t>(bytes) / (2 * sizeof(std::int16_t));
    std::int32_t sum[mixFrames * 2];
    std::int16_t piece[mixFrames * 2];
    while (frames > 0) {
        const std::size_t n = std::min(frames, mixFrames);
        std::fill(sum, sum + n * 2, 0);
        for (Channel& channel : system->channels) {
            FSOUND_STREAM* stream = channel.stream;
            if (stream == nullptr || channel.paused) continue;
            const std::size_t got = stream->ring.pop(piece, n);
            for (std::size_t i = 0; i < got * 2; ++i) sum[i] += piece[i];
            if (got < n && stream->decodeDone.load(std::memory_order_acquire) && stream->ring.usedFrames() == 0) {
                stream->channel = -1;
                channel.stream = nullptr;
            }
        }
        for (std::size_t i = 0; i < n * 2; ++i) dst[i] = saturate(sum[i]);
        dst += n * 2;
        frames -= n;
    }
}

// Runs `change` on the channel table with the callback held off.
template <typename Change>
auto withChannels(Change change) {
    SDL_LockAudioDevice(soundSystem.device);
    auto result = change(soundSystem.channels);
    SDL_UnlockAudioDevice(soundSystem.device);
    return result;
}

}  // namespace

bool FSOUND_SetOutput(int outputType) {
    std::lock_guard<std::mutex> lock(soundSystem.apiMutex);
    if (soundSystem.initialized) return fail(FSOUND_ERR_BUSY, false);
    if (outputType != FSOUND_OUTPUT_DSOUND) return fail(FSOUND_ERR_INVALID_PARAM, false);
    soundSystem.outputType = outputType;
    return true;
}

bool FSOUND_SetDriver(int driver) {
    std::lock_guard<std::mutex> lock(soundSystem.apiMutex);
    if (soundSystem.initialized) return fail(FSOUND_ERR_BUSY, false);
    if (driver < 0) return fail(FSOUND_ERR_INVALID_PARAM, false);
    soundSystem.driver = driver;
    return true;
}

bool FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned /*flags*/) {
    std::lock_guard<std::mutex> lock(soundSystem.apiMutex);
    if (soundSystem.initialized) return fail(FSOUND_ERR_BUSY, false);
    if (mixRate < minMixRate || mixRate > maxMixRate || maxSoftwareChannels < 1 ||
        maxSoftwareChannels > maxChannels) {
        return fail(FSOUND_ERR_INVALID_PARAM, false);
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return fail(FSOUND_ERR_INIT, false);

    const char* deviceName = nullptr;  // driver 0: the system's default device
    if (soundSystem.driver > 0) {
        deviceName = SDL_GetAudioDeviceName(soundSystem.driver - 1, 0);
        if (deviceName == nullptr) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return fail(FSOUND_ERR_INIT, false);
        }
    }
    soundSystem.channels.assign(static_cast<std::size_t>(maxSoftwareChannels), Channel{});
    SDL_AudioSpec want{};
    want.freq = mixRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = deviceFrames;
    want.callback = mixCallback;
    want.userdata = &soundSystem;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the device really takes.
    soundSystem.device = SDL_OpenAudioDevice(deviceName, 0, &want, &have, 0);
    if (soundSystem.device == 0) {
        soundSystem.channels.clear();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return fail(FSOUND_ERR_INIT, false);
    }
    soundSystem.mixRate = mixRate;
    soundSystem.initialized = true;
    static const bool closesAtExit = std::atexit(FSOUND_Close) == 0;
    (void)closesAtExit;
    SDL_PauseAudioDevice(soundSystem.device, 0);  // silence until a channel plays
    return true;
}

void FSOUND_Close() {
    std::lock_guard<std::mutex> lock(soundSystem.apiMutex);
    if (!soundSystem.initialized) return;
    // Closing the device waits for the callback to finish; then no one reads the rings.
    SDL_CloseAudioDevice(soundSystem.device);
    soundSystem.device = 0;
    soundSystem.channels.clear();
    for (FSOUND_STREAM* stream : soundSystem.streams) stopAndFree(stream);
    soundSystem.streams.clear();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    soundSystem.initialized = false;
}

FSOUND_STREAM* FSOUND_Stream_OpenFile(const char* nameOrData, unsigned mode, int length) {
    std::lock_guard<std::mutex> lock(soundSystem.apiMutex);
    if (!soundSystem.initialized) return fail<FSOUND_STREAM*>(FSOUND_ERR_UNINITIALIZED, nullptr);
    if (nameOrData == nullptr) return fail<FSOUND_STREAM*>(FSOUND_ERR_INVALID_PARAM, nullptr);
    const bool fromMemory = (mode & FSOUND_LOADMEMORY) != 0;
    if (fromMemory && length < 0) return fail<FSOUND_STREAM*>(FSOUND_ERR_INVALID_PARAM, nullptr);

    std::unique_ptr<FSOUND_STREAM> stream;
    try {
        stream = std::make_unique<FSOUND_STREAM>(soundSystem.mixRate);
    } catch (const std::bad_alloc&) {
        return fail<FSOUND_STREAM*>(FSOUND_ERR_MEMORY, nullptr);
    }
    const int error = fromMemory
        ? stream->decoder.openMemory(reinterpret_cast<const unsigned char*>(nameOrData),
                                     static_cast<std::size_t>(length))
        : stream->decoder.openFile(nameOrData);
    if (error != 0) return fail<FSOUND_STREAM*>(error, nullptr);

    FSOUND_STREAM* raw = stream.get();
    try {
        raw->worker = std::thread(decodeLoop, raw);
        soundSystem.streams.insert(raw);
    } catch (const std::exception&) {
        if (raw->worker.joinable()) {
            stopAndFree(stream.release());
        }
        return fail<FSOUND_STREAM*>(FSOUND_ERR_MEMORY, nullptr);
    }
    return stream.release();
}

int FSOUND_Stream_PlayEx(int channel, FSOUND_STREAM* stream, FSOUND_DSPUNIT* dsp, bool startPaused) {
    std::lock_guard<std::mutex> lock(soundSystem.apiMutex);
    if (!soundSystem.initialized) return fail(FSOUND_ERR_UNINITIALIZED, -1);
    if (stream == nullptr || dsp != nullptr || soundSystem.streams.count(stream) == 0) {
        return fail(FSOUND_ERR_INVALID_PARAM, -1);
    }
    const int count = static_cast<int>(soundSystem.channels.size());
    if (channel != FSOUND_FREE && (channel < 0 || channel >= count)) return fail(FSOUND_ERR_INVALID_PARAM, -1);

    const int placed = withChannels([&](std::vector<Channel>& channels) {
        if (stream->channel >= 0) channels[static_cast<std::size_t>(stream->channel)].stream = nullptr;
        stream->channel = -1;
        int index = channel;
        if (index == FSOUND_FREE) {
            auto freeOne = std::find_if(channels.begin(), channels.end(),
                                        [](const Channel& c) { return c.stream == nullptr; });
            if (freeOne == channels.end()) return -1;
            index = static_cast<int>(freeOne - channels.begin());
        }
        Channel& target = channels[static_cast<std::size_t>(index)];
        if (target.stream != nullptr) target.stream->channel = -1;  // replaced
        target.stream = stream;
        target.paused = startPaused;
        stream->channel = index;
        return index;
    });
    if (placed < 0) return fail(FSOUND_ERR_CHANNEL_ALLOC, -1);
    return placed;
}

bool FSOUND_SetPaused(int channel, bool paused) {
    std::lock_guard<std::mutex> lock(soundSystem.apiMutex);
    if (!soundSystem.initialized) return fail(FSOUND_ERR_UNINITIALIZED, false);
    if (channel < 0 || channel >= static_cast<int>(soundSystem.channels.size())) {
        return fail(FSOUND_ERR_INVALID_PARAM, false);
    }
    return withChannels([&](std::vector<Channel>& channels) {
        channels[static_cast<std::size_t>(channel)].paused = paused;
        return true;
    });
}

bool FSOUND_Stream_Close(FSOUND_STREAM* stream) {
    std::lock_guard<std::mutex> lock(soundSystem.apiMutex);
    if (!soundSystem.initialized) return fail(FSOUND_ERR_UNINITIALIZED, false);
    if (stream == nullptr || soundSystem.streams.count(stream) == 0) return fail(FSOUND_ERR_INVALID_PARAM, false);
    withChannels([&](std::vector<Channel>& channels) {
        if (stream->channel >= 0) channels[static_cast<std::size_t>(stream->channel)].stream = nullptr;
        stream->channel = -1;
        return true;
    });
    soundSystem.streams.erase(stream);
    stopAndFree(stream);
    return true;
}

int FSOUND_GetError() { return soundSystem.lastError.load(); }
