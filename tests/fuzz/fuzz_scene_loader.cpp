// Feeds arbitrary bytes to the scene loader through streams, as the show opens files,
// then evaluates what loaded at a few frames, forward and back, as the show and the
// inspector would. The same bytes arrive three ways: a memory stream that knows its
// size, a pipe that cannot seek at all, and a stream whose seek reports a size other
// than what it yields and whose reads come in small uneven pieces. All three must load
// the same scene. Any crash, sanitizer report or broken invariant is a finding.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "scene/scene.h"
#include "scene/scene_values.h"

namespace {

struct LyingSource {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position;
    std::size_t claimedSize;  // what a seek to the end reports
};

ssize_t lyingRead(void* cookie, char* buffer, std::size_t bytes) {
    auto* source = static_cast<LyingSource*>(cookie);
    const std::size_t piece = 1 + source->position % 97;
    const std::size_t n = std::min({bytes, piece, source->size - source->position});
    std::memcpy(buffer, source->data + source->position, n);
    source->position += n;
    return static_cast<ssize_t>(n);
}

int lyingSeek(void* cookie, off64_t* offset, int whence) {
    auto* source = static_cast<LyingSource*>(cookie);
    if (whence == SEEK_END) {
        *offset += static_cast<off64_t>(source->claimedSize);
        return 0;  // reported, not moved
    }
    const off64_t target = (whence == SEEK_CUR ? static_cast<off64_t>(source->position) : 0) + *offset;
    if (target < 0) return -1;
    source->position = std::min(static_cast<std::size_t>(target), source->size);
    *offset = static_cast<off64_t>(source->position);
    return 0;
}

// A pipe holding all the bytes, its writing end closed; null when they do not fit.
std::FILE* pipeWith(const std::uint8_t* data, std::size_t size) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return nullptr;
    if (size > 65536) fcntl(fds[1], F_SETPIPE_SZ, static_cast<int>(size));
    fcntl(fds[1], F_SETFL, O_NONBLOCK);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t wrote = write(fds[1], data + done, size - done);
        if (wrote <= 0) break;
        done += static_cast<std::size_t>(wrote);
    }
    close(fds[1]);
    std::FILE* stream = done == size ? fdopen(fds[0], "rb") : nullptr;
    if (stream == nullptr) close(fds[0]);
    return stream;
}

struct Loaded {
    scene::Scene scene;
    scene::LoadResult result;
};

void loadFrom(std::FILE* stream, Loaded& loaded) {
    if (stream == nullptr) std::abort();
    loaded.result = loaded.scene.load(stream);
    std::fclose(stream);
}

bool same(const Loaded& a, const Loaded& b) {
    return a.result.status == b.result.status && a.result.size == b.result.size &&
           a.result.offset == b.result.offset && a.result.structure == b.result.structure &&
           a.result.droppedPolygons == b.result.droppedPolygons && a.scene.meshCount() == b.scene.meshCount() &&
           a.scene.lightCount() == b.scene.lightCount() && a.scene.camera.has_value() == b.scene.camera.has_value();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // fmemopen refuses an empty buffer; an empty file is a tmpfile with nothing in it.
    Loaded known;
    loadFrom(size > 0 ? fmemopen(const_cast<std::uint8_t*>(data), size, "rb") : std::tmpfile(), known);
    scene::Scene& scene = known.scene;
    const scene::LoadResult& result = known.result;

    // Only a file that begins with "SCEN" is read past its first four bytes.
    const bool tagged = size >= 4 && std::memcmp(data, "SCEN", 4) == 0;
    if (result.size != (tagged ? size : std::min<std::size_t>(size, 4)) || result.offset > result.size) std::abort();
    std::size_t dropped = 0;
    for (const scene::SceneMesh& mesh : scene.meshes) {
        dropped += mesh.droppedPolygons;
        for (const scene::MeshPolygon& polygon : mesh.polygons) {
            if (polygon.firstCorner + polygon.cornerCount > mesh.corners.size()) std::abort();
            for (const scene::MeshCorner& corner : mesh.cornersOf(polygon)) {
                if (corner.vertexIndex >= mesh.vertexCount()) std::abort();
            }
        }
    }
    if (dropped != result.droppedPolygons) std::abort();

    if (std::FILE* piped = pipeWith(data, size)) {
        Loaded fromPipe;
        loadFrom(piped, fromPipe);
        if (!same(known, fromPipe)) std::abort();
    }
    LyingSource source{data, size, 0, size > 0 ? (data[size - 1] * std::size_t{100003}) % (size * 3 + 7) : 12345};
    Loaded fromLiar;
    loadFrom(fopencookie(&source, "rb", cookie_io_functions_t{lyingRead, nullptr, lyingSeek, nullptr}), fromLiar);
    if (!same(known, fromLiar)) std::abort();

    const float frames[] = {0.0f, 12.5f, 3.0f, 1.0e6f, -4.0f, 65535.5f, 7.25f};
    for (float frame : frames) {
        const scene::FrameValues values = scene::evaluateFrame(scene, frame);
        if (values.meshes.size() != scene.meshCount()) std::abort();
    }
    return 0;
}
