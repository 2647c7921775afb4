// links: painterly sunmarrow_png sunmarrow_datagen
// The painterly pass on a real GL context: the capture read-back, the upright backdrop
// that never shows its black ring, the unwritten staging texels or the clear colour,
// the frame painted into the window it is given (not the context's size), the brush
// file's failure paths, the strokes over the backdrop, and the GL state each
// stage hands on. The stages are the GL path's; both paths hand on the same state and,
// on llvmpipe, paint the same picture. Writes one painted frame to painterly_frame.png
// in the build folder.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "painterly/painter_choice.h"
#include "painterly/painterly.h"
#include "support/gl_context.h"
#include "tools/common/png_file.h"
#include "tools/data/brush.h"

namespace {

namespace fs = std::filesystem;
using painterly::captureHeight;
using painterly::captureWidth;
using painterly::painterlyState;

struct Rgb {
    int r, g, b;
};

void setPixel(int column, int row, Rgb c) {
    std::uint8_t* p = painterlyState().CaptureImage + 3 * (row * captureWidth + column);
    p[0] = static_cast<std::uint8_t>(c.r);
    p[1] = static_cast<std::uint8_t>(c.g);
    p[2] = static_cast<std::uint8_t>(c.b);
}

void fillCapture(Rgb c) {
    for (int row = 0; row < captureHeight; ++row) {
        for (int column = 0; column < captureWidth; ++column) setPixel(column, row, c);
    }
}

// A small landscape: sky ramp, sun, hills, buildings with lit windows.
void paintLandscape() {
    std::mt19937 rng(8);
    std::uniform_int_distribution<int> grain(-4, 4);
    for (int row = 0; row < captureHeight; ++row) {
        for (int column = 0; column < captureWidth; ++column) {
            double r = 70 + row * 1.2, g = 100 + row * 0.9, b = 170 + row * 0.6;
            if (row < 35 + 12 * std::sin(column * 0.06) + 6 * std::sin(column * 0.21)) {
                r = 40 + row * 1.5;
                g = 110 + row;
                b = 30;
            }
            const double dx = column - 115.0, dy = row - 88.0;
            if (dx * dx + dy * dy < 14 * 14) {
                r = 250;
                g = 215;
                b = 110;
            }
            for (int k = 0; k < 4; ++k) {
                const int left = 10 + k * 24, width = 14 + 3 * k, top = 50 + 9 * k;
                if (column >= left && column < left + width && row >= 20 && row < top) {
                    const bool window = (column - left) % 4 == 1 && row % 5 == 2;
                    r = window ? 235 : 90 + 25 * k;
                    g = window ? 215 : 70 + 10 * k;
                    b = window ? 90 : 80;
                }
            }
            const auto clamp = [&](double v) { return static_cast<int>(std::clamp(v + grain(rng), 0.0, 255.0)); };
            setPixel(column, row, {clamp(r), clamp(g), clamp(b)});
        }
    }
}

// A soft brush: opaque along its middle, fading across and towards both ends.
std::vector<std::uint8_t> softBrush() {
    std::vector<std::uint8_t> brush(painterly::brushBytes);
    for (int t = 0; t < painterly::brushHeight; ++t) {
        for (int s = 0; s < painterly::brushWidth; ++s) {
            const double across = (s + 0.5) / painterly::brushWidth * 2.0 - 1.0;
            const double along = (t + 0.5) / painterly::brushHeight * 2.0 - 1.0;
            const double a = std::max(0.0, 1.0 - across * across) * std::max(0.0, 1.0 - std::pow(along, 6.0));
            brush[t * painterly::brushWidth + s] = static_cast<std::uint8_t>(std::lround(255.0 * a));
        }
    }
    return brush;
}

// Runs initPainterly in a fresh folder holding the given brush file bytes (none: no file)
// and returns what it printed.
std::string initWithBrush(const std::optional<std::vector<std::uint8_t>>& bytes) {
    char pattern[] = "/tmp/painterly_gl_XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) return "mkdtemp failed";
    const fs::path dir = made;
    if (bytes) {
        fs::create_directories(dir / "data");
        std::ofstream(dir / "data" / "stroke4_A_32_128.raw", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
    }
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    testing::internal::CaptureStdout();
    painterly::initPainterly();
    painterly::setPainterPath(painterly::PainterPath::gl);  // whatever the renderer
    std::fflush(stdout);
    const std::string printed = testing::internal::GetCapturedStdout();
    fs::current_path(previous);
    fs::remove_all(dir);
    return printed;
}

struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;  // GL order: row 0 at the bottom
    Rgb at(int x, int y) const {
        const std::uint8_t* p = &rgb[3 * (y * width + x)];
        return {p[0], p[1], p[2]};
    }
};

Image readWindow(int width, int height) {
    glFinish();
    Image image{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, image.rgb.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return image;
}

// The window's rows come bottom-up from GL; the file wants the top row first.
bool writePng(const Image& image, const std::string& path) {
    const std::size_t row = 3 * static_cast<std::size_t>(image.width);
    std::vector<std::uint8_t> topDown(image.rgb.size());
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(&topDown[row * static_cast<std::size_t>(y)],
                    &image.rgb[row * static_cast<std::size_t>(image.height - 1 - y)], row);
    }
    return pngfile::write(path, topDown.data(), image.width, image.height, 3);
}

testing::AssertionResult near(Rgb got, Rgb want, int tolerance = 1) {
    if (std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
        std::abs(got.b - want.b) <= tolerance) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << "got (" << got.r << "," << got.g << "," << got.b << ") want (" << want.r
                                       << "," << want.g << "," << want.b << ")";
}

// ---------------------------------------------------------------------------------------

TEST(PainterlyCapture, ReadsTheLowerLeftCornerBottomRowFirst) {
    testsupport::GlContext ctx(640, 480);
    REQUIRE_GL(ctx);
    glClearColor(0.0f, 0.0f, 1.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    painterly::beginCapture();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[1], 0);
    EXPECT_EQ(viewport[2], 160);
    EXPECT_EQ(viewport[3], 120);
    // The capture projection is 640 × 480 with y upwards: the lower half is red.
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glBegin(GL_QUADS);
    glColor3f(1.0f, 0.0f, 0.0f);
    glVertex2f(0.0f, 0.0f);
    glVertex2f(640.0f, 0.0f);
    glVertex2f(640.0f, 240.0f);
    glVertex2f(0.0f, 240.0f);
    glColor3f(0.0f, 1.0f, 0.0f);
    glVertex2f(0.0f, 240.0f);
    glVertex2f(640.0f, 240.0f);
    glVertex2f(640.0f, 480.0f);
    glVertex2f(0.0f, 480.0f);
    glEnd();
    std::memset(painterlyState().CaptureImage, 7, painterly::captureBytes);
    painterly::readCapture();
    const std::uint8_t* c = painterlyState().CaptureImage;
    for (int row = 0; row < captureHeight; ++row) {
        for (int column = 0; column < captureWidth; ++column) {
            const std::uint8_t* p = c + 3 * (row * captureWidth + column);
            const Rgb want = row < 60 ? Rgb{255, 0, 0} : Rgb{0, 255, 0};
            ASSERT_TRUE(near({p[0], p[1], p[2]}, want, 0)) << "row " << row << " column " << column;
        }
    }
}

// ---------------------------------------------------------------------------------------

TEST(PainterlyBackdrop, IsUprightAndNotMirrored) {
    testsupport::GlContext ctx(640, 480);
    REQUIRE_GL(ctx);
    initWithBrush(softBrush());
    const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255};
    for (int row = 0; row < captureHeight; ++row) {
        for (int column = 0; column < captureWidth; ++column) {
            const bool bottom = row < 60, left = column < 80;
            setPixel(column, row, bottom ? (left ? red : green) : (left ? blue : white));
        }
    }
    painterly::paintBackdrop(640, 480);
    const Image image = readWindow(640, 480);
    // Window y counts from the bottom here, as GL reads it back.
    EXPECT_TRUE(near(image.at(100, 60), red));
    EXPECT_TRUE(near(image.at(540, 60), green));
    EXPECT_TRUE(near(image.at(100, 420), blue));
    EXPECT_TRUE(near(image.at(540, 420), white));
}

