// sunmarrow-capture bench [--size WxH] [--frames N]
//
// Renders N frames spread over the whole show and reports, per stage, the median and
// 90th percentile in milliseconds: scene draw, read-back, backdrop, orientation field,
// stroke CPU work, stroke GL submission and drawing, captions, and the whole frame.
// GL stages are closed with glFinish (here only; the player never waits but in its
// read-back). The floor is the frame's GL work alone: the scene, backdrop, stroke and
// caption drawing recorded into display lists while drawing the frame, replayed with the
// read-back in between, with none of our CPU work (no track evaluation, no field, no
// stroke planning). The ratio whole / floor says what our CPU work costs on top.
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "capture_commands.h"
#include "headless.h"
#include "media/raw_texture.h"
#include "painterly/painterly.h"
#include "scene/scene.h"
#include "show/caption_overlay.h"
#include "show/show.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

enum Stage { sceneDraw, readBack, backdrop, field, strokeCpu, strokeGl, captionsStage, wholeFrame, floorStage, stageCount };
const char* const stageNames[stageCount] = {"scene draw",      "read-back",  "backdrop",    "orientation field",
                                            "stroke CPU work", "stroke GL",  "captions",    "whole frame",
                                            "GL floor"};
const char* const stageKeys[stageCount] = {"scene", "readback", "backdrop", "field", "stroke_cpu",
                                           "stroke_gl", "captions", "frame", "floor"};

// Probe timestamps of the frame being measured.
Clock::time_point marks[5];
void probe(show::FrameStage stage) {
    glFinish();
    marks[static_cast<int>(stage)] = Clock::now();
}

double ms(show::FrameStage from, show::FrameStage to) {
    return std::chrono::duration<double, std::milli>(marks[static_cast<int>(to)] - marks[static_cast<int>(from)]).count();
}

struct Stats {
    double median;
    double p90;
};

Stats stats(std::vector<double> v) {
    if (v.empty()) return {0, 0};
    std::sort(v.begin(), v.end());
    const auto at = [&](double q) { return v[std::min(v.size() - 1, static_cast<std::size_t>(q * (v.size() - 1) + 0.5))]; };
    return {at(0.5), at(0.9)};
}

// Records `draw` into a fresh display list (compile only) and returns its name.
template <typename Draw>
GLuint record(Draw draw) {
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    draw();
    glEndList();
    return list;
}

constexpr const char* benchUsage = "bench [--size WxH] [--frames N]";

