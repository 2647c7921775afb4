// links: scene
// Loading scene files: the magic, chunks in any order and any number, unknown tags,
// trailing bytes, and files outside the format (cut short, counts beyond the data,
// corners that name missing vertices), which must load safely and say where they stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "scene/scene.h"
#include "scene/scene_writer.h"

// The heap as the loader uses it, counted while a test asks: the bytes in use as
// glibc's allocator would hold them (each block rounded up to 16 with an 8-byte header,
// 32 at least), their peak, and an allocation that fails on purpose.
namespace heap {
bool counting = false;
std::size_t inUse = 0;
std::size_t peak = 0;
long failAt = -1;  // the allocation (counted from 0 while counting) that throws; -1 none
long made = 0;

std::size_t chunkOf(std::size_t bytes) { return std::max<std::size_t>(32, (bytes + 8 + 15) & ~std::size_t{15}); }

struct Header {
    std::size_t bytes;
    bool counted;
    alignas(16) unsigned char payload[1];
};
constexpr std::size_t headerBytes = offsetof(Header, payload);

void* allocate(std::size_t bytes) {
    if (counting && made++ == failAt) throw std::bad_alloc();
    auto* header = static_cast<Header*>(std::malloc(headerBytes + bytes));
    if (header == nullptr) throw std::bad_alloc();
    header->bytes = bytes;
    header->counted = counting;
    if (counting) {
        inUse += chunkOf(bytes);
        peak = std::max(peak, inUse);
    }
    return header->payload;
}

void release(void* p) {
    if (p == nullptr) return;
    auto* header = reinterpret_cast<Header*>(static_cast<unsigned char*>(p) - headerBytes);
    if (header->counted) inUse -= chunkOf(header->bytes);
    std::free(header);
}

// Counts from here on; `failing`: the allocation that throws (-1 none).
void start(long failing = -1) {
    inUse = peak = 0;
    made = 0;
    failAt = failing;
    counting = true;
}
void stop() { counting = false; }
}  // namespace heap

void* operator new(std::size_t bytes) { return heap::allocate(bytes); }
void* operator new[](std::size_t bytes) { return heap::allocate(bytes); }
void operator delete(void* p) noexcept { heap::release(p); }
void operator delete[](void* p) noexcept { heap::release(p); }
void operator delete(void* p, std::size_t) noexcept { heap::release(p); }
void operator delete[](void* p, std::size_t) noexcept { heap::release(p); }

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
    EXPECT_EQ(scene.meshes[1].polygons[1].cornerCount, 0u);
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
    const auto corners = loaded.cornersOf(loaded.polygons[0]);
    ASSERT_EQ(corners.size(), 3u);
    EXPECT_EQ(corners[2].vertexIndex, 2);
    EXPECT_NEAR(corners[0].u, 0.5f, 1e-3);
    EXPECT_NEAR(corners[0].v, 0.25f, 1e-3);
    EXPECT_EQ(corners[1].v, 0.0f);
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
    EXPECT_EQ(scene.meshes[0].cornersOf(scene.meshes[0].polygons[1])[0].vertexIndex, 2);
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

// A stream with `bytes` and then `zeros` zero bytes, without holding them in memory.
std::FILE* sparseStream(const Bytes& bytes, std::size_t zeros) {
    std::FILE* stream = std::tmpfile();
    if (stream == nullptr) return nullptr;
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
    if (ftruncate(fileno(stream), static_cast<off_t>(bytes.size() + zeros)) != 0) {
        std::fclose(stream);
        return nullptr;
    }
    std::rewind(stream);
    return stream;
}

TEST(SceneLoaderStream, AForeignFileIsReadNoFurtherThanItsFirstFourBytes) {
    for (const Bytes& head : {text("XXXX"), text("scen"), Bytes(4, 0)}) {
        std::FILE* stream = sparseStream(head, 300u << 20);
        ASSERT_NE(stream, nullptr);
        scene::Scene scene;
        const scene::LoadResult result = scene.load(stream);
        EXPECT_EQ(std::ftell(stream), 4);
        std::fclose(stream);
        EXPECT_EQ(result.status, scene::LoadResult::Status::notAScene);
        EXPECT_EQ(result.size, 4u);
    }
}

