// Renders the data generator's sound track once for a whole test run (a CTest fixture):
// the music tests read it instead of each rendering its 204 seconds anew.
// Usage: render_test_music FILE. FILE holds the sample rate as a 32-bit integer, then
// the interleaved 16-bit stereo samples, both in this machine's byte order; it is
// written under another name and renamed, so a reader never sees half of it.
#include <cstdio>
#include <string>

#include "tools/data/music.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: render_test_music FILE\n");
        return 2;
    }
    const datagen::Pcm pcm = datagen::renderMusic();
    const std::string path = argv[1];
    const std::string partial = path + ".partial";
    std::FILE* out = std::fopen(partial.c_str(), "wb");
    if (out == nullptr) {
        std::perror(partial.c_str());
        return 1;
    }
    const std::int32_t rate = pcm.sampleRate;
    const bool written = std::fwrite(&rate, sizeof rate, 1, out) == 1 &&
                         std::fwrite(pcm.samples.data(), sizeof(std::int16_t), pcm.samples.size(), out) ==
                             pcm.samples.size();
    if (std::fclose(out) != 0 || !written || std::rename(partial.c_str(), path.c_str()) != 0) {
        std::perror(path.c_str());
        std::remove(partial.c_str());
        return 1;
    }
    std::printf("%zu frames at %d Hz in %s\n", pcm.frames(), pcm.sampleRate, path.c_str());
    return 0;
}
