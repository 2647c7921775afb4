// Every value of a scene at one frame, evaluated as drawing would (camera, lights,
// then for each mesh its visibility and its vertices), for the inspector tool and
// the tests. Evaluating moves the tracks' cursors, as drawing does.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "scene/scene.h"

namespace scene {

struct LightValues {
    std::uint8_t kind = 0;
    std::array<double, 6> values{};  // posX, posY, posZ, red, green, blue
};

struct MeshValues {
    bool visible = true;
    std::vector<std::array<double, 6>> vertices;  // posX ... normalZ, every vertex
};

struct FrameValues {
    float frame = 0.0f;
    // eyeX, eyeY, eyeZ, targetX, targetY, targetZ, upX, upY, upZ, fieldOfView, aspect
    std::optional<std::array<double, 11>> camera;
    std::vector<LightValues> lights;
    std::vector<MeshValues> meshes;  // every mesh, visible or not, in file order
};

FrameValues evaluateFrame(Scene& scene, float frame);

}  // namespace scene
