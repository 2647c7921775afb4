// Two skies: a flight among drifting clouds by day, and a moonlit night over a lake
// with blinking fireflies.
#include <algorithm>

#include "atlas.h"
#include "scenes.h"
#include "shapes.h"

namespace datagen::scenes {

namespace {

using namespace atlas;

// A cumulus of several puffs around `centre`: a wide flat-bottomed base, a heap above.
void cumulus(MeshBuilder& mesh, Vec3 centre, float size, Random& random) {
    const int puffs = 4 + random.below(4);
    for (int p = 0; p < puffs; ++p) {
        const float a = random.range(0.0f, 6.2831853f);
        const float spread = random.range(0.2f, 1.0f) * size;
        const float r = size * random.range(0.45f, 0.8f);
        const Vec3 at = centre + Vec3{std::cos(a) * spread * 1.4f, r * 0.35f + random.range(0.0f, 0.5f) * size * (1.0f - spread / size),
                                      std::sin(a) * spread * 0.8f};
        blob(mesh, Cloud, at, {r, r * 0.75f, r}, random.next(), 0.35f, 1);
    }
}

}  // namespace

// Above the land among cumulus clouds that drift with the wind, each at its own pace;
// the camera floats slowly forward between them.
sw::SceneDesc buildClouds() {
    constexpr float last = 300.0f;
    constexpr int lastFrame = 300;
    const Vec3 sunShine = normalize({0.35f, -0.55f, -0.75f});
    sw::SceneDesc scene;
    scene.camera = camera(
        [](float f) { return Vec3{-20.0f + 0.05f * f, 118.0f + 4.0f * std::sin(f / 80.0f), 60.0f - 0.25f * f}; },
        [](float f) { return Vec3{-20.0f + 0.2f * f, 128.0f, -80.0f - 0.25f * f}; }, last, 25, 58.0f);

    MeshBuilder sky;
    skyCylinder(sky, SkyDay, {0.0f, 0.0f, 0.0f}, 900.0f, 0.0f, 650.0f, -sunShine, 1.0f);
    scene.meshes.push_back(sky.take());

    MeshBuilder land;
    heightField(
        land, -900.0f, -900.0f, 900.0f, 900.0f, 18, 18,
        [](float x, float z) { return 40.0f * fractalNoise(x / 300.0f, z / 300.0f, 61, 3) - 20.0f; },
        [](float x, float z, float y) {
            if (y < -6.0f) return static_cast<int>(Water);
            return fractalNoise(x / 200.0f, z / 200.0f, 62, 2) > 0.5f ? static_cast<int>(Hills) : static_cast<int>(Meadow);
        });
    scene.meshes.push_back(land.take());

    // Clouds in three layers; the lower ones drift faster across the view.
    Random random(63);
    for (int c = 0; c < 40; ++c) {
        MeshBuilder clouds;
        const float layer = random.uniform();
        const float y = 70.0f + 130.0f * layer;
        const Vec3 centre{random.range(-260.0f, 240.0f), y, random.range(-320.0f, 30.0f)};
        // Keep a clear lane in front of the camera so it is not inside a cloud.
        if (std::fabs(centre.x + 10.0f) < 30.0f && std::fabs(centre.y - 115.0f) < 25.0f) continue;
        clouds.setDrift({0.22f - 0.12f * layer, 0.0f, 0.02f}, lastFrame);
        cumulus(clouds, centre, random.range(14.0f, 30.0f), random);
        scene.meshes.push_back(clouds.take());
    }

    scene.lights.push_back(directional(sunShine, {1.0f, 0.97f, 0.9f}));
    // Blue light from below for the undersides, a little from the sky above.
    scene.lights.push_back(directional({0.0f, 1.0f, 0.0f}, {0.36f, 0.41f, 0.56f}));
    scene.lights.push_back(directional({0.0f, -1.0f, 0.0f}, {0.12f, 0.13f, 0.16f}));
    return scene;
}

// Night: a full moon over a lake, its glitter on the water, black firs on the shore;
// fireflies blink over the meadow in front and one of them lights the grass it passes.
sw::SceneDesc buildMoon() {
    constexpr float last = 495.0f;
    const Vec3 moonAt{30.0f, 70.0f, -260.0f};
    // Moonlight falls from high in front: the ground, the water and the crests catch
    // it, the faces of the hills stay black against the sky.
    const Vec3 moonShine = normalize({-0.1f, -0.75f, 0.65f});
    const Vec3 towardsMoon = -moonShine;
    const Rgb moonlight{0.36f, 0.46f, 0.80f};
    sw::SceneDesc scene;
    scene.camera = camera([](float f) { return Vec3{-5.0f + 0.008f * f, 2.2f + 0.002f * f, 25.0f - 0.012f * f}; },
                          [](float f) { return Vec3{10.0f, 1.0f + 7.0f * ease(f / last), -100.0f}; }, last, 25, 52.0f);

    MeshBuilder sky;
    skyCylinder(sky, SkyNight, {0.0f, 0.0f, 0.0f}, 320.0f, 0.0f, 200.0f, towardsMoon, 1.3f, 0.6f);
    scene.meshes.push_back(sky.take());

    MeshBuilder moon;
    const Vec3 towardsViewer = normalize(Vec3{0.0f, 2.0f, 20.0f} - moonAt);
    disc(moon, White, moonAt - towardsViewer * 2.0f, 40.0f, towardsViewer, 24, towardsMoon * 0.45f, towardsViewer);
    disc(moon, MoonSurface, moonAt, 24.0f, towardsViewer, 24, towardsMoon * 2.2f, towardsViewer);
    scene.meshes.push_back(moon.take());

    // Far hills, the lake with the moon's glitter, the near shore.
    MeshBuilder land;
    ridge(land, Hills, -150.0f, -300.0f, 300.0f, 40, -2.0f,
          [](float x) { return 14.0f + 22.0f * fractalNoise(x / 70.0f, 1.0f, 71, 3); }, normalize({0.0f, 0.3f, 1.0f}) * 1.4f,
          normalize({0.0f, 1.0f, -0.3f}));
    quad(land, Water, {-300.0f, -0.5f, 10.0f}, {300.0f, -0.5f, 10.0f}, {300.0f, -0.5f, -150.0f}, {-300.0f, -0.5f, -150.0f},
         {0.0f, 1.0f, 0.0f});
    Random glitter(72);
    for (float z = -140.0f; z < 6.0f; z += glitter.range(1.5f, 4.0f)) {
        // A path of bright ripples straight below the moon as seen from the shore.
        const float k = (z + 150.0f) / 170.0f;
        const float cx = moonAt.x * (1.0f - k) * 0.15f + glitter.range(-2.0f, 2.0f) * (1.0f + 3.0f * k);
        const float w = (3.0f + 10.0f * k) * glitter.range(0.5f, 1.2f);
        const float d = 0.3f + 0.8f * k;
        quad(land, White, {cx - w, -0.3f, z + d}, {cx + w, -0.3f, z + d}, {cx + w, -0.3f, z}, {cx - w, -0.3f, z},
             towardsMoon * glitter.range(0.6f, 1.1f));
    }
    heightField(
        land, -60.0f, 6.0f, 60.0f, 40.0f, 24, 8, [](float x, float z) { return 0.6f * fractalNoise(x / 10.0f, z / 10.0f, 73, 2) + (z - 6.0f) * 0.02f; },
        [](float, float, float) { return static_cast<int>(Meadow); });
    scene.meshes.push_back(land.take());

    MeshBuilder firs;
    Random trees(74);
    for (int i = 0; i < 26; ++i) {
        const float x = -120.0f + 240.0f * static_cast<float>(i) / 26.0f + trees.range(-4.0f, 4.0f);
        const float z = trees.range(-160.0f, -145.0f);
        conifer(firs, {x, -1.0f, z}, trees.range(10.0f, 22.0f), trees.range(3.0f, 5.0f), Bark, Hills, trees.next());
    }
    // Two groups of firs near the shore frame the view.
    const Vec3 nearFirs[] = {{-14.0f, 0.0f, 4.0f}, {-19.0f, 0.0f, 0.0f}, {-10.0f, 0.0f, -2.0f}, {15.0f, 0.0f, 2.0f}, {20.0f, 0.0f, 6.0f}};
    for (const Vec3& at : nearFirs) {
        conifer(firs, at, trees.range(9.0f, 14.0f), trees.range(2.5f, 3.5f), Bark, Hills, trees.next());
    }
    scene.meshes.push_back(firs.take());

    // Fireflies: small quads that blink (visibility keys) and wander (keyed corners).
    // They glow in the firefly light, which shines straight up and so reaches nothing
    // else of the scene: their made-up normals point down into it.
    Random flies(75);
    const Vec3 glow{0.0f, -1.6f, 0.0f};
    for (int i = 0; i < 28; ++i) {
        MeshBuilder fly;
        const Vec3 home{flies.range(-10.0f, 12.0f), flies.range(0.5f, 2.0f), flies.range(9.0f, 19.0f)};
        const float phase = flies.range(0.0f, 6.28f), speed = flies.range(0.01f, 0.025f);
        const auto centre = [=](float f) {
            return home + Vec3{1.2f * std::sin(f * speed + phase), 0.4f * std::sin(f * speed * 2.3f), 0.8f * std::cos(f * speed * 1.7f + phase)};
        };
        std::vector<Corner> corners;
        for (int k = 0; k < 4; ++k) {
            const float a = 1.5707963f * static_cast<float>(k);
            const Vec3 offset{0.09f * std::cos(a), 0.09f * std::sin(a), 0.0f};
            corners.push_back({fly.vertex([=](float f) { return centre(f) + offset; }, [=](float) { return glow; }, last, 15),
                               0.5f, 0.5f});
        }
        fly.polygon(White, corners, {0.0f, 0.0f, 1.0f});
        std::vector<sw::VisibilityKey> blink;
        for (int frame = flies.below(40); frame < 600;) {
            const int dark = 20 + flies.below(70), lit = 12 + flies.below(30);
            blink.push_back({false, static_cast<std::uint16_t>(frame + dark)});
            blink.push_back({true, static_cast<std::uint16_t>(frame + dark + lit)});
            frame += dark + lit;
        }
        fly.setVisibility(std::move(blink));
        scene.meshes.push_back(fly.take());
    }

    sw::Light wanderer = point({}, {2.2f, 2.4f, 0.9f});
    wanderer.position = sampled(
        [](float f) { return Vec3{-1.0f + 5.0f * std::sin(f / 90.0f), 0.9f, 14.0f + 2.5f * std::sin(f / 55.0f)}; }, last, 15);
    scene.lights.push_back(directional(moonShine, moonlight));
    scene.lights.push_back(directional({0.0f, 1.0f, 0.0f}, {0.85f, 0.95f, 0.35f}));
    scene.lights.push_back(wanderer);
    return scene;
}

}  // namespace datagen::scenes
