// links: scene
// The writer is the loader's inverse: nearest-code packing of floats, byte layouts of
// each structure, and random scenes that load back as the same model, whole or cut
// short at any byte.
#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "scene/packed_scalar.h"
#include "scene/scene.h"
#include "scene/scene_writer.h"

namespace {

namespace w = scene::writer;
using Bytes = w::Bytes;

float packed(float value) { return scene::decode(w::encodePacked(value)); }

TEST(EncodePacked, EveryCodeComesBack) {
    for (std::uint32_t word = 0; word <= 0xFFFF; ++word) {
        if (word == 0x8000) continue;  // -0.0 packs as the plain zero
        ASSERT_EQ(w::encodePacked(scene::decode(word)), word) << std::hex << word;
    }
    EXPECT_EQ(w::encodePacked(-0.0f), 0x0000);
}

TEST(EncodePacked, RandomFloatsTakeTheNearestCode) {
    std::mt19937 random(12345);
    std::uniform_real_distribution<double> exponent(-4.2, 4.2);
    for (int i = 0; i < 200000; ++i) {
        const float value = static_cast<float>(std::pow(10.0, exponent(random)) * (i % 2 ? -1.0 : 1.0));
        const std::uint16_t code = w::encodePacked(value);
        const double got = std::fabs(scene::decode(code) - static_cast<double>(value));
        const std::uint32_t magnitude = code & 0x7FFFu;
        ASSERT_NE(magnitude, 0u);
        ASSERT_EQ((code & 0x8000) != 0, value < 0.0f);
        if (magnitude > 1) {
            ASSERT_LE(got, std::fabs(scene::decode(code - 1) - static_cast<double>(value))) << value;
        }
        if (magnitude < 0x7FFF) {
            ASSERT_LE(got, std::fabs(scene::decode(code + 1) - static_cast<double>(value))) << value;
        }
    }
}

TEST(EncodePacked, TiesGoToTheSmallerMagnitude) {
    // The midpoint of two neighbouring entries, where it is a float.
    const scene::PackedScalarTable& table = scene::packedScalarTable();
    int found = 0;
    for (int i = 0; i + 1 < scene::PackedScalarTable::entryCount && found < 50; ++i) {
        const double middle = (static_cast<double>(table.entries[i]) + table.entries[i + 1]) / 2.0;
        const float asFloat = static_cast<float>(middle);
        if (asFloat != middle) continue;
        ++found;
        EXPECT_EQ(w::encodePacked(asFloat), i + 1);
        EXPECT_EQ(w::encodePacked(-asFloat), 0x8000 | (i + 1));
    }
    EXPECT_GT(found, 0);
}

TEST(EncodePacked, ZeroAndTheEndsOfTheScale) {
    EXPECT_EQ(w::encodePacked(0.0f), 0x0000);
    EXPECT_EQ(w::encodePacked(1e-9f), 0x0001);
    EXPECT_EQ(w::encodePacked(-1e-30f), 0x8001);
    EXPECT_EQ(w::encodePacked(std::numeric_limits<float>::denorm_min()), 0x0001);
    EXPECT_EQ(w::encodePacked(1e9f), 0x7FFF);
    EXPECT_EQ(w::encodePacked(-20000.0f), 0xFFFF);
    EXPECT_EQ(w::encodePacked(INFINITY), 0x7FFF);
    EXPECT_EQ(w::encodePacked(-INFINITY), 0xFFFF);
    EXPECT_EQ(w::encodePacked(NAN), 0x0000);
    EXPECT_EQ(w::encodePacked(1.0f), 0x4000);  // 1.0000001 is the nearest
}

TEST(WriterLayout, StructureSizes) {
    Bytes out;
    w::appendTrack(out, w::Track{2.0f, {}});
    EXPECT_EQ(out.size(), 4u);
    out.clear();
    w::appendTrack(out, w::Track{0.0f, {{1.0f, 0.0f, 0}, {2.0f, 0.5f, 10}}});
    EXPECT_EQ(out, (Bytes{0x02, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00, 0xD1, 0x44, 0x2F, 0x3B, 0x0A, 0x00}));
    out.clear();
    w::appendPolygon(out, w::Polygon{});
    EXPECT_EQ(out, Bytes{0x00});
    out.clear();
    w::appendVisibility(out, {{true, 10}, {false, 0x1234}});
    EXPECT_EQ(out, (Bytes{0x02, 0x00, 0x01, 0x0A, 0x00, 0x00, 0x34, 0x12}));
    out.clear();
    w::appendCamera(out, w::Camera{});
    EXPECT_EQ(out.size(), 48u);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 4), "CMRA");
    out.clear();
    w::appendLight(out, w::Light{});
    EXPECT_EQ(out.size(), 25u);
    out.clear();
    w::appendMesh(out, w::Mesh{});
    EXPECT_EQ(out.size(), 20u);
    const Bytes empty = w::writeScene(w::SceneDesc{});
    EXPECT_EQ(std::string(empty.begin(), empty.end()), std::string("SCENMSHS\0\0LGTS\0\0", 16));
}

