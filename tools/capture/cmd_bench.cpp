// sunmarrow-capture bench [--size WxH] [--frames N] [--painter gl|cpu|both]
//
// Renders N frames spread over the whole show on each painterly path asked for (both by
// default, frame by frame one after the other, so that a busy machine weighs on both
// alike) and reports, per stage, the median and 90th percentile in milliseconds: scene
// draw, read-back, orientation field, stroke CPU work, then on the GL path the backdrop
// and the stroke GL submission and drawing, on the processor path the canvas composed
// and shown (upload and quad), then captions and the whole frame. GL stages are closed
// with glFinish (here only; the player never waits but in its read-back). The floor is
// the GL path's frame GL work alone: the scene, backdrop, stroke and caption drawing
// recorded into display lists while drawing the frame, replayed with the read-back in
// between, with none of our CPU work. The header names the renderer, the canvas's crew
// and kernel, and the load average before and after.
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "capture_commands.h"
#include "headless.h"
#include "media/raw_texture.h"
#include "painterly/canvas_pass.h"
#include "painterly/painter_choice.h"
#include "painterly/painterly.h"
#include "painterly/stroke_canvas.h"
#include "scene/scene.h"
#include "show/caption_overlay.h"
#include "show/show.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

enum Stage {
    sceneDraw,
    readBack,
    field,
    strokeCpu,
    backdrop,
    strokeGl,
    canvasCompose,
    canvasShow,
    captionsStage,
    wholeFrame,
    floorStage,
    stageCount
};
const char* const stageNames[stageCount] = {"scene draw",     "read-back",         "orientation field",
                                            "stroke CPU work", "backdrop",          "stroke GL",
                                            "canvas compose", "canvas to window",   "captions",
                                            "whole frame",    "GL floor"};
const char* const stageKeys[stageCount] = {"scene",  "readback",      "field",       "stroke_cpu",
                                           "backdrop", "stroke_gl",   "canvas_compose", "canvas_show",
                                           "captions", "frame",       "floor"};
// Stages that only one path has.
bool stageOf(Stage stage, painterly::PainterPath path) {
    const bool glOnly = stage == backdrop || stage == strokeGl || stage == floorStage;
    const bool cpuOnly = stage == canvasCompose || stage == canvasShow;
    return path == painterly::PainterPath::gl ? !cpuOnly : !glOnly;
}

std::string loadAverage() {
    char text[64] = "?";
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%63s", text) != 1) std::strcpy(text, "?");
        std::fclose(f);
    }
    return text;
}

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

// One frame of one path: the whole frame, the probed stages, the path's own stages and
// (GL path) the floor, into samples.
void measureFrame(capture::HeadlessShow& show, double elapsed, painterly::PainterPath path,
                  std::vector<double>* samples) {
    const int width = show.width(), height = show.height();
    painterly::setPainterPath(path);
    // Untimed first draw: display lists of static meshes are compiled at a mesh's first
    // visible frame, and that is not what every frame costs.
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
    if (path == painterly::PainterPath::gl) {
        start = Clock::now();
        painterly::paintBackdrop(width, height);
        glFinish();
        samples[backdrop].push_back(msSince(start));
    }
    start = Clock::now();
    painterly::computeOrientationField();
    samples[field].push_back(msSince(start));
    start = Clock::now();
    painterly::planStrokes(phase);
    samples[strokeCpu].push_back(msSince(start));
    start = Clock::now();
    if (path == painterly::PainterPath::gl) {
        painterly::drawPlannedStrokes();
        glFinish();
        samples[strokeGl].push_back(msSince(start));
    } else {
        painterly::composeCanvas(width, height);
        samples[canvasCompose].push_back(msSince(start));
        start = Clock::now();
        painterly::showCanvas(width, height);
        glFinish();
        samples[canvasShow].push_back(msSince(start));
    }
    show.swap();
    if (path != painterly::PainterPath::gl) return;

    // Record the frame's GL work, then replay it alone.
    painterly::PainterlyState& paint = painterly::painterlyState();
    const show::DueScene due = show::dueScene(elapsed);
    const float t = static_cast<float>(elapsed - 4.0);
    const GLuint sceneList = record([&] {
        if (due.scene != nullptr) due.scene->render(due.frame);
    });
    const GLuint backdropList = record([&] { painterly::paintBackdrop(width, height); });
    std::vector<painterly::StrokeQuad> quads;
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
    painterly::emitStrokeBatch(paint.strokes, quads.data());
    painterly::endStrokePass();
    show::beginCaptionPass();
    glCallList(captionList);
    glFinish();
    samples[floorStage].push_back(msSince(start));
    show.swap();

    glDeleteLists(sceneList, 1);
    glDeleteLists(backdropList, 1);
    glDeleteLists(captionList, 1);
}

constexpr const char* benchUsage = "bench [--size WxH] [--frames N] [--painter gl|cpu|auto|both]";

