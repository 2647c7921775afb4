#include <algorithm>
#include <cstring>
#include <string>

#include "scene/scene.h"

namespace scene {

namespace {

// The fewest bytes each structure can take in a file: counts read from the data
// reserve no more objects than the bytes that are left could hold. An object that
// the data ends inside is removed from its array again.
constexpr std::size_t minTrackBytes = 4;
constexpr std::size_t minVertexBytes = 6 * minTrackBytes;
constexpr std::size_t minMeshBytes = 4 + 2 + 2 + 4 + 2 + 4 + 2;
constexpr std::size_t minLightBytes = 1 + 6 * minTrackBytes;
constexpr std::size_t minPolygonBytes = 1;

// Room for as many objects as the remaining bytes could hold, plus the one being read
// when the data runs out, so that objects are read in place without reallocation.
std::size_t affordable(std::size_t count, const ByteReader& in, std::size_t minBytes) {
    return std::min(count, in.remaining() / minBytes + 1);
}

bool fail(ReadTrail* trail, std::string where) {
    if (trail != nullptr) *trail = std::move(where);
    return false;
}

std::string ordinal(const char* what, std::size_t index, std::size_t count) {
    return std::string(what) + " " + std::to_string(index) + " of " + std::to_string(count);
}

struct NamedTrack {
    const char* name;
    AnimTrack* track;
};

template <std::size_t N>
bool readTracks(ByteReader& in, const NamedTrack (&tracks)[N], ReadTrail* trail) {
    for (const NamedTrack& named : tracks) {
        if (!named.track->read(in)) return fail(trail, std::string("track ") + named.name);
    }
    return true;
}

bool hasTag(const std::uint8_t* at, const char (&tag)[5]) { return std::memcmp(at, tag, 4) == 0; }

// Bytes from the stream's position to its end, or 0 when it cannot say (a pipe); the
// position is left where it was.
std::size_t bytesLeftIn(std::FILE* stream) {
    const long here = std::ftell(stream);
    if (here < 0 || std::fseek(stream, 0, SEEK_END) != 0) return 0;
    const long end = std::ftell(stream);
    if (std::fseek(stream, here, SEEK_SET) != 0) return 0;
    return end > here ? static_cast<std::size_t>(end - here) : 0;
}

}  // namespace

bool SceneCamera::read(ByteReader& in, ReadTrail* trail) {
    const NamedTrack tracks[] = {
        {"eyeX", &eyeX},       {"eyeY", &eyeY},       {"eyeZ", &eyeZ},
        {"targetX", &targetX}, {"targetY", &targetY}, {"targetZ", &targetZ},
        {"upX", &upX},         {"upY", &upY},         {"upZ", &upZ},
        {"fieldOfView", &fieldOfView},                {"aspect", &aspect},
    };
    return readTracks(in, tracks, trail);
}

bool SceneLight::read(ByteReader& in, ReadTrail* trail) {
    if (!in.readU8(lightKind)) return fail(trail, "kind");
    const NamedTrack tracks[] = {
        {"posX", &posX}, {"posY", &posY}, {"posZ", &posZ},
        {"red", &red},   {"green", &green}, {"blue", &blue},
    };
    return readTracks(in, tracks, trail);
}

bool MeshPolygon::read(ByteReader& in) {
    std::uint8_t count = 0;
    if (!in.readU8(count)) return false;
    const std::uint8_t* body = in.take(6 * static_cast<std::size_t>(count));
    if (body == nullptr) return false;
    corners.resize(count);
    for (MeshCorner& corner : corners) {
        corner.vertexIndex = ByteReader::u16At(body);
        corner.u = decode(ByteReader::u16At(body + 2));
        corner.v = decode(ByteReader::u16At(body + 4));
        body += 6;
    }
    return true;
}

bool MeshVertex::read(ByteReader& in, ReadTrail* trail) {
    const NamedTrack tracks[] = {
        {"posX", &posX},       {"posY", &posY},       {"posZ", &posZ},
        {"normalX", &normalX}, {"normalY", &normalY}, {"normalZ", &normalZ},
    };
    return readTracks(in, tracks, trail);
}

bool MeshVertex::isConstant() const {
    return posX.isConstant() && posY.isConstant() && posZ.isConstant() &&
           normalX.isConstant() && normalY.isConstant() && normalZ.isConstant();
}

bool SceneMesh::read(ByteReader& in, ReadTrail* trail, std::size_t* droppedPolygons) {
    // Each of the three sections opens with 4 bytes that carry no meaning.
    if (!in.skip(4) || !in.readU16(headerWord)) return fail(trail, "header");
    if (!visibility.read(in)) return fail(trail, "visibility");

    std::uint16_t polygonTotal = 0;
    if (!in.skip(4) || !in.readU16(polygonTotal)) return fail(trail, "polygon count");
    polygons.clear();
    polygons.reserve(affordable(polygonTotal, in, minPolygonBytes));
    for (std::size_t i = 0; i < polygonTotal; ++i) {
        if (!polygons.emplace_back().read(in)) {
            polygons.pop_back();
            return fail(trail, ordinal("polygon", i, polygonTotal));
        }
    }

    std::uint16_t vertexTotal = 0;
    if (!in.skip(4) || !in.readU16(vertexTotal)) return fail(trail, "vertex count");
    vertices.clear();
    vertices.reserve(affordable(vertexTotal, in, minVertexBytes));
    for (std::size_t i = 0; i < vertexTotal; ++i) {
        ReadTrail inner;
        if (!vertices.emplace_back().read(in, trail != nullptr ? &inner : nullptr)) {
            vertices.pop_back();
            return fail(trail, ordinal("vertex", i, vertexTotal) + ", " + inner);
        }
    }

    // Corners name their vertex before the vertices are read; a polygon that names
    // one beyond them is left out, so drawing never indexes past the vertex array.
    const std::size_t before = polygons.size();
    std::erase_if(polygons, [vertexTotal](const MeshPolygon& polygon) {
        return std::any_of(polygon.corners.begin(), polygon.corners.end(),
                           [vertexTotal](const MeshCorner& c) { return c.vertexIndex >= vertexTotal; });
    });
    if (droppedPolygons != nullptr) *droppedPolygons += before - polygons.size();

    listDecided = false;
    allConstant = false;
    displayList = 0;
    return true;
}

void Scene::clear() {
    meshes.clear();
    camera.reset();
    lights.clear();
}

LoadResult Scene::load(std::span<const std::uint8_t> bytes) {
    clear();
    LoadResult result;
    result.size = bytes.size();
    ByteReader in(bytes);

    const std::uint8_t* magic = in.take(4);
    if (magic == nullptr || !hasTag(magic, "SCEN")) {
        result.status = LoadResult::Status::notAScene;
        result.structure = "magic";
        return result;
    }

    auto cutShort = [&](const char* chunk, std::size_t chunkStart, const std::string& where) {
        result.status = LoadResult::Status::cutShort;
        result.offset = in.offset();
        result.structure = std::string(chunk) + " chunk at byte " + std::to_string(chunkStart) +
                           (where.empty() ? "" : ", " + where);
        return result;
    };

    // Unknown tags cost 4 bytes each; up to 3 trailing bytes are ignored.
    while (in.remaining() >= 4) {
        const std::size_t chunkStart = in.offset();
        const std::uint8_t* tag = in.take(4);
        ReadTrail trail;
        if (hasTag(tag, "CMRA")) {
            camera.reset();
            SceneCamera loaded;
            if (!loaded.read(in, &trail)) return cutShort("CMRA", chunkStart, trail);
            camera = std::move(loaded);
        } else if (hasTag(tag, "MSHS")) {
            meshes.clear();
            std::uint16_t count = 0;
            if (!in.readU16(count)) return cutShort("MSHS", chunkStart, "mesh count");
            meshes.reserve(affordable(count, in, minMeshBytes));
            for (std::size_t i = 0; i < count; ++i) {
                if (!meshes.emplace_back().read(in, &trail, &result.droppedPolygons)) {
                    meshes.pop_back();
                    return cutShort("MSHS", chunkStart, ordinal("mesh", i, count) + ", " + trail);
                }
            }
        } else if (hasTag(tag, "LGTS")) {
            lights.clear();
            std::uint16_t count = 0;
            if (!in.readU16(count)) return cutShort("LGTS", chunkStart, "light count");
            lights.reserve(affordable(count, in, minLightBytes));
            for (std::size_t i = 0; i < count; ++i) {
                if (!lights.emplace_back().read(in, &trail)) {
                    lights.pop_back();
                    return cutShort("LGTS", chunkStart, ordinal("light", i, count) + ", " + trail);
                }
            }
        }
    }
    result.offset = in.offset();
    return result;
}

LoadResult Scene::load(std::FILE* stream) {
    std::vector<std::uint8_t> data;
    bool streamError = stream == nullptr;
    if (stream != nullptr) {
        // One pass to the end of the stream. Where the stream can tell its length the
        // buffer is sized once; otherwise it doubles as it fills.
        std::size_t used = 0;
        data.resize(std::max<std::size_t>(bytesLeftIn(stream) + 1, 64 * 1024));
        for (;;) {
            if (used == data.size()) data.resize(data.size() * 2);
            const std::size_t got = std::fread(data.data() + used, 1, data.size() - used, stream);
            used += got;
            if (got == 0) break;
        }
        data.resize(used);
        streamError = std::ferror(stream) != 0;
    }
    LoadResult result = load(std::span<const std::uint8_t>(data));
    if (streamError) result.status = LoadResult::Status::readError;
    return result;
}

std::string LoadResult::message() const {
    const std::string sizeText = std::to_string(size);
    switch (status) {
    case Status::complete:
        return "complete";
    case Status::notAScene:
        return size < 4 ? "not a scene file: " + sizeText + " bytes, too short for the \"SCEN\" magic"
                        : std::string("not a scene file: does not begin with \"SCEN\"");
    case Status::cutShort:
        return "cut short at byte " + std::to_string(offset) + " of " + sizeText + " in " + structure;
    case Status::readError:
        return "read error after " + sizeText + " bytes; stopped at byte " + std::to_string(offset) +
               (structure.empty() ? std::string() : " in " + structure);
    }
    return "unknown";
}

}  // namespace scene