TEST(SceneLoaderStream, AFileBeyondTheSizeLimitLoadsUpToItAndSaysSo) {
    const Bytes head = cat({text("SCEN"), constantCameraChunk()});
    // Exactly the limit: complete. One byte more: what the limit holds, called too large.
    for (const std::size_t extra : {std::size_t{0}, std::size_t{1}, std::size_t{5} << 20}) {
        std::FILE* stream = sparseStream(head, scene::maxSceneFileBytes - head.size() + extra);
        ASSERT_NE(stream, nullptr);
        scene::Scene scene;
        const scene::LoadResult result = scene.load(stream);
        std::fclose(stream);
        EXPECT_EQ(result.size, scene::maxSceneFileBytes) << extra;
        EXPECT_EQ(result.offset, scene::maxSceneFileBytes) << extra;
        EXPECT_TRUE(scene.camera.has_value()) << extra;
        if (extra == 0) {
            EXPECT_TRUE(result.complete()) << result.message();
        } else {
            EXPECT_EQ(result.status, scene::LoadResult::Status::tooLarge) << extra;
            EXPECT_EQ(result.message(), "too large: longer than 33554432 bytes; loaded the first 33554432") << extra;
        }
    }
    // A chunk that the limit cuts says where.
    Bytes cut = cat({text("SCEN"), lightsChunk({w::Light{}, w::Light{}})});
    std::FILE* stream = sparseStream(Bytes(), scene::maxSceneFileBytes + 8);
    ASSERT_NE(stream, nullptr);
    std::fwrite(text("SCEN").data(), 1, 4, stream);
    std::fseek(stream, static_cast<long>(scene::maxSceneFileBytes - 32), SEEK_SET);
    std::fwrite(cut.data() + 4, 1, cut.size() - 4, stream);
    std::rewind(stream);
    scene::Scene scene;
    const scene::LoadResult result = scene.load(stream);
    std::fclose(stream);
    EXPECT_EQ(result.status, scene::LoadResult::Status::tooLarge);
    EXPECT_EQ(scene.lightCount(), 1u);
    EXPECT_EQ(result.message(), "too large: longer than 33554432 bytes; loaded the first 33554432, stopped at byte "
                                "33554432 in LGTS chunk at byte 33554400, light 1 of 2, track posX");
}

// Files made of the structures that cost the most memory for their bytes, about 1 MB
// each, and one like the show's: loading any holds at most 9 times the bytes read, plus
// the 64 KiB read block.
TEST(SceneLoaderLimits, PeakMemoryStaysWithinNineTimesTheBytesRead) {
    auto meshHead = [](std::uint16_t visibilityKeys, std::uint16_t polygons) {
        Bytes out(4, 0);
        w::appendU16(out, 0);
        w::appendU16(out, visibilityKeys);
        out.insert(out.end(), 3u * visibilityKeys, 1);
        out.insert(out.end(), 4, 0);
        w::appendU16(out, polygons);
        return out;
    };
    auto vertices = [](std::uint16_t count, const Bytes& vertex) {
        Bytes out(4, 0);
        w::appendU16(out, count);
        for (std::uint16_t i = 0; i < count; ++i) out.insert(out.end(), vertex.begin(), vertex.end());
        return out;
    };
    auto meshes = [](std::uint16_t count, const Bytes& mesh) {
        Bytes out = text("MSHS");
        w::appendU16(out, count);
        for (std::uint16_t i = 0; i < count; ++i) out.insert(out.end(), mesh.begin(), mesh.end());
        return out;
    };
    const Bytes oneKeyTrack = {1, 0, 0, 0x40, 0, 0, 1, 0};
    Bytes oneKeyVertex;
    for (int i = 0; i < 6; ++i) oneKeyVertex.insert(oneKeyVertex.end(), oneKeyTrack.begin(), oneKeyTrack.end());

    // 65535 polygons without corners, 16 times over.
    Bytes cornerless = meshHead(0, 65535);
    cornerless.insert(cornerless.end(), 65535, 0);
    cornerless = cat({cornerless, vertices(0, {})});
    // Polygons of one corner on the mesh's one vertex.
    Bytes oneCorner = meshHead(0, 65535);
    for (int i = 0; i < 65535; ++i) oneCorner.insert(oneCorner.end(), {1, 0, 0, 0, 0, 0, 0});
    oneCorner = cat({oneCorner, vertices(1, oneKeyVertex)});
    // Meshes of 24 bytes: a visibility key and a polygon without corners.
    Bytes tinyMesh = cat({meshHead(1, 1), {0}, vertices(0, {})});
    // Vertices and lights whose tracks have one key each.
    Bytes light = {0};
    light.insert(light.end(), oneKeyVertex.begin(), oneKeyVertex.end());
    Bytes lights = text("LGTS");
    w::appendU16(lights, 20000);
    for (int i = 0; i < 20000; ++i) lights.insert(lights.end(), light.begin(), light.end());
    // A mesh like the show's: a grid of constant vertices, four-cornered polygons.
    w::Mesh grid;
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 100; ++x) {
            w::Vertex v;
            v.position = {constant(static_cast<float>(x)), constant(static_cast<float>(y)), constant(0.5f)};
            v.normal = {constant(0), constant(0), constant(1)};
            grid.vertices.push_back(v);
            if (x < 99 && y < 99) {
                const auto at = [](int cx, int cy) { return static_cast<std::uint16_t>(cy * 100 + cx); };
                grid.polygons.push_back(
                    {{{at(x, y), 0.1f, 0.1f}, {at(x + 1, y), 0.2f, 0.1f}, {at(x + 1, y + 1), 0.2f, 0.2f}, {at(x, y + 1), 0.1f, 0.2f}}});
            }
        }
    }

    const struct {
        const char* name;
        Bytes file;
    } files[] = {
        {"polygons without corners", cat({text("SCEN"), meshes(16, cornerless)})},
        {"polygons of one corner", cat({text("SCEN"), meshes(2, oneCorner)})},
        {"meshes of 24 bytes", cat({text("SCEN"), meshes(40000, tinyMesh)})},
        {"vertices of one-key tracks", cat({text("SCEN"), meshes(1, cat({meshHead(0, 0), vertices(20000, oneKeyVertex)}))})},
        {"lights of one-key tracks", cat({text("SCEN"), lights})},
        {"a grid like the show's", cat({text("SCEN"), meshesChunk({grid, grid, grid})})},
    };
    for (const auto& file : files) {
        std::FILE* stream = fmemopen(const_cast<std::uint8_t*>(file.file.data()), file.file.size(), "rb");
        ASSERT_NE(stream, nullptr);
        scene::Scene scene;
        heap::start();
        const scene::LoadResult result = scene.load(stream);
        heap::stop();
        std::fclose(stream);
        EXPECT_TRUE(result.complete()) << file.name << ": " << result.message();
        const double ratio = static_cast<double>(heap::peak) / static_cast<double>(file.file.size());
        std::printf("%-28s %8zu bytes, peak %9zu bytes on the heap: %.2f times\n", file.name, file.file.size(),
                    heap::peak, ratio);
        EXPECT_GT(file.file.size(), 400000u) << file.name;
        EXPECT_LE(heap::peak, 9 * file.file.size() + 64 * 1024) << file.name;
    }
}