int runBench(int argc, char** argv) {
    int width = 640, height = 480, frames = 60;
    const char* painter = "both";
    const int status = capture::readOptions(
        "bench", benchUsage, argc, argv,
        {options::size("--size", 16, 8192, width, height), options::whole("--frames", 1, 100000, frames),
         options::choice("--painter", {"gl", "cpu", "auto", "both"}, painter)});
    if (status >= 0) return status;
    std::vector<painterly::PainterPath> paths = {painterly::PainterPath::gl, painterly::PainterPath::cpu};
    const auto request = painterly::parsePainterRequest(painter);  // none: both
    if (request == painterly::PainterRequest::gl) paths = {painterly::PainterPath::gl};
    if (request == painterly::PainterRequest::cpu) paths = {painterly::PainterPath::cpu};
    if (request == painterly::PainterRequest::automatic) paths.clear();  // the show's choice, below

    const std::string loadBefore = loadAverage();
    capture::HeadlessShow show(width, height);
    if (!show.ok()) return 1;
    const double setupMs = show.setupMs();
    if (paths.empty()) paths = {painterly::painterPath()};  // auto: the one the show chose

    std::vector<double> samples[2][stageCount];
    int k = 0;
    for (; k < frames && capture::cutShortStatus() == 0; ++k) {
        const double elapsed = (k + 0.5) * 204.0 / frames;
        for (const painterly::PainterPath path : paths) measureFrame(show, elapsed, path, samples[static_cast<int>(path)]);
        std::fprintf(stderr, "\rframe %d/%d", k + 1, frames);
    }
    std::fputc('\n', stderr);
    if (capture::cutShortStatus() != 0) {
        std::fprintf(stderr, "bench: stopped after %d of %d frames; no figures\n", k, frames);
        return capture::cutShortStatus();
    }
    const std::string loadAfter = loadAverage();

    Stats s[2][stageCount];
    for (const painterly::PainterPath path : paths) {
        for (int i = 0; i < stageCount; ++i) s[static_cast<int>(path)][i] = stats(samples[static_cast<int>(path)][i]);
    }
    const painterly::StrokeCanvas& canvas = painterly::paintCanvas();
    std::printf("sunmarrow-capture bench: %dx%d, %d frames over 0..204 s, initShow %.1f ms\n", width, height, frames,
                setupMs);
    std::printf("renderer %s; canvas: %d threads, %s kernel; load average %s before, %s after\n", show.renderer(),
                canvas.threads(),
                canvas.kernel() == painterly::CanvasKernel::avx512 ? "AVX-512"
                : canvas.kernel() == painterly::CanvasKernel::avx2 ? "AVX2"
                                                                   : "scalar",
                loadBefore.c_str(), loadAfter.c_str());
    std::printf("%-20s", "stage");
    for (const painterly::PainterPath path : paths) {
        std::printf(" %5s median %5s p90", painterly::painterName(path), painterly::painterName(path));
    }
    std::printf("\n");
    for (int i = 0; i < stageCount; ++i) {
        std::printf("%-20s", stageNames[i]);
        for (const painterly::PainterPath path : paths) {
            const Stats& v = s[static_cast<int>(path)][i];
            if (stageOf(static_cast<Stage>(i), path)) std::printf(" %12.3f %9.3f", v.median, v.p90);
            else std::printf(" %12s %9s", "-", "-");
        }
        std::printf("\n");
    }
    const Stats* glStats = s[static_cast<int>(painterly::PainterPath::gl)];
    const Stats* cpuStats = s[static_cast<int>(painterly::PainterPath::cpu)];
    const bool haveGl = std::find(paths.begin(), paths.end(), painterly::PainterPath::gl) != paths.end();
    const bool haveCpu = std::find(paths.begin(), paths.end(), painterly::PainterPath::cpu) != paths.end();
    const double glOverFloor = glStats[floorStage].median > 0 ? glStats[wholeFrame].median / glStats[floorStage].median : 0.0;
    if (haveGl) std::printf("%-20s %12.3f\n", "gl frame / floor", glOverFloor);
    if (haveGl && haveCpu && cpuStats[wholeFrame].median > 0) {
        std::printf("%-20s %12.2f\n", "gl frame / cpu frame", glStats[wholeFrame].median / cpuStats[wholeFrame].median);
    }
    for (const painterly::PainterPath path : paths) {
        const Stats* v = s[static_cast<int>(path)];
        std::printf("{\"painter\":\"%s\",\"size\":\"%dx%d\",\"frames\":%d,\"setup_ms\":%.3f", painterly::painterName(path),
                    width, height, frames, setupMs);
        for (int i = 0; i < stageCount; ++i) {
            if (stageOf(static_cast<Stage>(i), path)) {
                std::printf(",\"%s\":{\"median_ms\":%.4f,\"p90_ms\":%.4f}", stageKeys[i], v[i].median, v[i].p90);
            }
        }
        if (path == painterly::PainterPath::gl) std::printf(",\"frame_over_floor\":%.4f", glOverFloor);
        std::printf("}\n");
    }
    return 0;
}

capture::Command benchCommand("bench", benchUsage, runBench, capture::ShowData::drawn);

}  // namespace
