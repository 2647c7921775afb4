// A flower bed in a hedged garden: seven large flowers open one after another (keyed
// petals), many small ones stand around, and the camera circles the bed, drawing
// closer. Textured from texture_flowers.raw.
#include <algorithm>

#include "atlas.h"
#include "scenes.h"
#include "shapes.h"

namespace datagen::scenes {

namespace {

using namespace atlas;

constexpr float kFlowersLast = 1100.0f;
constexpr Vec3 kGardenUp{0.0f, 1.0f, 0.0f};

// Two unit vectors across `axis`.
void across(Vec3 axis, Vec3& u, Vec3& v) {
    u = normalize(cross(std::fabs(axis.x) < 0.9f ? Vec3{1.0f, 0.0f, 0.0f} : Vec3{0.0f, 0.0f, 1.0f}, axis));
    v = cross(axis, u);
}

struct Bloom {
    Vec3 head;       // centre of the flower's heart
    Vec3 axis;       // the way the flower faces
    int petals;
    float length;    // of a petal
    float width;
    int tile;
    int opensAt;     // frame the petals start to part
    int openFrames;  // how long they take
};

// One petal hinged at the rim of the heart; `angle` is its opening from the axis (0:
// closed in a bud, about 1.4: spread wide).
struct PetalFrame {
    Vec3 hinge, along, side, normal;
};
PetalFrame petalFrame(const Bloom& b, Vec3 out, float angle) {
    const Vec3 side = normalize(cross(b.axis, out));
    const Vec3 along = b.axis * std::cos(angle) + out * std::sin(angle);
    return {b.head + out * 0.16f, along, side, normalize(cross(side, along) * -1.0f)};
}

void addBloom(MeshBuilder& mesh, const Bloom& b) {
    constexpr float closed = 0.12f, open = 1.42f;
    const auto angleAt = [b](float f) {
        return closed + (open - closed) * ease((f - static_cast<float>(b.opensAt)) / static_cast<float>(b.openFrames));
    };
    Vec3 u, v;
    across(b.axis, u, v);
    const int from = b.opensAt, to = b.opensAt + b.openFrames;
    for (int k = 0; k < b.petals; ++k) {
        const float phi = 6.2831853f * static_cast<float>(k) / static_cast<float>(b.petals);
        const Vec3 out = u * std::cos(phi) + v * std::sin(phi);
        // Inner petals (odd ones) open a little later and less far.
        const float lag = (k % 2 == 1) ? 25.0f : 0.0f;
        const float reach = (k % 2 == 1) ? 0.9f : 1.0f;
        auto corner = [&](float alongFraction, float sideFraction, float curl) {
            const VectorPath position = [=](float f) {
                const PetalFrame p = petalFrame(b, out, angleAt(f - lag) * reach + curl * alongFraction);
                return p.hinge + p.along * (b.length * alongFraction) + p.side * (b.width * sideFraction);
            };
            const VectorPath normal = [=](float f) {
                return petalFrame(b, out, angleAt(f - lag) * reach + curl * alongFraction).normal;
            };
            sw::Vertex vertex;
            vertex.position = sampledBetween(position, from, to + 25, 20);
            vertex.normal = sampledBetween(normal, from, to + 25, 20);
            return mesh.vertex(vertex, position(0.0f), normal(0.0f));
        };
        const std::uint16_t baseLeft = corner(0.0f, -0.12f, 0.0f), baseRight = corner(0.0f, 0.12f, 0.0f);
        const std::uint16_t midLeft = corner(0.55f, -0.5f, 0.15f), midRight = corner(0.55f, 0.5f, 0.15f);
        const std::uint16_t tip = corner(1.0f, 0.0f, 0.3f);
        const Vec3 facing = petalFrame(b, out, closed).normal;
        mesh.polygon(b.tile, {{baseLeft, 0.38f, 0.0f}, {baseRight, 0.62f, 0.0f}, {midRight, 1.0f, 0.55f}, {tip, 0.5f, 1.0f},
                              {midLeft, 0.0f, 0.55f}},
                     facing);
    }
    blob(mesh, FlowerHeart, b.head + b.axis * 0.04f, {0.2f, 0.11f, 0.2f}, static_cast<std::uint32_t>(b.opensAt), 0.3f);
}

void addStem(MeshBuilder& mesh, Vec3 base, Vec3 head, float radius, Random& random) {
    cylinder(mesh, Stem, base, head, radius, radius * 0.8f, 5);
    for (int l = 0; l < 2; ++l) {
        const float at = random.range(0.2f, 0.45f);
        const Vec3 joint = lerp(base, head, at);
        const float a = random.range(0.0f, 6.2831853f);
        const Vec3 out = normalize(Vec3{std::cos(a), 0.5f, std::sin(a)});
        const Vec3 side = normalize(cross(out, kGardenUp));
        const float len = random.range(0.5f, 0.8f), wide = len * 0.3f;
        const Vec3 normal = normalize(cross(side, out)) * (dot(cross(side, out), kGardenUp) < 0.0f ? -1.0f : 1.0f);
        const std::uint16_t a0 = mesh.vertex(joint, normal);
        const std::uint16_t a1 = mesh.vertex(joint + out * (len * 0.5f) + side * wide, normal);
        const std::uint16_t a2 = mesh.vertex(joint + out * len - kGardenUp * (len * 0.15f), normal);
        const std::uint16_t a3 = mesh.vertex(joint + out * (len * 0.5f) - side * wide, normal);
        mesh.polygon(Leaf, {{a0, 0.5f, 0.0f}, {a1, 1.0f, 0.5f}, {a2, 0.5f, 1.0f}, {a3, 0.0f, 0.5f}}, normal);
    }
}

float gardenGround(float x, float z) { return 0.25f * (fractalNoise(x / 6.0f, z / 6.0f, 91, 2) - 0.5f); }

}  // namespace

sw::SceneDesc buildFlowers() {
    const Vec3 sunShine = normalize({-0.5f, -0.75f, -0.35f});
    sw::SceneDesc scene;
    scene.camera = camera(
        [](float f) {
            const float angle = 0.4f + 5.0f * f / kFlowersLast;
            const float radius = 7.2f - 2.4f * ease(f / kFlowersLast);
            return Vec3{radius * std::cos(angle), 2.5f + 0.5f * std::sin(f / 170.0f), radius * std::sin(angle)};
        },
        [](float) { return Vec3{0.0f, 1.1f, 0.0f}; }, kFlowersLast, 20, 50.0f);

    MeshBuilder sky;
    skyCylinder(sky, FlowerSky, {0.0f, 0.0f, 0.0f}, 150.0f, 0.0f, 90.0f, -sunShine, 1.0f);
    scene.meshes.push_back(sky.take());

    MeshBuilder ground;
    heightField(ground, -40.0f, -40.0f, 40.0f, 40.0f, 32, 32, gardenGround, [](float x, float z, float) {
        return std::hypot(x, z) < 4.8f ? static_cast<int>(Soil) : static_cast<int>(FlowerGrass);
    });
    Random hedge(92);
    for (int i = 0; i < 30; ++i) {
        const float a = 6.2831853f * static_cast<float>(i) / 30.0f;
        const float size = hedge.range(3.5f, 5.0f);
        blob(ground, Hedge, {24.0f * std::cos(a), size * 0.55f, 24.0f * std::sin(a)}, {size, size * 0.9f, size}, hedge.next(), 0.4f);
    }
    scene.meshes.push_back(ground.take());

    // The seven large flowers: one in the middle, six around it, opening in turn.
    MeshBuilder blooms;
    Random random(93);
    const int tiles[] = {PetalRed, PetalYellow, PetalViolet, PetalWhite, PetalPink, PetalBlue, PetalRed};
    for (int k = 0; k < 7; ++k) {
        const float a = 6.2831853f * static_cast<float>(k) / 6.0f + 0.3f;
        const Vec3 base = k == 0 ? Vec3{0.0f, 0.0f, 0.0f} : Vec3{2.4f * std::cos(a), 0.0f, 2.4f * std::sin(a)};
        const float height = k == 0 ? 2.1f : random.range(1.2f, 1.7f);
        const Vec3 outward = k == 0 ? Vec3{} : normalize(Vec3{base.x, 0.0f, base.z});
        const Vec3 head = base + Vec3{outward.x * 0.3f, height, outward.z * 0.3f};
        addStem(blooms, base + Vec3{0.0f, gardenGround(base.x, base.z) - 0.1f, 0.0f}, head, 0.05f, random);
        Bloom b;
        b.head = head;
        b.axis = normalize(kGardenUp + outward * 0.45f);
        b.petals = 8;
        b.length = k == 0 ? 0.95f : random.range(0.7f, 0.85f);
        b.width = b.length * 0.5f;
        b.tile = tiles[k];
        b.opensAt = 40 + 120 * (k == 0 ? 6 : k - 1);
        b.openFrames = 200;
        addBloom(blooms, b);
    }
    scene.meshes.push_back(blooms.take());

    // Small open flowers all around, static.
    MeshBuilder meadow;
    const int smallTiles[] = {PetalRed, PetalYellow, PetalViolet, PetalWhite, PetalPink, PetalBlue};
    for (int i = 0; i < 90; ++i) {
        const float a = random.range(0.0f, 6.2831853f), r = random.range(4.8f, 18.0f);
        const Vec3 base{r * std::cos(a), gardenGround(r * std::cos(a), r * std::sin(a)), r * std::sin(a)};
        const float height = random.range(0.3f, 0.8f);
        const Vec3 head = base + Vec3{0.0f, height, 0.0f};
        cylinder(meadow, Stem, base, head, 0.025f, 0.02f, 4);
        const int tile = smallTiles[random.below(6)];
        const float size = random.range(0.22f, 0.4f);
        const int petals = 5;
        const std::uint16_t centre = meadow.vertex(head + kGardenUp * 0.03f, kGardenUp);
        std::vector<std::uint16_t> rim;
        for (int p = 0; p < petals * 2; ++p) {
            const float pa = 6.2831853f * static_cast<float>(p) / static_cast<float>(petals * 2) + a;
            const float pr = p % 2 == 0 ? size : size * 0.35f;
            rim.push_back(meadow.vertex(head + Vec3{pr * std::cos(pa), 0.05f * pr / size, pr * std::sin(pa)}, kGardenUp));
        }
        for (int p = 0; p < petals * 2; p += 2) {
            const auto cur = static_cast<std::size_t>(p);
            const std::uint16_t before = rim[(cur + rim.size() - 1) % rim.size()], after = rim[(cur + 1) % rim.size()];
            meadow.polygon(tile, {{centre, 0.5f, 0.0f}, {after, 0.9f, 0.6f}, {rim[cur], 0.5f, 1.0f}, {before, 0.1f, 0.6f}}, kGardenUp);
        }
    }
    scene.meshes.push_back(meadow.take());

    scene.lights.push_back(directional(sunShine, {1.0f, 0.95f, 0.85f}));
    scene.lights.push_back(directional({0.0f, -1.0f, 0.0f}, {0.24f, 0.27f, 0.36f}));
    scene.lights.push_back(directional({0.0f, 1.0f, 0.0f}, {0.15f, 0.18f, 0.10f}));
    return scene;
}

}  // namespace datagen::scenes
