// links: scene
// Drawing scenes on a real GL context: camera projection and view, lights of each
// kind, the fixed material, display lists for static meshes, hidden meshes, the light
// units that one scene leaves for the next, and meshes drawn to the bit as polygons
// whose corners each evaluate their vertex.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

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

// Polygons of 3 to 9 corners in rings over the floor, each with its own vertices
// (keyed in the first mesh, constant in the second), their texture coordinates
// spanning many texels; a two-corner polygon, and a keyed vertex that no polygon names.
w::SceneDesc polygonScene() {
    w::SceneDesc desc = floorScene({light(1, 0.3f, -1.0f, -0.2f, 0.7f), light(0, 1.0f, 0.8f, 0.5f)});
    desc.meshes.assign(2, w::Mesh{});
    desc.meshes[0].visibility = {{true, 24}, {false, 28}, {true, 1000}};
    for (int p = 0; p < 14; ++p) {
        w::Mesh& mesh = desc.meshes[p % 2];
        const bool keyed = p % 2 == 0;
        const int corners = 3 + p % 7;
        const float cx = -4.5f + 1.5f * static_cast<float>(p % 7), cz = -2.0f + 3.0f * static_cast<float>(p / 7);
        w::Polygon polygon;
        for (int c = 0; c < corners; ++c) {
            // Clockwise in x, z: counter-clockwise seen from above, the lit side.
            const float a = -6.2831853f * static_cast<float>(c) / static_cast<float>(corners) + 0.1f * static_cast<float>(p);
            const float x = cx + 1.1f * std::cos(a), z = cz + 1.4f * std::sin(a);
            w::Vertex vertex;
            vertex.position = {constant(x), constant(0.1f * static_cast<float>(c % 2)), constant(z)};
            vertex.normal = {constant(0.2f * std::cos(a)), constant(1.0f), constant(0.2f * std::sin(a))};
            if (keyed) {
                vertex.position[0].keys = {{x, 0.05f, 0}, {x + 0.3f, -0.01f, 10}, {x - 0.2f, 0.02f, 15}};
                vertex.normal[0].keys = {{0.1f * static_cast<float>(c), 0.0f, 0}, {-0.3f, 0.01f, 25}};
            }
            const float u = 3.0f * std::cos(a) + 0.37f * static_cast<float>(p), v = 2.5f * std::sin(a);
            polygon.corners.push_back({static_cast<std::uint16_t>(mesh.vertices.size()), u, v});
            mesh.vertices.push_back(vertex);
        }
        mesh.polygons.push_back(polygon);
    }
    w::Mesh& keyed = desc.meshes[0];
    keyed.polygons.push_back(w::Polygon{{{1, 0.5f, 0.5f}, {static_cast<std::uint16_t>(keyed.vertices.size()), 0.1f, 0.1f}}});
    keyed.vertices.push_back(keyed.vertices[0]);  // named only by the two-corner polygon
    keyed.vertices.push_back(keyed.vertices[1]);  // named by none
    return desc;
}

constexpr int bigWidth = 320;
constexpr int bigHeight = 240;

std::vector<unsigned char> viewportPixels() {
    std::vector<unsigned char> rgb(bigWidth * bigHeight * 3);
    glReadPixels(0, 0, bigWidth, bigHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

// The mesh as every polygon drawn alone, each corner evaluating its vertex's tracks.
void drawPerCorner(scene::SceneMesh& mesh, float frame) {
    if (!mesh.visibility.isVisible(frame)) return;
    for (const scene::MeshPolygon& polygon : mesh.polygons) {
        glBegin(GL_POLYGON);
        for (const scene::MeshCorner& corner : mesh.cornersOf(polygon)) {
            scene::MeshVertex& v = mesh.vertices[corner.vertexIndex];
            glTexCoord2f(corner.u, -corner.v);
            glNormal3f(static_cast<float>(v.normalX.evaluate(frame)), static_cast<float>(v.normalY.evaluate(frame)),
                       static_cast<float>(v.normalZ.evaluate(frame)));
            glVertex3f(static_cast<float>(v.posX.evaluate(frame)), static_cast<float>(v.posY.evaluate(frame)),
                       static_cast<float>(v.posZ.evaluate(frame)));
        }
        glEnd();
    }
}

std::string cursors(const scene::Scene& scene) {
    std::string out;
    for (const scene::SceneMesh& mesh : scene.meshes) {
        for (const scene::MeshVertex& v : mesh.vertices) {
            for (const scene::AnimTrack* t : {&v.posX, &v.posY, &v.posZ, &v.normalX, &v.normalY, &v.normalZ}) {
                out += std::to_string(t->cursor()) + "@" + std::to_string(t->segmentStart()) + " ";
            }
        }
        out += "| ";
    }
    return out;
}

// Each vertex is evaluated once a frame and the static mesh is listed as triangles, yet
// the picture is the one of polygons whose corners each evaluate their vertex, to the
// bit (texture coordinates, normals and positions interpolated alike), and the tracks'
// cursors end where per-corner evaluation leaves them (an unnamed vertex's stay put).
TEST(SceneRenderMeshes, PolygonsDrawAsIfEachCornerEvaluatedItsVertex) {
    testsupport::GlContext ctx(bigWidth, bigHeight);
    REQUIRE_GL(ctx);
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (renderer == nullptr || std::strncmp(renderer, "llvmpipe", 8) != 0) {
        GTEST_SKIP() << "the triangles match polygons to the bit on Mesa's llvmpipe; renderer is "
                     << (renderer != nullptr ? renderer : "unknown");
    }
    const w::SceneDesc desc = polygonScene();
    scene::Scene drawn = loadScene(desc);
    scene::Scene byCorner = loadScene(desc);
    w::SceneDesc stageDesc = desc;
    stageDesc.meshes.clear();
    scene::Scene stage = loadScene(stageDesc);  // the camera and the lights alone

    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    std::vector<unsigned char> texels(16 * 16 * 3);
    for (std::size_t i = 0; i < texels.size(); ++i) texels[i] = static_cast<unsigned char>((i * 97 + i / 7 * 31) % 256);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 16, 16, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    const auto prepareTexturedFrame = [] {
        prepareFrame();
        glViewport(0, 0, bigWidth, bigHeight);
        glEnable(GL_TEXTURE_2D);
    };
    // Back and forth, and through frames where the keyed mesh is hidden.
    for (float frame : {0.0f, 6.5f, 2.25f, 19.0f, 6.5f, 26.0f, 40.0f, 33.0f}) {
        prepareTexturedFrame();
        drawn.render(frame);
        const std::vector<unsigned char> picture = viewportPixels();

        prepareTexturedFrame();
        stage.render(frame);
        glEnable(GL_LIGHTING);
        for (scene::SceneMesh& mesh : byCorner.meshes) drawPerCorner(mesh, frame);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        const std::vector<unsigned char> reference = viewportPixels();

        EXPECT_TRUE(picture == reference) << "frame " << frame;
        EXPECT_EQ(cursors(drawn), cursors(byCorner)) << "frame " << frame;
    }
    EXPECT_TRUE(drawn.meshes[1].allConstant);
    EXPECT_EQ(drawn.meshes[0].vertices.back().posX.cursor(), 0u);  // named by no polygon
}

}  // namespace
