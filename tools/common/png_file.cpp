#include "png_file.h"

#include <png.h>

#include <cstddef>
#include <cstdio>

namespace pngfile {

namespace {

// libpng's colour type for a pixel of `channels` bytes; -1 for none.
int colourTypeOf(int channels) {
    switch (channels) {
        case 1: return PNG_COLOR_TYPE_GRAY;
        case 3: return PNG_COLOR_TYPE_RGB;
        case 4: return PNG_COLOR_TYPE_RGB_ALPHA;
        default: return -1;
    }
}

// Encodes the image into `file`; false when libpng gave up (a write that failed, memory).
bool encode(std::FILE* file, const std::uint8_t* pixels, int width, int height, int colourType, int channels) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, colourType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, const_cast<png_bytep>(pixels + static_cast<std::size_t>(y) * rowBytes));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool write(output::OutputFile& out, const std::uint8_t* pixels, int width, int height, int channels) {
    const int colourType = colourTypeOf(channels);
    if (colourType < 0) {
        out.fail("no PNG of " + std::to_string(channels) + " bytes a pixel");
        return false;
    }
    if (!out.ok()) return false;
    // A write that failed leaves its error on the stream, which commit() reports.
    if (!encode(out.stream(), pixels, width, height, colourType, channels) && std::ferror(out.stream()) == 0) {
        out.fail("the PNG could not be made");
        return false;
    }
    return out.commit();
}

bool write(const std::string& path, const std::uint8_t* pixels, int width, int height, int channels) {
    output::OutputFile out(path);
    return write(out, pixels, width, height, channels);
}

}  // namespace pngfile