int runBench(int argc, char** argv) {
    int width = 640, height = 480, frames = 60;
    const int status = capture::readOptions("bench", benchUsage, argc, argv,
                                            {options::size("--size", 16, 8192, width, height),
                                             options::whole("--frames", 1, 100000, frames)});
    if (status >= 0) return status;

    capture::HeadlessShow show(width, height);
    if (!show.ok()) return 1;
    const double setupMs = show.setupMs();

    std::vector<double> samples[stageCount];
    painterly::PainterlyState& paint = painterly::painterlyState();
    std::vector<painterly::StrokeQuad> quads;
    quads.reserve(painterly::strokeCount);

    int k = 0;
    for (; k < frames && capture::cutShortStatus() == 0; ++k) {
        const double elapsed = (k + 0.5) * 204.0 / frames;
        // Untimed first draw: display lists of static meshes are compiled at a mesh's
        // first visible frame, and that is not what every frame costs.
        show.drawFrame(elapsed);
        show.swap();

        // Whole frame, as the player draws it (no waits but its own read-back).
        glFinish();
        auto start = Clock::now();
        show.drawFrame(elapsed);
        glFinish();
        samples[wholeFrame].push_back(msSince(start));
        show.swap();

        // The same frame with a wait at each boundary of the show's stages.
        show::setFrameProbe(probe);
        show.drawFrame(elapsed);
        show::setFrameProbe(nullptr);
        samples[sceneDraw].push_back(ms(show::FrameStage::started, show::FrameStage::sceneDrawn));
        samples[readBack].push_back(ms(show::FrameStage::sceneDrawn, show::FrameStage::captureRead));
        samples[captionsStage].push_back(ms(show::FrameStage::painted, show::FrameStage::captionsDrawn));
        show.swap();

        // The painterly stages one by one, on this frame's capture.
        const float phase = painterly::strokePhaseFromClock(static_cast<std::int32_t>(elapsed * 1000.0 + 0.5));
        glFinish();
        start = Clock::now();
        painterly::paintBackdrop(width, height);
        glFinish();
        samples[backdrop].push_back(msSince(start));
        start = Clock::now();
        painterly::computeOrientationField();
        samples[field].push_back(msSince(start));
        start = Clock::now();
        painterly::planStrokes(phase);
        samples[strokeCpu].push_back(msSince(start));
        start = Clock::now();
        painterly::drawPlannedStrokes();
        glFinish();
        samples[strokeGl].push_back(msSince(start));
        show.swap();

        // Record the frame's GL work, then replay it alone.
        const show::DueScene due = show::dueScene(elapsed);
        const float t = static_cast<float>(elapsed - 4.0);
        const GLuint sceneList = record([&] {
            if (due.scene != nullptr) due.scene->render(due.frame);
        });
        const GLuint backdropList = record([&] { painterly::paintBackdrop(width, height); });
        quads.clear();
        for (const painterly::StrokeArgs& k : paint.strokes) {
            quads.push_back(painterly::strokeQuad(k.x, k.y, k.depth, k.angle, k.size));
        }
        const GLuint captionList = record([&] { show::drawCaptions(show::captions(), t); });

        // The frame's own passes around the recorded drawing; the read-back refills the
        // capture with this frame's scene, as the frame did.
        glFinish();
        start = Clock::now();
        show::clearFrame();
        show::beginScenePass();
        if (due.texture != nullptr) due.texture->bind();
        glCallList(sceneList);
        show::endScenePass();
        painterly::readCapture();
        glCallList(backdropList);
        painterly::beginStrokePass();
        for (int i = 0; i < painterly::strokeCount; ++i) {
            const painterly::StrokeArgs& k = paint.strokes[i];
            glColor4f(k.red, k.green, k.blue, 1.0f);
            painterly::emitStrokeQuad(quads[i]);
        }
        painterly::endStrokePass();
        show::beginCaptionPass();
        glCallList(captionList);
        glFinish();
        samples[floorStage].push_back(msSince(start));
        show.swap();

        glDeleteLists(sceneList, 1);
        glDeleteLists(backdropList, 1);
        glDeleteLists(captionList, 1);
        std::fprintf(stderr, "\rframe %d/%d", k + 1, frames);
    }
    std::fputc('\n', stderr);
    if (capture::cutShortStatus() != 0) {
        std::fprintf(stderr, "bench: stopped after %d of %d frames; no figures\n", k, frames);
        return capture::cutShortStatus();
    }

    Stats s[stageCount];
    for (int i = 0; i < stageCount; ++i) s[i] = stats(samples[i]);
    const double ratio = s[floorStage].median > 0 ? s[wholeFrame].median / s[floorStage].median : 0.0;

    std::printf("sunmarrow-capture bench: %dx%d, %d frames over 0..204 s, initShow %.1f ms\n", width, height, frames, setupMs);
    std::printf("%-20s %10s %10s\n", "stage", "median ms", "p90 ms");
    for (int i = 0; i < stageCount; ++i) std::printf("%-20s %10.3f %10.3f\n", stageNames[i], s[i].median, s[i].p90);
    std::printf("%-20s %10.3f\n", "frame / floor", ratio);
    std::printf("{\"size\":\"%dx%d\",\"frames\":%d,\"setup_ms\":%.3f", width, height, frames, setupMs);
    for (int i = 0; i < stageCount; ++i) {
        std::printf(",\"%s\":{\"median_ms\":%.4f,\"p90_ms\":%.4f}", stageKeys[i], s[i].median, s[i].p90);
    }
    std::printf(",\"frame_over_floor\":%.4f}\n", ratio);
    return 0;
}

capture::Command benchCommand("bench", benchUsage, runBench);

}  // namespace
