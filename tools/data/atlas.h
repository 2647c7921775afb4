// Layout of the two scene textures: 256 x 256 RGB atlases of 4 x 4 tiles, 64 texels
// square. Tiles are numbered row by row from the file's first row (row 0 = tiles 0..3).
//
// The scene renderer sends texture coordinate t = -v for a corner's v, and the textures
// wrap with GL_REPEAT, so a corner with v in (0, 1] samples the file at row fraction
// 1 - v. tileUv() does that inversion; scenes only speak of (s, t) inside a tile, with
// t = 0 at the tile's first file row (the top of the painted tile). Coordinates keep two
// texels clear of the tile's edge, so linear filtering never reaches a neighbour tile.
#pragma once

namespace datagen::atlas {

constexpr int kSize = 256;   // texels across and down
constexpr int kTile = 64;    // texels per tile side
constexpr int kPerRow = kSize / kTile;
constexpr int kInset = 2;    // texels kept clear at each tile edge

// Tiles of texture.raw, shared by every scene but the flowers.
enum SceneTile : int {
    SkyDay = 0, SkyDawn, SkyNight, Sun,
    Cloud, Bark, Foliage, Grass,
    Ground, Water, Feathers, MoonSurface,
    Stone, Hills, White, Meadow,
};

// Tiles of texture_flowers.raw.
enum FlowerTile : int {
    PetalRed = 0, PetalYellow, PetalViolet, PetalWhite,
    FlowerHeart, Stem, Leaf, FlowerGrass,
    FlowerSky, Soil, Bud, Hedge,
    PetalPink, PetalBlue, FlowerWhite, Pebbles,
};

struct Uv {
    float u = 0.0f;
    float v = 0.0f;
};

// Corner coordinates for the point (s, t) of a tile, s and t in [0, 1].
inline Uv tileUv(int tile, float s, float t) {
    constexpr float usable = static_cast<float>(kTile - 2 * kInset);
    const float column = static_cast<float>((tile % kPerRow) * kTile + kInset) + s * usable;
    const float row = static_cast<float>((tile / kPerRow) * kTile + kInset) + t * usable;
    return {column / static_cast<float>(kSize), 1.0f - row / static_cast<float>(kSize)};
}

}  // namespace datagen::atlas