// A random scene description in the ranges the show uses.
class RandomScenes {
public:
    explicit RandomScenes(unsigned seed) : random_(seed) {}

    w::SceneDesc next() {
        w::SceneDesc desc;
        if (pick(4) != 0) {
            w::Camera camera;
            for (auto* tracks : {&camera.eye, &camera.target, &camera.up}) {
                for (w::Track& t : *tracks) t = track();
            }
            camera.fieldOfView = track();
            camera.aspect = track();
            desc.camera = camera;
        }
        for (int m = pick(4); m > 0; --m) {
            w::Mesh mesh;
            mesh.headerWord = static_cast<std::uint16_t>(pick(65536));
            std::uint16_t last = 0;
            for (int k = pick(4); k > 0; --k) {
                last = static_cast<std::uint16_t>(last + pick(50));
                mesh.visibility.push_back({pick(2) == 0, last});
            }
            const int vertexCount = pick(8);
            for (int v = 0; v < vertexCount; ++v) {
                w::Vertex vertex;
                for (w::Track& t : vertex.position) t = track();
                for (w::Track& t : vertex.normal) t = track();
                mesh.vertices.push_back(vertex);
            }
            for (int p = pick(5); p > 0 && vertexCount > 0; --p) {
                w::Polygon polygon;
                for (int c = pick(6); c > 0; --c) {
                    polygon.corners.push_back({static_cast<std::uint16_t>(pick(vertexCount)), value(), value()});
                }
                mesh.polygons.push_back(polygon);
            }
            desc.meshes.push_back(mesh);
        }
        for (int l = pick(3); l > 0; --l) {
            w::Light light;
            light.kind = static_cast<std::uint8_t>(pick(3));
            for (w::Track& t : light.position) t = track();
            for (w::Track& t : light.colour) t = track();
            desc.lights.push_back(light);
        }
        return desc;
    }

private:
    int pick(int below) { return static_cast<int>(random_() % static_cast<unsigned>(below)); }
    float value() {
        if (pick(8) == 0) return 0.0f;
        const float magnitude = static_cast<float>(std::pow(10.0, (random_() % 8000) / 1000.0 - 4.0));
        return pick(2) == 0 ? magnitude : -magnitude;
    }
    w::Track track() {
        w::Track t;
        t.constant = value();
        for (int k = pick(3) == 0 ? pick(5) : 0; k > 0; --k) {
            t.keys.push_back({value(), value(), static_cast<std::uint16_t>(pick(3) == 0 ? 0 : pick(100))});
        }
        return t;
    }
    std::mt19937 random_;
};

void expectTrack(const scene::AnimTrack& loaded, const w::Track& desc, const std::string& where) {
    ASSERT_EQ(loaded.keyCount(), desc.keys.size()) << where;
    EXPECT_EQ(loaded.isConstant(), desc.keys.empty()) << where;
    if (desc.keys.empty()) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(loaded.constantValue()),
                  std::bit_cast<std::uint32_t>(packed(desc.constant)))
            << where;
    }
    for (std::size_t i = 0; i < desc.keys.size(); ++i) {
        EXPECT_EQ(loaded.keys()[i].value, w::encodePacked(desc.keys[i].value)) << where;
        EXPECT_EQ(loaded.keys()[i].tangent, w::encodePacked(desc.keys[i].tangent)) << where;
        EXPECT_EQ(loaded.keys()[i].span, desc.keys[i].span) << where;
    }
}

