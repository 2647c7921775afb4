// Any bytes as an MP3 held in memory: opened as a stream of the sound system (on the
// dummy audio device), placed on a channel, closed; and decoded a little directly.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/sound/sound.h"
#include "platform/sound/sound_decoder.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    FSOUND_Init(44100, 4, 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) return 0;
    FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(reinterpret_cast<const char*>(data),
                                                   FSOUND_LOOP_OFF | FSOUND_LOADMEMORY, static_cast<int>(size));
    if (stream != nullptr) {
        FSOUND_Stream_PlayEx(FSOUND_FREE, stream, nullptr, false);
        FSOUND_Stream_Close(stream);
    }

    platform::Mp3Decoder decoder(size % 2 == 0 ? 44100 : 32000);
    if (decoder.openMemory(data, size) == 0) {
        std::vector<std::int16_t> block(1024 * 2);
        for (int i = 0; i < 32 && decoder.read(block.data(), 1024) > 0; ++i) {
        }
    }
    return 0;
}
