// Building blocks of the generated scenes: vectors, keyed tracks sampled from functions
// of the frame (25 frames a second of scene time), the camera, lights and a mesh builder
// that keeps polygon winding consistent with the normals (lighting is two-sided: a
// polygon seen from its back is lit with its normal reversed, so a winding that
// disagrees with the normal turns a lit face black).
//
// Every scene has exactly kLightCount lights: the renderer never switches a light unit
// off, so a scene with fewer lights would also be lit by what the previous scene left
// in the remaining units. Unused ones are black.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "atlas.h"
#include "data_common.h"
#include "scene/scene_writer.h"

namespace datagen::scenes {

namespace sw = scene::writer;

constexpr int kLightCount = 3;
constexpr float kAspect = 1.3333f;  // 4:3 window

struct Vec3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator-(Vec3 a) { return {-a.x, -a.y, -a.z}; }
inline Vec3 operator*(Vec3 a, float k) { return {a.x * k, a.y * k, a.z * k}; }
inline Vec3 operator*(float k, Vec3 a) { return a * k; }
inline float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float length(Vec3 a) { return std::sqrt(dot(a, a)); }
inline Vec3 normalize(Vec3 a) {
    const float l = length(a);
    return l > 0.0f ? a * (1.0f / l) : Vec3{0.0f, 1.0f, 0.0f};
}
inline Vec3 lerp(Vec3 a, Vec3 b, float t) { return a + (b - a) * t; }
// Smooth start and stop over t in [0, 1].
inline float ease(float t) { return smoothstep(0.0f, 1.0f, t); }
// Rotation of `v` about the unit axis `axis` by `angle` radians.
Vec3 rotate(Vec3 v, Vec3 axis, float angle);

using ScalarPath = std::function<float(float frame)>;
using VectorPath = std::function<Vec3(float frame)>;

// ---- Tracks ----

sw::Track constant(float value);

// Keys at frames 0, step, 2 step, ... up to the first key at or past lastFrame; each key
// takes the path's value and its slope (central difference), so the Hermite segments
// follow the path closely. A path that never changes gives a constant track.
sw::Track sampled(const ScalarPath& path, float lastFrame, int step);
std::array<sw::Track, 3> sampled(const VectorPath& path, float lastFrame, int step);

// Like sampled(), but the path only changes between `from` and `to`: one key holds its
// value up to `from`, keys every `step` frames follow it to `to`, and the last key
// holds after. Far fewer keys for something that moves once.
sw::Track sampledBetween(const ScalarPath& path, int from, int to, int step);
std::array<sw::Track, 3> sampledBetween(const VectorPath& path, int from, int to, int step);

// value0 + slope x frame as two keys (frame 0 and lastFrame): exact for a straight drift.
sw::Track linear(float value0, float slopePerFrame, int lastFrame);

std::array<sw::Track, 3> constant(Vec3 v);

// ---- Camera and lights ----

sw::Camera camera(const VectorPath& eye, const VectorPath& target, float lastFrame, int step, float fieldOfView);
sw::Camera camera(const VectorPath& eye, const VectorPath& target, const VectorPath& up, float lastFrame, int step,
                  float fieldOfView);

sw::Light directional(Vec3 shine, Rgb colour);
sw::Light point(Vec3 position, Rgb colour);
// Fills the scene's light list up to kLightCount with black lights.
void padLights(std::vector<sw::Light>& lights);

// ---- Meshes ----

// Where a polygon's corner samples the atlas: tile and (s, t) inside it.
struct Corner {
    std::uint16_t vertex = 0;
    float s = 0.0f;
    float t = 0.0f;
};

class MeshBuilder {
public:
    explicit MeshBuilder(std::uint16_t headerWord = 0) { mesh_.headerWord = headerWord; }

    std::uint16_t vertex(Vec3 position, Vec3 normal);
    // An animated vertex: position and normal paths sampled every `step` frames.
    std::uint16_t vertex(const VectorPath& position, const VectorPath& normal, float lastFrame, int step);
    // A vertex given as tracks; `rest` is its position at frame 0 (for winding).
    std::uint16_t vertex(const sw::Vertex& tracks, Vec3 rest, Vec3 restNormal);

    // One polygon on `tile`. Corners are reordered if needed so that the polygon's
    // winding faces `facing` (by default the mean of its corners' normals at rest).
    void polygon(int tile, const std::vector<Corner>& corners);
    void polygon(int tile, const std::vector<Corner>& corners, Vec3 facing);

    void setVisibility(std::vector<sw::VisibilityKey> keys) { mesh_.visibility = std::move(keys); }

    // Applied to every constant vertex added from now on (position, normal), for
    // mirrored or moved copies of a shape; clear it with an empty function.
    using Transform = std::function<void(Vec3& position, Vec3& normal)>;
    void setTransform(Transform transform) { transform_ = std::move(transform); }

    // From now on, vertices added as constant drift at `velocity` (units per frame) up
    // to `lastFrame`; a zero velocity ends the drift.
    void setDrift(Vec3 velocity, int lastFrame) {
        drift_ = velocity;
        driftFrames_ = lastFrame;
    }

    std::size_t vertexCount() const { return mesh_.vertices.size(); }
    std::size_t polygonCount() const { return mesh_.polygons.size(); }
    sw::Mesh take() { return std::move(mesh_); }

private:
    sw::Mesh mesh_;
    std::vector<Vec3> rest_;
    std::vector<Vec3> restNormal_;
    Transform transform_;
    Vec3 drift_{};
    int driftFrames_ = 0;
};

}  // namespace datagen::scenes