void expectMesh(const scene::SceneMesh& loaded, const w::Mesh& desc, const std::string& where) {
    EXPECT_EQ(loaded.headerWord, desc.headerWord) << where;
    ASSERT_EQ(loaded.visibility.keyCount(), desc.visibility.size()) << where;
    for (std::size_t i = 0; i < desc.visibility.size(); ++i) {
        EXPECT_EQ(loaded.visibility.keys()[i].visible != 0, desc.visibility[i].visible) << where;
        EXPECT_EQ(loaded.visibility.keys()[i].lastFrame, desc.visibility[i].lastFrame) << where;
    }
    ASSERT_EQ(loaded.polygonCount(), desc.polygons.size()) << where;
    for (std::size_t p = 0; p < desc.polygons.size(); ++p) {
        const auto& corners = desc.polygons[p].corners;
        const auto got = loaded.cornersOf(loaded.polygons[p]);
        ASSERT_EQ(got.size(), corners.size()) << where;
        for (std::size_t c = 0; c < corners.size(); ++c) {
            EXPECT_EQ(got[c].vertexIndex, corners[c].vertexIndex) << where;
            EXPECT_EQ(got[c].u, packed(corners[c].u)) << where;
            EXPECT_EQ(got[c].v, packed(corners[c].v)) << where;
        }
    }
    ASSERT_EQ(loaded.vertexCount(), desc.vertices.size()) << where;
    for (std::size_t v = 0; v < desc.vertices.size(); ++v) {
        const scene::MeshVertex& vertex = loaded.vertices[v];
        const w::Vertex& d = desc.vertices[v];
        const std::string at = where + " vertex " + std::to_string(v);
        expectTrack(vertex.posX, d.position[0], at);
        expectTrack(vertex.posY, d.position[1], at);
        expectTrack(vertex.posZ, d.position[2], at);
        expectTrack(vertex.normalX, d.normal[0], at);
        expectTrack(vertex.normalY, d.normal[1], at);
        expectTrack(vertex.normalZ, d.normal[2], at);
    }
}

void expectCamera(const scene::SceneCamera& loaded, const w::Camera& desc) {
    const scene::AnimTrack* tracks[] = {&loaded.eyeX,    &loaded.eyeY,    &loaded.eyeZ, &loaded.targetX,
                                        &loaded.targetY, &loaded.targetZ, &loaded.upX,  &loaded.upY,
                                        &loaded.upZ,     &loaded.fieldOfView, &loaded.aspect};
    const w::Track* descs[] = {&desc.eye[0],    &desc.eye[1],    &desc.eye[2], &desc.target[0],
                               &desc.target[1], &desc.target[2], &desc.up[0],  &desc.up[1],
                               &desc.up[2],     &desc.fieldOfView, &desc.aspect};
    for (int i = 0; i < 11; ++i) expectTrack(*tracks[i], *descs[i], "camera track " + std::to_string(i));
}

void expectLight(const scene::SceneLight& loaded, const w::Light& desc, const std::string& where) {
    EXPECT_EQ(loaded.lightKind, desc.kind) << where;
    expectTrack(loaded.posX, desc.position[0], where);
    expectTrack(loaded.posY, desc.position[1], where);
    expectTrack(loaded.posZ, desc.position[2], where);
    expectTrack(loaded.red, desc.colour[0], where);
    expectTrack(loaded.green, desc.colour[1], where);
    expectTrack(loaded.blue, desc.colour[2], where);
}

void expectScene(const scene::Scene& loaded, const w::SceneDesc& desc) {
    ASSERT_EQ(loaded.camera.has_value(), desc.camera.has_value());
    if (desc.camera) expectCamera(*loaded.camera, *desc.camera);
    ASSERT_EQ(loaded.meshCount(), desc.meshes.size());
    for (std::size_t m = 0; m < desc.meshes.size(); ++m) expectMesh(loaded.meshes[m], desc.meshes[m], "mesh " + std::to_string(m));
    ASSERT_EQ(loaded.lightCount(), desc.lights.size());
    for (std::size_t l = 0; l < desc.lights.size(); ++l) expectLight(loaded.lights[l], desc.lights[l], "light " + std::to_string(l));
}

