// A white bird with dark wing tips flies over fields, copses and a river; its wings beat
// (keyed corners), now and then it glides; the camera follows a little above and beside.
#include <algorithm>

#include "atlas.h"
#include "scenes.h"
#include "shapes.h"

namespace datagen::scenes {

namespace {

using namespace atlas;

constexpr float kBirdLast = 997.0f;  // the show reaches frame 996.63
constexpr float kFlapPeriod = 22.0f;
constexpr float kTwoPi = 6.2831853f;

Vec3 flightPath(float f) { return {-170.0f + 0.34f * f, 42.0f + 5.0f * std::sin(f / 110.0f), 50.0f * std::sin(f / 170.0f)}; }

Vec3 flightVelocity(float f) { return (flightPath(f + 0.5f) - flightPath(f - 0.5f)); }

// The bird's frame at frame f: where it is, and its right, up and forward axes, banked
// into its turns.
struct Pose {
    Vec3 origin, right, up, forward;
    Vec3 toWorld(Vec3 p) const { return origin + right * p.x + up * p.y + forward * p.z; }
    Vec3 turn(Vec3 n) const { return right * n.x + up * n.y + forward * n.z; }
};

Pose poseAt(float f) {
    const Vec3 forward = normalize(flightVelocity(f));
    const Vec3 right = normalize(cross(forward, {0.0f, 1.0f, 0.0f}));
    const Vec3 up = cross(right, forward);
    const Vec3 accel = flightVelocity(f + 0.5f) - flightVelocity(f - 0.5f);
    const float roll = std::clamp(dot(accel, right) * 900.0f, -0.5f, 0.5f);
    const Vec3 bankedRight = right * std::cos(roll) + up * std::sin(roll);
    return {flightPath(f), bankedRight, cross(bankedRight, forward), forward};
}

// 1 while the bird beats its wings, 0 while it glides; smooth in between.
float flapping(float f) {
    const float glides[][2] = {{230.0f, 330.0f}, {600.0f, 690.0f}};
    float k = 1.0f;
    for (const auto& g : glides) k *= 1.0f - smoothstep(g[0] - 20.0f, g[0], f) * (1.0f - smoothstep(g[1], g[1] + 20.0f, f));
    return k;
}

// Wing angles: the inner wing about the shoulder, the outer part a little behind it.
float shoulderAngle(float f) {
    return 0.12f + (0.12f + 0.55f * flapping(f)) * std::sin(kTwoPi * f / kFlapPeriod);
}
float elbowAngle(float f) { return 0.6f * (shoulderAngle(f - 3.0f) - 0.12f) + 0.05f; }

// A point of the right wing (x >= 0) in the bird's frame at frame f; `outer` marks the
// hand part beyond the elbow. The left wing is its mirror image.
Vec3 wingPoint(Vec3 rest, bool outer, float side, float f) {
    constexpr float shoulder = 0.25f, elbow = 1.55f;
    const float a = shoulderAngle(f);
    Vec3 p = rest;
    if (outer) {
        const float b = elbowAngle(f);
        const float dx = p.x - elbow;
        p = {elbow + dx * std::cos(b), dx * std::sin(b), p.z};
    }
    const float dx = p.x - shoulder, dy = p.y;
    p = {shoulder + dx * std::cos(a) - dy * std::sin(a), dx * std::sin(a) + dy * std::cos(a), p.z};
    return {p.x * side, p.y, p.z};
}

Vec3 wingNormal(bool outer, float side, float f) {
    const float a = shoulderAngle(f) + (outer ? elbowAngle(f) : 0.0f);
    return {-std::sin(a) * side, std::cos(a), 0.0f};
}

void buildBirdMesh(MeshBuilder& bird) {
    constexpr int bodyStep = 10, wingStep = 3;
    auto bodyVertex = [&](Vec3 local, Vec3 localNormal) {
        return bird.vertex([=](float f) { return poseAt(f).toWorld(local); }, [=](float f) { return poseAt(f).turn(localNormal); },
                           kBirdLast, bodyStep);
    };
    // Body and head: ellipsoids.
    std::vector<Vec3> points;
    std::vector<std::array<int, 3>> faces;
    icosphere(0, points, faces);
    struct Part {
        Vec3 centre, radii;
        int tile;
    };
    for (const Part& part : {Part{{0.0f, 0.0f, 0.0f}, {0.34f, 0.3f, 1.05f}, White}, Part{{0.0f, 0.16f, 1.1f}, {0.24f, 0.24f, 0.3f}, White}}) {
        std::vector<std::uint16_t> index;
        for (const Vec3& p : points) {
            index.push_back(bodyVertex(part.centre + Vec3{p.x * part.radii.x, p.y * part.radii.y, p.z * part.radii.z},
                                       normalize({p.x / part.radii.x, p.y / part.radii.y, p.z / part.radii.z})));
        }
        for (const auto& face : faces) {
            std::vector<Corner> corners;
            for (int k : face) corners.push_back({index[static_cast<std::size_t>(k)], 0.1f, 0.5f});
            const Vec3 outward = points[static_cast<std::size_t>(face[0])] + points[static_cast<std::size_t>(face[1])] +
                                 points[static_cast<std::size_t>(face[2])];
            bird.polygon(part.tile, corners, poseAt(0.0f).turn(outward));
        }
    }
    // Beak: an orange pyramid; tail: a dark-edged fan.
    const std::uint16_t tip = bodyVertex({0.0f, 0.1f, 1.75f}, {0.0f, 1.0f, 0.3f});
    const std::uint16_t b0 = bodyVertex({-0.08f, 0.18f, 1.35f}, {-0.7f, 0.7f, 0.0f});
    const std::uint16_t b1 = bodyVertex({0.08f, 0.18f, 1.35f}, {0.7f, 0.7f, 0.0f});
    const std::uint16_t b2 = bodyVertex({0.0f, 0.04f, 1.35f}, {0.0f, -1.0f, 0.0f});
    bird.polygon(Sun, {{tip, 0.9f, 0.5f}, {b0, 0.8f, 0.4f}, {b1, 0.8f, 0.6f}});
    bird.polygon(Sun, {{tip, 0.9f, 0.5f}, {b1, 0.8f, 0.6f}, {b2, 0.8f, 0.5f}});
    bird.polygon(Sun, {{tip, 0.9f, 0.5f}, {b2, 0.8f, 0.5f}, {b0, 0.8f, 0.4f}});
    const std::uint16_t t0 = bodyVertex({0.0f, 0.05f, -0.8f}, {0.0f, 1.0f, 0.0f});
    const std::uint16_t t1 = bodyVertex({-0.45f, 0.0f, -1.6f}, {0.0f, 1.0f, 0.0f});
    const std::uint16_t t2 = bodyVertex({0.45f, 0.0f, -1.6f}, {0.0f, 1.0f, 0.0f});
    bird.polygon(Feathers, {{t0, 0.2f, 0.5f}, {t1, 0.9f, 0.3f}, {t2, 0.9f, 0.7f}});

    // Wings: an inner panel from the shoulder to the elbow, a hand to the tip.
    const Vec3 rootFront{0.25f, 0.0f, 0.45f}, rootBack{0.25f, 0.0f, -0.35f};
    const Vec3 elbowFront{1.55f, 0.0f, 0.35f}, elbowBack{1.55f, 0.0f, -0.5f};
    const Vec3 wingTip{2.9f, 0.0f, -0.65f}, handBack{2.3f, 0.0f, -0.75f};
    for (float side : {1.0f, -1.0f}) {
        auto wingVertex = [&](Vec3 rest, bool outer) {
            return bird.vertex([=](float f) { return poseAt(f).toWorld(wingPoint(rest, outer, side, f)); },
                               [=](float f) { return poseAt(f).turn(wingNormal(outer, side, f)); }, kBirdLast, wingStep);
        };
        const std::uint16_t rf = wingVertex(rootFront, false), rb = wingVertex(rootBack, false);
        const std::uint16_t ef = wingVertex(elbowFront, false), eb = wingVertex(elbowBack, false);
        const std::uint16_t hf = wingVertex(elbowFront, true), hb = wingVertex(elbowBack, true);
        const std::uint16_t wt = wingVertex(wingTip, true), wb = wingVertex(handBack, true);
        // s runs from the wing root (white) to the tip (dark) across the feather tile.
        bird.polygon(Feathers, {{rf, 0.0f, 0.2f}, {ef, 0.5f, 0.2f}, {eb, 0.5f, 0.8f}, {rb, 0.0f, 0.8f}});
        bird.polygon(Feathers, {{hf, 0.5f, 0.2f}, {wt, 1.0f, 0.3f}, {wb, 0.9f, 0.8f}, {hb, 0.5f, 0.8f}});
    }
}

float landHeight(float x, float z) {
    const float river = 30.0f * std::sin(x / 70.0f) - 30.0f;
    const float hills = 22.0f * fractalNoise(x / 90.0f, z / 90.0f, 81, 4) - 6.0f;
    const float valley = -1.0f + 0.2f * std::fabs(z - river) - 2.0f;
    return std::max(-1.0f, std::min(hills, valley));
}

}  // namespace

sw::SceneDesc buildBird() {
    const Vec3 sunShine = normalize({0.3f, -0.8f, -0.4f});
    sw::SceneDesc scene;
    scene.camera = camera(
        [](float f) {
            const Pose p = poseAt(f);
            const Vec3 flatRight = normalize(cross(p.forward, {0.0f, 1.0f, 0.0f}));
            return p.origin - p.forward * 7.5f + Vec3{0.0f, 2.4f, 0.0f} + flatRight * 2.4f;
        },
        [](float f) {
            const Pose p = poseAt(f);
            return p.origin + p.forward * 5.0f - Vec3{0.0f, 1.2f, 0.0f};
        },
        kBirdLast, 10, 50.0f);

    MeshBuilder sky;
    skyCylinder(sky, SkyDay, {0.0f, 0.0f, 0.0f}, 700.0f, 0.0f, 420.0f, -sunShine, 1.0f);
    scene.meshes.push_back(sky.take());

    MeshBuilder land;
    heightField(
        land, -300.0f, -240.0f, 300.0f, 240.0f, 60, 48, landHeight,
        [](float x, float z, float y) {
            if (y < -0.6f) return static_cast<int>(Water);
            if (y < 0.5f) return static_cast<int>(Ground);
            if (y > 11.0f) return static_cast<int>(Hills);
            return fractalNoise(x / 50.0f, z / 50.0f, 82, 2) > 0.55f ? static_cast<int>(Meadow) : static_cast<int>(Grass);
        },
        2);
    scene.meshes.push_back(land.take());

    MeshBuilder copses;
    Random random(83);
    for (int c = 0; c < 14; ++c) {
        const float cx = random.range(-240.0f, 260.0f), cz = random.range(-180.0f, 180.0f);
        for (int t = 0; t < 6; ++t) {
            const float x = cx + random.range(-12.0f, 12.0f), z = cz + random.range(-12.0f, 12.0f);
            const float y = landHeight(x, z);
            if (y < 0.5f) continue;
            const float h = random.range(3.0f, 6.0f), r = random.range(2.5f, 4.0f);
            cylinder(copses, Bark, {x, y - 0.3f, z}, {x, y + h, z}, 0.4f, 0.3f, 5);
            blob(copses, Foliage, {x, y + h + r * 0.6f, z}, {r, r * 0.85f, r}, random.next(), 0.5f);
        }
    }
    scene.meshes.push_back(copses.take());

    MeshBuilder bird;
    buildBirdMesh(bird);
    scene.meshes.push_back(bird.take());

    scene.lights.push_back(directional(sunShine, {1.0f, 0.95f, 0.85f}));
    scene.lights.push_back(directional({0.0f, -1.0f, 0.0f}, {0.2f, 0.24f, 0.32f}));
    scene.lights.push_back(directional({0.0f, 1.0f, 0.0f}, {0.16f, 0.2f, 0.12f}));
    return scene;
}

}  // namespace datagen::scenes
