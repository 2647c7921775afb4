// links: media
// Raw textures on a real GL context: each pixel kind arrives in GL with its format and
// its bytes, the first file row is t = 0, luminance shows as grey scaled by the colour,
// and the awkward files (missing, short, odd sizes, unknown kinds) leave usable objects.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/raw_texture.h"
#include "support/gl_context.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class RawTextureGl : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/raw_texture_XXXXXX";
        dir_ = mkdtemp(pattern);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::string write(const std::string& name, const Bytes& bytes) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // Level 0 of the bound texture as GL holds it, read back in `format`.
    static Bytes levelZero(GLenum format, int components) {
        GLint width = 0;
        GLint height = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        Bytes bytes(static_cast<std::size_t>(width * height * components));
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, bytes.data());
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        return bytes;
    }

    // Draws the bound texture over the whole 64 × 64 view, s and t from 0 to 1 along
    // x and y, in `colour`; returns the RGB read back at (x, y).
    static Bytes drawAndRead(float r, float g, float b, int x, int y) {
        glViewport(0, 0, 64, 64);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0.0, 1.0, 0.0, 1.0, -1.0, 1.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_LIGHTING);
        glDisable(GL_BLEND);
        glEnable(GL_TEXTURE_2D);
        glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(r, g, b);
        glBegin(GL_QUADS);
        glTexCoord2f(0.0f, 0.0f); glVertex2f(0.0f, 0.0f);
        glTexCoord2f(1.0f, 0.0f); glVertex2f(1.0f, 0.0f);
        glTexCoord2f(1.0f, 1.0f); glVertex2f(1.0f, 1.0f);
        glTexCoord2f(0.0f, 1.0f); glVertex2f(0.0f, 1.0f);
        glEnd();
        glDisable(GL_TEXTURE_2D);
        Bytes rgb(3);
        glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        return rgb;
    }

    std::string dir_;
};

TEST_F(RawTextureGl, EachKindArrivesWithItsFormatAndBytes) {
    testsupport::GlContext ctx(64, 64);
    REQUIRE_GL(ctx);
    const struct {
        int kind;
        GLenum format;
        int components;
    } kinds[] = {{0, GL_RGB, 3}, {1, GL_RGBA, 4}, {2, GL_LUMINANCE, 1}};
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.kind);
        // 4 × 2 pixels of distinct bytes, and a byte too many that must not matter.
        Bytes file;
        for (int i = 0; i < 4 * 2 * k.components + 1; ++i) file.push_back(static_cast<std::uint8_t>(7 + 13 * i));
        const std::string path = write("kind" + std::to_string(k.kind) + ".raw", file);
        media::RawTexture texture(path.c_str(), 4, 2, k.kind);
        EXPECT_NE(texture.name(), 0u);
        ASSERT_TRUE(texture.hasPixels());
        EXPECT_TRUE(texture.upload());
        GLint internal = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internal);
        EXPECT_EQ(static_cast<GLenum>(internal), k.format);
        file.pop_back();
        EXPECT_EQ(levelZero(k.format, k.components), file);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(RawTextureGl, UploadSetsRepeatLinearAndModulate) {
    testsupport::GlContext ctx(64, 64);
    REQUIRE_GL(ctx);
    media::RawTexture texture(write("grey.raw", Bytes(16, 200)).c_str(), 4, 4, 2);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    texture.upload();
    GLint value = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
    EXPECT_EQ(value, GL_MODULATE);
    const GLenum repeatOnes[] = {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T};
    for (GLenum p : repeatOnes) {
        glGetTexParameteriv(GL_TEXTURE_2D, p, &value);
        EXPECT_EQ(value, GL_REPEAT);
    }
    const GLenum linearOnes[] = {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER};
    for (GLenum p : linearOnes) {
        glGetTexParameteriv(GL_TEXTURE_2D, p, &value);
        EXPECT_EQ(value, GL_LINEAR);
    }
    // bind() makes it current again after another texture took its place.
    glBindTexture(GL_TEXTURE_2D, 0);
    texture.bind();
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(static_cast<std::uint32_t>(value), texture.name());
}

