#include "textures.h"

#include <cmath>
#include <functional>

#include "atlas.h"

namespace datagen {

namespace {

// A tile painter gets the position inside its tile, s across and t down, both in [0, 1),
// and the position in whole-tile texels for noise that should tile seamlessly.
using Painter = std::function<Rgb(float s, float t)>;

void paintTile(Image& image, int tile, const Painter& paint) {
    const int x0 = (tile % atlas::kPerRow) * atlas::kTile;
    const int y0 = (tile / atlas::kPerRow) * atlas::kTile;
    for (int y = 0; y < atlas::kTile; ++y) {
        for (int x = 0; x < atlas::kTile; ++x) {
            const float s = (static_cast<float>(x) + 0.5f) / static_cast<float>(atlas::kTile);
            const float t = (static_cast<float>(y) + 0.5f) / static_cast<float>(atlas::kTile);
            image.setRgb(x0 + x, y0 + y, paint(s, t));
        }
    }
}

Rgb scale(const Rgb& c, float k) { return {c.r * k, c.g * k, c.b * k}; }

// Noise over the tile with `cells` lattice cells across, repeating at the tile's edge.
float tileNoise(float s, float t, float cells, std::uint32_t seed, int octaves = 4) {
    return fractalNoise(s * cells, t * cells, seed, octaves, static_cast<std::int32_t>(cells));
}

// Vertical gradient through a list of (t, colour) stops.
Rgb gradient(float t, std::initializer_list<std::pair<float, Rgb>> stops) {
    const std::pair<float, Rgb>* previous = nullptr;
    for (const auto& stop : stops) {
        if (t <= stop.first) {
            if (previous == nullptr) return stop.second;
            return mix(previous->second, stop.second, smoothstep(previous->first, stop.first, t));
        }
        previous = &stop;
    }
    return previous != nullptr ? previous->second : Rgb{};
}

Rgb sky(float s, float t, std::uint32_t seed, std::initializer_list<std::pair<float, Rgb>> stops) {
    const float n = tileNoise(s, t * 0.5f, 4.0f, seed, 3);
    return scale(gradient(t, stops), 0.94f + 0.12f * n);
}

Rgb petal(float s, float t, const Rgb& base, const Rgb& tip, const Rgb& heart, std::uint32_t seed) {
    // t runs from the petal's base (0) to its tip (1); veins run along t.
    const float veins = 0.5f + 0.5f * std::sin((s - 0.5f) * 40.0f / (0.35f + t));
    const float n = tileNoise(s, t, 8.0f, seed, 3);
    Rgb c = mix(heart, base, smoothstep(0.0f, 0.3f, t));
    c = mix(c, tip, smoothstep(0.55f, 1.0f, t));
    return scale(c, 0.82f + 0.12f * veins + 0.12f * n);
}

}  // namespace

Image makeSceneAtlas() {
    using namespace atlas;
    Image image(kSize, kSize, 3);

    paintTile(image, SkyDay, [](float s, float t) {
        return sky(s, t, 11, {{0.0f, {0.16f, 0.34f, 0.78f}}, {0.6f, {0.45f, 0.65f, 0.92f}}, {1.0f, {0.85f, 0.90f, 0.95f}}});
    });
    paintTile(image, SkyDawn, [](float s, float t) {
        return sky(s, t, 12,
                   {{0.0f, {0.16f, 0.14f, 0.40f}}, {0.45f, {0.72f, 0.34f, 0.45f}}, {0.75f, {1.0f, 0.58f, 0.30f}},
                    {1.0f, {1.0f, 0.86f, 0.50f}}});
    });
    paintTile(image, SkyNight, [](float s, float t) {
        Rgb c = sky(s, t, 13, {{0.0f, {0.01f, 0.02f, 0.07f}}, {1.0f, {0.08f, 0.13f, 0.32f}}});
        const float star = latticeHash(static_cast<int>(s * 64.0f), static_cast<int>(t * 64.0f), 77);
        if (star > 0.985f) c = {0.9f, 0.92f, 1.0f};
        return c;
    });
    paintTile(image, Sun, [](float s, float t) {
        const float r = std::sqrt((s - 0.5f) * (s - 0.5f) + (t - 0.5f) * (t - 0.5f)) * 2.0f;
        return mix(Rgb{1.0f, 1.0f, 0.88f}, Rgb{1.0f, 0.62f, 0.22f}, smoothstep(0.2f, 1.0f, r));
    });
    paintTile(image, Cloud, [](float s, float t) {
        const float n = tileNoise(s, t, 4.0f, 21, 5);
        // Bright tops, blue-grey undersides: t = 0 is the top of a cloud.
        const Rgb lit{1.0f, 0.98f, 0.95f};
        const Rgb shade{0.58f, 0.62f, 0.75f};
        return mix(lit, shade, clamp01(smoothstep(0.25f, 1.0f, t) * 0.8f + (n - 0.5f) * 0.6f));
    });
    paintTile(image, Bark, [](float s, float t) {
        const float streak = fractalNoise(s * 16.0f, t * 2.0f, 31, 4, 16);
        const float knot = tileNoise(s, t, 4.0f, 32, 2);
        const Rgb dark{0.16f, 0.10f, 0.06f};
        const Rgb light{0.50f, 0.36f, 0.22f};
        return mix(dark, light, clamp01(streak * 1.3f - 0.15f - 0.2f * smoothstep(0.6f, 0.9f, knot)));
    });
    paintTile(image, Foliage, [](float s, float t) {
        const float n = tileNoise(s, t, 8.0f, 41, 4);
        const float fleck = tileNoise(s, t, 16.0f, 42, 2);
        Rgb c = mix(Rgb{0.06f, 0.24f, 0.06f}, Rgb{0.38f, 0.66f, 0.16f}, smoothstep(0.3f, 0.75f, n));
        if (fleck > 0.72f) c = mix(c, Rgb{0.72f, 0.85f, 0.30f}, 0.6f);
        return c;
    });
    paintTile(image, Grass, [](float s, float t) {
        const float blades = fractalNoise(s * 32.0f, t * 3.0f, 51, 3, 32);
        const float n = tileNoise(s, t, 4.0f, 52, 3);
        return mix(Rgb{0.14f, 0.36f, 0.08f}, Rgb{0.50f, 0.74f, 0.22f}, clamp01(0.6f * blades + 0.5f * n - 0.1f));
    });
    paintTile(image, Ground, [](float s, float t) {
        const float n = tileNoise(s, t, 8.0f, 61, 4);
        const float pebble = tileNoise(s, t, 16.0f, 62, 1);
        Rgb c = mix(Rgb{0.36f, 0.25f, 0.15f}, Rgb{0.70f, 0.56f, 0.38f}, n);
        if (pebble > 0.78f) c = scale(c, 1.25f);
        return c;
    });
    paintTile(image, Water, [](float s, float t) {
        const float ripple = fractalNoise(s * 4.0f, t * 24.0f, 71, 3, 4);
        const Rgb deep{0.08f, 0.24f, 0.50f};
        const Rgb glint{0.70f, 0.86f, 1.0f};
        return mix(deep, glint, smoothstep(0.55f, 0.85f, ripple));
    });
    paintTile(image, Feathers, [](float s, float t) {
        // s runs from the wing root (0) to the tip (1): white plumage, dark tips.
        const float barbs = 0.5f + 0.5f * std::sin(t * 60.0f + s * 8.0f);
        const float n = tileNoise(s, t, 8.0f, 81, 3);
        Rgb c = mix(Rgb{0.96f, 0.95f, 0.92f}, Rgb{0.62f, 0.64f, 0.70f}, smoothstep(0.35f, 0.7f, s));
        c = mix(c, Rgb{0.10f, 0.10f, 0.12f}, smoothstep(0.72f, 0.85f, s));
        return scale(c, 0.88f + 0.08f * barbs + 0.08f * n);
    });
    paintTile(image, MoonSurface, [](float s, float t) {
        const float n = tileNoise(s, t, 4.0f, 91, 4);
        const float craters = tileNoise(s, t, 6.0f, 92, 1);
        Rgb c = mix(Rgb{0.62f, 0.66f, 0.72f}, Rgb{0.95f, 0.96f, 1.0f}, n);
        return scale(c, 1.0f - 0.3f * smoothstep(0.62f, 0.8f, craters));
    });
    paintTile(image, Stone, [](float s, float t) {
        const float n = tileNoise(s, t, 8.0f, 101, 5);
        const float crack = std::fabs(tileNoise(s, t, 4.0f, 102, 2) - 0.5f);
        Rgb c = mix(Rgb{0.34f, 0.34f, 0.38f}, Rgb{0.72f, 0.70f, 0.68f}, n);
        return scale(c, crack < 0.03f ? 0.6f : 1.0f);
    });
    paintTile(image, Hills, [](float s, float t) {
        const float n = tileNoise(s, t, 4.0f, 111, 4);
        return mix(Rgb{0.20f, 0.38f, 0.30f}, Rgb{0.45f, 0.62f, 0.52f}, n);
    });
    paintTile(image, White, [](float, float) { return Rgb{1.0f, 1.0f, 1.0f}; });
    paintTile(image, Meadow, [](float s, float t) {
        const float n = tileNoise(s, t, 4.0f, 121, 3);
        Rgb c = mix(Rgb{0.20f, 0.46f, 0.10f}, Rgb{0.52f, 0.76f, 0.24f}, n);
        const int cx = static_cast<int>(s * 64.0f), cy = static_cast<int>(t * 64.0f);
        const float speck = latticeHash(cx, cy, 122);
        if (speck > 0.95f) {
            const float which = latticeHash(cx, cy, 123);
            c = which < 0.4f ? Rgb{0.95f, 0.85f, 0.20f} : (which < 0.75f ? Rgb{0.95f, 0.95f, 0.95f} : Rgb{0.85f, 0.25f, 0.30f});
        }
        return c;
    });
    return image;
}

Image makeFlowerAtlas() {
    using namespace atlas;
    Image image(kSize, kSize, 3);

    paintTile(image, PetalRed, [](float s, float t) {
        return petal(s, t, {0.88f, 0.12f, 0.16f}, {1.0f, 0.45f, 0.40f}, {0.45f, 0.05f, 0.10f}, 201);
    });
    paintTile(image, PetalYellow, [](float s, float t) {
        return petal(s, t, {1.0f, 0.80f, 0.10f}, {1.0f, 0.95f, 0.55f}, {0.85f, 0.45f, 0.05f}, 202);
    });
    paintTile(image, PetalViolet, [](float s, float t) {
        return petal(s, t, {0.50f, 0.22f, 0.78f}, {0.80f, 0.62f, 0.95f}, {0.25f, 0.08f, 0.40f}, 203);
    });
    paintTile(image, PetalWhite, [](float s, float t) {
        return petal(s, t, {0.96f, 0.94f, 0.90f}, {1.0f, 1.0f, 1.0f}, {0.95f, 0.55f, 0.65f}, 204);
    });
    paintTile(image, FlowerHeart, [](float s, float t) {
        const float r = std::sqrt((s - 0.5f) * (s - 0.5f) + (t - 0.5f) * (t - 0.5f)) * 2.0f;
        const float dots = tileNoise(s, t, 16.0f, 205, 1);
        Rgb c = mix(Rgb{0.35f, 0.18f, 0.04f}, Rgb{1.0f, 0.70f, 0.10f}, smoothstep(0.1f, 0.6f, r));
        return scale(c, dots > 0.6f ? 1.15f : 0.9f);
    });
    paintTile(image, Stem, [](float s, float t) {
        const float streak = fractalNoise(s * 16.0f, t * 2.0f, 206, 3, 16);
        return mix(Rgb{0.12f, 0.34f, 0.08f}, Rgb{0.40f, 0.66f, 0.20f}, streak);
    });
    paintTile(image, Leaf, [](float s, float t) {
        // s across the leaf, t from stalk (0) to tip (1): a pale midrib with side veins.
        const float across = std::fabs(s - 0.5f);
        const float rib = 1.0f - smoothstep(0.01f, 0.04f, across);
        const float vein = smoothstep(0.8f, 0.95f, 0.5f + 0.5f * std::sin((t - across * 0.8f) * 40.0f));
        const float n = tileNoise(s, t, 8.0f, 207, 3);
        Rgb c = mix(Rgb{0.08f, 0.32f, 0.06f}, Rgb{0.30f, 0.60f, 0.14f}, n);
        c = mix(c, Rgb{0.55f, 0.80f, 0.35f}, std::fmax(rib, 0.5f * vein));
        return c;
    });
    paintTile(image, FlowerGrass, [](float s, float t) {
        const float blades = fractalNoise(s * 32.0f, t * 3.0f, 208, 3, 32);
        return mix(Rgb{0.12f, 0.34f, 0.08f}, Rgb{0.52f, 0.78f, 0.24f}, blades);
    });
    paintTile(image, FlowerSky, [](float s, float t) {
        return sky(s, t, 209, {{0.0f, {0.30f, 0.50f, 0.88f}}, {0.7f, {0.70f, 0.80f, 0.95f}}, {1.0f, {1.0f, 0.92f, 0.78f}}});
    });
    paintTile(image, Soil, [](float s, float t) {
        const float n = tileNoise(s, t, 8.0f, 210, 4);
        return mix(Rgb{0.18f, 0.11f, 0.06f}, Rgb{0.45f, 0.32f, 0.20f}, n);
    });
    paintTile(image, Bud, [](float s, float t) {
        const float n = tileNoise(s, t, 8.0f, 211, 3);
        return scale(mix(Rgb{0.25f, 0.55f, 0.15f}, Rgb{0.80f, 0.25f, 0.30f}, smoothstep(0.4f, 1.0f, t)), 0.85f + 0.2f * n);
    });
    paintTile(image, Hedge, [](float s, float t) {
        const float n = tileNoise(s, t, 4.0f, 212, 4);
        const float blossom = tileNoise(s, t, 16.0f, 213, 1);
        Rgb c = mix(Rgb{0.05f, 0.20f, 0.07f}, Rgb{0.25f, 0.48f, 0.18f}, n);
        if (blossom > 0.8f) c = Rgb{0.95f, 0.75f, 0.85f};
        return c;
    });
    paintTile(image, PetalPink, [](float s, float t) {
        return petal(s, t, {0.95f, 0.48f, 0.66f}, {1.0f, 0.80f, 0.88f}, {0.70f, 0.20f, 0.40f}, 214);
    });
    paintTile(image, PetalBlue, [](float s, float t) {
        return petal(s, t, {0.25f, 0.45f, 0.92f}, {0.65f, 0.80f, 1.0f}, {0.10f, 0.15f, 0.45f}, 215);
    });
    paintTile(image, FlowerWhite, [](float, float) { return Rgb{1.0f, 1.0f, 1.0f}; });
    paintTile(image, Pebbles, [](float s, float t) {
        const float n = tileNoise(s, t, 8.0f, 216, 2);
        const float cell = tileNoise(s, t, 12.0f, 217, 1);
        return scale(mix(Rgb{0.40f, 0.38f, 0.36f}, Rgb{0.78f, 0.74f, 0.68f}, n), cell > 0.5f ? 1.0f : 0.75f);
    });
    return image;
}

}  // namespace datagen
