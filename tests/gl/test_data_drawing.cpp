// links: sunmarrow_datagen
// The generated data as the show draws it: atlas tiles come out upright and in their
// own colours through the scene renderer (t = -v, repeating wrap), polygons wound by
// the mesh builder are lit from the side they face, and the sky's made-up normals light
// it evenly whichever way the camera looks.
// The generator is a program, not a library: its sources are compiled in here.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

#include "scene/scene.h"
#include "support/gl_context.h"
#include "tools/data/data_common.h"
#include "tools/data/scene_kit.h"
#include "tools/data/shapes.h"
#include "tools/data/textures.h"

namespace {

using namespace datagen;
using namespace datagen::scenes;

struct Rgb8 {
    int r = 0, g = 0, b = 0;
    int sum() const { return r + g + b; }
};

class DataDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ctx_.ok()) return;
        atlas_ = makeSceneAtlas();
        glGenTextures(1, &texture_);
        glBindTexture(GL_TEXTURE_2D, texture_);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 256, 256, 0, GL_RGB, GL_UNSIGNED_BYTE, atlas_.pixels.data());
    }
    void TearDown() override {
        if (ctx_.ok()) glDeleteTextures(1, &texture_);
    }

    // A camera at (0, 0, 5) looking down -z at a quad that fills the view, lit head-on.
    static sw::SceneDesc facingQuad() {
        sw::SceneDesc d;
        d.camera = camera([](float) { return Vec3{0.0f, 0.0f, 5.0f}; }, [](float) { return Vec3{}; }, 1.0f, 1, 40.0f);
        d.lights.push_back(directional({0.0f, 0.0f, -1.0f}, {1.0f, 1.0f, 1.0f}));
        padLights(d.lights);
        return d;
    }

    // Draws `desc` the way the show draws a scene into its capture and reads it back.
    void draw(const sw::SceneDesc& desc, float frame = 0.0f) {
        const sw::Bytes bytes = sw::writeScene(desc);
        scene::Scene s;
        ASSERT_TRUE(s.load(std::span<const std::uint8_t>(bytes)).complete());
        glViewport(0, 0, 160, 120);
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glColor3f(1.0f, 1.0f, 1.0f);
        glBindTexture(GL_TEXTURE_2D, texture_);
        s.render(frame);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_LIGHTING);
        glFinish();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 160, 120, GL_RGB, GL_UNSIGNED_BYTE, pixels_);
    }

    Rgb8 pixel(int x, int y) const {  // y from the bottom, as GL reads
        const unsigned char* p = &pixels_[(y * 160 + x) * 3];
        return {p[0], p[1], p[2]};
    }
    Rgb8 texel(int tile, float s, float t) const {
        const int x = (tile % 4) * 64 + static_cast<int>(s * 63.0f), y = (tile / 4) * 64 + static_cast<int>(t * 63.0f);
        const std::uint8_t* p = atlas_.at(x, y);
        return {p[0], p[1], p[2]};
    }

    testsupport::GlContext ctx_{160, 120};
    Image atlas_;
    GLuint texture_ = 0;
    unsigned char pixels_[160 * 120 * 3] = {};
};

TEST_F(DataDrawing, TilesComeOutInTheirOwnColours) {
    REQUIRE_GL(ctx_);
    const Vec3 n{0.0f, 0.0f, 1.0f};
    for (int tile : {atlas::SkyDay, atlas::Sun, atlas::Bark, atlas::Grass, atlas::Water, atlas::Stone, atlas::White}) {
        sw::SceneDesc d = facingQuad();
        MeshBuilder mesh;
        // A small quad showing only the middle of the tile, so the pixel under the
        // centre of the view samples near the tile's centre.
        const std::uint16_t a = mesh.vertex({-8.0f, -8.0f, 0.0f}, n), b = mesh.vertex({8.0f, -8.0f, 0.0f}, n);
        const std::uint16_t c = mesh.vertex({8.0f, 8.0f, 0.0f}, n), e = mesh.vertex({-8.0f, 8.0f, 0.0f}, n);
        mesh.polygon(tile, {{a, 0.45f, 0.55f}, {b, 0.55f, 0.55f}, {c, 0.55f, 0.45f}, {e, 0.45f, 0.45f}});
        d.meshes.push_back(mesh.take());
        draw(d);
        const Rgb8 seen = pixel(80, 60), painted = texel(tile, 0.5f, 0.5f);
        EXPECT_NEAR(seen.r, painted.r, 16) << "tile " << tile;
        EXPECT_NEAR(seen.g, painted.g, 16) << "tile " << tile;
        EXPECT_NEAR(seen.b, painted.b, 16) << "tile " << tile;
    }
}

