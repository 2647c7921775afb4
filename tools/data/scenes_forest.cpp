// The forest: oaks, birches and firs grown from seeds, the camera winding between their
// trunks for 32 seconds and looking up into the crowns half way.
#include <algorithm>

#include "atlas.h"
#include "scenes.h"
#include "shapes.h"

namespace datagen::scenes {

namespace {

using namespace atlas;

// The camera's way through the forest, u in [0, 1].
Vec3 forestPath(float u) {
    return {22.0f * std::sin(u * 5.0f) + 6.0f * std::sin(u * 11.0f + 1.0f), 0.0f, 70.0f - 150.0f * u};
}

float forestGround(float x, float z) { return 1.6f * (fractalNoise(x / 30.0f, z / 30.0f, 51, 3) - 0.5f); }

float distanceToPath(float x, float z) {
    float best = 1e9f;
    for (int i = 0; i <= 300; ++i) {
        const Vec3 p = forestPath(static_cast<float>(i) / 300.0f * 1.1f - 0.05f);
        best = std::min(best, std::hypot(p.x - x, p.z - z));
    }
    return best;
}

}  // namespace

sw::SceneDesc buildTrees() {
    constexpr float last = 800.0f;
    const Vec3 sunShine = normalize({-0.45f, -0.7f, -0.5f});
    sw::SceneDesc scene;

    const auto eye = [](float f) {
        const Vec3 p = forestPath(f / last);
        return Vec3{p.x, forestGround(p.x, p.z) + 2.4f + 0.6f * std::sin(f / 90.0f), p.z};
    };
    // Looking ahead along the way; between frames 520 and 720 the gaze lifts to the
    // crowns against the sky.
    const auto lookUp = [](float f) { return smoothstep(520.0f, 600.0f, f) * (1.0f - smoothstep(650.0f, 720.0f, f)); };
    scene.camera = camera(
        eye,
        [=](float f) {
            const Vec3 ahead = eye(f + 60.0f);
            return Vec3{ahead.x, ahead.y + 0.5f + 10.0f * lookUp(f), ahead.z};
        },
        last, 20, 55.0f);

    MeshBuilder sky;
    skyCylinder(sky, SkyDay, {0.0f, 0.0f, 0.0f}, 300.0f, -10.0f, 170.0f, -sunShine, 1.0f);
    scene.meshes.push_back(sky.take());

    MeshBuilder land;
    heightField(
        land, -120.0f, -120.0f, 120.0f, 120.0f, 48, 48, forestGround,
        [](float x, float z, float) {
            const float n = fractalNoise(x / 18.0f, z / 18.0f, 52, 2);
            if (n > 0.62f) return static_cast<int>(Ground);
            return n < 0.3f ? static_cast<int>(Meadow) : static_cast<int>(Grass);
        },
        2);
    scene.meshes.push_back(land.take());

    // Trees on a jittered grid, none on the camera's way. Each tree is its own mesh, so
    // no mesh comes near the vertex limit.
    Random random(53);
    for (float gz = -110.0f; gz <= 110.0f; gz += 12.0f) {
        for (float gx = -100.0f; gx <= 100.0f; gx += 12.0f) {
            const float x = gx + random.range(-3.5f, 3.5f), z = gz + random.range(-3.5f, 3.5f);
            const float kind = random.uniform();
            const std::uint32_t seed = random.next();
            if (random.uniform() < 0.25f) continue;
            // Clear of the way, and near enough to it to be seen among the nearer trunks.
            const float away = distanceToPath(x, z);
            if (away < 4.0f || away > 28.0f + 20.0f * random.uniform()) continue;
            MeshBuilder tree;
            const Vec3 base{x, forestGround(x, z) - 0.2f, z};
            if (kind < 0.45f) {
                TreeStyle oak;
                oak.height = 4.0f + 2.0f * (seed % 100) / 100.0f;
                oak.trunkRadius = 0.5f;
                oak.depth = 3;
                oak.branches = 2;
                oak.spread = 0.75f;
                oak.leafSize = 1.9f;
                oak.barkTile = Bark;
                oak.leafTile = Foliage;
                growTree(tree, base, oak, seed);
            } else if (kind < 0.75f) {
                TreeStyle birch;
                birch.height = 8.0f + 4.0f * (seed % 100) / 100.0f;
                birch.trunkRadius = 0.28f;
                birch.depth = 2;
                birch.branches = 2;
                birch.spread = 0.45f;
                birch.leafSize = 1.5f;
                birch.barkTile = Stone;
                birch.leafTile = Foliage;
                growTree(tree, base, birch, seed);
            } else {
                conifer(tree, base, 12.0f + 6.0f * (seed % 100) / 100.0f, 3.2f, Bark, Hills, seed);
            }
            scene.meshes.push_back(tree.take());
        }
    }

    scene.lights.push_back(directional(sunShine, {1.0f, 0.92f, 0.74f}));
    scene.lights.push_back(directional({0.0f, -1.0f, 0.0f}, {0.18f, 0.22f, 0.30f}));
    // Light thrown back by the grass: greenish, from below, for the undersides of leaves.
    scene.lights.push_back(directional({0.0f, 1.0f, 0.0f}, {0.14f, 0.22f, 0.08f}));
    return scene;
}

}  // namespace datagen::scenes