// Paints a uniform capture into a window of width × height on a 640 × 480 context. Every
// pixel of that window shows the capture colour (no black ring, no staging texel
// outside the capture block, no clear colour, strokes of the same colour); the pixels
// beyond it keep the clear colour, so the window is the one given, not the context's.
void expectUniformPainting(int width, int height, void (*paint)(int width, int height)) {
    testsupport::GlContext ctx(640, 480);
    REQUIRE_GL(ctx);
    initWithBrush(softBrush());
    const Rgb colour{200, 120, 40};
    fillCapture(colour);
    auto& s = painterlyState();
    ASSERT_EQ(s.StagingWidth, 256);
    ASSERT_EQ(s.StagingHeight, 128);
    std::memset(s.BackdropStaging, 255, static_cast<std::size_t>(s.StagingWidth) * s.StagingHeight * 3);
    paint(width, height);
    const Image image = readWindow(640, 480);
    const Rgb clear{242, 242, 204};  // (0.95, 0.95, 0.80)
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const bool inside = x < width && y < height;
            ASSERT_TRUE(near(image.at(x, y), inside ? colour : clear))
                << "pixel " << x << "," << y << (inside ? " inside" : " outside") << " a window of " << width << "x"
                << height;
        }
    }
    // The black ring is in the staging image all the same.
    EXPECT_EQ(s.BackdropStaging[0], 0);
    EXPECT_EQ(s.BackdropStaging[3 * 159], 0);
    EXPECT_EQ(s.BackdropStaging[3 * (119 * 256 + 80)], 0);
    EXPECT_EQ(s.BackdropStaging[3 * (1 * 256 + 1)], 200);
    EXPECT_EQ(s.BackdropStaging[3 * 160], 255);  // beyond the capture block: not written
}

