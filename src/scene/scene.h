// A loaded scene: one camera (or none), meshes of textured polygons over keyed
// vertices, and lights, read from a scene file ("SCEN" then "CMRA", "MSHS" and "LGTS"
// chunks in any order) and drawn at any frame (25 frames a second of scene time).
// Loading is safe on any input: the file is read into memory and parsed with a
// bounded cursor; nothing is allocated beyond what the remaining data could fill.
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

struct MeshPolygon {
    std::vector<MeshCorner> corners;  // at most 255, in drawing order

    std::size_t cornerCount() const { return corners.size(); }
    bool read(ByteReader& in);
};

struct MeshVertex {
    AnimTrack posX, posY, posZ;
    AnimTrack normalX, normalY, normalZ;  // passed to GL as evaluated, not normalised

    bool read(ByteReader& in, ReadTrail* trail = nullptr);
    // All six tracks keyless (checked in track order, stopping at the first keyed one).
    bool isConstant() const;
};

struct SceneMesh {
    std::uint16_t headerWord = 0;  // kept as read; nothing uses it
    VisibilityTrack visibility;
    std::vector<MeshPolygon> polygons;
    std::vector<MeshVertex> vertices;

    // Drawing state: the display-list decision is taken at the first visible frame.
    bool listDecided = false;
    bool allConstant = false;
    std::uint32_t displayList = 0;  // GL display-list name when allConstant

    std::size_t polygonCount() const { return polygons.size(); }
    std::size_t vertexCount() const { return vertices.size(); }

    // Reads the mesh layout. Polygons with a corner whose vertexIndex is not below the
    // vertex count are dropped (and counted in `droppedPolygons`). False when the data
    // ends inside the mesh.
    bool read(ByteReader& in, ReadTrail* trail = nullptr, std::size_t* droppedPolygons = nullptr);

    // Draws the mesh at `frame` if it is visible there: a compiled display list when
    // all its vertices are constant, immediate mode otherwise.
    void draw(float frame);
};

// How a load went. A file cut short keeps every object completed before the cut; a
// chunk replaces what an earlier chunk of its kind gave as soon as its tag is read.
struct LoadResult {
    enum class Status {
        complete,   // "SCEN" and whole chunks up to the end (at most 3 trailing bytes)
        notAScene,  // fewer than 4 bytes, or they are not "SCEN": nothing loaded
        cutShort,   // the data ends inside a chunk
        readError,  // the stream reported an error; what was read before it is parsed
    };
    Status status = Status::complete;
    std::size_t size = 0;    // bytes read from the stream
    std::size_t offset = 0;  // where parsing stopped
    std::string structure;   // what was being read there ("" when complete)
    std::size_t droppedPolygons = 0;  // polygons left out for a corner beyond the vertices

    bool complete() const { return status == Status::complete; }
    // One line for people, e.g. "cut short at byte 61 of 61 in MSHS chunk, mesh 1 of 2".
    std::string message() const;
};

class Scene {
public:
    std::vector<SceneMesh> meshes;
    std::optional<SceneCamera> camera;
    std::vector<SceneLight> lights;

    std::size_t meshCount() const { return meshes.size(); }
    std::size_t lightCount() const { return lights.size(); }

    // Replaces the content with the scene file read from `stream` (opened in binary
    // mode) from its current position to its end. Never reads stdout or prints.
    LoadResult load(std::FILE* stream);
    // The same from bytes in memory.
    LoadResult load(std::span<const std::uint8_t> bytes);

    // Draws the scene at `frame` with the camera's projection and view, the scene's
    // lights and every visible mesh. Expects the GL context current, the texture bound
    // and texturing and depth test on; leaves lighting off and GL_MODELVIEW selected.
    // A scene without a camera draws nothing and touches no GL state.
    void render(float frame);

private:
    void clear();
};

}  // namespace scene
