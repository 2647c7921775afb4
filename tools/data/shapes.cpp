#include "shapes.h"

#include <array>
#include <map>
#include <utility>

namespace datagen::scenes {

namespace {

constexpr float kPi = 3.14159265f;

// Two unit vectors perpendicular to `axis` and to each other.
void basis(Vec3 axis, Vec3& u, Vec3& v) {
    const Vec3 helper = std::fabs(axis.y) < 0.9f ? Vec3{0.0f, 1.0f, 0.0f} : Vec3{1.0f, 0.0f, 0.0f};
    u = normalize(cross(helper, axis));
    v = cross(axis, u);
}

}  // namespace

void quad(MeshBuilder& mesh, int tile, Vec3 a, Vec3 b, Vec3 c, Vec3 d, Vec3 normal) {
    const std::uint16_t ia = mesh.vertex(a, normal), ib = mesh.vertex(b, normal);
    const std::uint16_t ic = mesh.vertex(c, normal), id = mesh.vertex(d, normal);
    mesh.polygon(tile, {{ia, 0.0f, 1.0f}, {ib, 1.0f, 1.0f}, {ic, 1.0f, 0.0f}, {id, 0.0f, 0.0f}}, normal);
}

void disc(MeshBuilder& mesh, int tile, Vec3 centre, float radius, Vec3 axis, int segments, Vec3 normal) {
    disc(mesh, tile, centre, radius, axis, segments, normal, axis);
}

void disc(MeshBuilder& mesh, int tile, Vec3 centre, float radius, Vec3 axis, int segments, Vec3 normal, Vec3 facing) {
    Vec3 u, v;
    basis(normalize(axis), u, v);
    std::vector<Corner> corners;
    for (int i = 0; i < segments; ++i) {
        const float a = 2.0f * kPi * static_cast<float>(i) / static_cast<float>(segments);
        const float cs = std::cos(a), sn = std::sin(a);
        const std::uint16_t index = mesh.vertex(centre + u * (radius * cs) + v * (radius * sn), normal);
        corners.push_back({index, 0.5f + 0.5f * cs, 0.5f - 0.5f * sn});
    }
    mesh.polygon(tile, corners, facing);
}

void cylinder(MeshBuilder& mesh, int tile, Vec3 base, Vec3 top, float baseRadius, float topRadius, int sides) {
    const Vec3 axis = normalize(top - base);
    Vec3 u, v;
    basis(axis, u, v);
    const float slope = (baseRadius - topRadius) / std::max(length(top - base), 1e-4f);
    std::vector<std::uint16_t> bottomRing, topRing;
    for (int i = 0; i < sides; ++i) {
        const float a = 2.0f * kPi * static_cast<float>(i) / static_cast<float>(sides);
        const Vec3 radial = u * std::cos(a) + v * std::sin(a);
        // Tilted a little upwards: the sky lights the shaded side of a trunk too, and
        // the scenes' sky light shines straight down.
        const Vec3 normal = normalize(normalize(radial + axis * slope) + Vec3{0.0f, 0.3f, 0.0f});
        bottomRing.push_back(mesh.vertex(base + radial * baseRadius, normal));
        topRing.push_back(mesh.vertex(top + radial * topRadius, normal));
    }
    for (int i = 0; i < sides; ++i) {
        const auto j = static_cast<std::size_t>(i), k = static_cast<std::size_t>((i + 1) % sides);
        const float s0 = static_cast<float>(i) / static_cast<float>(sides);
        const float s1 = static_cast<float>(i + 1) / static_cast<float>(sides);
        mesh.polygon(tile, {{bottomRing[j], s0, 1.0f}, {bottomRing[k], s1, 1.0f}, {topRing[k], s1, 0.0f}, {topRing[j], s0, 0.0f}});
    }
}

void icosphere(int detail, std::vector<Vec3>& points, std::vector<std::array<int, 3>>& faces) {
    const float g = (1.0f + std::sqrt(5.0f)) / 2.0f;
    points = {{-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0}, {0, -1, g}, {0, 1, g},
              {0, -1, -g}, {0, 1, -g}, {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
    for (Vec3& p : points) p = normalize(p);
    faces = {{0, 11, 5}, {0, 5, 1}, {0, 1, 7}, {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
             {3, 9, 4}, {3, 4, 2}, {3, 2, 6}, {3, 6, 8}, {3, 8, 9}, {4, 9, 5}, {2, 4, 11}, {6, 2, 10}, {8, 6, 7}, {9, 8, 1}};
    std::map<std::pair<int, int>, int> middles;
    auto middle = [&](int a, int b) {
        const auto key = std::make_pair(std::min(a, b), std::max(a, b));
        const auto found = middles.find(key);
        if (found != middles.end()) return found->second;
        points.push_back(normalize(points[static_cast<std::size_t>(a)] + points[static_cast<std::size_t>(b)]));
        const int index = static_cast<int>(points.size()) - 1;
        middles[key] = index;
        return index;
    };
    for (int level = 0; level < detail; ++level) {
        std::vector<std::array<int, 3>> fine;
        for (const auto& f : faces) {
            const int ab = middle(f[0], f[1]), bc = middle(f[1], f[2]), ca = middle(f[2], f[0]);
            fine.push_back({f[0], ab, ca});
            fine.push_back({f[1], bc, ab});
            fine.push_back({f[2], ca, bc});
            fine.push_back({ab, bc, ca});
        }
        faces = std::move(fine);
    }
}

void blob(MeshBuilder& mesh, int tile, Vec3 centre, Vec3 radii, std::uint32_t seed, float lumpiness, int detail) {
    std::vector<Vec3> points;
    std::vector<std::array<int, 3>> faces;
    icosphere(detail, points, faces);
    std::vector<std::uint16_t> index(points.size());
    std::vector<std::pair<float, float>> st(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const Vec3 p = points[i];
        const float bump = 1.0f + lumpiness * (valueNoise(p.x * 1.7f + 5.0f, p.y * 1.7f + p.z * 1.3f + 5.0f, seed) - 0.5f);
        const Vec3 position = centre + Vec3{p.x * radii.x, p.y * radii.y, p.z * radii.z} * bump;
        const Vec3 normal = normalize({p.x / radii.x, p.y / radii.y, p.z / radii.z});
        index[i] = mesh.vertex(position, normal);
        st[i] = {0.5f + 0.45f * p.x, 0.5f - 0.45f * p.y};
    }
    for (const auto& f : faces) {
        std::vector<Corner> corners;
        Vec3 outward{};
        for (int k : f) {
            const auto i = static_cast<std::size_t>(k);
            corners.push_back({index[i], st[i].first, st[i].second});
            outward = outward + points[i];
        }
        mesh.polygon(tile, corners, outward);
    }
}

void heightField(MeshBuilder& mesh, float x0, float z0, float x1, float z1, int cellsX, int cellsZ,
                 const HeightFunction& height, const TileFunction& tileAt, int cellsPerTile) {
    const float dx = (x1 - x0) / static_cast<float>(cellsX), dz = (z1 - z0) / static_cast<float>(cellsZ);
    std::vector<std::uint16_t> grid;
    for (int j = 0; j <= cellsZ; ++j) {
        for (int i = 0; i <= cellsX; ++i) {
            const float x = x0 + dx * static_cast<float>(i), z = z0 + dz * static_cast<float>(j);
            const float y = height(x, z);
            const float e = 0.5f * std::min(std::fabs(dx), std::fabs(dz));
            const Vec3 normal =
                normalize({height(x - e, z) - height(x + e, z), 2.0f * e, height(x, z - e) - height(x, z + e)});
            grid.push_back(mesh.vertex({x, y, z}, normal));
        }
    }
    const auto at = [&](int i, int j) { return grid[static_cast<std::size_t>(j * (cellsX + 1) + i)]; };
    for (int j = 0; j < cellsZ; ++j) {
        for (int i = 0; i < cellsX; ++i) {
            const float cx = x0 + dx * (static_cast<float>(i) + 0.5f), cz = z0 + dz * (static_cast<float>(j) + 0.5f);
            const int tile = tileAt(cx, cz, height(cx, cz));
            const float k = static_cast<float>(cellsPerTile);
            const float s0 = static_cast<float>(i % cellsPerTile) / k, s1 = s0 + 1.0f / k;
            const float t0 = static_cast<float>(j % cellsPerTile) / k, t1 = t0 + 1.0f / k;
            mesh.polygon(tile, {{at(i, j), s0, t0}, {at(i + 1, j), s1, t0}, {at(i + 1, j + 1), s1, t1},
                                {at(i, j + 1), s0, t1}});
        }
    }
}

void skyCylinder(MeshBuilder& mesh, int tile, Vec3 centre, float radius, float horizonY, float topY,
                 Vec3 towardsLight, float brightness, float reflection) {
    constexpr int sides = 24;
    const Vec3 normal = towardsLight * brightness;
    const Vec3 lowNormal = reflection > 0.0f ? towardsLight * reflection : normal;
    const float belowY = horizonY - (topY - horizonY);
    const float lowT = reflection > 0.0f ? 0.0f : 1.0f;
    std::vector<std::uint16_t> low, horizon, horizonBelow, high;
    for (int i = 0; i < sides; ++i) {
        const float a = 2.0f * kPi * static_cast<float>(i) / static_cast<float>(sides);
        const Vec3 radial{std::cos(a) * radius, 0.0f, std::sin(a) * radius};
        low.push_back(mesh.vertex(centre + radial + Vec3{0.0f, belowY, 0.0f}, lowNormal));
        horizonBelow.push_back(mesh.vertex(centre + radial + Vec3{0.0f, horizonY, 0.0f}, lowNormal));
        horizon.push_back(mesh.vertex(centre + radial + Vec3{0.0f, horizonY, 0.0f}, normal));
        high.push_back(mesh.vertex(centre + radial + Vec3{0.0f, topY, 0.0f}, normal));
    }
    for (int i = 0; i < sides; ++i) {
        const auto j = static_cast<std::size_t>(i), k = static_cast<std::size_t>((i + 1) % sides);
        const float a = 2.0f * kPi * (static_cast<float>(i) + 0.5f) / static_cast<float>(sides);
        const Vec3 inward{-std::cos(a), 0.0f, -std::sin(a)};
        mesh.polygon(tile, {{horizon[j], 0.0f, 1.0f}, {horizon[k], 1.0f, 1.0f}, {high[k], 1.0f, 0.0f}, {high[j], 0.0f, 0.0f}},
                     inward);
        mesh.polygon(tile,
                     {{low[j], 0.0f, lowT}, {low[k], 1.0f, lowT}, {horizonBelow[k], 1.0f, 1.0f}, {horizonBelow[j], 0.0f, 1.0f}},
                     inward);
    }
    std::vector<Corner> cap;
    for (int i = 0; i < sides; ++i) cap.push_back({high[static_cast<std::size_t>(i)], 0.5f, 0.0f});
    mesh.polygon(tile, cap, {0.0f, -1.0f, 0.0f});
}

void ridge(MeshBuilder& mesh, int tile, float z, float x0, float x1, int columns, float baseY,
           const std::function<float(float x)>& crest, Vec3 faceNormal, Vec3 crestNormal) {
    // Three rows: the crest, a band just below it where the rim light fades, the base.
    std::vector<std::uint16_t> top, shoulder, bottom;
    for (int i = 0; i <= columns; ++i) {
        const float x = x0 + (x1 - x0) * static_cast<float>(i) / static_cast<float>(columns);
        const float y = crest(x);
        const float band = std::min(3.0f, 0.3f * (y - baseY));
        top.push_back(mesh.vertex({x, y, z}, crestNormal));
        shoulder.push_back(mesh.vertex({x, y - band, z}, faceNormal));
        bottom.push_back(mesh.vertex({x, baseY, z}, faceNormal));
    }
    const Vec3 facing{0.0f, 0.0f, 1.0f};
    for (int i = 0; i < columns; ++i) {
        const auto j = static_cast<std::size_t>(i), k = j + 1;
        const float s0 = static_cast<float>(i % 4) / 4.0f, s1 = s0 + 0.25f;
        mesh.polygon(tile, {{shoulder[j], s0, 0.2f}, {shoulder[k], s1, 0.2f}, {top[k], s1, 0.0f}, {top[j], s0, 0.0f}}, facing);
        mesh.polygon(tile, {{bottom[j], s0, 1.0f}, {bottom[k], s1, 1.0f}, {shoulder[k], s1, 0.2f}, {shoulder[j], s0, 0.2f}},
                     facing);
    }
}

void conifer(MeshBuilder& mesh, Vec3 base, float height, float radius, int barkTile, int needleTile, std::uint32_t seed) {
    Random random(seed, 0xf12);
    const Vec3 up{0.0f, 1.0f, 0.0f};
    cylinder(mesh, barkTile, base, base + up * (height * 0.35f), radius * 0.12f, radius * 0.09f, 5);
    constexpr int tiers = 4;
    for (int tier = 0; tier < tiers; ++tier) {
        const float k = static_cast<float>(tier) / tiers;
        const float bottom = height * (0.2f + 0.19f * static_cast<float>(tier));
        const float top = bottom + height * (0.42f - 0.05f * static_cast<float>(tier));
        const float r = radius * (1.0f - 0.7f * k) * random.range(0.9f, 1.1f);
        cylinder(mesh, needleTile, base + up * bottom, base + up * top, r, r * 0.06f, 8);
        // The underside faces down but is lit as if it faced up, dimly: shade under the
        // boughs, and no light meant for things that face down reaches it.
        disc(mesh, needleTile, base + up * bottom, r, up, 8, up * 0.3f, -up);
    }
}

namespace {

void branch(MeshBuilder& mesh, Vec3 base, Vec3 direction, float length, float radius, int level, const TreeStyle& style,
            Random& random) {
    const Vec3 tip = base + direction * length;
    const float tipRadius = radius * 0.62f;
    cylinder(mesh, style.barkTile, base, tip, radius, tipRadius, level == 0 ? 7 : (level == 1 ? 5 : 4));
    if (level >= style.depth) {
        const float size = style.leafSize * random.range(0.8f, 1.25f);
        blob(mesh, style.leafTile, tip + Vec3{0.0f, size * 0.3f, 0.0f}, {size, size * 0.8f, size}, random.next(), 0.5f);
        return;
    }
    const int children = style.branches + (random.uniform() < 0.3f ? 1 : 0);
    const float turn = random.range(0.0f, 2.0f * kPi);
    Vec3 u, v;
    basis(direction, u, v);
    for (int c = 0; c < children; ++c) {
        const float around = turn + 2.0f * kPi * static_cast<float>(c) / static_cast<float>(children);
        const float off = style.spread * random.range(0.7f, 1.2f);
        Vec3 child = normalize(direction * std::cos(off) + (u * std::cos(around) + v * std::sin(around)) * std::sin(off));
        child = normalize(child + Vec3{0.0f, 0.25f, 0.0f});  // branches reach for the light
        branch(mesh, tip, child, length * random.range(0.55f, 0.75f), tipRadius * 0.8f, level + 1, style, random);
    }
    if (level >= style.depth - 1) {
        // A cluster at the fork as well, so crowns read as masses rather than twigs.
        const float size = style.leafSize * random.range(0.9f, 1.3f);
        blob(mesh, style.leafTile, tip + direction * (size * 0.4f), {size, size * 0.8f, size}, random.next(), 0.5f);
    }
}

}  // namespace

void growTree(MeshBuilder& mesh, Vec3 base, const TreeStyle& style, std::uint32_t seed) {
    Random random(seed, 0x7ee);
    const Vec3 lean = normalize({random.range(-0.08f, 0.08f), 1.0f, random.range(-0.08f, 0.08f)});
    branch(mesh, base, lean, style.height, style.trunkRadius, 0, style, random);
}

}  // namespace datagen::scenes
