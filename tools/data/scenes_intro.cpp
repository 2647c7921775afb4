// The opening sequence: first light over the hills, a meadow, a lake, a path that leads
// into the forest. Each plays 8 to 12 seconds at speed 1 (200 or 300 frames).
#include <algorithm>

#include "atlas.h"
#include "scenes.h"
#include "shapes.h"

namespace datagen::scenes {

namespace {

using namespace atlas;

sw::Light keyedDirectional(Vec3 shine, const std::function<Rgb(float)>& colour, float lastFrame, int step) {
    sw::Light light = directional(shine, {});
    light.colour = {sampled([&](float f) { return colour(f).r; }, lastFrame, step),
                    sampled([&](float f) { return colour(f).g; }, lastFrame, step),
                    sampled([&](float f) { return colour(f).b; }, lastFrame, step)};
    return light;
}

// A tuft of grass blades whose tips sway in the wind: bases fixed, tips keyed.
// Blades face `towardsViewer` (lighting is two-sided: a blade seen from its back would
// be lit from behind) and are lit as if they pointed up.
void swayingTuft(MeshBuilder& mesh, int tile, Vec3 base, float height, int blades, Random& random, float lastFrame,
                 float windPhase, Vec3 towardsViewer) {
    for (int b = 0; b < blades; ++b) {
        const float angle = random.range(0.0f, 6.2831853f);
        const Vec3 side{std::cos(angle) * 0.12f, 0.0f, std::sin(angle) * 0.12f};
        const Vec3 lean{random.range(-0.3f, 0.3f), 0.0f, random.range(-0.3f, 0.3f)};
        const float h = height * random.range(0.7f, 1.2f);
        const float phase = windPhase + random.range(0.0f, 1.5f);
        const Vec3 normal = normalize(Vec3{0.0f, 1.0f, 0.0f} + towardsViewer * 0.4f);
        const std::uint16_t left = mesh.vertex(base - side, normal);
        const std::uint16_t right = mesh.vertex(base + side, normal);
        const std::uint16_t tip = mesh.vertex(
            [=](float f) {
                const float sway = 0.35f * std::sin(f * 0.09f + phase) + 0.15f * std::sin(f * 0.23f + 2.0f * phase);
                return base + lean + Vec3{sway * h * 0.4f, h, sway * h * 0.25f};
            },
            [=](float) { return normal; }, lastFrame, 10);
        mesh.polygon(tile, {{left, 0.1f, 1.0f}, {right, 0.3f, 1.0f}, {tip, 0.2f, 0.0f}}, towardsViewer);
    }
}

// A cumulus: a few overlapping blobs, flat at the bottom.
void cloud(MeshBuilder& mesh, Vec3 centre, float size, std::uint32_t seed) {
    Random random(seed, 0xc1d);
    const int puffs = 3 + random.below(3);
    for (int p = 0; p < puffs; ++p) {
        const float offset = (static_cast<float>(p) - 0.5f * static_cast<float>(puffs - 1)) * size * 0.8f;
        const float r = size * random.range(0.6f, 1.0f) * (p == puffs / 2 ? 1.3f : 1.0f);
        blob(mesh, Cloud, centre + Vec3{offset, r * 0.3f, random.range(-0.3f, 0.3f) * size}, {r, r * 0.7f, r * 0.8f},
             random.next(), 0.35f, 1);
    }
}

}  // namespace

// First light: the sun rises behind four ranges of hills; their crests catch its rim
// light while their faces stay in violet shade; the dawn sky brightens with the sun.
sw::SceneDesc buildIntro1() {
    constexpr float last = 200.0f;
    const Vec3 sunShine = normalize({0.0f, -0.12f, 1.0f});
    const Vec3 towardsSun = -sunShine;
    const Vec3 fillShine = normalize({0.2f, -0.5f, -1.0f});
    sw::SceneDesc scene;
    scene.camera = camera([](float f) { return lerp({0.0f, 4.0f, 42.0f}, {0.0f, 6.0f, 34.0f}, ease(f / last)); },
                          [](float f) { return Vec3{0.0f, 11.0f + 5.0f * ease(f / last), 0.0f}; }, last, 25, 38.0f);

    MeshBuilder sky;
    skyCylinder(sky, SkyDawn, {0.0f, 0.0f, 0.0f}, 330.0f, 10.0f, 190.0f, towardsSun, 1.0f);
    scene.meshes.push_back(sky.take());

    // The sun disc climbs from behind the far range.
    MeshBuilder sun;
    {
        constexpr int segments = 20;
        std::vector<Corner> corners;
        for (int i = 0; i < segments; ++i) {
            const float a = 6.2831853f * static_cast<float>(i) / segments;
            const Vec3 offset{std::cos(a) * 17.0f, std::sin(a) * 17.0f, 0.0f};
            const std::uint16_t v = sun.vertex([=](float f) { return Vec3{0.0f, 26.0f + 0.45f * f, -280.0f} + offset; },
                                               [=](float) { return towardsSun * 1.6f; }, last, 50);
            corners.push_back({v, 0.5f + 0.5f * std::cos(a), 0.5f - 0.5f * std::sin(a)});
        }
        sun.polygon(Sun, corners, {0.0f, 0.0f, 1.0f});
    }
    scene.meshes.push_back(sun.take());

    // Farther ranges take more of the fill light (longer normals), so they pale with
    // distance like hills seen through morning air.
    struct Range {
        int tile;
        float z, halfWidth, height, roughness, haze;
        std::uint32_t seed;
    };
    const Range ranges[] = {{Hills, -170.0f, 220.0f, 44.0f, 12.0f, 2.4f, 1},
                            {Hills, -110.0f, 160.0f, 30.0f, 9.0f, 1.6f, 2},
                            {Grass, -60.0f, 100.0f, 17.0f, 6.0f, 1.1f, 3},
                            {Grass, -16.0f, 60.0f, 5.0f, 3.0f, 0.8f, 4}};
    for (const Range& r : ranges) {
        const Vec3 face = normalize({0.0f, 0.35f, 1.0f}) * r.haze;
        const Vec3 crest = normalize({0.0f, 0.7f, -0.6f}) * std::min(r.haze, 1.4f);
        MeshBuilder hills;
        ridge(hills, r.tile, r.z, -r.halfWidth, r.halfWidth, 48, -30.0f,
              [&](float x) {
                  return r.height + r.roughness * (fractalNoise(x / 40.0f + 10.0f, r.z / 7.0f, r.seed, 3) - 0.5f) * 2.0f;
              },
              face, crest);
        scene.meshes.push_back(hills.take());
    }

    scene.lights.push_back(keyedDirectional(
        sunShine,
        [](float f) {
            const float k = ease(f / last);
            return Rgb{0.45f + 0.55f * k, 0.33f + 0.57f * k, 0.40f + 0.35f * k};
        },
        last, 25));
    scene.lights.push_back(directional(fillShine, {0.20f, 0.17f, 0.34f}));
    padLights(scene.lights);
    return scene;
}

// A meadow in the morning: rolling grass, lone trees, far hills and clouds; the camera
// glides low over the grass, tufts sweeping past close by.
sw::SceneDesc buildIntro2() {
    constexpr float last = 200.0f;
    const Vec3 sunShine = normalize({0.45f, -0.55f, -0.7f});
    sw::SceneDesc scene;
    auto eye = [](float f) {
        const float t = f / last;
        return Vec3{-18.0f + 30.0f * t, 2.6f + 0.5f * std::sin(f / 45.0f), 40.0f - 55.0f * t};
    };
    scene.camera = camera(
        eye, [=](float f) { return eye(f) + Vec3{10.0f + 6.0f * std::sin(f / 70.0f), -1.8f, -24.0f}; },
        [](float f) { return Vec3{0.06f * std::sin(f / 40.0f), 1.0f, 0.0f}; }, last, 20, 50.0f);

    MeshBuilder sky;
    skyCylinder(sky, SkyDay, {0.0f, 0.0f, 0.0f}, 420.0f, 0.0f, 220.0f, -sunShine, 1.0f);
    for (int c = 0; c < 7; ++c) {
        Random r(70 + static_cast<std::uint64_t>(c));
        cloud(sky, {-260.0f + 85.0f * static_cast<float>(c) + r.range(-20.0f, 20.0f), r.range(70.0f, 110.0f), -300.0f},
              r.range(14.0f, 24.0f), r.next());
    }
    scene.meshes.push_back(sky.take());

    const auto height = [](float x, float z) {
        const float rolling = 5.0f * (fractalNoise(x / 45.0f, z / 45.0f, 21, 3) - 0.5f);
        const float far = smoothstep(-90.0f, -220.0f, z) * 55.0f * fractalNoise(x / 70.0f, z / 70.0f, 22, 3);
        return rolling + far;
    };
    MeshBuilder land;
    heightField(
        land, -200.0f, -260.0f, 200.0f, 80.0f, 50, 42, height,
        [](float x, float z, float y) {
            if (y > 14.0f) return static_cast<int>(Hills);
            return fractalNoise(x / 30.0f, z / 30.0f, 23, 2) > 0.58f ? static_cast<int>(Grass) : static_cast<int>(Meadow);
        },
        2);
    scene.meshes.push_back(land.take());

    MeshBuilder trees;
    Random placement(24);
    for (int i = 0; i < 9; ++i) {
        const float x = placement.range(-90.0f, 110.0f), z = placement.range(-140.0f, -30.0f);
        TreeStyle style;
        style.height = placement.range(3.5f, 5.5f);
        style.trunkRadius = 0.4f;
        style.depth = 2;
        style.leafSize = placement.range(2.4f, 3.4f);
        style.barkTile = Bark;
        style.leafTile = Foliage;
        growTree(trees, {x, height(x, z) - 0.3f, z}, style, placement.next());
    }
    scene.meshes.push_back(trees.take());

    // Tufts close to the camera's path, swaying.
    MeshBuilder tufts;
    Random tuftRandom(25);
    for (int i = 0; i < 70; ++i) {
        const float t = tuftRandom.uniform();
        const Vec3 along = eye(t * last * 1.1f);
        const float side = (tuftRandom.uniform() < 0.5f ? -1.0f : 1.0f) * tuftRandom.range(1.5f, 6.0f);
        const float x = along.x + side, z = along.z - tuftRandom.range(4.0f, 12.0f);
        swayingTuft(tufts, Grass, {x, height(x, z) - 0.1f, z}, tuftRandom.range(0.8f, 1.6f), 4, tuftRandom, last,
                    x * 0.1f, normalize(along - Vec3{x, along.y, z}));
    }
    scene.meshes.push_back(tufts.take());

    scene.lights.push_back(directional(sunShine, {1.0f, 0.93f, 0.78f}));
    scene.lights.push_back(directional({0.0f, -1.0f, 0.0f}, {0.22f, 0.27f, 0.38f}));
    padLights(scene.lights);
    return scene;
}

// A lake: the far shore's trees and hills and the sky stand mirrored in the water,
// seen between drifting bands of ripples; reeds sway at the near bank.
sw::SceneDesc buildIntro3() {
    constexpr float last = 200.0f;
    const Vec3 sunShine = normalize({0.3f, -0.5f, -0.8f});
    const Vec3 mirroredShine{sunShine.x, -sunShine.y, sunShine.z};
    sw::SceneDesc scene;
    scene.camera = camera([](float f) { return Vec3{-12.0f + 0.1f * f, 3.2f, 32.0f}; },
                          [](float f) { return Vec3{-4.0f + 0.16f * f, 0.5f, -40.0f}; }, last, 25, 46.0f);

    MeshBuilder sky;
    skyCylinder(sky, SkyDay, {0.0f, 0.0f, 0.0f}, 400.0f, 0.0f, 200.0f, -sunShine, 1.0f, 0.75f);
    for (int c = 0; c < 6; ++c) {
        Random r(80 + static_cast<std::uint64_t>(c));
        cloud(sky, {-200.0f + 80.0f * static_cast<float>(c), r.range(60.0f, 95.0f), -320.0f}, r.range(14.0f, 22.0f),
              r.next());
    }
    scene.meshes.push_back(sky.take());

    // The far shore and its mirror image, built twice by the same code.
    for (int mirrored = 0; mirrored < 2; ++mirrored) {
        MeshBuilder shore;
        if (mirrored == 1) {
            // A little below the water line, clear of the ripples for the depth test.
            shore.setTransform([](Vec3& p, Vec3& n) {
                p.y = -p.y - 0.4f;
                n.y = -n.y;
            });
        }
        ridge(shore, Hills, -140.0f, -260.0f, 260.0f, 40, 0.0f,
              [](float x) { return 26.0f + 22.0f * fractalNoise(x / 60.0f, 3.0f, 31, 3); }, normalize({0.0f, 0.4f, 1.0f}),
              normalize({0.0f, 1.0f, 0.2f}));
        ridge(shore, Grass, -48.0f, -150.0f, 150.0f, 30, 0.0f,
              [](float x) { return 1.2f + 1.0f * fractalNoise(x / 20.0f, 5.0f, 32, 2); }, normalize({0.0f, 0.6f, 1.0f}),
              normalize({0.0f, 1.0f, 0.3f}));
        Random placement(33);
        for (int i = 0; i < 22; ++i) {
            const float x = -110.0f + 10.0f * static_cast<float>(i) + placement.range(-3.0f, 3.0f);
            const float z = placement.range(-62.0f, -52.0f);
            TreeStyle style;
            style.height = placement.range(4.0f, 7.0f);
            style.trunkRadius = 0.35f;
            style.depth = 2;
            style.spread = 0.45f;
            style.leafSize = placement.range(2.2f, 3.2f);
            style.barkTile = Bark;
            style.leafTile = Foliage;
            growTree(shore, {x, 0.0f, z}, style, placement.next());
        }
        scene.meshes.push_back(shore.take());
    }

    // Broken bands of ripples drifting towards the viewer; between them the
    // reflections show.
    MeshBuilder water;
    const Vec3 up{0.0f, 1.0f, 0.0f};
    Random ripples(35);
    for (float z = -47.0f; z < 24.0f;) {
        const float depth = (0.3f + 0.02f * (z + 47.0f)) * ripples.range(0.6f, 1.3f);  // wider when nearer
        for (float x = -160.0f + ripples.range(0.0f, 20.0f); x < 160.0f;) {
            const float width = ripples.range(8.0f, 40.0f);
            std::uint16_t corners[4];
            const float xs[4] = {x, x + width, x + width, x};
            const float zs[4] = {z + depth, z + depth, z, z};
            for (int k = 0; k < 4; ++k) {
                sw::Vertex v;
                v.position = {constant(xs[k]), constant(0.15f), linear(zs[k], 0.012f, static_cast<int>(last))};
                v.normal = constant(up);
                corners[k] = water.vertex(v, {xs[k], 0.15f, zs[k]}, up);
            }
            water.polygon(Water,
                          {{corners[0], 0.0f, 1.0f}, {corners[1], 1.0f, 1.0f}, {corners[2], 1.0f, 0.0f}, {corners[3], 0.0f, 0.0f}}, up);
            x += width + ripples.range(2.0f, 12.0f);
        }
        z += depth * ripples.range(2.0f, 3.0f);
    }
    scene.meshes.push_back(water.take());

    MeshBuilder bank;
    quad(bank, Ground, {-80.0f, 0.4f, 40.0f}, {80.0f, 0.4f, 40.0f}, {80.0f, 0.3f, 24.5f}, {-80.0f, 0.3f, 24.5f}, up);
    Random reeds(34);
    for (int i = 0; i < 40; ++i) {
        const float x = -25.0f + 50.0f * reeds.uniform();
        swayingTuft(bank, Grass, {x, 0.3f, reeds.range(24.5f, 27.0f)}, reeds.range(1.5f, 2.6f), 3, reeds, last, x * 0.2f,
                    {0.0f, 0.0f, 1.0f});
    }
    scene.meshes.push_back(bank.take());

    scene.lights.push_back(directional(sunShine, {1.0f, 0.95f, 0.84f}));
    scene.lights.push_back(directional(mirroredShine, {0.55f, 0.6f, 0.66f}));
    scene.lights.push_back(directional({0.0f, -1.0f, 0.0f}, {0.22f, 0.27f, 0.36f}));
    padLights(scene.lights);
    return scene;
}

// A path winds out of the grass between ever more trunks; the camera walks it into the
// forest, where the next scene takes over.
sw::SceneDesc buildIntro4() {
    constexpr float last = 300.0f;
    const Vec3 sunShine = normalize({0.35f, -0.6f, -0.72f});
    const auto pathX = [](float z) { return 6.0f * std::sin(z / 22.0f); };
    const auto height = [](float x, float z) { return 1.2f * (fractalNoise(x / 25.0f, z / 25.0f, 41, 3) - 0.5f); };
    sw::SceneDesc scene;
    auto walk = [&](float f) {
        const float z = 45.0f - 70.0f * ease(f / last * 0.92f + 0.04f);
        return Vec3{pathX(z), height(pathX(z), z) + 1.8f, z};
    };
    scene.camera = camera(
        walk,
        [&](float f) {
            const Vec3 ahead = walk(f + 40.0f);
            return Vec3{ahead.x, ahead.y + 0.8f + 3.0f * ease(f / last), ahead.z - 10.0f};
        },
        last, 20, 52.0f);

    MeshBuilder sky;
    skyCylinder(sky, SkyDay, {0.0f, 0.0f, 0.0f}, 300.0f, 0.0f, 160.0f, -sunShine, 1.0f);
    scene.meshes.push_back(sky.take());

    MeshBuilder land;
    heightField(land, -120.0f, -160.0f, 120.0f, 60.0f, 48, 44, height, [&](float x, float z, float) {
        if (std::fabs(x - pathX(z)) < 2.6f) return static_cast<int>(Ground);
        if (z < -35.0f) return static_cast<int>(Grass);
        return fractalNoise(x / 15.0f, z / 15.0f, 42, 2) > 0.55f ? static_cast<int>(Meadow) : static_cast<int>(Grass);
    });
    scene.meshes.push_back(land.take());

    // Trunks: few near the start, a wall of them where the forest begins.
    MeshBuilder forest;
    Random placement(43);
    for (int i = 0; i < 90; ++i) {
        const float z = 30.0f - 190.0f * std::sqrt(placement.uniform());
        float x = placement.range(-70.0f, 70.0f);
        if (std::fabs(x - pathX(z)) < 4.0f) x += x > pathX(z) ? 4.0f : -4.0f;
        if (z > -25.0f && placement.uniform() < 0.6f) continue;  // sparse at the forest's edge
        const float y = height(x, z) - 0.2f;
        if (placement.uniform() < 0.35f) {
            TreeStyle style;
            style.height = placement.range(4.0f, 6.0f);
            style.trunkRadius = 0.35f;
            style.depth = 2;
            style.leafSize = placement.range(2.0f, 2.8f);
            style.barkTile = Bark;
            style.leafTile = Foliage;
            growTree(forest, {x, y, z}, style, placement.next());
        } else {
            const float trunkHeight = placement.range(12.0f, 17.0f);
            const float radius = placement.range(0.35f, 0.6f);
            cylinder(forest, Bark, {x, y, z}, {x + placement.range(-0.5f, 0.5f), y + trunkHeight, z}, radius, radius * 0.6f, 7);
            for (int c = 0; c < 3; ++c) {
                const float size = placement.range(2.8f, 4.2f);
                blob(forest, Foliage,
                     {x + placement.range(-2.0f, 2.0f), y + trunkHeight - 1.0f + placement.range(-1.5f, 2.5f),
                      z + placement.range(-2.0f, 2.0f)},
                     {size, size * 0.75f, size}, placement.next(), 0.5f);
            }
        }
    }
    scene.meshes.push_back(forest.take());

    scene.lights.push_back(directional(sunShine, {1.0f, 0.92f, 0.75f}));
    scene.lights.push_back(directional({0.0f, -1.0f, 0.2f}, {0.18f, 0.26f, 0.22f}));
    padLights(scene.lights);
    return scene;
}

}  // namespace datagen::scenes
