// Per-frame scene work on the CPU: keyed track evaluation at advancing fractional
// frames (as the show asks, 25 frames a second scaled by a scene's speed), and loading
// a 1 MB scene file written by the scene writer.
// Run: bench_scene --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "scene/anim_track.h"
#include "scene/scene.h"
#include "scene/scene_writer.h"

namespace {

namespace w = scene::writer;

w::Track keyedTrack(int keys, std::uint32_t seed) {
    w::Track track;
    for (int i = 0; i < keys; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const float value = static_cast<float>(seed >> 8) / 16777216.0f * 200.0f - 100.0f;
        track.keys.push_back({value, value * 0.01f, static_cast<std::uint16_t>(i == 0 ? 0 : 1 + (seed >> 28))});
    }
    return track;
}

scene::AnimTrack readTrack(const w::Track& desc) {
    w::Bytes bytes;
    w::appendTrack(bytes, desc);
    scene::ByteReader in(bytes);
    scene::AnimTrack track;
    track.read(in);
    return track;
}

// One track, the frame advancing by a fraction each call; past the last key it starts
// again at frame 0 (one walk back over all keys per lap).
void BM_EvaluateKeyedTrack(benchmark::State& state) {
    scene::AnimTrack track = readTrack(keyedTrack(400, 1));
    const float step = static_cast<float>(state.range(0)) / 100.0f;
    float frame = 0.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(track.evaluate(frame));
        frame += step;
        if (frame > 3000.0f) frame = 0.0f;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EvaluateKeyedTrack)->Arg(4)->Arg(75)->Arg(300);

// A keyed vertex as drawing evaluates it: six tracks at one frame, then the next frame.
void BM_EvaluateKeyedVertex(benchmark::State& state) {
    scene::AnimTrack tracks[6];
    for (int i = 0; i < 6; ++i) tracks[i] = readTrack(keyedTrack(100, 7u + i));
    float frame = 0.0f;
    for (auto _ : state) {
        for (scene::AnimTrack& track : tracks) benchmark::DoNotOptimize(track.evaluate(frame));
        frame += 0.75f;
        if (frame > 700.0f) frame = 0.0f;
    }
    state.SetItemsProcessed(state.iterations() * 6);
}
BENCHMARK(BM_EvaluateKeyedVertex);

// About 1 MB: static meshes (keyless tracks, 24 bytes a vertex) and animated ones.
w::SceneDesc megabyteScene() {
    w::SceneDesc desc;
    w::Camera camera;
    camera.eye[0] = keyedTrack(200, 3);
    desc.camera = camera;
    for (int m = 0; m < 60; ++m) {
        w::Mesh mesh;
        mesh.visibility = {{true, 100}, {false, 200}, {true, 65535}};
        const bool animated = m % 4 == 0;
        for (int v = 0; v < 400; ++v) {
            w::Vertex vertex;
            for (w::Track& t : vertex.position) t = w::Track{static_cast<float>(v % 17), {}};
            for (w::Track& t : vertex.normal) t = w::Track{0.5f, {}};
            if (animated) vertex.position[1] = keyedTrack(8, static_cast<std::uint32_t>(v));
            mesh.vertices.push_back(vertex);
        }
        for (int p = 0; p + 3 < 400; p += 2) {
            mesh.polygons.push_back({{{static_cast<std::uint16_t>(p), 0.1f, 0.2f},
                                      {static_cast<std::uint16_t>(p + 1), 0.3f, 0.2f},
                                      {static_cast<std::uint16_t>(p + 3), 0.3f, 0.4f},
                                      {static_cast<std::uint16_t>(p + 2), 0.1f, 0.4f}}});
        }
        desc.meshes.push_back(mesh);
    }
    for (int l = 0; l < 4; ++l) desc.lights.push_back(w::Light{});
    return desc;
}

void BM_LoadSceneFile(benchmark::State& state) {
    char path[] = "/tmp/bench_scene_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) {
        state.SkipWithError("cannot make a temporary file");
        return;
    }
    close(fd);
    const w::SceneDesc desc = megabyteScene();
    w::writeSceneFile(path, desc);
    const std::size_t bytes = w::writeScene(desc).size();
    for (auto _ : state) {
        std::FILE* stream = std::fopen(path, "rb");
        scene::Scene loaded;
        const scene::LoadResult result = loaded.load(stream);
        std::fclose(stream);
        if (!result.complete()) state.SkipWithError("scene did not load completely");
        benchmark::DoNotOptimize(loaded.meshes.data());
        state.PauseTiming();  // releasing the scene is not part of loading it
        loaded = scene::Scene();
        state.ResumeTiming();
    }
    std::remove(path);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
    state.counters["fileBytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_LoadSceneFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