TEST(PainterlyBackdrop, CoversTheWholeWindowWithTheCaptureOnly) {
    expectUniformPainting(640, 480, painterly::paintBackdrop);
}

TEST(PainterlyFrame, PaintsTheWindowItIsGivenNotTheContextsSize) {
    expectUniformPainting(400, 150, [](int width, int height) { painterly::paintFrame(width, height, 0); });
}

// ---------------------------------------------------------------------------------------

TEST(PainterlyState, EachStageHandsOnTheStateItsSuccessorExpects) {
    testsupport::GlContext ctx(640, 480);
    REQUIRE_GL(ctx);
    initWithBrush(softBrush());
    paintLandscape();
    glEnable(GL_DEPTH_TEST);
    glViewport(0, 0, 10, 10);

    painterly::paintBackdrop(640, 480);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    GLint src = 0, dst = 0;
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(src, GL_SRC_ALPHA);
    EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    EXPECT_NEAR(projection[0], 2.0 / 640.0, 1e-9);
    EXPECT_NEAR(projection[5], -2.0 / 480.0, 1e-9);  // y grows downwards
    EXPECT_NEAR(projection[12], -1.0, 1e-9);
    EXPECT_NEAR(projection[13], 1.0, 1e-9);

    for (const painterly::PainterPath path : {painterly::PainterPath::gl, painterly::PainterPath::cpu}) {
        SCOPED_TRACE(painterly::painterName(path));
        painterly::setPainterPath(path);
        glViewport(0, 0, 10, 10);
        glEnable(GL_BLEND);
        painterly::paintFrame(640, 480, 1234);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        GLint bound = 0, mode = 0, viewport[4], blend[2];
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetIntegerv(GL_BLEND_SRC, &blend[0]);
        glGetIntegerv(GL_BLEND_DST, &blend[1]);
        EXPECT_EQ(static_cast<unsigned>(bound), painterlyState().StrokeTexture);
        EXPECT_EQ(mode, GL_MODELVIEW);
        EXPECT_EQ(viewport[2], 640);
        EXPECT_EQ(viewport[3], 480);
        EXPECT_EQ(blend[0], GL_SRC_ALPHA);
        EXPECT_EQ(blend[1], GL_ONE_MINUS_SRC_ALPHA);
        GLfloat colour[4];
        glGetFloatv(GL_CURRENT_COLOR, colour);
        const painterly::StrokeArgs& last = painterlyState().strokes[painterly::strokeCount - 1];
        EXPECT_FLOAT_EQ(colour[0], last.red);
        EXPECT_FLOAT_EQ(colour[3], 1.0f);
        EXPECT_EQ(painterlyState().StrokePhase, painterly::strokePhaseFromClock(1234));
    }
}

// ---------------------------------------------------------------------------------------

