// A loaded scene: one camera (or none), meshes of textured polygons over keyed
// vertices, and lights, read from a scene file ("SCEN" then "CMRA", "MSHS" and "LGTS"
// chunks in any order) and drawn at any frame (25 frames a second of scene time).
// Loading is safe on any input: the first four bytes are read and must be "SCEN", then
// the rest of the file (up to maxSceneFileBytes) is read in blocks and parsed with a
// bounded cursor. Every array is sized from a scan of the bytes it will be read from,
// so a count larger than the data allocates nothing, and running out of memory is a
// result, not an exception.
//
// Memory: while a stream loads, the heap holds at most 9 times the bytes read plus one
// 64 KiB read block: the file's bytes once, and the objects built from them (the most
// for files of meshes of a few bytes each; the show's scenes peak at 3 to 4.2 times
// their size). Reading alone holds at most twice the bytes read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "scene/anim_track.h"
#include "scene/byte_reader.h"

namespace scene {

// What a read that stopped early says about where: a path such as
// "mesh 2 of 5, vertex 7 of 40, track normalY".
using ReadTrail = std::string;

struct SceneCamera {
    AnimTrack eyeX, eyeY, eyeZ;
    AnimTrack targetX, targetY, targetZ;
    AnimTrack upX, upY, upZ;
    AnimTrack fieldOfView;  // vertical, degrees
    AnimTrack aspect;       // width over height

    // The eleven tracks in file order. False when the data ends inside one.
    bool read(ByteReader& in, ReadTrail* trail = nullptr);
};

struct SceneLight {
    std::uint8_t lightKind = 0;  // 0 point light, 1 directional; others drawn as point lights
    AnimTrack posX, posY, posZ;  // position, or for a directional light the direction it shines
    AnimTrack red, green, blue;  // diffuse colour

    bool read(ByteReader& in, ReadTrail* trail = nullptr);

    // Sets GL light unit GL_LIGHT0 + index to this light at `frame` and enables it.
    void apply(float frame, int index);
};

struct MeshCorner {
    std::uint16_t vertexIndex = 0;  // below the mesh's vertex count in every loaded mesh
    float u = 0.0f;
    float v = 0.0f;  // drawn as texture coordinate t = -v
};

// A polygon names its corners in the mesh's one corner array: 4 bytes a polygon, so
// that a file of polygons without corners (one byte each) stays small in memory. A
// mesh holds at most 65535 × 255 corners, below 2^24.
struct MeshPolygon {
    std::uint32_t firstCorner : 24 = 0;  // index into SceneMesh::corners
    std::uint32_t cornerCount : 8 = 0;   // 0 to 255, in drawing order from firstCorner
};

struct MeshVertex {
    AnimTrack posX, posY, posZ;
    AnimTrack normalX, normalY, normalZ;  // passed to GL as evaluated, not normalised

    bool read(ByteReader& in, ReadTrail* trail = nullptr);
    // All six tracks keyless (checked in track order, stopping at the first keyed one).
    bool isConstant() const;
};

// Room for the values of a mesh's vertices while it is drawn, so that a vertex is
// evaluated at its first corner and not again at every other corner that names it.
// Kept by the scene for all its meshes, so that loading allocates nothing for it.
struct VertexScratch {
    std::vector<float> values;          // normal x, y, z then position x, y, z: 6 floats from 6 × vertex index
    std::vector<std::uint32_t> stamps;  // per vertex: the draw that last filled its values
    std::uint32_t stamp = 0;            // the current draw
};

struct SceneMesh {
    std::uint16_t headerWord = 0;  // kept as read; nothing uses it
    // Polygons the file holds but the mesh leaves out: a corner of theirs names a vertex
    // at or beyond the vertex count (the file is outside the format).
    std::uint16_t droppedPolygons = 0;
    VisibilityTrack visibility;
    std::vector<MeshPolygon> polygons;
    std::vector<MeshCorner> corners;  // every polygon's corners, polygon after polygon
    std::vector<MeshVertex> vertices;

    // Drawing state: the display-list decision is taken at the first visible frame.
    bool listDecided = false;
    bool allConstant = false;
    std::uint32_t displayList = 0;  // GL display-list name when allConstant

    std::size_t polygonCount() const { return polygons.size(); }
    std::size_t vertexCount() const { return vertices.size(); }
    // The corners of one of this mesh's polygons (clipped to the corner array, so a
    // polygon built by hand cannot reach past it).
    std::span<const MeshCorner> cornersOf(const MeshPolygon& polygon) const;

    // Reads the mesh layout. Polygons with a corner whose vertexIndex is not below the
    // vertex count are dropped (and counted in `droppedPolygons`). False when the data
    // ends inside the mesh.
    bool read(ByteReader& in, ReadTrail* trail = nullptr);

    // Draws the mesh at `frame` if it is visible there: a compiled display list when
    // all its vertices are constant, immediate mode otherwise. Each vertex the polygons
    // name is evaluated once (into `scratch`), the others are left alone.
    void draw(float frame, VertexScratch& scratch);
};

// How a load went. A file cut short keeps every object completed before the cut; a
// chunk replaces what an earlier chunk of its kind gave as soon as its tag is read.
struct LoadResult {
    enum class Status {
        complete,   // "SCEN" and whole chunks up to the end (at most 3 trailing bytes)
        notAScene,  // fewer than 4 bytes, or they are not "SCEN": nothing loaded
        cutShort,   // the data ends inside a chunk
        readError,  // the stream reported an error; what was read before it is parsed
        tooLarge,   // the stream holds more than maxSceneFileBytes: its first
                    // maxSceneFileBytes are parsed
        outOfMemory,  // memory ran out while loading: the scene is left empty
    };
    Status status = Status::complete;
    std::size_t size = 0;    // bytes read from the stream (and parsed)
    std::size_t offset = 0;  // where parsing stopped
    std::string structure;   // what was being read there ("" when complete)
    std::size_t droppedPolygons = 0;  // the meshes' droppedPolygons, added up

    bool complete() const { return status == Status::complete; }
    // One line for people, e.g. "cut short at byte 61 of 61 in MSHS chunk, mesh 1 of 2".
    std::string message() const;
};

// The most a scene file may hold: 32 MiB, about 28 times the largest scene of the show
// (1.15 MB). Loading stops there and calls the file too large.
inline constexpr std::size_t maxSceneFileBytes = 32u << 20;

class Scene {
public:
    std::vector<SceneMesh> meshes;
    std::optional<SceneCamera> camera;
    std::vector<SceneLight> lights;

    std::size_t meshCount() const { return meshes.size(); }
    std::size_t lightCount() const { return lights.size(); }

    // Replaces the content with the scene file read from `stream` (opened in binary
    // mode) from its current position to its end: its first 4 bytes, and only when they
    // are "SCEN", the rest, up to maxSceneFileBytes in all. Never prints.
    LoadResult load(std::FILE* stream);
    // The same from bytes in memory (no size limit).
    LoadResult load(std::span<const std::uint8_t> bytes);

    // Draws the scene at `frame` with the camera's projection and view, the scene's
    // lights and every visible mesh. Expects the GL context current, the texture bound
    // and texturing and depth test on; leaves lighting off and GL_MODELVIEW selected.
    // A scene without a camera draws nothing and touches no GL state.
    void render(float frame);

private:
    int lightUnits_ = -1;  // GL_MAX_LIGHTS, asked at the first frame drawn
    VertexScratch scratch_;

    void clear();
    LoadResult parse(std::span<const std::uint8_t> bytes);
};

}  // namespace scene