TEST(WriterRoundTrip, RandomScenesLoadBackEqual) {
    RandomScenes scenes(2024);
    for (int i = 0; i < 300; ++i) {
        const w::SceneDesc desc = scenes.next();
        const Bytes bytes = w::writeScene(desc);
        scene::Scene loaded;
        const scene::LoadResult result = loaded.load(std::span<const std::uint8_t>(bytes));
        ASSERT_TRUE(result.complete()) << result.message();
        EXPECT_EQ(result.droppedPolygons, 0u);
        expectScene(loaded, desc);
        if (HasFatalFailure() || HasNonfatalFailure()) FAIL() << "scene " << i;
    }
}

TEST(WriterRoundTrip, ThroughAFile) {
    const w::SceneDesc desc = RandomScenes(7).next();
    const std::string path = ::testing::TempDir() + std::to_string(getpid()) + "_writer_round_trip.csi";
    ASSERT_TRUE(w::writeSceneFile(path.c_str(), desc));
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    ASSERT_NE(stream, nullptr);
    scene::Scene loaded;
    const scene::LoadResult result = loaded.load(stream);
    std::fclose(stream);
    std::remove(path.c_str());
    EXPECT_TRUE(result.complete());
    expectScene(loaded, desc);
    EXPECT_FALSE(w::writeSceneFile("/nonexistent-folder/x.csi", desc));
}

// Cut at every byte: what was complete before the cut stays, nothing else appears.
TEST(WriterRoundTrip, EveryCutKeepsTheCompleteObjects) {
    RandomScenes scenes(99);
    w::SceneDesc desc;
    while (!desc.camera || desc.meshes.size() < 2 || desc.lights.size() < 2) desc = scenes.next();

    // Offsets at which each object ends, built with the appenders in file order.
    Bytes bytes;
    w::appendTag(bytes, "SCEN");
    w::appendCamera(bytes, *desc.camera);
    const std::size_t cameraEnd = bytes.size();
    w::appendTag(bytes, "MSHS");
    w::appendU16(bytes, static_cast<std::uint16_t>(desc.meshes.size()));
    const std::size_t meshesStart = bytes.size();
    std::vector<std::size_t> meshEnds;
    for (const w::Mesh& mesh : desc.meshes) {
        w::appendMesh(bytes, mesh);
        meshEnds.push_back(bytes.size());
    }
    w::appendTag(bytes, "LGTS");
    w::appendU16(bytes, static_cast<std::uint16_t>(desc.lights.size()));
    const std::size_t lightsStart = bytes.size();
    std::vector<std::size_t> lightEnds;
    for (const w::Light& light : desc.lights) {
        w::appendLight(bytes, light);
        lightEnds.push_back(bytes.size());
    }
    ASSERT_EQ(bytes, w::writeScene(desc));

    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        // A copy of exactly `cut` bytes, so that reading past it is a fault under ASan.
        const Bytes head(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        scene::Scene loaded;
        const scene::LoadResult result = loaded.load(std::span<const std::uint8_t>(head));
        ASSERT_LE(result.offset, cut);

        w::SceneDesc expected;
        if (cut >= cameraEnd) expected.camera = desc.camera;
        for (std::size_t m = 0; m < meshEnds.size() && meshEnds[m] <= cut; ++m) expected.meshes.push_back(desc.meshes[m]);
        for (std::size_t l = 0; l < lightEnds.size() && lightEnds[l] <= cut; ++l) expected.lights.push_back(desc.lights[l]);
        expectScene(loaded, expected);

        // Whole chunks and up to 3 more bytes read as a complete file.
        const std::size_t chunkEnds[] = {4, cameraEnd, meshEnds.back(), bytes.size()};
        bool atChunkEnd = false;
        for (std::size_t end : chunkEnds) atChunkEnd = atChunkEnd || (cut >= end && cut - end < 4);
        if (cut < 4) {
            EXPECT_EQ(result.status, scene::LoadResult::Status::notAScene) << cut;
        } else {
            EXPECT_EQ(result.complete(), atChunkEnd) << cut << ": " << result.message();
        }
        if (cut > meshesStart && cut < meshEnds.back() && !result.complete()) {
            EXPECT_EQ(result.structure.rfind("MSHS chunk", 0), 0u) << result.structure;
        }
        if (cut > lightsStart && cut < bytes.size()) {
            EXPECT_EQ(result.structure.rfind("LGTS chunk", 0), 0u) << result.structure;
        }
        if (HasFatalFailure() || HasNonfatalFailure()) FAIL() << "cut at " << cut;
    }
}

}  // namespace
