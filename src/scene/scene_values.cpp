#include "scene/scene_values.h"

namespace scene {

FrameValues evaluateFrame(Scene& scene, float frame) {
    FrameValues out;
    out.frame = frame;
    if (scene.camera) {
        SceneCamera& c = *scene.camera;
        out.camera = std::array<double, 11>{
            c.eyeX.evaluate(frame),    c.eyeY.evaluate(frame),    c.eyeZ.evaluate(frame),
            c.targetX.evaluate(frame), c.targetY.evaluate(frame), c.targetZ.evaluate(frame),
            c.upX.evaluate(frame),     c.upY.evaluate(frame),     c.upZ.evaluate(frame),
            c.fieldOfView.evaluate(frame), c.aspect.evaluate(frame),
        };
    }
    out.lights.reserve(scene.lights.size());
    for (SceneLight& light : scene.lights) {
        out.lights.push_back({light.lightKind,
                              {light.posX.evaluate(frame), light.posY.evaluate(frame), light.posZ.evaluate(frame),
                               light.red.evaluate(frame), light.green.evaluate(frame), light.blue.evaluate(frame)}});
    }
    out.meshes.reserve(scene.meshes.size());
    for (SceneMesh& mesh : scene.meshes) {
        MeshValues& values = out.meshes.emplace_back();
        values.visible = mesh.visibility.isVisible(frame);
        values.vertices.reserve(mesh.vertices.size());
        for (MeshVertex& v : mesh.vertices) {
            values.vertices.push_back({v.posX.evaluate(frame), v.posY.evaluate(frame), v.posZ.evaluate(frame),
                                       v.normalX.evaluate(frame), v.normalY.evaluate(frame), v.normalZ.evaluate(frame)});
        }
    }
    return out;
}

}  // namespace scene
