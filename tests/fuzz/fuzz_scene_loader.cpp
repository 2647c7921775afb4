// Feeds arbitrary bytes to the scene loader through a stream, as the show opens files,
// then evaluates what loaded at a few frames, forward and back, as the show and the
// inspector would. Any crash, sanitizer report or broken invariant is a finding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "scene/scene.h"
#include "scene/scene_values.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // fmemopen refuses an empty buffer; an empty file is a tmpfile with nothing in it.
    std::FILE* stream = size > 0 ? fmemopen(const_cast<std::uint8_t*>(data), size, "rb") : std::tmpfile();
    if (stream == nullptr) return 0;
    scene::Scene scene;
    const scene::LoadResult result = scene.load(stream);
    std::fclose(stream);

    if (result.size != size || result.offset > size) std::abort();
    for (const scene::SceneMesh& mesh : scene.meshes) {
        for (const scene::MeshPolygon& polygon : mesh.polygons) {
            for (const scene::MeshCorner& corner : polygon.corners) {
                if (corner.vertexIndex >= mesh.vertexCount()) std::abort();
            }
        }
    }

    const float frames[] = {0.0f, 12.5f, 3.0f, 1.0e6f, -4.0f, 65535.5f, 7.25f};
    for (float frame : frames) {
        const scene::FrameValues values = scene::evaluateFrame(scene, frame);
        if (values.meshes.size() != scene.meshCount()) std::abort();
    }
    return 0;
}
