// Writing scene files: the inverse of the loader, for the data generator and the tests.
// Values are plain floats here and become PackedScalar words on writing, each the
// nearest code (0 becomes 0x0000; magnitudes beyond the ends of the scale clamp to them).
// The pieces can also be written one by one, so tests can build files cut short or
// otherwise outside the format.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace scene::writer {

using Bytes = std::vector<std::uint8_t>;

// The PackedScalar word nearest to `value` (see packed_scalar.h for the scale).
std::uint16_t encodePacked(float value);

struct Key {
    float value = 0.0f;
    float tangent = 0.0f;    // slope in value units per frame
    std::uint16_t span = 0;  // frames since the previous key (for the first: since frame 0)
};

// A track with no keys is written as the constant `constant`.
struct Track {
    float constant = 0.0f;
    std::vector<Key> keys;
};

struct VisibilityKey {
    bool visible = true;
    std::uint16_t lastFrame = 0;
};

struct Corner {
    std::uint16_t vertexIndex = 0;
    float u = 0.0f;
    float v = 0.0f;
};

struct Polygon {
    std::vector<Corner> corners;  // at most 255
};

struct Vertex {
    std::array<Track, 3> position;
    std::array<Track, 3> normal;
};

struct Mesh {
    std::uint16_t headerWord = 0;
    std::vector<VisibilityKey> visibility;  // empty: visible at every frame
    std::vector<Polygon> polygons;
    std::vector<Vertex> vertices;
};

struct Light {
    std::uint8_t kind = 0;  // 0 point, 1 directional
    std::array<Track, 3> position;  // for a directional light: the direction it shines in
    std::array<Track, 3> colour;
};

struct Camera {
    std::array<Track, 3> eye;
    std::array<Track, 3> target;
    std::array<Track, 3> up;
    Track fieldOfView;  // degrees
    Track aspect;
};

struct SceneDesc {
    std::optional<Camera> camera;
    std::vector<Mesh> meshes;
    std::vector<Light> lights;
};

// Appenders: each writes one structure in the file layout at the end of `out`.
void appendU8(Bytes& out, std::uint8_t value);
void appendU16(Bytes& out, std::uint16_t value);
void appendTag(Bytes& out, const char (&tag)[5]);
void appendTrack(Bytes& out, const Track& track);
void appendVisibility(Bytes& out, const std::vector<VisibilityKey>& keys);
void appendPolygon(Bytes& out, const Polygon& polygon);
void appendVertex(Bytes& out, const Vertex& vertex);
void appendMesh(Bytes& out, const Mesh& mesh);
void appendLight(Bytes& out, const Light& light);
void appendCamera(Bytes& out, const Camera& camera);  // the "CMRA" tag and 11 tracks

// A whole file: "SCEN", then "CMRA" (if any camera), "MSHS", "LGTS".
Bytes writeScene(const SceneDesc& scene);

// Writes writeScene(scene) to `path` (a host path); false when it cannot be written.
bool writeSceneFile(const char* path, const SceneDesc& scene);

}  // namespace scene::writer
