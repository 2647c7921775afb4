// Headerless raw images turned into GL textures. A file holds width × height pixels,
// row after row with no padding; its first row is the texture's row at t = 0. Pixel
// kinds (PixelKind): 0 = RGB (3 bytes), 1 = RGBA (4 bytes), 2 = luminance (1 byte),
// unsigned 8-bit components. Width, height and kind come from the caller; the file has
// no header.
// Construction, upload and bind need the GL context current on the calling thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

namespace media {

// The pixel kinds by their numbers; a texture stores its kind as that 32-bit number, so
// that a kind outside these three can be given (and gets no pixels).
enum class PixelKind : std::int32_t {
    rgb = 0,        // 3 bytes: red, green, blue
    rgba = 1,       // 4 bytes: red, green, blue, alpha
    luminance = 2,  // 1 byte: grey level
};

class RawTexture {
public:
    // How the file is opened (the show's spelling of its path); null when it cannot be.
    using OpenFile = std::FILE* (*)(const char* path);

    // Generates the texture name, then reads the file. A file that cannot be opened
    // (missing, or not a regular file) or for whose pixels memory runs out prints
    // "Error reading file\n" and leaves an object without pixels; so does a kind other
    // than 0..2, a side that is not positive or exceeds GL_MAX_TEXTURE_SIZE, or a byte
    // count past 2^31 - 1 (those print nothing). A short file's missing bytes are zero;
    // extra bytes are ignored. `open` opens the file (unset: platform::openFile).
    RawTexture(const char* path, int width, int height, int kind, OpenFile open = nullptr);
    RawTexture(const char* path, int width, int height, PixelKind kind, OpenFile open = nullptr)
        : RawTexture(path, width, height, static_cast<std::int32_t>(kind), open) {}
    // Deletes the texture name (the context that made it must be current).
    ~RawTexture();
    RawTexture(const RawTexture&) = delete;
    RawTexture& operator=(const RawTexture&) = delete;

    // Binds the texture, sets repeat wrapping, linear filtering and the GL_MODULATE
    // texture environment, then specifies level 0 from the pixels. Without pixels no
    // image is specified. True when an image was specified.
    bool upload();

    // Makes this the current GL_TEXTURE_2D texture.
    void bind() const;

    std::uint32_t name() const { return name_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int kind() const { return kind_; }
    bool hasPixels() const { return hasPixels_; }
    const std::vector<std::uint8_t>& pixels() const { return pixels_; }

    // Bytes per pixel of a kind: 3, 4, 1, or 0 for an unknown kind.
    static int componentsOf(int kind);

private:
    std::int32_t width_;
    std::int32_t height_;
    std::int32_t kind_;
    std::vector<std::uint8_t> pixels_;
    bool hasPixels_ = false;
    std::uint32_t name_ = 0;
};

}  // namespace media
