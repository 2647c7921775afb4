#include "scene/scene_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "scene/packed_scalar.h"

namespace scene::writer {

namespace {

// Counts are clamped to what their field can hold, so that a description too large
// for the format still gives a file whose counts match what follows them.
constexpr std::size_t maxU16Count = 0xFFFF;
constexpr std::size_t maxU8Count = 0xFF;

std::uint16_t clampedU16Count(std::size_t count) {
    return static_cast<std::uint16_t>(std::min(count, maxU16Count));
}

}  // namespace

// Nearest by absolute difference. Differences of neighbouring entries are exact in
// float (they lie within a factor of two of each other); a tie goes to the smaller
// magnitude. NaN becomes 0x0000, infinities the ends of the scale.
std::uint16_t encodePacked(float value) {
    if (value == 0.0f || std::isnan(value)) return 0x0000;
    const std::uint16_t sign = std::signbit(value) ? 0x8000 : 0x0000;
    const float magnitude = std::fabs(value);
    const float* entries = scene::packedScalarTable().entries;
    const float* end = entries + scene::PackedScalarTable::entryCount;
    const float* above = std::lower_bound(entries, end, magnitude);
    std::size_t index;
    if (above == entries) {
        index = 0;
    } else if (above == end) {
        index = scene::PackedScalarTable::entryCount - 1;
    } else {
        index = static_cast<std::size_t>(above - entries);
        if (magnitude - entries[index - 1] <= entries[index] - magnitude) --index;
    }
    return static_cast<std::uint16_t>(sign | (index + 1));
}

void appendU8(Bytes& out, std::uint8_t value) { out.push_back(value); }

void appendU16(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void appendTag(Bytes& out, const char (&tag)[5]) {
    out.insert(out.end(), tag, tag + 4);
}

void appendTrack(Bytes& out, const Track& track) {
    const std::uint16_t count = clampedU16Count(track.keys.size());
    appendU16(out, count);
    if (count == 0) {
        appendU16(out, encodePacked(track.constant));
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const Key& key = track.keys[i];
        appendU16(out, encodePacked(key.value));
        appendU16(out, encodePacked(key.tangent));
        appendU16(out, key.span);
    }
}

void appendVisibility(Bytes& out, const std::vector<VisibilityKey>& keys) {
    const std::uint16_t count = clampedU16Count(keys.size());
    appendU16(out, count);
    for (std::size_t i = 0; i < count; ++i) {
        appendU8(out, keys[i].visible ? 1 : 0);
        appendU16(out, keys[i].lastFrame);
    }
}

void appendPolygon(Bytes& out, const Polygon& polygon) {
    const std::size_t count = std::min(polygon.corners.size(), maxU8Count);
    appendU8(out, static_cast<std::uint8_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const Corner& corner = polygon.corners[i];
        appendU16(out, corner.vertexIndex);
        appendU16(out, encodePacked(corner.u));
        appendU16(out, encodePacked(corner.v));
    }
}

void appendVertex(Bytes& out, const Vertex& vertex) {
    for (const Track& track : vertex.position) appendTrack(out, track);
    for (const Track& track : vertex.normal) appendTrack(out, track);
}

// The three uninterpreted 4-byte fields are written as zeros.
void appendMesh(Bytes& out, const Mesh& mesh) {
    const std::uint8_t unused[4] = {0, 0, 0, 0};
    out.insert(out.end(), unused, unused + 4);
    appendU16(out, mesh.headerWord);
    appendVisibility(out, mesh.visibility);

    out.insert(out.end(), unused, unused + 4);
    const std::uint16_t polygonCount = clampedU16Count(mesh.polygons.size());
    appendU16(out, polygonCount);
    for (std::size_t i = 0; i < polygonCount; ++i) appendPolygon(out, mesh.polygons[i]);

    out.insert(out.end(), unused, unused + 4);
    const std::uint16_t vertexCount = clampedU16Count(mesh.vertices.size());
    appendU16(out, vertexCount);
    for (std::size_t i = 0; i < vertexCount; ++i) appendVertex(out, mesh.vertices[i]);
}

void appendLight(Bytes& out, const Light& light) {
    appendU8(out, light.kind);
    for (const Track& track : light.position) appendTrack(out, track);
    for (const Track& track : light.colour) appendTrack(out, track);
}

void appendCamera(Bytes& out, const Camera& camera) {
    appendTag(out, "CMRA");
    for (const Track& track : camera.eye) appendTrack(out, track);
    for (const Track& track : camera.target) appendTrack(out, track);
    for (const Track& track : camera.up) appendTrack(out, track);
    appendTrack(out, camera.fieldOfView);
    appendTrack(out, camera.aspect);
}

Bytes writeScene(const SceneDesc& scene) {
    Bytes out;
    appendTag(out, "SCEN");
    if (scene.camera) appendCamera(out, *scene.camera);

    appendTag(out, "MSHS");
    const std::uint16_t meshCount = clampedU16Count(scene.meshes.size());
    appendU16(out, meshCount);
    for (std::size_t i = 0; i < meshCount; ++i) appendMesh(out, scene.meshes[i]);

    appendTag(out, "LGTS");
    const std::uint16_t lightCount = clampedU16Count(scene.lights.size());
    appendU16(out, lightCount);
    for (std::size_t i = 0; i < lightCount; ++i) appendLight(out, scene.lights[i]);
    return out;
}

bool writeSceneFile(const char* path, const SceneDesc& scene) {
    const Bytes bytes = writeScene(scene);
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

}  // namespace scene::writer