TEST(SceneLoaderLimits, RunningOutOfMemoryAnywhereLeavesAnEmptySceneAndSaysSo) {
    w::Mesh mesh;
    mesh.visibility = {{true, 10}};
    mesh.polygons.push_back({{{0, 0.5f, 0.25f}, {1, 1.0f, 0.0f}, {2, 0.0f, 1.0f}}});
    mesh.vertices.resize(3);
    mesh.vertices[1].position[2].keys = {{2.0f, 0.0f, 0}, {4.0f, 0.0f, 8}};
    w::Light light;
    light.colour[0].keys = {{1.0f, 0.0f, 0}};
    const Bytes file = cat({text("SCEN"), cameraChunk(cameraAt(2.0f)), meshesChunk({mesh, mesh}), lightsChunk({light})});
    for (const bool fromStream : {false, true}) {
        long failures = 0;
        for (long failing = 0;; ++failing) {
            std::FILE* stream = fromStream ? fmemopen(const_cast<std::uint8_t*>(file.data()), file.size(), "rb") : nullptr;
            scene::Scene scene;
            heap::start(failing);
            const scene::LoadResult result = fromStream ? scene.load(stream) : load(scene, file);
            const bool failed = heap::made > failing;
            heap::stop();
            if (stream != nullptr) std::fclose(stream);
            if (!failed) {
                EXPECT_TRUE(result.complete()) << result.message();
                EXPECT_EQ(scene.meshCount(), 2u);
                break;
            }
            ++failures;
            EXPECT_EQ(result.status, scene::LoadResult::Status::outOfMemory) << failing;
            EXPECT_LE(result.size, file.size()) << failing;
            EXPECT_EQ(result.message(), "out of memory after reading " + std::to_string(result.size) + " bytes; nothing loaded")
                << failing;
            EXPECT_FALSE(scene.camera.has_value()) << failing;
            EXPECT_EQ(scene.meshCount(), 0u) << failing;
            EXPECT_EQ(scene.lightCount(), 0u) << failing;
        }
        EXPECT_GT(failures, 10) << fromStream;
    }
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
