// links: scene
// Loading scene files: the magic, chunks in any order and any number, unknown tags,
// trailing bytes, and files outside the format (cut short, counts beyond the data,
// corners that name missing vertices), which must load safely and say where they stop.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "scene/scene.h"
#include "scene/scene_writer.h"

namespace {

namespace w = scene::writer;
using Bytes = w::Bytes;

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes text(const char* s) { return Bytes(s, s + std::strlen(s)); }

Bytes constantCameraChunk() {
    // "CMRA" and eleven keyless tracks of 0x4000 (1.0000001).
    Bytes out = text("CMRA");
    for (int i = 0; i < 11; ++i) out.insert(out.end(), {0x00, 0x00, 0x00, 0x40});
    return out;
}

w::Track constant(float value) { return w::Track{value, {}}; }

Bytes lightsChunk(std::initializer_list<w::Light> lights) {
    Bytes out = text("LGTS");
    w::appendU16(out, static_cast<std::uint16_t>(lights.size()));
    for (const w::Light& light : lights) w::appendLight(out, light);
    return out;
}

Bytes meshesChunk(std::initializer_list<w::Mesh> meshes) {
    Bytes out = text("MSHS");
    w::appendU16(out, static_cast<std::uint16_t>(meshes.size()));
    for (const w::Mesh& mesh : meshes) w::appendMesh(out, mesh);
    return out;
}

w::Camera cameraAt(float eyeX) {
    w::Camera camera;
    camera.eye[0] = constant(eyeX);
    camera.fieldOfView = constant(45.0f);
    camera.aspect = constant(1.3335f);
    return camera;
}

Bytes cameraChunk(const w::Camera& camera) {
    Bytes out;
    w::appendCamera(out, camera);
    return out;
}

scene::LoadResult load(scene::Scene& scene, const Bytes& bytes) {
    return scene.load(std::span<const std::uint8_t>(bytes));
}

TEST(SceneLoaderMagic, SceneAloneIsAnEmptyCompleteScene) {
    scene::Scene scene;
    const scene::LoadResult result = load(scene, text("SCEN"));
    EXPECT_TRUE(result.complete());
    EXPECT_EQ(result.offset, 4u);
    EXPECT_FALSE(scene.camera.has_value());
    EXPECT_EQ(scene.meshCount(), 0u);
    EXPECT_EQ(scene.lightCount(), 0u);
}

TEST(SceneLoaderMagic, AnythingElseLoadsNothing) {
    for (const Bytes& bytes : {text("scen"), text("SCE"), Bytes{}, text("SCEX"), cat({text("NECS"), constantCameraChunk()}),
                               cat({text("scen"), constantCameraChunk()})}) {
        scene::Scene scene;
        const scene::LoadResult result = load(scene, bytes);
        EXPECT_EQ(result.status, scene::LoadResult::Status::notAScene);
        EXPECT_EQ(result.structure, "magic");
        EXPECT_FALSE(scene.camera.has_value());
    }
}

TEST(SceneLoaderCamera, FiftyTwoByteCameraFile) {
    const Bytes file = cat({text("SCEN"), constantCameraChunk()});
    ASSERT_EQ(file.size(), 52u);
    scene::Scene scene;
    EXPECT_TRUE(load(scene, file).complete());
    ASSERT_TRUE(scene.camera.has_value());
    EXPECT_EQ(scene.meshCount(), 0u);
    EXPECT_EQ(scene.lightCount(), 0u);
    scene::SceneCamera& camera = *scene.camera;
    for (scene::AnimTrack* track : {&camera.eyeX, &camera.eyeY, &camera.eyeZ, &camera.targetX, &camera.targetY,
                                    &camera.targetZ, &camera.upX, &camera.upY, &camera.upZ, &camera.fieldOfView,
                                    &camera.aspect}) {
        EXPECT_TRUE(track->isConstant());
        EXPECT_EQ(track->evaluate(12.0f), 1.0000001f);
    }
}

TEST(SceneLoaderCamera, SecondCameraReplacesTheFirst) {
    scene::Scene scene;
    EXPECT_TRUE(load(scene, cat({text("SCEN"), cameraChunk(cameraAt(5.0f)), cameraChunk(cameraAt(-7.0f))})).complete());
    ASSERT_TRUE(scene.camera.has_value());
    EXPECT_NEAR(scene.camera->eyeX.evaluate(0.0f), -7.0, 1e-2);
}

TEST(SceneLoaderChunks, UnknownTagCostsExactlyFourBytes) {
    scene::Scene scene;
    EXPECT_TRUE(load(scene, cat({text("SCEN"), text("JUNK"), constantCameraChunk()})).complete());
    EXPECT_TRUE(scene.camera.has_value());
    // Data that is not a multiple of 4 bytes puts the camera tag off the 4-byte steps.
    scene::Scene shifted;
    load(shifted, cat({text("SCEN"), text("JUNKS"), constantCameraChunk()}));
    EXPECT_FALSE(shifted.camera.has_value());
}

TEST(SceneLoaderChunks, UpToThreeTrailingBytesAreIgnored) {
    for (std::size_t extra = 1; extra <= 3; ++extra) {
        Bytes file = cat({text("SCEN"), constantCameraChunk()});
        file.insert(file.end(), extra, 0x4C);
        scene::Scene scene;
        const scene::LoadResult result = load(scene, file);
        EXPECT_TRUE(result.complete()) << extra;
        EXPECT_EQ(result.offset, 52u);
        EXPECT_TRUE(scene.camera.has_value());
    }
}

TEST(SceneLoaderChunks, ChunksInEitherOrderGiveTheSameScene) {
    w::Light light;
    light.kind = 1;
    light.position = {constant(0.0f), constant(-1.0f), constant(0.0f)};
    light.colour = {constant(1.0f), constant(0.5f), constant(0.25f)};
    const Bytes camera = cameraChunk(cameraAt(3.0f));
    const Bytes lights = lightsChunk({light});
    scene::Scene first, second;
    EXPECT_TRUE(load(first, cat({text("SCEN"), lights, camera})).complete());
    EXPECT_TRUE(load(second, cat({text("SCEN"), camera, lights})).complete());
    for (scene::Scene* scene : {&first, &second}) {
        ASSERT_TRUE(scene->camera.has_value());
        EXPECT_NEAR(scene->camera->eyeX.evaluate(0.0f), 3.0, 1e-2);
        ASSERT_EQ(scene->lightCount(), 1u);
        EXPECT_EQ(scene->lights[0].lightKind, 1);
        EXPECT_NEAR(scene->lights[0].posY.evaluate(0.0f), -1.0, 1e-3);
        EXPECT_NEAR(scene->lights[0].green.evaluate(0.0f), 0.5, 1e-3);
    }
}

TEST(SceneLoaderChunks, LaterChunksReplaceEarlierOnes) {
    w::Mesh mesh;
    scene::Scene scene;
    EXPECT_TRUE(load(scene, cat({text("SCEN"), meshesChunk({mesh, mesh, mesh}), meshesChunk({mesh})})).complete());
    EXPECT_EQ(scene.meshCount(), 1u);
    EXPECT_TRUE(load(scene, cat({text("SCEN"), lightsChunk({w::Light{}, w::Light{}}), lightsChunk({})})).complete());
    EXPECT_EQ(scene.lightCount(), 0u);
}

TEST(SceneLoaderChunks, LoadingAgainStartsEmpty) {
    scene::Scene scene;
    load(scene, cat({text("SCEN"), constantCameraChunk(), meshesChunk({w::Mesh{}}), lightsChunk({w::Light{}})}));
    EXPECT_EQ(scene.meshCount(), 1u);
    load(scene, text("SCEN"));
    EXPECT_FALSE(scene.camera.has_value());
    EXPECT_EQ(scene.meshCount(), 0u);
    EXPECT_EQ(scene.lightCount(), 0u);
    load(scene, cat({text("SCEN"), constantCameraChunk()}));
    load(scene, text("nope"));
    EXPECT_FALSE(scene.camera.has_value());
}

TEST(SceneLoaderMesh, EmptyMeshesAndPolygons) {
    w::Mesh empty;
    empty.headerWord = 0xBEEF;
    w::Mesh cornerless;
    cornerless.polygons.resize(2);  // a polygon without corners is one byte
    scene::Scene scene;
    const Bytes file = cat({text("SCEN"), meshesChunk({empty, cornerless})});
    EXPECT_EQ(file.size(), 4u + 6u + 20u + 22u);
    EXPECT_TRUE(load(scene, file).complete());
    ASSERT_EQ(scene.meshCount(), 2u);
    EXPECT_EQ(scene.meshes[0].headerWord, 0xBEEF);
    EXPECT_EQ(scene.meshes[0].polygonCount(), 0u);
    EXPECT_EQ(scene.meshes[0].vertexCount(), 0u);
    EXPECT_FALSE(scene.meshes[0].listDecided);
    ASSERT_EQ(scene.meshes[1].polygonCount(), 2u);
    EXPECT_EQ(scene.meshes[1].polygons[1].cornerCount(), 0u);
    EXPECT_TRUE(load(scene, cat({text("SCEN"), meshesChunk({})})).complete());
    EXPECT_EQ(scene.meshCount(), 0u);
}

TEST(SceneLoaderMesh, CornersAndVertices) {
    w::Mesh mesh;
    mesh.visibility = {{true, 10}, {false, 30}};
    mesh.polygons.push_back({{{0, 0.5f, 0.25f}, {1, 1.0f, 0.0f}, {2, 0.0f, 1.0f}}});
    mesh.vertices.resize(3);
    mesh.vertices[1].position[2].keys = {{2.0f, 0.0f, 0}, {4.0f, 0.0f, 8}};
    scene::Scene scene;
    EXPECT_TRUE(load(scene, cat({text("SCEN"), meshesChunk({mesh})})).complete());
    ASSERT_EQ(scene.meshCount(), 1u);
    scene::SceneMesh& loaded = scene.meshes[0];
    EXPECT_EQ(loaded.visibility.keyCount(), 2u);
    ASSERT_EQ(loaded.polygonCount(), 1u);
    ASSERT_EQ(loaded.polygons[0].cornerCount(), 3u);
    EXPECT_EQ(loaded.polygons[0].corners[2].vertexIndex, 2);
    EXPECT_NEAR(loaded.polygons[0].corners[0].u, 0.5f, 1e-3);
    EXPECT_NEAR(loaded.polygons[0].corners[0].v, 0.25f, 1e-3);
    EXPECT_EQ(loaded.polygons[0].corners[1].v, 0.0f);
    ASSERT_EQ(loaded.vertexCount(), 3u);
    EXPECT_TRUE(loaded.vertices[0].isConstant());
    EXPECT_FALSE(loaded.vertices[1].isConstant());
    EXPECT_TRUE(loaded.vertices[2].isConstant());
}

TEST(SceneLoaderMesh, OneKeyedTrackMakesAVertexNotConstant) {
    for (int track = 0; track < 6; ++track) {
        w::Mesh mesh;
        mesh.vertices.resize(1);
        w::Track& keyed = track < 3 ? mesh.vertices[0].position[track] : mesh.vertices[0].normal[track - 3];
        keyed.keys = {{1.0f, 0.0f, 0}};
        scene::Scene scene;
        load(scene, cat({text("SCEN"), meshesChunk({mesh})}));
        ASSERT_EQ(scene.meshCount(), 1u);
        EXPECT_FALSE(scene.meshes[0].vertices[0].isConstant()) << track;
    }
}

TEST(SceneLoaderMesh, PolygonNamingAMissingVertexIsDropped) {
    w::Mesh mesh;
    mesh.polygons.push_back({{{0, 0.0f, 0.0f}, {1, 0.0f, 0.0f}, {2, 0.0f, 0.0f}}});
    mesh.polygons.push_back({{{0, 0.0f, 0.0f}, {3, 0.0f, 0.0f}, {1, 0.0f, 0.0f}}});  // vertex 3 of 3
    mesh.polygons.push_back({{{2, 0.0f, 0.0f}, {1, 0.0f, 0.0f}, {0, 0.0f, 0.0f}}});
    mesh.polygons.push_back({{{65535, 0.0f, 0.0f}}});
    mesh.vertices.resize(3);
    scene::Scene scene;
    const scene::LoadResult result = load(scene, cat({text("SCEN"), meshesChunk({mesh})}));
    EXPECT_TRUE(result.complete());
    EXPECT_EQ(result.droppedPolygons, 2u);
    ASSERT_EQ(scene.meshCount(), 1u);
    ASSERT_EQ(scene.meshes[0].polygonCount(), 2u);
    EXPECT_EQ(scene.meshes[0].polygons[1].corners[0].vertexIndex, 2);
}

TEST(SceneLoaderLimits, HugeCountsInTinyFilesAllocateNothingLarge) {
    // 65535 meshes announced in a 20-byte file.
    Bytes file = cat({text("SCEN"), text("MSHS"), {0xFF, 0xFF}, Bytes(10, 0)});
    ASSERT_EQ(file.size(), 20u);
    scene::Scene scene;
    scene::LoadResult result = load(scene, file);
    EXPECT_EQ(result.status, scene::LoadResult::Status::cutShort);
    EXPECT_EQ(scene.meshCount(), 0u);
    EXPECT_LE(scene.meshes.capacity(), 1u);

    // One mesh announcing 65535 polygons and then 65535 vertices.
    file = cat({text("SCEN"), text("MSHS"), {0x01, 0x00}, Bytes(6, 0), {0x00, 0x00}, Bytes(4, 0), {0xFF, 0xFF}});
    result = load(scene, file);
    EXPECT_EQ(result.status, scene::LoadResult::Status::cutShort);
    EXPECT_EQ(result.offset, file.size());
    EXPECT_NE(result.structure.find("polygon 0 of 65535"), std::string::npos) << result.structure;

    // 65535 lights, each of which would need 25 bytes: room for the two that fit and
    // the one the data ends inside.
    file = cat({text("SCEN"), text("LGTS"), {0xFF, 0xFF}, Bytes(60, 0)});
    result = load(scene, file);
    EXPECT_EQ(result.status, scene::LoadResult::Status::cutShort);
    EXPECT_EQ(scene.lightCount(), 2u);
    EXPECT_LE(scene.lights.capacity(), 3u);
}

TEST(SceneLoaderLimits, CutShortKeepsCompleteObjectsAndSaysWhere) {
    w::Light light;
    const Bytes lights = lightsChunk({light, light, light});
    Bytes file = cat({text("SCEN"), constantCameraChunk(), lights});
    file.resize(file.size() - 1);  // the third light loses its last byte
    scene::Scene scene;
    const scene::LoadResult result = load(scene, file);
    EXPECT_FALSE(result.complete());
    EXPECT_EQ(result.status, scene::LoadResult::Status::cutShort);
    EXPECT_EQ(result.size, file.size());
    EXPECT_EQ(result.offset, file.size() - 1);  // the blue track's count was read, its value is not whole
    EXPECT_EQ(result.structure, "LGTS chunk at byte 52, light 2 of 3, track blue");
    EXPECT_EQ(result.message(), "cut short at byte " + std::to_string(file.size() - 1) + " of " +
                                    std::to_string(file.size()) + " in LGTS chunk at byte 52, light 2 of 3, track blue");
    EXPECT_TRUE(scene.camera.has_value());
    EXPECT_EQ(scene.lightCount(), 2u);
}

TEST(SceneLoaderLimits, CameraCutShortIsDropped) {
    Bytes file = cat({text("SCEN"), constantCameraChunk(), constantCameraChunk()});
    file.resize(file.size() - 4);
    scene::Scene scene;
    const scene::LoadResult result = load(scene, file);
    EXPECT_EQ(result.structure, "CMRA chunk at byte 52, track aspect");
    // The second camera replaced the first when its tag was read.
    EXPECT_FALSE(scene.camera.has_value());
}

TEST(SceneLoaderStream, ReadsFromAnOpenStreamToItsEnd) {
    const Bytes file = cat({text("SCEN"), constantCameraChunk(), lightsChunk({w::Light{}})});
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    std::fwrite(file.data(), 1, file.size(), stream);
    std::rewind(stream);
    scene::Scene scene;
    const scene::LoadResult result = scene.load(stream);
    std::fclose(stream);
    EXPECT_TRUE(result.complete());
    EXPECT_EQ(result.size, file.size());
    EXPECT_TRUE(scene.camera.has_value());
    EXPECT_EQ(scene.lightCount(), 1u);
}

TEST(SceneLoaderStream, LargerThanOneReadBuffer) {
    w::Mesh mesh;
    mesh.vertices.resize(20000);  // 480000 bytes of vertices
    const Bytes file = cat({text("SCEN"), meshesChunk({mesh})});
    std::FILE* stream = fmemopen(const_cast<std::uint8_t*>(file.data()), file.size(), "rb");
    ASSERT_NE(stream, nullptr);
    scene::Scene scene;
    const scene::LoadResult result = scene.load(stream);
    std::fclose(stream);
    EXPECT_TRUE(result.complete()) << result.message();
    ASSERT_EQ(scene.meshCount(), 1u);
    EXPECT_EQ(scene.meshes[0].vertexCount(), 20000u);
}

TEST(SceneLoaderStream, ReadsFromTheCurrentPosition) {
    const Bytes file = cat({text("junk"), text("SCEN"), constantCameraChunk()});
    std::FILE* stream = fmemopen(const_cast<std::uint8_t*>(file.data()), file.size(), "rb");
    ASSERT_NE(stream, nullptr);
    ASSERT_EQ(std::fseek(stream, 4, SEEK_SET), 0);
    scene::Scene scene;
    const scene::LoadResult result = scene.load(stream);
    std::fclose(stream);
    EXPECT_TRUE(result.complete());
    EXPECT_EQ(result.size, 52u);
    EXPECT_TRUE(scene.camera.has_value());
}

TEST(SceneLoaderStream, PipeThatCannotTellItsLength) {
    w::Mesh mesh;
    mesh.vertices.resize(10000);  // 240000 bytes, more than a pipe buffers
    const Bytes file = cat({text("SCEN"), meshesChunk({mesh}), lightsChunk({w::Light{}})});
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::thread writer([&] {
        std::size_t done = 0;
        while (done < file.size()) {
            const ssize_t wrote = write(fds[1], file.data() + done, file.size() - done);
            if (wrote <= 0) break;
            done += static_cast<std::size_t>(wrote);
        }
        close(fds[1]);
    });
    std::FILE* stream = fdopen(fds[0], "rb");
    ASSERT_NE(stream, nullptr);
    scene::Scene scene;
    const scene::LoadResult result = scene.load(stream);
    std::fclose(stream);
    writer.join();
    EXPECT_TRUE(result.complete()) << result.message();
    EXPECT_EQ(result.size, file.size());
    ASSERT_EQ(scene.meshCount(), 1u);
    EXPECT_EQ(scene.meshes[0].vertexCount(), 10000u);
    EXPECT_EQ(scene.lightCount(), 1u);
}

TEST(SceneLoaderStream, UnreadableStreamIsAReadError) {
    // A stream opened for writing only cannot be read from.
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    std::FILE* writeOnly = std::freopen(nullptr, "wb", stream);
    ASSERT_NE(writeOnly, nullptr);
    scene::Scene scene;
    const scene::LoadResult result = scene.load(writeOnly);
    std::fclose(writeOnly);
    EXPECT_EQ(result.status, scene::LoadResult::Status::readError);
    EXPECT_FALSE(result.complete());
    EXPECT_EQ(scene.load(nullptr).status, scene::LoadResult::Status::readError);
}

}  // namespace
