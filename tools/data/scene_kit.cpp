#include "scene_kit.h"

#include <algorithm>
#include <cassert>

namespace datagen::scenes {

Vec3 rotate(Vec3 v, Vec3 axis, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    return v * c + cross(axis, v) * s + axis * (dot(axis, v) * (1.0f - c));
}

sw::Track constant(float value) {
    sw::Track track;
    track.constant = value;
    return track;
}

std::array<sw::Track, 3> constant(Vec3 v) { return {constant(v.x), constant(v.y), constant(v.z)}; }

sw::Track sampled(const ScalarPath& path, float lastFrame, int step) {
    assert(step > 0 && step < 65536 && "key spacing must fit a 16-bit span");
    constexpr float h = 0.25f;
    std::vector<sw::Key> keys;
    bool changes = false;
    const float first = path(0.0f);
    for (int frame = 0;; frame += step) {
        const auto f = static_cast<float>(frame);
        sw::Key key;
        key.value = path(f);
        key.tangent = (path(f + h) - path(f - h)) / (2.0f * h);
        key.span = static_cast<std::uint16_t>(frame == 0 ? 0 : step);
        changes = changes || key.value != first || std::fabs(key.tangent) > 1e-7f;
        keys.push_back(key);
        if (f >= lastFrame) break;
    }
    if (!changes) return constant(first);
    sw::Track track;
    track.keys = std::move(keys);
    return track;
}

std::array<sw::Track, 3> sampled(const VectorPath& path, float lastFrame, int step) {
    return {sampled([&](float f) { return path(f).x; }, lastFrame, step),
            sampled([&](float f) { return path(f).y; }, lastFrame, step),
            sampled([&](float f) { return path(f).z; }, lastFrame, step)};
}

sw::Track sampledBetween(const ScalarPath& path, int from, int to, int step) {
    assert(from >= 0 && to > from && step > 0 && to < 65536);
    constexpr float h = 0.25f;
    std::vector<int> frames;
    for (int f = from; f < to; f += step) frames.push_back(f);
    frames.push_back(to);
    const float before = path(static_cast<float>(from));
    sw::Track track;
    track.keys.push_back({before, 0.0f, 0});
    bool changes = false;
    int previous = 0;
    for (int frame : frames) {
        const auto f = static_cast<float>(frame);
        // Level at both ends: the path rests before and after.
        const float slope = frame == from || frame == to ? 0.0f : (path(f + h) - path(f - h)) / (2.0f * h);
        track.keys.push_back({path(f), slope, static_cast<std::uint16_t>(frame - previous)});
        previous = frame;
        changes = changes || path(f) != before;
    }
    if (!changes) return constant(before);
    return track;
}

std::array<sw::Track, 3> sampledBetween(const VectorPath& path, int from, int to, int step) {
    return {sampledBetween([&](float f) { return path(f).x; }, from, to, step),
            sampledBetween([&](float f) { return path(f).y; }, from, to, step),
            sampledBetween([&](float f) { return path(f).z; }, from, to, step)};
}

sw::Track linear(float value0, float slopePerFrame, int lastFrame) {
    if (slopePerFrame == 0.0f) return constant(value0);
    sw::Track track;
    track.keys.push_back({value0, slopePerFrame, 0});
    track.keys.push_back(
        {value0 + slopePerFrame * static_cast<float>(lastFrame), slopePerFrame, static_cast<std::uint16_t>(lastFrame)});
    return track;
}

sw::Camera camera(const VectorPath& eye, const VectorPath& target, float lastFrame, int step, float fieldOfView) {
    return camera(eye, target, [](float) { return Vec3{0.0f, 1.0f, 0.0f}; }, lastFrame, step, fieldOfView);
}

sw::Camera camera(const VectorPath& eye, const VectorPath& target, const VectorPath& up, float lastFrame, int step,
                  float fieldOfView) {
    sw::Camera c;
    c.eye = sampled(eye, lastFrame, step);
    c.target = sampled(target, lastFrame, step);
    c.up = sampled(up, lastFrame, step);
    c.fieldOfView = constant(fieldOfView);
    c.aspect = constant(kAspect);
    return c;
}

sw::Light directional(Vec3 shine, Rgb colour) {
    sw::Light light;
    light.kind = 1;
    light.position = constant(shine);
    light.colour = {constant(colour.r), constant(colour.g), constant(colour.b)};
    return light;
}

sw::Light point(Vec3 position, Rgb colour) {
    sw::Light light = directional(position, colour);
    light.kind = 0;
    return light;
}

void padLights(std::vector<sw::Light>& lights) {
    assert(lights.size() <= static_cast<std::size_t>(kLightCount) && "raise kLightCount for every scene");
    while (lights.size() < static_cast<std::size_t>(kLightCount)) {
        lights.push_back(directional({0.0f, -1.0f, 0.0f}, {0.0f, 0.0f, 0.0f}));
    }
}

std::uint16_t MeshBuilder::vertex(Vec3 position, Vec3 normal) {
    if (transform_) transform_(position, normal);
    sw::Vertex v;
    v.position = {linear(position.x, drift_.x, driftFrames_), linear(position.y, drift_.y, driftFrames_),
                  linear(position.z, drift_.z, driftFrames_)};
    v.normal = constant(normal);
    return vertex(v, position, normal);
}

std::uint16_t MeshBuilder::vertex(const VectorPath& position, const VectorPath& normal, float lastFrame, int step) {
    sw::Vertex v;
    v.position = sampled(position, lastFrame, step);
    v.normal = sampled(normal, lastFrame, step);
    return vertex(v, position(0.0f), normal(0.0f));
}

std::uint16_t MeshBuilder::vertex(const sw::Vertex& tracks, Vec3 rest, Vec3 restNormal) {
    assert(mesh_.vertices.size() < 65535 && "split the mesh: a mesh holds at most 65535 vertices");
    mesh_.vertices.push_back(tracks);
    rest_.push_back(rest);
    restNormal_.push_back(restNormal);
    return static_cast<std::uint16_t>(mesh_.vertices.size() - 1);
}

void MeshBuilder::polygon(int tile, const std::vector<Corner>& corners) {
    Vec3 facing{};
    for (const Corner& c : corners) facing = facing + restNormal_[c.vertex];
    polygon(tile, corners, facing);
}

void MeshBuilder::polygon(int tile, const std::vector<Corner>& corners, Vec3 facing) {
    assert(corners.size() >= 3 && corners.size() <= 255);
    assert(mesh_.polygons.size() < 65535 && "split the mesh: a mesh holds at most 65535 polygons");
    // Newell's normal of the corner loop: robust for any planar-ish polygon.
    Vec3 n{};
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const Vec3 a = rest_[corners[i].vertex];
        const Vec3 b = rest_[corners[(i + 1) % corners.size()].vertex];
        n = n + Vec3{(a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x), (a.x - b.x) * (a.y + b.y)};
    }
    const bool reverse = dot(n, facing) < 0.0f;
    sw::Polygon polygon;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const Corner& c = corners[reverse ? corners.size() - 1 - i : i];
        const atlas::Uv uv = atlas::tileUv(tile, c.s, c.t);
        polygon.corners.push_back({c.vertex, uv.u, uv.v});
    }
    mesh_.polygons.push_back(std::move(polygon));
}

}  // namespace datagen::scenes