// The processor path against the GL path, with the show's brush, at several stroke
// clocks and window sizes (an odd one among them): on llvmpipe the two are the same
// picture, so a fault in either path's colour, orientation, filtering or stroke order
// shows as levels far beyond these (the paths differ by a level at a few hundred pixels).
TEST(PainterlyPaths, TheProcessorPathPaintsTheGlPathsPicture) {
    testsupport::GlContext ctx(640, 480);
    REQUIRE_GL(ctx);
    const std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (renderer.rfind("llvmpipe", 0) != 0) GTEST_SKIP() << "the processor path emulates llvmpipe; this is " << renderer;
    initWithBrush(datagen::makeBrush().pixels);
    paintLandscape();
    for (const auto& [width, height, clockMs] : {std::tuple{640, 480, 0}, {640, 480, 98765}, {333, 247, 4321}}) {
        SCOPED_TRACE(testing::Message() << width << "x" << height << " at " << clockMs << " ms");
        painterly::setPainterPath(painterly::PainterPath::gl);
        painterly::paintFrame(width, height, clockMs);
        const Image gl = readWindow(width, height);
        painterly::setPainterPath(painterly::PainterPath::cpu);
        painterly::paintFrame(width, height, clockMs);
        const Image cpu = readWindow(width, height);
        std::vector<int> differences(gl.rgb.size());
        for (std::size_t i = 0; i < gl.rgb.size(); ++i) differences[i] = std::abs(gl.rgb[i] - cpu.rgb[i]);
        const double mean = std::accumulate(differences.begin(), differences.end(), 0.0) / differences.size();
        std::sort(differences.begin(), differences.end());
        EXPECT_LE(mean, 1.0);
        EXPECT_LE(differences[differences.size() * 999 / 1000], 8);
    }
}

// ---------------------------------------------------------------------------------------

std::vector<std::uint8_t> brushTexels() {
    std::vector<std::uint8_t> texels(painterly::brushBytes, 99);
    glBindTexture(GL_TEXTURE_2D, painterlyState().StrokeTexture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, texels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return texels;
}

TEST(PainterlyBrush, MissingOrShortFileIsReportedAndTransparent) {
    testsupport::GlContext ctx(160, 120);
    REQUIRE_GL(ctx);
    const std::vector<std::uint8_t> brush = softBrush();

    EXPECT_EQ(initWithBrush(brush), "");
    EXPECT_EQ(brushTexels(), brush);
    const unsigned firstStroke = painterlyState().StrokeTexture;
    EXPECT_NE(firstStroke, 0u);
    EXPECT_NE(painterlyState().BackdropTexture, 0u);
    EXPECT_NE(painterlyState().BackdropTexture, firstStroke);

    EXPECT_EQ(initWithBrush(std::nullopt), "Error reading file\n");
    EXPECT_EQ(brushTexels(), std::vector<std::uint8_t>(painterly::brushBytes, 0));
    EXPECT_NE(painterlyState().StrokeTexture, firstStroke);  // a set-up makes new names

    const std::vector<std::uint8_t> part(brush.begin(), brush.begin() + 1000);
    EXPECT_EQ(initWithBrush(part), "Error reading file\n");
    std::vector<std::uint8_t> expected(painterly::brushBytes, 0);
    std::copy(part.begin(), part.end(), expected.begin());
    EXPECT_EQ(brushTexels(), expected);
    EXPECT_EQ(painterlyState().StagingWidth, 256);
    EXPECT_EQ(painterlyState().StagingHeight, 128);
}

// ---------------------------------------------------------------------------------------

int differingPixels(const Image& a, const Image& b) {
    int count = 0;
    for (std::size_t i = 0; i < a.rgb.size(); i += 3) {
        if (std::memcmp(&a.rgb[i], &b.rgb[i], 3) != 0) ++count;
    }
    return count;
}

TEST(PainterlyStrokes, PaintOverTheBackdropWithTheBrushAlpha) {
    testsupport::GlContext ctx(640, 480);
    REQUIRE_GL(ctx);
    paintLandscape();

    initWithBrush(softBrush());
    painterly::paintBackdrop(640, 480);
    const Image backdrop = readWindow(640, 480);
    painterly::paintFrame(640, 480, 0);
    const Image painted = readWindow(640, 480);
    EXPECT_GT(differingPixels(backdrop, painted), 640 * 480 / 4);
    const std::string png = std::string(SUNMARROW_BINARY_DIR) + "/painterly_frame.png";
    EXPECT_TRUE(writePng(painted, png)) << png;

    // A transparent brush leaves the backdrop exactly as it was.
    initWithBrush(std::nullopt);
    painterly::paintFrame(640, 480, 0);
    EXPECT_EQ(differingPixels(backdrop, readWindow(640, 480)), 0);
}

}  // namespace
