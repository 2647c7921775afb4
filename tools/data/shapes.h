// Geometry shared by the scenes: quads, discs, cylinders, lumpy blobs, height fields,
// a sky cylinder and procedurally grown trees, all added to a MeshBuilder. Units are
// scene units (about a metre), y up; surfaces face the way their normals point.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "scene_kit.h"

namespace datagen::scenes {

// Flat quad a-b-c-d (a bottom left, b bottom right, c top right, d top left as seen from
// its front); the tile's top (t = 0) along d-c.
void quad(MeshBuilder& mesh, int tile, Vec3 a, Vec3 b, Vec3 c, Vec3 d, Vec3 normal);

// A flat disc of `segments` corners; `normal` both lights it and says which way it faces
// unless `facing` is given (a disc lit by a made-up normal, such as a sun that should
// glow whatever its orientation).
void disc(MeshBuilder& mesh, int tile, Vec3 centre, float radius, Vec3 axis, int segments, Vec3 normal);
void disc(MeshBuilder& mesh, int tile, Vec3 centre, float radius, Vec3 axis, int segments, Vec3 normal, Vec3 facing);

// An open cylinder (or cone frustum) from `base` to `top`, smooth-shaded, its normals
// tilted a little upwards.
void cylinder(MeshBuilder& mesh, int tile, Vec3 base, Vec3 top, float baseRadius, float topRadius, int sides);

// The unit sphere as an icosahedron whose faces are split in four `detail` times:
// points on the sphere and outward-wound triangles.
void icosphere(int detail, std::vector<Vec3>& points, std::vector<std::array<int, 3>>& faces);

// A lumpy ellipsoid (an icosahedron with noisy radii, its faces split in four
// `detail` times: 20, 80 or 320 triangles), smooth-shaded, the tile projected onto it
// from the front.
void blob(MeshBuilder& mesh, int tile, Vec3 centre, Vec3 radii, std::uint32_t seed, float lumpiness, int detail = 0);

// A grid over [x0, x1] x [z0, z1] with heights from `height`, smooth normals, and per
// cell the tile that `tileAt` picks; a tile stretches over `cellsPerTile` cells in each
// direction (a block of cells with one tile shows it without seams).
using HeightFunction = std::function<float(float x, float z)>;
using TileFunction = std::function<int(float x, float z, float y)>;
void heightField(MeshBuilder& mesh, float x0, float z0, float x1, float z1, int cellsX, int cellsZ,
                 const HeightFunction& height, const TileFunction& tileAt, int cellsPerTile = 1);

// The sky: a cylinder seen from inside, `tile` painted from zenith (top) to horizon
// (bottom), with a cap at the top. Its normals all point towards the main light
// (`towardsLight`, unit), scaled by `brightness`, so it is lit evenly as if it glowed.
// Below the horizon it continues in the horizon's colour, or, with `reflection` above
// 0, as the sky's mirror image at that brightness (for water that shows the gaps
// between its ripples).
void skyCylinder(MeshBuilder& mesh, int tile, Vec3 centre, float radius, float horizonY, float topY,
                 Vec3 towardsLight, float brightness, float reflection = 0.0f);

// A range of hills seen from the front: a strip of `columns` columns across
// [x0, x1] at depth z from `baseY` up to the crest `crest(x)`. The face turns towards
// `faceNormal`, the crest towards `crestNormal` (a rim catching a low light).
void ridge(MeshBuilder& mesh, int tile, float z, float x0, float x1, int columns, float baseY,
           const std::function<float(float x)>& crest, Vec3 faceNormal, Vec3 crestNormal);

struct TreeStyle {
    float height = 8.0f;          // trunk length to the first fork
    float trunkRadius = 0.35f;
    int depth = 3;                // levels of branching
    int branches = 3;             // children per fork
    float spread = 0.6f;          // radians off the parent's direction
    float leafSize = 1.6f;        // radius of the leaf clusters at the branch ends
    int barkTile = 0;
    int leafTile = 0;
};

// A fir: a trunk under a stack of cones, each closed underneath, `height` tall.
void conifer(MeshBuilder& mesh, Vec3 base, float height, float radius, int barkTile, int needleTile, std::uint32_t seed);

// A tree grown from `base` by recursive forking, from `seed`; leaf clusters at the ends
// of the last branches. Adds about 100 to 600 polygons.
void growTree(MeshBuilder& mesh, Vec3 base, const TreeStyle& style, std::uint32_t seed);

}  // namespace datagen::scenes
