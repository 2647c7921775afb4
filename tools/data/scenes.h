// The nine scene files of the show. Each builder returns a complete scene description
// (camera, meshes, exactly kLightCount lights) animated at least up to `lastFrame`, the
// last frame the show asks of it (its window x speed x 25).
#pragma once

#include <functional>
#include <vector>

#include "scene/scene_writer.h"

namespace datagen::scenes {

struct SceneJob {
    const char* file;
    float lastFrame;
    std::function<scene::writer::SceneDesc()> build;
};

// In the show's order.
const std::vector<SceneJob>& sceneJobs();

scene::writer::SceneDesc buildIntro1();   // first light: the sun rises over hills
scene::writer::SceneDesc buildIntro2();   // a meadow, the camera gliding over it
scene::writer::SceneDesc buildIntro3();   // a lake and its reflections
scene::writer::SceneDesc buildIntro4();   // a path between trunks into the forest
scene::writer::SceneDesc buildTrees();    // the forest
scene::writer::SceneDesc buildClouds();   // drifting clouds
scene::writer::SceneDesc buildBird();     // a bird flying over the land
scene::writer::SceneDesc buildFlowers();  // flowers opening
scene::writer::SceneDesc buildMoon();     // a moonlit night

}  // namespace datagen::scenes
