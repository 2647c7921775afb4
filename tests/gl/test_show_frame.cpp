// links: show
// The whole frame on a real GL context: which files the set-up reads and in which order
// (a texture shared by rows read once), what it prints for missing files, when the show
// asks to end, which scene fills the capture at a given time, the GL state a frame hands
// over to the next, in a window whose size the host gives, and that nothing the show
// loaded reaches GL once the context is gone.
#include <GL/gl.h>
#include <SDL.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "painterly/painterly.h"
#include "platform/files/file_path.h"
#include "scene/scene_writer.h"
#include "media/raw_texture.h"
#include "show/show.h"
#include "show/show_tables.h"
#include "support/gl_context.h"

namespace fs = std::filesystem;
namespace w = scene::writer;

// The GL calls that release objects, watched in this program: one made while no context
// is current (after the context is gone, as a destructor run at exit would) ends the
// process at once with status 3. With a context they do what GL does.
extern "C" {
void glDeleteTextures(GLsizei n, const GLuint* textures) {
    using Real = void (*)(GLsizei, const GLuint*);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "glDeleteTextures"));
    if (SDL_GL_GetCurrentContext() == nullptr) {
        std::fputs("glDeleteTextures without a current GL context\n", stderr);
        _exit(3);
    }
    real(n, textures);
}
void glDeleteLists(GLuint list, GLsizei range) {
    using Real = void (*)(GLuint, GLsizei);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "glDeleteLists"));
    if (SDL_GL_GetCurrentContext() == nullptr) {
        std::fputs("glDeleteLists without a current GL context\n", stderr);
        _exit(3);
    }
    real(list, range);
}
}

namespace {

int quitCount = 0;
bool musicOn = false;
void countQuit() { ++quitCount; }
bool music() { return musicOn; }
std::int32_t clockMs() { return 0; }
// The host's window: not the test context's own size, so a frame that painted the
// context's size instead would show.
std::int32_t viewWidth() { return 400; }
std::int32_t viewHeight() { return 300; }
std::vector<std::string> opened;
std::FILE* recordOpen(const char* path) {
    opened.emplace_back(path);
    return platform::openFile(path);
}

// Runs each test in a fresh working directory with an empty data folder.
class ShowFrame : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("show_frame_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_ / "data");
        old_ = fs::current_path();
        fs::current_path(dir_);
        quitCount = 0;
        musicOn = false;
        opened.clear();
        show::ShowHost host;
        host.requestQuit = countQuit;
        host.isMusicOn = music;
        host.strokeClockMs = clockMs;
        host.viewWidth = viewWidth;
        host.viewHeight = viewHeight;
        host.openFile = recordOpen;
        show::setShowHost(host);
    }
    void TearDown() override {
        fs::current_path(old_);
        fs::remove_all(dir_);
    }
    static void writeFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        std::ofstream out("data/" + name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    static w::Track constant(float v) { return w::Track{v, {}}; }

    // A camera looking down -z at a white square filling its view, lit head-on by a
    // directional light.
    static void writeLitSquare(const std::string& name) {
        w::SceneDesc desc;
        w::Camera cam;
        cam.eye = {constant(0), constant(0), constant(5)};
        cam.target = {constant(0), constant(0), constant(0)};
        cam.up = {constant(0), constant(1), constant(0)};
        cam.fieldOfView = constant(60);
        cam.aspect = constant(1.3333f);
        desc.camera = cam;
        w::Mesh mesh;
        for (auto [x, y] : {std::pair{-20.0f, -20.0f}, {20.0f, -20.0f}, {20.0f, 20.0f}, {-20.0f, 20.0f}}) {
            w::Vertex v;
            v.position = {constant(x), constant(y), constant(0)};
            v.normal = {constant(0), constant(0), constant(1)};
            mesh.vertices.push_back(v);
        }
        mesh.polygons.push_back(w::Polygon{{{0, 0.1f, 0.1f}, {1, 0.2f, 0.1f}, {2, 0.2f, 0.2f}, {3, 0.1f, 0.2f}}});
        desc.meshes.push_back(mesh);
        w::Light light;
        light.kind = 1;
        light.position = {constant(0), constant(0), constant(-1)};
        light.colour = {constant(1), constant(1), constant(1)};
        desc.lights.push_back(light);
        writeFile(name, w::writeScene(desc));
    }

    fs::path dir_;
    fs::path old_;
};

double captureBrightness() {
    const std::uint8_t* image = painterly::painterlyState().CaptureImage;
    double sum = 0;
    for (int i = 0; i < painterly::captureBytes; ++i) sum += image[i];
    return sum / painterly::captureBytes;
}

}  // namespace

TEST_F(ShowFrame, EveryMissingFileIsReportedAndTheShowStillRuns) {
    testsupport::GlContext ctx;
    REQUIRE_GL(ctx);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(show::initShow());
    const std::uint8_t keys[256] = {};
    show::drawShowFrame(50.0, keys);
    const std::string out = testing::internal::GetCapturedStdout();
    // Caption texture, scene texture, nine scenes, flower texture, brush; no music.
    std::string expected;
    for (int i = 0; i < 13; ++i) expected += "Error reading file\n";
    EXPECT_EQ(out, expected);
    EXPECT_EQ(quitCount, 0);
}

