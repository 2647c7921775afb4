#include "mp3_encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstring>

namespace datagen {

Bytes encodeMp3(const std::vector<std::int16_t>& samples, int sampleRate, int channels, int kbps,
                std::string& error) {
    if (channels != 1 && channels != 2) {
        error = "MP3 takes one or two channels";
        return {};
    }
    lame_global_flags* lame = lame_init();
    if (lame == nullptr) {
        error = "LAME could not be initialised";
        return {};
    }
    lame_set_in_samplerate(lame, sampleRate);
    lame_set_out_samplerate(lame, sampleRate);
    lame_set_num_channels(lame, channels);
    lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_VBR(lame, vbr_off);
    lame_set_brate(lame, kbps);
    lame_set_quality(lame, 5);
    lame_set_write_id3tag_automatic(lame, 0);
    lame_set_bWriteVbrTag(lame, 1);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        error = "LAME rejected the encoder settings";
        return {};
    }

    Bytes out;
    constexpr int kChunk = 1152 * 16;
    std::vector<unsigned char> buffer(static_cast<std::size_t>(kChunk) * 5 / 4 + 7200);
    const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
    for (std::size_t at = 0; at < frames; at += kChunk) {
        const int n = static_cast<int>(std::min<std::size_t>(kChunk, frames - at));
        short* first = const_cast<short*>(samples.data() + static_cast<std::size_t>(channels) * at);
        const int written =
            channels == 2
                ? lame_encode_buffer_interleaved(lame, first, n, buffer.data(), static_cast<int>(buffer.size()))
                : lame_encode_buffer(lame, first, nullptr, n, buffer.data(), static_cast<int>(buffer.size()));
        if (written < 0) {
            lame_close(lame);
            error = "LAME failed while encoding";
            return {};
        }
        out.insert(out.end(), buffer.begin(), buffer.begin() + written);
    }
    const int flushed = lame_encode_flush(lame, buffer.data(), static_cast<int>(buffer.size()));
    if (flushed > 0) out.insert(out.end(), buffer.begin(), buffer.begin() + flushed);

    // The first frame was written as a placeholder; now it can hold the real Info tag
    // (length, encoder delay and padding).
    std::vector<unsigned char> tag(8192);
    const std::size_t tagSize = lame_get_lametag_frame(lame, tag.data(), tag.size());
    if (tagSize > 0 && tagSize <= tag.size() && tagSize <= out.size()) {
        std::memcpy(out.data(), tag.data(), tagSize);
    }
    lame_close(lame);
    return out;
}

}  // namespace datagen
