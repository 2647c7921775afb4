// links: sunmarrow_datagen
// The generated scenes, read back by the show's own loader: complete files of sensible
// size with a camera, the same number of lights everywhere, texture coordinates that
// stay inside one atlas tile after packing, cameras that move to the last frame the show
// asks for, a subject in view; and the track and mesh helpers they are built from.
// The generator is a program, not a library: its sources are compiled in here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "scene/byte_reader.h"
#include "scene/scene.h"
#include "tools/data/data_common.h"
#include "tools/data/scene_kit.h"
#include "tools/data/scenes.h"
#include "tools/data/shapes.h"

namespace {

using namespace datagen::scenes;

// Every scene built once, as bytes and as the loader reads them.
struct Built {
    const SceneJob* job;
    sw::SceneDesc desc;
    sw::Bytes bytes;
    scene::Scene loaded;
    scene::LoadResult result;
};

const std::vector<Built*>& builtScenes() {
    // Built once and kept to the end of the process (never destroyed, so the leak check
    // at exit still finds every scene through this reference).
    static const std::vector<Built*>& all = *new std::vector<Built*>([] {
        std::vector<Built*> list;
        for (const SceneJob& job : sceneJobs()) {
            auto* b = new Built{&job, job.build(), {}, {}, {}};
            b->bytes = sw::writeScene(b->desc);
            b->result = b->loaded.load(std::span<const std::uint8_t>(b->bytes));
            list.push_back(b);
        }
        return list;
    }());
    return all;
}

// A track as the show's evaluator sees it.
scene::AnimTrack readBack(const sw::Track& track) {
    sw::Bytes bytes;
    sw::appendTrack(bytes, track);
    scene::ByteReader reader{std::span<const std::uint8_t>(bytes)};
    scene::AnimTrack loaded;
    EXPECT_TRUE(loaded.read(reader));
    return loaded;
}

TEST(DataScenes, NineCompleteFilesInTheShowsOrder) {
    const char* names[] = {"intro1.csi", "intro2.csi", "intro3.csi", "intro4.csi", "trees.csi",
                           "clouds.csi", "bird2.csi",  "flowers.csi", "moon.csi"};
    ASSERT_EQ(builtScenes().size(), 9u);
    for (std::size_t i = 0; i < 9; ++i) {
        const Built& b = *builtScenes()[i];
        EXPECT_STREQ(b.job->file, names[i]);
        EXPECT_TRUE(b.result.complete()) << b.job->file << ": " << b.result.message();
        EXPECT_EQ(b.result.droppedPolygons, 0u) << b.job->file;
        EXPECT_TRUE(b.loaded.camera.has_value()) << b.job->file;
        EXPECT_GT(b.loaded.meshCount(), 0u) << b.job->file;
        EXPECT_LT(b.bytes.size(), 2u * 1024u * 1024u) << b.job->file;
    }
}

TEST(DataScenes, EverySceneSetsTheSameLightUnits) {
    // The renderer never switches a light unit off: a scene with fewer lights than the
    // one before it would be lit by the leftovers too.
    for (Built* b : builtScenes()) {
        EXPECT_EQ(b->loaded.lightCount(), static_cast<std::size_t>(kLightCount)) << b->job->file;
        bool lit = false;
        for (scene::SceneLight& light : b->loaded.lights) {
            lit = lit || light.red.evaluate(0.0f) + light.green.evaluate(0.0f) + light.blue.evaluate(0.0f) > 0.3;
        }
        EXPECT_TRUE(lit) << b->job->file;
    }
}

TEST(DataScenes, BuildingTwiceGivesTheSameBytes) {
    for (const SceneJob& job : sceneJobs()) {
        if (std::string(job.file) != "intro3.csi" && std::string(job.file) != "moon.csi") continue;
        EXPECT_EQ(sw::writeScene(job.build()), sw::writeScene(job.build())) << job.file;
    }
}

TEST(DataScenes, CornersSampleInsideOneTileAfterPacking) {
    // The renderer samples row fraction -v (wrapped) and column u. After packing every
    // corner of a polygon must still fall in the same tile, clear of its edges.
    for (Built* b : builtScenes()) {
        std::size_t bad = 0;
        for (const scene::SceneMesh& mesh : b->loaded.meshes) {
            for (const scene::MeshPolygon& polygon : mesh.polygons) {
                int tile = -1;
                for (const scene::MeshCorner& c : mesh.cornersOf(polygon)) {
                    const float t = -c.v - std::floor(-c.v);
                    const float column = c.u * 256.0f, row = t * 256.0f;
                    const int here = static_cast<int>(row / 64.0f) * 4 + static_cast<int>(column / 64.0f);
                    const float inColumn = std::fmod(column, 64.0f), inRow = std::fmod(row, 64.0f);
                    const bool clear = inColumn >= 1.5f && inColumn <= 62.5f && inRow >= 1.5f && inRow <= 62.5f;
                    if (!clear || (tile >= 0 && here != tile) || c.u < 0.0f || c.u > 1.0f) ++bad;
                    tile = here;
                }
            }
        }
        EXPECT_EQ(bad, 0u) << b->job->file;
    }
}

TEST(DataScenes, SkiesSampleTheSkyTiles) {
    // Every scene's first mesh is its sky (with its clouds); a mapping that forgot the
    // renderer's t = -v would land in the mirrored tile row instead (stone, hills...).
    for (Built* b : builtScenes()) {
        const bool flowers = std::string(b->job->file) == "flowers.csi";
        const scene::SceneMesh& sky = b->loaded.meshes.front();
        for (const scene::MeshPolygon& polygon : sky.polygons) {
            for (const scene::MeshCorner& c : sky.cornersOf(polygon)) {
                const float row = (-c.v - std::floor(-c.v)) * 256.0f;
                const int tile = static_cast<int>(row / 64.0f) * 4 + static_cast<int>(c.u * 4.0f);
                if (flowers) {
                    EXPECT_EQ(tile, datagen::atlas::FlowerSky) << b->job->file;
                } else {
                    EXPECT_TRUE(tile <= datagen::atlas::SkyNight || tile == datagen::atlas::Cloud) << b->job->file;
                }
            }
        }
    }
}

TEST(DataScenes, CamerasMoveUpToTheLastFrameTheShowAsksFor) {
    for (Built* b : builtScenes()) {
        const sw::Camera& camera = *b->desc.camera;
        bool moves = false;
        for (const sw::Track* track : {&camera.eye[0], &camera.eye[1], &camera.eye[2]}) {
            if (track->keys.empty()) continue;
            moves = true;
            int lastKey = 0;
            for (const sw::Key& key : track->keys) lastKey += key.span;
            EXPECT_GE(static_cast<float>(lastKey), b->job->lastFrame) << b->job->file;
        }
        EXPECT_TRUE(moves) << b->job->file;
        scene::SceneCamera& loaded = *b->loaded.camera;
        EXPECT_NEAR(loaded.aspect.evaluate(0.0f), 4.0 / 3.0, 1e-3) << b->job->file;
        const double fov = loaded.fieldOfView.evaluate(0.0f);
        EXPECT_GT(fov, 20.0) << b->job->file;
        EXPECT_LT(fov, 70.0) << b->job->file;
    }
}

TEST(DataScenes, TheDataUsesEveryPartOfTheFormat) {
    bool pointLight = false, directionalLight = false, keyedLight = false, visibility = false;
    bool staticMesh = false, animatedMesh = false;
    for (Built* b : builtScenes()) {
        for (const scene::SceneLight& light : b->loaded.lights) {
            pointLight = pointLight || light.lightKind == 0;
            directionalLight = directionalLight || light.lightKind == 1;
            keyedLight = keyedLight || !light.red.isConstant() || !light.posX.isConstant();
        }
        for (const scene::SceneMesh& mesh : b->loaded.meshes) {
            visibility = visibility || mesh.visibility.keyCount() > 0;
            const bool constant = std::all_of(mesh.vertices.begin(), mesh.vertices.end(),
                                              [](const scene::MeshVertex& v) { return v.isConstant(); });
            staticMesh = staticMesh || (constant && !mesh.vertices.empty());
            animatedMesh = animatedMesh || !constant;
        }
    }
    EXPECT_TRUE(pointLight);
    EXPECT_TRUE(directionalLight);
    EXPECT_TRUE(keyedLight);
    EXPECT_TRUE(visibility);
    EXPECT_TRUE(staticMesh);
    EXPECT_TRUE(animatedMesh);
}

TEST(DataScenes, TheBirdStaysInViewAndBeatsItsWings) {
    const Built& bird = *builtScenes()[6];
    scene::Scene& s = const_cast<scene::Scene&>(bird.loaded);
    scene::SceneMesh& body = s.meshes.back();  // the bird is the last mesh
    double lowest = 1e9, highest = -1e9;
    for (float f = 0.0f; f <= 996.0f; f += 37.0f) {
        scene::SceneCamera& c = *s.camera;
        const Vec3 eye{static_cast<float>(c.eyeX.evaluate(f)), static_cast<float>(c.eyeY.evaluate(f)),
                       static_cast<float>(c.eyeZ.evaluate(f))};
        const Vec3 target{static_cast<float>(c.targetX.evaluate(f)), static_cast<float>(c.targetY.evaluate(f)),
                          static_cast<float>(c.targetZ.evaluate(f))};
        Vec3 centre{};
        for (scene::MeshVertex& v : body.vertices) {
            centre = centre + Vec3{static_cast<float>(v.posX.evaluate(f)), static_cast<float>(v.posY.evaluate(f)),
                                   static_cast<float>(v.posZ.evaluate(f))};
        }
        centre = centre * (1.0f / static_cast<float>(body.vertices.size()));
        const float off = std::acos(std::clamp(dot(normalize(target - eye), normalize(centre - eye)), -1.0f, 1.0f));
        EXPECT_LT(off * 57.3f, 15.0f) << "frame " << f;  // well inside the 50-degree view
        // A wing tip (the last vertex is a tip or hand corner) rises and falls.
        const double tipY = body.vertices.back().posY.evaluate(f) - centre.y;
        lowest = std::min(lowest, tipY);
        highest = std::max(highest, tipY);
    }
    EXPECT_GT(highest - lowest, 1.0);
}

TEST(DataSceneKit, SampledTracksFollowTheirPathThroughTheShowsEvaluator) {
    const ScalarPath path = [](float f) { return 40.0f + 12.0f * std::sin(f / 15.0f); };
    scene::AnimTrack track = readBack(sampled(path, 200.0f, 5));
    for (float f = 0.0f; f <= 200.0f; f += 1.3f) EXPECT_NEAR(track.evaluate(f), path(f), 0.06) << f;
    // A path that never changes costs one constant.
    EXPECT_TRUE(sampled([](float) { return 3.0f; }, 100.0f, 10).keys.empty());
}

TEST(DataSceneKit, LinearDriftIsExactAndRestingPathsHoldStill) {
    scene::AnimTrack drift = readBack(linear(-20.0f, 0.25f, 300));
    for (float f : {0.0f, 77.5f, 150.0f, 299.0f}) EXPECT_NEAR(drift.evaluate(f), -20.0 + 0.25 * f, 0.02) << f;

    // Moves only between frames 100 and 200: the value rests before and after.
    const ScalarPath path = [](float f) { return 1.0f + datagen::smoothstep(100.0f, 200.0f, f); };
    const sw::Track between = sampledBetween(path, 100, 200, 20);
    EXPECT_LT(between.keys.size(), 10u);
    scene::AnimTrack loaded = readBack(between);
    EXPECT_NEAR(loaded.evaluate(0.0f), 1.0, 1e-3);
    EXPECT_NEAR(loaded.evaluate(99.0f), 1.0, 1e-3);
    EXPECT_NEAR(loaded.evaluate(150.0f), path(150.0f), 0.01);
    EXPECT_NEAR(loaded.evaluate(250.0f), 2.0, 2e-3);
    EXPECT_NEAR(loaded.evaluate(1000.0f), 2.0, 2e-3);
}

TEST(DataSceneKit, PolygonsAreWoundToFaceTheirNormals) {
    // Two-sided lighting flips the normal of a polygon seen from its back, so a polygon
    // wound against its normal would be dark from the side it is meant to be seen.
    for (float nz : {1.0f, -1.0f}) {
        MeshBuilder mesh;
        const Vec3 n{0.0f, 0.0f, nz};
        const std::uint16_t a = mesh.vertex({0, 0, 0}, n), b = mesh.vertex({1, 0, 0}, n);
        const std::uint16_t c = mesh.vertex({1, 1, 0}, n), d = mesh.vertex({0, 1, 0}, n);
        mesh.polygon(0, {{a, 0, 1}, {b, 1, 1}, {c, 1, 0}, {d, 0, 0}});  // counter-clockwise seen from +z
        const sw::Mesh built = mesh.take();
        const auto& corners = built.polygons[0].corners;
        // The loop a b c d seen from +z turns left; from -z it must run the other way.
        const bool kept = corners[0].vertexIndex == a && corners[1].vertexIndex == b;
        EXPECT_EQ(kept, nz > 0.0f) << nz;
        // Texture coordinates travel with their corners.
        for (const sw::Corner& corner : corners) {
            const datagen::atlas::Uv expected = datagen::atlas::tileUv(0, corner.vertexIndex == a || corner.vertexIndex == d ? 0.0f : 1.0f,
                                                                       corner.vertexIndex == a || corner.vertexIndex == b ? 1.0f : 0.0f);
            EXPECT_FLOAT_EQ(corner.u, expected.u);
            EXPECT_FLOAT_EQ(corner.v, expected.v);
        }
    }
}

TEST(DataSceneKit, DriftAndTransformApplyToLaterVertices) {
    MeshBuilder mesh;
    mesh.setTransform([](Vec3& p, Vec3& n) {
        p.y = -p.y;
        n.y = -n.y;
    });
    const std::uint16_t mirrored = mesh.vertex({1, 2, 3}, {0, 1, 0});
    mesh.setTransform({});
    mesh.setDrift({0.5f, 0.0f, 0.0f}, 100);
    const std::uint16_t drifting = mesh.vertex({1, 2, 3}, {0, 1, 0});
    const sw::Mesh built = mesh.take();
    EXPECT_FLOAT_EQ(built.vertices[mirrored].position[1].constant, -2.0f);
    EXPECT_FLOAT_EQ(built.vertices[mirrored].normal[1].constant, -1.0f);
    EXPECT_TRUE(built.vertices[mirrored].position[0].keys.empty());
    scene::AnimTrack x = readBack(built.vertices[drifting].position[0]);
    EXPECT_NEAR(x.evaluate(60.0f), 31.0, 0.05);
    EXPECT_TRUE(built.vertices[drifting].position[1].keys.empty());
}

}  // namespace
