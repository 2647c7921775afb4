// links: scene
// Drawing scenes on a real GL context: camera projection and view, lights of each
// kind, the fixed material, display lists for static meshes, hidden meshes, and the
// light units that one scene leaves for the next.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

#include "scene/scene.h"
#include "scene/scene_writer.h"
#include "support/gl_context.h"

namespace {

namespace w = scene::writer;

constexpr int width = 64;
constexpr int height = 48;

w::Track constant(float value) { return w::Track{value, {}}; }

w::Camera camera(float eyeX, float eyeY, float eyeZ, float targetZ = 0.0f) {
    w::Camera c;
    c.eye = {constant(eyeX), constant(eyeY), constant(eyeZ)};
    c.target = {constant(0.0f), constant(0.0f), constant(targetZ)};
    c.up = {constant(0.0f), constant(1.0f), constant(0.0f)};
    c.fieldOfView = constant(45.0f);
    c.aspect = constant(1.3335f);
    return c;
}

// A 20 x 20 floor at y = 0, seen from above by the default camera. Its corners wind
// counter-clockwise seen from above, the side its normal points to: with two-sided
// lighting the other side is lit with the normal reversed.
w::Mesh floorMesh() {
    w::Mesh mesh;
    const float corners[4][2] = {{-10.0f, -10.0f}, {-10.0f, 10.0f}, {10.0f, 10.0f}, {10.0f, -10.0f}};
    w::Polygon polygon;
    for (int i = 0; i < 4; ++i) {
        w::Vertex vertex;
        vertex.position = {constant(corners[i][0]), constant(0.0f), constant(corners[i][1])};
        vertex.normal = {constant(0.0f), constant(1.0f), constant(0.0f)};
        mesh.vertices.push_back(vertex);
        polygon.corners.push_back({static_cast<std::uint16_t>(i), 0.5f, 0.25f});
    }
    mesh.polygons.push_back(polygon);
    return mesh;
}

w::Light light(std::uint8_t kind, float x, float y, float z, float level = 1.0f) {
    w::Light l;
    l.kind = kind;
    l.position = {constant(x), constant(y), constant(z)};
    l.colour = {constant(level), constant(level), constant(level)};
    return l;
}

scene::Scene loadScene(const w::SceneDesc& desc) {
    const w::Bytes bytes = w::writeScene(desc);
    scene::Scene loaded;
    EXPECT_TRUE(loaded.load(std::span<const std::uint8_t>(bytes)).complete());
    return loaded;
}

w::SceneDesc floorScene(std::initializer_list<w::Light> lights) {
    w::SceneDesc desc;
    desc.camera = camera(0.0f, 5.0f, 5.0f);
    desc.meshes.push_back(floorMesh());
    desc.lights = lights;
    return desc;
}

// The state the frame composition sets before drawing a scene (texturing aside).
void prepareFrame() {
    glViewport(0, 0, width, height);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glColor3f(1.0f, 1.0f, 1.0f);
}

struct Rgb {
    int r, g, b;
};

Rgb centrePixel() {
    unsigned char rgb[3] = {0, 0, 0};
    glReadPixels(width / 2, height / 2, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return {rgb[0], rgb[1], rgb[2]};
}

int countLists() {
    int lists = 0;
    for (GLuint name = 1; name < 64; ++name) lists += glIsList(name) ? 1 : 0;
    return lists;
}

TEST(SceneRenderLighting, DirectionalLightShiningDownLightsTheFloor) {
    testsupport::GlContext ctx(width, height);
    REQUIRE_GL(ctx);
    scene::Scene scene = loadScene(floorScene({light(1, 0.0f, -1.0f, 0.0f)}));
    prepareFrame();
    scene.render(0.0f);
    const Rgb lit = centrePixel();
    EXPECT_GE(lit.r, 250);
    EXPECT_GE(lit.g, 250);
    EXPECT_GE(lit.b, 250);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(SceneRenderLighting, DistantPointLightLeavesTheFloorNearlyBlack) {
    testsupport::GlContext ctx(width, height);
    REQUIRE_GL(ctx);
    scene::Scene scene = loadScene(floorScene({light(0, 0.0f, 1000.0f, 0.0f)}));
    prepareFrame();
    scene.render(0.0f);
    const Rgb dark = centrePixel();
    EXPECT_LE(dark.r, 2);
    EXPECT_LE(dark.g, 2);
    EXPECT_LE(dark.b, 2);  // the floor covers the blue background
}

TEST(SceneRenderLighting, LightUnitsTakePositionColourAndAttenuation) {
    testsupport::GlContext ctx(width, height);
    REQUIRE_GL(ctx);
    // Looking down -z from the origin makes the view the identity, so GL reports the
    // positions exactly as they were given.
    w::SceneDesc desc;
    desc.camera = camera(0.0f, 0.0f, 0.0f, -1.0f);
    desc.lights = {light(1, 0.0f, -1.0f, 0.0f, 0.5f), light(0, 2.0f, 3.0f, -4.0f), light(7, 2.0f, 3.0f, -4.0f)};
    scene::Scene scene = loadScene(desc);
    prepareFrame();
    scene.render(0.0f);

    GLfloat position[4], diffuse[4], value = 0.0f;
    glGetLightfv(GL_LIGHT0, GL_POSITION, position);
    EXPECT_FLOAT_EQ(position[0], 0.0f);
    EXPECT_NEAR(position[1], 1.0f, 1e-3);
    EXPECT_FLOAT_EQ(position[2], 0.0f);
    EXPECT_FLOAT_EQ(position[3], 0.0f);
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    EXPECT_NEAR(diffuse[0], 0.5f, 1e-3);
    EXPECT_FLOAT_EQ(diffuse[3], 1.0f);
    for (GLenum unit : {GL_LIGHT1, GL_LIGHT2}) {  // point light, and an unknown kind drawn as one
        glGetLightfv(unit, GL_POSITION, position);
        EXPECT_NEAR(position[0], 2.0f, 1e-3);
        EXPECT_NEAR(position[1], 3.0f, 1e-3);
        EXPECT_NEAR(position[2], -4.0f, 1e-3);
        EXPECT_FLOAT_EQ(position[3], 1.0f);
        glGetLightfv(unit, GL_LINEAR_ATTENUATION, &value);
        EXPECT_FLOAT_EQ(value, 0.1f);
        glGetLightfv(unit, GL_QUADRATIC_ATTENUATION, &value);
        EXPECT_FLOAT_EQ(value, 1.0f);
        glGetLightfv(unit, GL_CONSTANT_ATTENUATION, &value);
        EXPECT_FLOAT_EQ(value, 1.0f);
        EXPECT_TRUE(glIsEnabled(unit));
    }
    EXPECT_FALSE(glIsEnabled(GL_LIGHT3));
}

TEST(SceneRenderLighting, SceneWithoutLightsUsesTheUnitsLeftByTheLastOne) {
    testsupport::GlContext ctx(width, height);
    REQUIRE_GL(ctx);
    scene::Scene twoLights = loadScene(floorScene({light(1, 0.0f, -1.0f, 0.0f, 0.3f), light(1, 0.0f, -1.0f, 0.0f, 0.3f)}));
    scene::Scene noLights = loadScene(floorScene({}));
    prepareFrame();
    noLights.render(0.0f);
    EXPECT_LE(centrePixel().r, 2);  // nothing lit yet
    prepareFrame();
    twoLights.render(0.0f);
    const int litByTwo = centrePixel().r;
    EXPECT_NEAR(litByTwo, 153, 3);
    prepareFrame();
    noLights.render(0.0f);
    EXPECT_NEAR(centrePixel().r, litByTwo, 1);
}

TEST(SceneRenderLighting, MoreLightsThanUnitsAreLeftOut) {
    testsupport::GlContext ctx(width, height);
    REQUIRE_GL(ctx);
    GLint maxLights = 0;
    glGetIntegerv(GL_MAX_LIGHTS, &maxLights);
    w::SceneDesc desc = floorScene({});
    desc.lights.assign(static_cast<std::size_t>(maxLights) + 3, light(1, 0.0f, -1.0f, 0.0f, 0.01f));
    scene::Scene scene = loadScene(desc);
    prepareFrame();
    scene.render(0.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(glIsEnabled(static_cast<GLenum>(GL_LIGHT0 + maxLights - 1)));
}

TEST(SceneRenderCamera, PerspectiveAndViewFromTheCameraTracks) {
    testsupport::GlContext ctx(width, height);
    REQUIRE_GL(ctx);
    scene::Scene scene = loadScene(floorScene({}));
    prepareFrame();
    glMatrixMode(GL_TEXTURE);
    scene.render(0.0f);

    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));

    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    const double fov = scene::decode(w::encodePacked(45.0f));
    const double aspect = scene::decode(w::encodePacked(1.3335f));
    const double f = 1.0 / std::tan(fov * M_PI / 360.0);
    EXPECT_NEAR(projection[0], f / aspect, 1e-5);
    EXPECT_NEAR(projection[5], f, 1e-5);
    EXPECT_NEAR(projection[10], -10001.0 / 9999.0, 1e-5);
    EXPECT_NEAR(projection[14], -20000.0 / 9999.0, 1e-5);
    EXPECT_FLOAT_EQ(projection[11], -1.0f);

    // The eye at (0, 5, 5) looks at the origin: the origin lies 5 * sqrt(2) ahead.
    GLfloat view[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, view);
    EXPECT_NEAR(view[14], -5.0 * std::sqrt(2.0), 1e-2);

    GLint twoSide = 0;
    glGetIntegerv(GL_LIGHT_MODEL_TWO_SIDE, &twoSide);
    EXPECT_EQ(twoSide, 1);
    GLfloat colour[4];
    glGetMaterialfv(GL_BACK, GL_AMBIENT, colour);
    EXPECT_EQ(colour[0], 0.0f);
    glGetMaterialfv(GL_BACK, GL_DIFFUSE, colour);
    EXPECT_EQ(colour[1], 1.0f);
    glGetMaterialfv(GL_FRONT, GL_SPECULAR, colour);
    EXPECT_EQ(colour[2], 0.0f);
}

TEST(SceneRenderCamera, SceneWithoutACameraDrawsNothingAndChangesNoState) {
    testsupport::GlContext ctx(width, height);
    REQUIRE_GL(ctx);
    w::SceneDesc desc = floorScene({light(1, 0.0f, -1.0f, 0.0f)});
    desc.camera.reset();
    scene::Scene scene = loadScene(desc);
    prepareFrame();
    glMatrixMode(GL_TEXTURE);
    scene.render(0.0f);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_TEXTURE);
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_EQ(projection[0], 1.0f);
    EXPECT_EQ(projection[14], 0.0f);
    EXPECT_EQ(centrePixel().b, 255);
    EXPECT_FALSE(scene.meshes[0].listDecided);
}

TEST(SceneRenderMeshes, StaticMeshCompilesOneListAtItsFirstVisibleFrame) {
    testsupport::GlContext ctx(width, height);
    REQUIRE_GL(ctx);
    w::SceneDesc desc = floorScene({light(1, 0.0f, -1.0f, 0.0f)});
    desc.meshes[0].visibility = {{false, 100}, {true, 200}};
    scene::Scene scene = loadScene(desc);
    for (float frame = 0.0f; frame <= 100.0f; frame += 10.0f) {
        prepareFrame();
        scene.render(frame);
        EXPECT_EQ(centrePixel().b, 255) << frame;  // hidden: the background shows
    }
    EXPECT_FALSE(scene.meshes[0].listDecided);
    EXPECT_EQ(countLists(), 0);

    for (float frame : {100.5f, 150.0f, 180.0f}) {
        prepareFrame();
        scene.render(frame);
        EXPECT_GE(centrePixel().r, 250) << frame;
    }
    EXPECT_TRUE(scene.meshes[0].listDecided);
    EXPECT_TRUE(scene.meshes[0].allConstant);
    EXPECT_TRUE(glIsList(scene.meshes[0].displayList));
    EXPECT_EQ(countLists(), 1);
}

TEST(SceneRenderMeshes, KeyedMeshIsSentEveryFrameWithoutAList) {
    testsupport::GlContext ctx(width, height);
    REQUIRE_GL(ctx);
    w::SceneDesc desc = floorScene({light(1, 0.0f, -1.0f, 0.0f)});
    // The floor sinks out of view between frames 0 and 10.
    for (w::Vertex& vertex : desc.meshes[0].vertices) vertex.position[1].keys = {{0.0f, 0.0f, 0}, {-2000.0f, 0.0f, 10}};
    scene::Scene scene = loadScene(desc);
    prepareFrame();
    scene.render(0.0f);
    EXPECT_GE(centrePixel().r, 250);
    prepareFrame();
    scene.render(10.0f);
    EXPECT_EQ(centrePixel().b, 255);
    EXPECT_TRUE(scene.meshes[0].listDecided);
    EXPECT_FALSE(scene.meshes[0].allConstant);
    EXPECT_EQ(countLists(), 0);
}

TEST(SceneRenderMeshes, EmptyMeshCompilesAnEmptyList) {
    testsupport::GlContext ctx(width, height);
    REQUIRE_GL(ctx);
    w::SceneDesc desc = floorScene({});
    desc.meshes = {w::Mesh{}};
    scene::Scene scene = loadScene(desc);
    prepareFrame();
    scene.render(0.0f);
    EXPECT_TRUE(scene.meshes[0].allConstant);
    EXPECT_EQ(countLists(), 1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(SceneRenderMeshes, TextureCoordinateTIsTheNegatedV) {
    testsupport::GlContext ctx(width, height);
    REQUIRE_GL(ctx);
    w::SceneDesc desc = floorScene({light(1, 0.0f, -1.0f, 0.0f)});
    desc.meshes[0].vertices[0].normal[0].keys = {{0.0f, 0.0f, 0}};  // keyed: immediate mode
    scene::Scene scene = loadScene(desc);
    prepareFrame();
    scene.render(0.0f);
    GLfloat coords[4];
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, coords);
    EXPECT_NEAR(coords[0], 0.5f, 1e-3);
    EXPECT_NEAR(coords[1], -0.25f, 1e-3);
    GLfloat normal[3];
    glGetFloatv(GL_CURRENT_NORMAL, normal);
    EXPECT_NEAR(normal[1], 1.0f, 1e-3);
}

TEST(SceneRenderMeshes, BackFacesAreLitToo) {
    testsupport::GlContext ctx(width, height);
    REQUIRE_GL(ctx);
    // The floor seen from below, lit from below: two-sided lighting reverses the normal.
    w::SceneDesc desc = floorScene({light(1, 0.0f, 1.0f, 0.0f)});
    desc.camera = camera(0.0f, -5.0f, 5.0f);
    scene::Scene scene = loadScene(desc);
    prepareFrame();
    scene.render(0.0f);
    EXPECT_GE(centrePixel().r, 250);
}

}  // namespace