TEST_F(DataDrawing, TilesAreUprightOnScreen) {
    REQUIRE_GL(ctx_);
    // The sky tile's zenith (its top, t = 0) on the quad's top edge must appear at the
    // top of the picture: darker and bluer than the horizon below.
    sw::SceneDesc d = facingQuad();
    MeshBuilder mesh;
    quad(mesh, atlas::SkyDay, {-2.0f, -1.5f, 0.0f}, {2.0f, -1.5f, 0.0f}, {2.0f, 1.5f, 0.0f}, {-2.0f, 1.5f, 0.0f}, {0, 0, 1});
    d.meshes.push_back(mesh.take());
    draw(d);
    const Rgb8 top = pixel(80, 100), bottom = pixel(80, 20);
    EXPECT_LT(top.sum() + 60, bottom.sum());
    EXPECT_GT(top.b, top.r + 60);
}

TEST_F(DataDrawing, BuilderWindingKeepsFacesLitFromTheFrontOnly) {
    REQUIRE_GL(ctx_);
    const Vec3 n{0.0f, 0.0f, 1.0f};
    // Corners listed clockwise as seen by the camera: the builder turns them round.
    sw::SceneDesc d = facingQuad();
    MeshBuilder mesh;
    const std::uint16_t a = mesh.vertex({-8.0f, -8.0f, 0.0f}, n), b = mesh.vertex({-8.0f, 8.0f, 0.0f}, n);
    const std::uint16_t c = mesh.vertex({8.0f, 8.0f, 0.0f}, n), e = mesh.vertex({8.0f, -8.0f, 0.0f}, n);
    mesh.polygon(atlas::White, {{a, 0, 1}, {b, 0, 0}, {c, 1, 0}, {e, 1, 1}});
    sw::Mesh built = mesh.take();
    d.meshes.push_back(built);
    draw(d);
    EXPECT_GT(pixel(80, 60).sum(), 700);

    // The same corners wound the other way round, as a careless writer would leave
    // them: two-sided lighting takes the face as seen from behind and it goes dark.
    std::reverse(built.polygons[0].corners.begin(), built.polygons[0].corners.end());
    d.meshes.clear();
    d.meshes.push_back(built);
    draw(d);
    EXPECT_LT(pixel(80, 60).sum(), 30);
}

TEST_F(DataDrawing, SkyIsLitEvenlyInEveryDirection) {
    REQUIRE_GL(ctx_);
    const Vec3 towardsSun = normalize({0.3f, 0.6f, -0.7f});
    int darkest = 1000, brightest = 0;
    for (int k = 0; k < 8; ++k) {
        const float a = 6.2831853f * static_cast<float>(k) / 8.0f;
        sw::SceneDesc d;
        d.camera = camera([](float) { return Vec3{0.0f, 5.0f, 0.0f}; },
                          [a](float) { return Vec3{std::cos(a) * 50.0f, 25.0f, std::sin(a) * 50.0f}; }, 1.0f, 1, 50.0f);
        d.lights.push_back(directional(-towardsSun, {1.0f, 1.0f, 1.0f}));
        padLights(d.lights);
        MeshBuilder sky;
        skyCylinder(sky, atlas::White, {}, 300.0f, 0.0f, 150.0f, towardsSun, 1.0f);
        d.meshes.push_back(sky.take());
        draw(d);
        for (int y : {20, 60, 100}) {
            darkest = std::min(darkest, pixel(80, y).sum());
            brightest = std::max(brightest, pixel(80, y).sum());
        }
    }
    EXPECT_GT(darkest, 700);
    EXPECT_LT(brightest - darkest, 10);
}

}  // namespace
