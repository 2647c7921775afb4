#include "media/raw_texture.h"

#include <GL/gl.h>

#include <cstdio>
#include <limits>
#include <new>

#include "media/read_error.h"
#include "platform/files/file_path.h"

namespace media {
namespace {

// width × height × components when all are positive and the product fits a 32-bit
// signed count (GL's own size type); 0 otherwise.
std::size_t imageBytes(std::int32_t width, std::int32_t height, int components) {
    if (width <= 0 || height <= 0 || components <= 0) return 0;
    // Both factors are below 2^31, so their product fits 64 bits; the components
    // multiply only once that product is known to be small enough.
    const std::int64_t pixelCount = static_cast<std::int64_t>(width) * height;
    if (pixelCount > std::numeric_limits<std::int32_t>::max() / components) return 0;
    return static_cast<std::size_t>(pixelCount * components);
}

GLenum formatOf(int kind) {
    switch (static_cast<PixelKind>(kind)) {
        case PixelKind::rgb: return GL_RGB;
        case PixelKind::rgba: return GL_RGBA;
        default: return GL_LUMINANCE;
    }
}

}  // namespace

int RawTexture::componentsOf(int kind) {
    switch (static_cast<PixelKind>(kind)) {
        case PixelKind::rgb: return 3;
        case PixelKind::rgba: return 4;
        case PixelKind::luminance: return 1;
        default: return 0;
    }
}

RawTexture::RawTexture(const char* path, int width, int height, int kind, OpenFile open)
    : width_(width), height_(height), kind_(kind) {
    GLuint generated = 0;
    glGenTextures(1, &generated);
    name_ = generated;

    std::FILE* file = open != nullptr ? open(path) : platform::openFile(path);
    if (file == nullptr) {
        reportReadError();
        return;
    }
    std::size_t bytes = imageBytes(width_, height_, componentsOf(kind_));
    // Sides that GL can never take are not read either (and never reach GL: some
    // drivers fail hard on them instead of reporting GL_INVALID_VALUE).
    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    if (maxSide > 0 && (width_ > maxSide || height_ > maxSide)) bytes = 0;
    if (bytes > 0) {
        // Zero-filled first: a short file leaves its missing bytes black. Memory that
        // runs out leaves the texture without pixels, like a file that cannot be read.
        try {
            pixels_.assign(bytes, 0);
            [[maybe_unused]] const std::size_t read = std::fread(pixels_.data(), 1, bytes, file);
            hasPixels_ = true;
        } catch (const std::bad_alloc&) {
            reportReadError();
        }
    }
    std::fclose(file);
}

RawTexture::~RawTexture() {
    if (name_ != 0) {
        const GLuint doomed = name_;
        glDeleteTextures(1, &doomed);
    }
}

bool RawTexture::upload() {
    glBindTexture(GL_TEXTURE_2D, name_);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, static_cast<GLfloat>(GL_REPEAT));
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, static_cast<GLfloat>(GL_REPEAT));
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLfloat>(GL_LINEAR));
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLfloat>(GL_LINEAR));
    // Context-wide, not the texture's: every upload sets it again.
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(GL_MODULATE));
    if (!hasPixels_) return false;

    // Rows are packed with no padding. GL's default unpack alignment of 4 would read
    // past the pixels for a row length that is not a multiple of 4, so the upload
    // unpacks byte-aligned and puts the caller's alignment back afterwards.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const GLenum format = formatOf(kind_);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), width_, height_, 0, format,
                 GL_UNSIGNED_BYTE, pixels_.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    return true;
}

void RawTexture::bind() const { glBindTexture(GL_TEXTURE_2D, name_); }

}  // namespace media