TEST_F(RawTextureGl, FirstFileRowLandsAtTZero) {
    testsupport::GlContext ctx(64, 64);
    REQUIRE_GL(ctx);
    // 4 × 64 RGB: the first 32 rows white, the last 32 black.
    Bytes file(4 * 64 * 3, 0);
    std::fill(file.begin(), file.begin() + 4 * 32 * 3, 255);
    media::RawTexture texture(write("halves.raw", file).c_str(), 4, 64, 0);
    texture.upload();
    EXPECT_EQ(drawAndRead(1.0f, 1.0f, 1.0f, 32, 2), (Bytes{255, 255, 255})) << "t just above 0";
    EXPECT_EQ(drawAndRead(1.0f, 1.0f, 1.0f, 32, 61), (Bytes{0, 0, 0})) << "t just below 1";
}

TEST_F(RawTextureGl, LuminanceShowsAsGreyTimesTheColour) {
    testsupport::GlContext ctx(64, 64);
    REQUIRE_GL(ctx);
    media::RawTexture texture(write("grey.raw", Bytes(8 * 8, 200)).c_str(), 8, 8, 2);
    texture.upload();
    EXPECT_EQ(drawAndRead(1.0f, 1.0f, 1.0f, 20, 20), (Bytes{200, 200, 200}));
    const Bytes tinted = drawAndRead(1.0f, 0.5f, 0.25f, 20, 20);
    EXPECT_NEAR(tinted[0], 200, 1);
    EXPECT_NEAR(tinted[1], 100, 1);
    EXPECT_NEAR(tinted[2], 50, 1);
}

TEST_F(RawTextureGl, MissingFileIsReportedAndLeavesAUsableObject) {
    testsupport::GlContext ctx(64, 64);
    REQUIRE_GL(ctx);
    testing::internal::CaptureStdout();
    media::RawTexture texture((dir_ + "/absent.raw").c_str(), 256, 256, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error reading file\n");
    EXPECT_NE(texture.name(), 0u);
    EXPECT_FALSE(texture.hasPixels());
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    EXPECT_FALSE(texture.upload());
    GLint width = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 0) << "no image without pixels";
    GLint mode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    EXPECT_EQ(mode, GL_MODULATE);
    texture.bind();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(RawTextureGl, ShortFileEndsInZeros) {
    testsupport::GlContext ctx(64, 64);
    REQUIRE_GL(ctx);
    const Bytes head = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    media::RawTexture texture(write("short.raw", head).c_str(), 4, 4, 0);
    ASSERT_TRUE(texture.upload());
    Bytes expected(4 * 4 * 3, 0);
    std::copy(head.begin(), head.end(), expected.begin());
    EXPECT_EQ(levelZero(GL_RGB, 3), expected);
}

TEST_F(RawTextureGl, RowsNotAMultipleOfFourBytesStayIntact) {
    testsupport::GlContext ctx(64, 64);
    REQUIRE_GL(ctx);
    // 3 × 3 RGB: 9-byte rows. Unpacked with GL's default alignment the second row
    // would start 3 bytes late and the last row read past the pixels.
    Bytes file;
    for (int i = 0; i < 27; ++i) file.push_back(static_cast<std::uint8_t>(i + 1));
    media::RawTexture texture(write("odd.raw", file).c_str(), 3, 3, 0);
    ASSERT_TRUE(texture.upload());
    EXPECT_EQ(levelZero(GL_RGB, 3), file);
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4) << "the caller's unpack alignment is put back";
}

TEST_F(RawTextureGl, ImpossibleSizesAndKindsGiveNoImage) {
    testsupport::GlContext ctx(64, 64);
    REQUIRE_GL(ctx);
    const std::string path = write("some.raw", Bytes(64, 9));
    const struct {
        int width, height, kind;
    } cases[] = {{4, 4, 3}, {4, 4, -1}, {-4, 4, 0}, {4, 0, 2}, {65536, 65536, 1}, {46341, 46341, 2}, {2147483647, 2147483647, 1}, {1, 2147483647, 2}, {40000, 1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " kind " << c.kind);
        media::RawTexture texture(path.c_str(), c.width, c.height, c.kind);
        EXPECT_FALSE(texture.hasPixels());
        EXPECT_FALSE(texture.upload());
        GLint width = -1;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        EXPECT_EQ(width, 0);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

}  // namespace
