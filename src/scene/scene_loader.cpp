#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "scene/scene.h"

namespace scene {

namespace {

// Blocks in which a stream is read: the file's bytes are gathered block by block and
// joined once at the end, so reading never holds more than twice what it read.
constexpr std::size_t readBlockBytes = 64 * 1024;

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

// Skipping: each passes over one structure as its read would, allocating nothing, and
// is false when the data ends inside it. Arrays are sized from these scans, so an
// array never holds room for objects that the data does not hold.
bool skipCounted(ByteReader& in, std::size_t bytesPerKey, std::size_t bytesWithoutKeys) {
    std::uint16_t count = 0;
    return in.readU16(count) && in.skip(count == 0 ? bytesWithoutKeys : bytesPerKey * count);
}

bool skipTracks(ByteReader& in, int tracks) {
    for (int i = 0; i < tracks; ++i) {
        if (!skipCounted(in, 6, 2)) return false;
    }
    return true;
}

bool skipVertex(ByteReader& in) { return skipTracks(in, 6); }

bool skipLight(ByteReader& in) { return in.skip(1) && skipTracks(in, 6); }

bool skipPolygon(ByteReader& in, std::size_t* corners = nullptr) {
    std::uint8_t count = 0;
    if (!in.readU8(count) || !in.skip(6 * static_cast<std::size_t>(count))) return false;
    if (corners != nullptr) *corners += count;
    return true;
}

// How many of `count` objects laid out one after another are whole in the data from
// the reader's position on, as `skip` measures one.
template <typename Skip>
std::size_t wholeObjects(ByteReader in, std::size_t count, Skip skip) {
    std::size_t whole = 0;
    while (whole < count && skip(in)) ++whole;
    return whole;
}

bool skipMesh(ByteReader& in) {
    std::uint16_t polygons = 0;
    std::uint16_t vertices = 0;
    if (!in.skip(4 + 2) || !skipCounted(in, 3, 0) || !in.skip(4) || !in.readU16(polygons)) return false;
    for (std::size_t i = 0; i < polygons; ++i) {
        if (!skipPolygon(in)) return false;
    }
    if (!in.skip(4) || !in.readU16(vertices)) return false;
    for (std::size_t i = 0; i < vertices; ++i) {
        if (!skipVertex(in)) return false;
    }
    return true;
}

// Room for the objects that are whole, and for the one the data ends inside (read in
// place, then removed again).
std::size_t roomFor(std::size_t count, std::size_t whole) { return whole < count ? whole + 1 : count; }

// Reads the stream's first 4 bytes and, only when they are "SCEN", the rest, up to
// maxSceneFileBytes in all; `tooLarge` when more follows. False on a read error (what
// was read before it is kept). `total` counts the bytes read as they come.
bool readSceneBytes(std::FILE* stream, std::vector<std::uint8_t>& data, bool& tooLarge, std::size_t& total) {
    tooLarge = false;
    std::uint8_t magic[4];
    total = std::fread(magic, 1, 4, stream);
    data.assign(magic, magic + total);
    if (total < 4 || !hasTag(magic, "SCEN")) return std::ferror(stream) == 0;

    std::vector<std::vector<std::uint8_t>> blocks;
    for (;;) {
        // One byte past the limit tells a file of exactly the limit from a larger one.
        const std::size_t want = std::min(readBlockBytes, maxSceneFileBytes + 1 - total);
        std::vector<std::uint8_t> block(want);
        const std::size_t read = std::fread(block.data(), 1, want, stream);
        block.resize(read);
        total += read;
        if (read > 0) blocks.push_back(std::move(block));
        if (read < want || total > maxSceneFileBytes) break;
    }
    tooLarge = total > maxSceneFileBytes;
    total = std::min(total, maxSceneFileBytes);
    data.reserve(total);
    for (std::vector<std::uint8_t>& block : blocks) {
        const std::size_t take = std::min(block.size(), maxSceneFileBytes - data.size());
        data.insert(data.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(take));
        std::vector<std::uint8_t>().swap(block);
    }
    return std::ferror(stream) == 0;
}

std::size_t droppedIn(const std::vector<SceneMesh>& meshes) {
    std::size_t dropped = 0;
    for (const SceneMesh& mesh : meshes) dropped += mesh.droppedPolygons;
    return dropped;
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

std::span<const MeshCorner> SceneMesh::cornersOf(const MeshPolygon& polygon) const {
    const std::size_t first = std::min<std::size_t>(polygon.firstCorner, corners.size());
    const std::size_t count = std::min<std::size_t>(polygon.cornerCount, corners.size() - first);
    return {corners.data() + first, count};
}

bool SceneMesh::read(ByteReader& in, ReadTrail* trail) {
    // Each of the three sections opens with 4 bytes that carry no meaning.
    if (!in.skip(4) || !in.readU16(headerWord)) return fail(trail, "header");
    if (!visibility.read(in)) return fail(trail, "visibility");

    std::uint16_t polygonTotal = 0;
    if (!in.skip(4) || !in.readU16(polygonTotal)) return fail(trail, "polygon count");
    // Every polygon is known whole before anything is allocated; the corner array is
    // then sized once.
    ByteReader scan = in;
    std::size_t cornerTotal = 0;
    for (std::size_t i = 0; i < polygonTotal; ++i) {
        if (!skipPolygon(scan, &cornerTotal)) {
            in = scan;
            return fail(trail, ordinal("polygon", i, polygonTotal));
        }
    }
    polygons.clear();
    corners.clear();
    polygons.reserve(polygonTotal);
    corners.reserve(cornerTotal);
    for (std::size_t i = 0; i < polygonTotal; ++i) {
        std::uint8_t count = 0;
        in.readU8(count);
        const std::uint8_t* body = in.take(6 * static_cast<std::size_t>(count));
        MeshPolygon& polygon = polygons.emplace_back();
        polygon.firstCorner = static_cast<std::uint32_t>(corners.size());
        polygon.cornerCount = count;
        for (std::uint8_t j = 0; j < count; ++j, body += 6) {
            corners.push_back({ByteReader::u16At(body), decode(ByteReader::u16At(body + 2)),
                               decode(ByteReader::u16At(body + 4))});
        }
    }

    std::uint16_t vertexTotal = 0;
    if (!in.skip(4) || !in.readU16(vertexTotal)) return fail(trail, "vertex count");
    vertices.clear();
    vertices.reserve(roomFor(vertexTotal, wholeObjects(in, vertexTotal, skipVertex)));
    for (std::size_t i = 0; i < vertexTotal; ++i) {
        ReadTrail inner;
        if (!vertices.emplace_back().read(in, trail != nullptr ? &inner : nullptr)) {
            vertices.pop_back();
            return fail(trail, ordinal("vertex", i, vertexTotal) + ", " + inner);
        }
    }

    // Corners name their vertex before the vertices are read; a polygon that names
    // one beyond them is left out, so drawing never indexes past the vertex array.
    // Kept polygons and their corners move down in place.
    std::size_t kept = 0;
    std::size_t keptCorners = 0;
    for (std::size_t i = 0; i < polygons.size(); ++i) {
        const MeshPolygon polygon = polygons[i];
        const std::size_t first = polygon.firstCorner;
        const std::size_t count = polygon.cornerCount;
        const auto begin = corners.begin() + static_cast<std::ptrdiff_t>(first);
        const auto end = begin + static_cast<std::ptrdiff_t>(count);
        if (std::any_of(begin, end, [vertexTotal](const MeshCorner& c) { return c.vertexIndex >= vertexTotal; })) {
            continue;
        }
        if (keptCorners != first) std::copy(begin, end, corners.begin() + static_cast<std::ptrdiff_t>(keptCorners));
        polygons[kept].firstCorner = static_cast<std::uint32_t>(keptCorners);
        polygons[kept].cornerCount = static_cast<std::uint32_t>(count);
        ++kept;
        keptCorners += count;
    }
    droppedPolygons = static_cast<std::uint16_t>(polygons.size() - kept);
    polygons.resize(kept);
    corners.resize(keptCorners);

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

LoadResult Scene::parse(std::span<const std::uint8_t> bytes) {
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
            std::vector<SceneMesh>().swap(meshes);  // released, not just emptied
            std::uint16_t count = 0;
            if (!in.readU16(count)) return cutShort("MSHS", chunkStart, "mesh count");
            meshes.reserve(roomFor(count, wholeObjects(in, count, skipMesh)));
            for (std::size_t i = 0; i < count; ++i) {
                if (!meshes.emplace_back().read(in, &trail)) {
                    meshes.pop_back();
                    return cutShort("MSHS", chunkStart, ordinal("mesh", i, count) + ", " + trail);
                }
            }
        } else if (hasTag(tag, "LGTS")) {
            std::vector<SceneLight>().swap(lights);  // released, not just emptied
            std::uint16_t count = 0;
            if (!in.readU16(count)) return cutShort("LGTS", chunkStart, "light count");
            lights.reserve(roomFor(count, wholeObjects(in, count, skipLight)));
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

// Memory that runs out leaves an empty scene: whatever was half built is released.
LoadResult Scene::load(std::span<const std::uint8_t> bytes) {
    try {
        LoadResult result = parse(bytes);
        result.droppedPolygons = droppedIn(meshes);
        return result;
    } catch (const std::bad_alloc&) {
        clear();
        LoadResult result;
        result.status = LoadResult::Status::outOfMemory;
        result.size = bytes.size();
        return result;
    }
}

LoadResult Scene::load(std::FILE* stream) {
    clear();
    LoadResult result;
    if (stream == nullptr) {
        result.status = LoadResult::Status::readError;
        return result;
    }
    std::size_t read = 0;
    try {
        std::vector<std::uint8_t> data;
        bool tooLarge = false;
        const bool readFine = readSceneBytes(stream, data, tooLarge, read);
        result = load(std::span<const std::uint8_t>(data));
        if (result.status == LoadResult::Status::outOfMemory) return result;
        if (tooLarge) result.status = LoadResult::Status::tooLarge;
        if (!readFine) result.status = LoadResult::Status::readError;
    } catch (const std::bad_alloc&) {
        clear();
        result = LoadResult{};
        result.status = LoadResult::Status::outOfMemory;
        result.size = read;
    }
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
    case Status::tooLarge:
        return "too large: longer than " + std::to_string(maxSceneFileBytes) + " bytes; loaded the first " +
               sizeText + (structure.empty() ? std::string() : ", stopped at byte " + std::to_string(offset) + " in " + structure);
    case Status::outOfMemory:
        return "out of memory after reading " + sizeText + " bytes; nothing loaded";
    }
    return "unknown";
}

}  // namespace scene
