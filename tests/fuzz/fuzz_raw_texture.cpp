// Raw texture files of any content and length, with any width, height and kind
// (negative, zero, overflowing, unknown), through construction and upload on an
// offscreen GL context. Input: width code, height code, kind code, then the file.
#include <GL/gl.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "media/raw_texture.h"
#include "platform/desktop/offscreen_gl.h"

namespace {

// Mostly small sizes that upload quickly; the top codes are the absurd ones.
int sizeOf(std::uint8_t code) {
    switch (code) {
        case 0xFF: return INT_MAX;
        case 0xFE: return INT_MIN;
        case 0xFD: return 65536;
        case 0xFC: return 46341;  // 46341² passes 2^31
        case 0xFB: return -1;
        default: return code % 70;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One context for the whole run, made on the first input and never torn down.
    static const platform::OffscreenGl* const context = new platform::OffscreenGl(64, 64, "fuzz");
    static const std::string path = "/tmp/fuzz_raw_texture_" + std::to_string(getpid()) + ".raw";
    (void)context;
    if (size < 3) return 0;
    const int width = sizeOf(data[0]);
    const int height = sizeOf(data[1]);
    const int kind = static_cast<std::int8_t>(data[2]) % 5;  // -4..4, mostly 0..2
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(data + 3, 1, size - 3, file);
    std::fclose(file);
    {
        media::RawTexture texture(path.c_str(), width, height, kind);
        texture.upload();
        texture.bind();
    }
    glGetError();
    return 0;
}