TEST_F(ShowFrame, SetUpReadsEachTextureOnceBeforeTheFirstSceneThatShowsIt) {
    testsupport::GlContext ctx;
    REQUIRE_GL(ctx);
    writeFile("texture.raw", std::vector<std::uint8_t>(256 * 256 * 3, 10));
    writeFile("texture_flowers.raw", std::vector<std::uint8_t>(256 * 256 * 3, 20));
    testing::internal::CaptureStdout();
    show::initShow();
    testing::internal::GetCapturedStdout();
    const std::vector<std::string> expected = {
        "data\\texter4.raw", "data\\texture.raw",         "data\\intro1.csi",  "data\\intro2.csi",
        "data\\intro3.csi",  "data\\intro4.csi",          "data\\trees.csi",   "data\\clouds.csi",
        "data\\bird2.csi",   "data\\texture_flowers.raw", "data\\flowers.csi", "data\\moon.csi"};
    EXPECT_EQ(opened, expected);
    // Every row shows the texture of the row that first named it, with that file's bytes.
    const std::array<int, show::sceneRowCount> owners = show::textureOwners(show::sceneTable);
    for (int i = 0; i < show::sceneRowCount; ++i) {
        const double elapsed = 4.0 + show::sceneTable[i].start + 0.5;
        const media::RawTexture* texture = show::dueScene(elapsed).texture;
        ASSERT_NE(texture, nullptr) << "row " << i;
        EXPECT_EQ(texture, show::dueScene(4.0 + show::sceneTable[owners[i]].start + 0.5).texture) << "row " << i;
        EXPECT_EQ(texture->pixels().at(0), i == 7 ? 20 : 10) << "row " << i;
    }
}

TEST_F(ShowFrame, MissingMusicIsReportedWhenMusicIsOn) {
    testsupport::GlContext ctx;
    REQUIRE_GL(ctx);
    musicOn = true;
    testing::internal::CaptureStdout();
    show::initShow();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Error!\n"), std::string::npos) << out;
}

TEST_F(ShowFrame, TheShowEndsAfterTwoHundredAndFourSecondsOrOnEscape) {
    testsupport::GlContext ctx;
    REQUIRE_GL(ctx);
    testing::internal::CaptureStdout();
    show::initShow();
    testing::internal::GetCapturedStdout();
    std::uint8_t keys[256] = {};
    show::drawShowFrame(204.0, keys);
    EXPECT_EQ(quitCount, 0);
    show::drawShowFrame(204.001, keys);
    EXPECT_EQ(quitCount, 1);
    keys[1] = 0x80;
    show::drawShowFrame(0.0, keys);
    EXPECT_EQ(quitCount, 2);
    show::drawShowFrame(205.0, keys);  // both reasons in one frame
    EXPECT_EQ(quitCount, 4);
    keys[1] = 0x7F;  // only bit 7 means down
    show::drawShowFrame(1.0, keys);
    EXPECT_EQ(quitCount, 4);
}

TEST_F(ShowFrame, TheDueSceneFillsTheCaptureAndGapsStayBlack) {
    testsupport::GlContext ctx;
    REQUIRE_GL(ctx);
    writeLitSquare("intro1.csi");
    writeFile("texture.raw", std::vector<std::uint8_t>(256 * 256 * 3, 255));
    testing::internal::CaptureStdout();
    show::initShow();
    testing::internal::GetCapturedStdout();
    const std::uint8_t keys[256] = {};

    show::drawShowFrame(4.0 + 5.0, keys);  // t = 5: row 0, intro1
    EXPECT_GT(captureBrightness(), 200.0);
    show::drawShowFrame(4.0 + 10.5, keys);  // t = 10.5: a gap
    EXPECT_EQ(captureBrightness(), 0.0);
    show::drawShowFrame(4.0 + 1.0, keys);  // before the first scene
    EXPECT_EQ(captureBrightness(), 0.0);
}

TEST_F(ShowFrame, AFrameHandsOverTheCaptionState) {
    testsupport::GlContext ctx;
    REQUIRE_GL(ctx);
    testing::internal::CaptureStdout();
    show::initShow();
    testing::internal::GetCapturedStdout();
    const std::uint8_t keys[256] = {};
    show::drawShowFrame(10.0, keys);

    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));  // the corner's clear leaves it off
    GLint src = 0, dst = 0, mode = 0;
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(src, GL_ONE);
    EXPECT_EQ(dst, GL_ONE);
    EXPECT_EQ(mode, GL_MODELVIEW);
    GLfloat texture[16];
    glGetFloatv(GL_TEXTURE_MATRIX, texture);
    EXPECT_EQ(texture[0], 1.0f);
    EXPECT_EQ(texture[5], -0.001953125f);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 400);  // the host's window, not the 640 x 480 context
    EXPECT_EQ(viewport[3], 300);

    // The next frame starts from an identity texture matrix, not a doubled scaling.
    show::drawShowFrame(10.1, keys);
    glGetFloatv(GL_TEXTURE_MATRIX, texture);
    EXPECT_EQ(texture[5], -0.001953125f);
}

TEST_F(ShowFrame, NothingTheShowLoadedReachesGlAfterItsContextIsGone) {
    {
        testsupport::GlContext probe;
        REQUIRE_GL(probe);
    }
    writeLitSquare("intro1.csi");
    writeFile("texture.raw", std::vector<std::uint8_t>(256 * 256 * 3, 255));
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Two set-ups, as two shell cycles would make, a frame each; then the context goes,
    // and the process ends the ordinary way, running what is left to run at exit.
    EXPECT_EXIT(
        {
            for (int cycle = 0; cycle < 2; ++cycle) {
                testsupport::GlContext ctx;
                show::initShow();
                const std::uint8_t keys[256] = {};
                show::drawShowFrame(9.0, keys);
            }
            fs::current_path(old_);
            fs::remove_all(dir_);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}
