#include "scenes.h"

namespace datagen::scenes {

const std::vector<SceneJob>& sceneJobs() {
    static const std::vector<SceneJob> jobs = {
        {"intro1.csi", 200.0f, buildIntro1}, {"intro2.csi", 200.0f, buildIntro2},
        {"intro3.csi", 200.0f, buildIntro3}, {"intro4.csi", 300.0f, buildIntro4},
        {"trees.csi", 800.0f, buildTrees},   {"clouds.csi", 300.0f, buildClouds},
        {"bird2.csi", 996.63f, buildBird},   {"flowers.csi", 1100.0f, buildFlowers},
        {"moon.csi", 495.0f, buildMoon},
    };
    return jobs;
}

}  // namespace datagen::scenes
