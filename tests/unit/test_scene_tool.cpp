// links: scene
// The sunmarrow-scene tool as other tools use it: exact JSON for info and eval, exit
// status 0, 1 and 2, cursors that move back and forth as frames are asked, and what it
// does with files outside the format and entries that are no file at all.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "scene/scene_writer.h"

namespace {

namespace w = scene::writer;

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

const std::string tool = SUNMARROW_BINARY_DIR "/sunmarrow-scene";

ToolRun run(const std::string& args) {
    const std::string errPath = ::testing::TempDir() + std::to_string(getpid()) + "_inspector_stderr.txt";
    ToolRun result;
    std::FILE* pipe = popen((tool + " " + args + " 2>" + errPath).c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, got);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = slurp(errPath);
    return result;
}

// A run of the tool that is watched: killed when it takes longer than `seconds` or its
// resident size passes `maxKb`, as a hang or a runaway read would.
struct WatchedRun {
    int status = -1;  // exit status, -1 when it did not exit by itself
    bool killed = false;
    double seconds = 0;
    long peakKb = 0;  // the most it was resident, from the kernel's account
    std::string out;
};

long residentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return 0;
}

// `frame`: for eval, the one frame asked for; null for info.
WatchedRun runWatched(const char* command, const std::string& path, const char* frame, double seconds, long maxKb) {
    WatchedRun result;
    const std::string outPath = ::testing::TempDir() + std::to_string(getpid()) + "_watched_stdout.txt";
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (std::freopen(outPath.c_str(), "w", stdout) == nullptr || std::freopen("/dev/null", "w", stderr) == nullptr) _exit(126);
        execl(tool.c_str(), tool.c_str(), command, path.c_str(), frame, static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid < 0) return result;
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (done == pid) break;
        if (!result.killed && (result.seconds > seconds || residentKb(pid) > maxKb)) {
            kill(pid, SIGKILL);
            result.killed = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.peakKb = usage.ru_maxrss;
    result.out = slurp(outPath);
    std::remove(outPath.c_str());
    return result;
}

w::Track constant(float value) { return w::Track{value, {}}; }

std::string writeFixture(const std::string& name, const w::Bytes& bytes) {
    // Each test case runs in its own process, possibly beside another: names carry the pid.
    const std::string path = ::testing::TempDir() + std::to_string(getpid()) + "_" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    return path;
}

// Constant camera, a directional and a point light, one mesh of two vertices whose
// first vertex moves along x with the two-key track 1 -> 10 over ten frames.
w::SceneDesc smallScene() {
    w::SceneDesc desc;
    w::Camera camera;
    camera.eye = {constant(0.0f), constant(1.0f), constant(2.0f)};
    camera.up = {constant(0.0f), constant(1.0f), constant(0.0f)};
    camera.fieldOfView = constant(45.0f);
    camera.aspect = constant(1.0f);
    desc.camera = camera;
    w::Mesh mesh;
    mesh.headerWord = 7;
    mesh.vertices.resize(2);
    mesh.vertices[0].position[0].keys = {{1.0f, 0.0f, 0}, {10.0f, 0.0f, 10}};
    mesh.polygons.push_back({{{0, 0.5f, 0.25f}, {1, 0.0f, 1.0f}}});
    desc.meshes.push_back(mesh);
    w::Light sun;
    sun.kind = 1;
    sun.position = {constant(0.0f), constant(-1.0f), constant(0.0f)};
    desc.lights = {sun, w::Light{}};
    return desc;
}

class SceneInspector : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::FILE* probe = std::fopen(tool.c_str(), "rb")) {
            std::fclose(probe);
        } else {
            GTEST_SKIP() << "sunmarrow-scene is not built";
        }
        path_ = writeFixture("inspector_small.csi", w::writeScene(smallScene()));
    }
    std::string path_;
};

TEST_F(SceneInspector, InfoOfACompleteFile) {
    const ToolRun result = run("info " + path_);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "{\"complete\": true, \"droppedPolygons\": 0, \"camera\": true, \"lights\": [1, 0], \"meshes\": "
              "[{\"headerWord\": 7, \"visibilityKeys\": 0, \"polygons\": 1, \"droppedPolygons\": 0, \"corners\": 2, "
              "\"vertices\": 2, \"constant\": false}]}\n");
    EXPECT_EQ(result.err, "");
}

TEST_F(SceneInspector, InfoOfAFileCutShortPrintsWhatLoaded) {
    w::Bytes bytes = w::writeScene(smallScene());
    const std::size_t lightsAt = bytes.size() - (4 + 2 + 2 * 25);
    bytes.resize(bytes.size() - 2);  // inside the second light
    const ToolRun result = run("info " + writeFixture("inspector_cut.csi", bytes));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "{\"complete\": false, \"error\": \"cut short at byte " + std::to_string(bytes.size()) +
                              " of " + std::to_string(bytes.size()) +
                              " in LGTS chunk at byte " + std::to_string(lightsAt) +
                              ", light 1 of 2, track blue\", \"droppedPolygons\": 0, \"camera\": true, "
                              "\"lights\": [1], \"meshes\": [{\"headerWord\": 7, \"visibilityKeys\": 0, "
                              "\"polygons\": 1, \"droppedPolygons\": 0, \"corners\": 2, \"vertices\": 2, "
                              "\"constant\": false}]}\n");
}

TEST_F(SceneInspector, UnreadableAndForeignFiles) {
    ToolRun result = run("info " + ::testing::TempDir() + "no_such_scene.csi");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out.rfind("{\"complete\": false, \"error\": \"cannot open ", 0), 0u) << result.out;
    EXPECT_NE(result.out.find("\"camera\": false, \"lights\": [], \"meshes\": []}"), std::string::npos);

    result = run("info " + writeFixture("inspector_foreign.csi", {'s', 'c', 'e', 'n'}));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "{\"complete\": false, \"error\": \"not a scene file: does not begin with \\\"SCEN\\\"\", "
                          "\"droppedPolygons\": 0, \"camera\": false, \"lights\": [], \"meshes\": []}\n");
}

TEST_F(SceneInspector, DroppedPolygonsAreCountedAndFailTheFile) {
    // The second polygon's corner names vertex 2 of a mesh with 2 vertices.
    w::SceneDesc desc = smallScene();
    desc.meshes[0].polygons.push_back({{{0, 0.0f, 0.0f}, {2, 0.0f, 0.0f}}});
    desc.meshes.push_back(desc.meshes[0]);
    desc.meshes[1].polygons.push_back({{{1, 0.0f, 0.0f}, {7, 0.0f, 0.0f}, {0, 0.0f, 0.0f}}});
    const std::string path = writeFixture("inspector_dropped.csi", w::writeScene(desc));
    ToolRun result = run("info " + path);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "{\"complete\": true, \"droppedPolygons\": 3, \"camera\": true, \"lights\": [1, 0], "
                          "\"meshes\": [{\"headerWord\": 7, \"visibilityKeys\": 0, \"polygons\": 1, "
                          "\"droppedPolygons\": 1, \"corners\": 2, \"vertices\": 2, \"constant\": false}, "
                          "{\"headerWord\": 7, \"visibilityKeys\": 0, \"polygons\": 1, \"droppedPolygons\": 2, "
                          "\"corners\": 2, \"vertices\": 2, \"constant\": false}]}\n");

    // eval still gives what was kept, with the same values as the file without them.
    result = run("eval " + path + " 5");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "sunmarrow-scene: " + path + ": 3 polygons dropped: a corner names a vertex the mesh does not have\n");
    const ToolRun clean = run("eval " + path_ + " 5");
    const std::string cleanMesh = clean.out.substr(clean.out.find("{\"visible\""));
    const std::string mesh = cleanMesh.substr(0, cleanMesh.size() - 5);  // without "]}\n]\n"
    EXPECT_EQ(result.out, clean.out.substr(0, clean.out.size() - 5) + ", " + mesh + "]}\n]\n");
}

// What a person may hand the inspector in place of a scene file: each ends at once,
// with status 1 and a reason, in little memory. None is read beyond its first bytes.
TEST_F(SceneInspector, EntriesThatAreNoSceneFileEndAtOnceInLittleMemory) {
    const std::string dir = ::testing::TempDir() + std::to_string(getpid()) + "_hostile_entries";
    ASSERT_EQ(std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "/directory.csi'").c_str()), 0);
    ASSERT_EQ(mkfifo((dir + "/fifo.csi").c_str(), 0600), 0);  // and no writer
    ASSERT_EQ(symlink("/dev/zero", (dir + "/zero.csi").c_str()), 0);
    // Sparse: they take no room on disk, but a reader sees every byte.
    auto sparse = [&](const std::string& name, const std::string& head, off_t size) {
        std::FILE* file = std::fopen((dir + "/" + name).c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(head.data(), 1, head.size(), file);
        std::fflush(file);
        ASSERT_EQ(ftruncate(fileno(file), size), 0);
        std::fclose(file);
    };
    sparse("sparse4g.csi", "", off_t{4} << 30);
    sparse("xxxx300m.csi", "XXXX", off_t{300} << 20);

    const std::string notRegular = ": not a regular file\", \"droppedPolygons\": 0, \"camera\": false";
    const std::string foreign = "{\"complete\": false, \"error\": \"not a scene file: does not begin with \\\"SCEN\\\"\"";
    const struct {
        const char* name;
        std::string expected;
    } entries[] = {
        {"directory.csi", notRegular},
        {"fifo.csi", notRegular},
        {"zero.csi", notRegular},
        {"sparse4g.csi", foreign},
        {"xxxx300m.csi", foreign},
    };
    for (const auto& entry : entries) {
        for (const char* command : {"info", "eval"}) {
            const std::string path = dir + "/" + entry.name;
            const bool info = std::string(command) == "info";
            const WatchedRun result = runWatched(command, path, info ? nullptr : "0", 10.0, 200 * 1024);
            EXPECT_FALSE(result.killed) << command << " " << entry.name;
            EXPECT_EQ(result.status, 1) << command << " " << entry.name;
            EXPECT_LT(result.seconds, 5.0) << command << " " << entry.name;
            EXPECT_LT(result.peakKb, 200 * 1024) << command << " " << entry.name;
            if (info) {
                EXPECT_NE(result.out.find(entry.expected), std::string::npos) << entry.name << ": " << result.out;
            }
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

TEST_F(SceneInspector, EvalPrintsEveryValue) {
    const ToolRun result = run("eval " + path_ + " 5");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "[\n{\"frame\": 5, \"camera\": [0, 1.00000012, 2.00006366, 0, 0, 0, 0, 1.00000012, 0, 44.9963379, "
              "1.00000012], \"lights\": [{\"kind\": 1, \"values\": [0, -1.00000012, 0, 0, 0, 0]}, {\"kind\": 0, "
              "\"values\": [0, 0, 0, 0, 0, 0]}], \"meshes\": [{\"visible\": true, \"vertices\": [[5.50070397, 0, "
              "0, 0, 0, 0], [0, 0, 0, 0, 0, 0]], \"corners\": [[0, 0.499984205, 0.249984175], [1, 0, "
              "1.00000012]]}]}\n]\n");
}

TEST_F(SceneInspector, EvalWalksBackAndForthLikeFreshLoads) {
    const ToolRun walked = run("eval " + path_ + " 20 5 20 2.5 7.5");
    ASSERT_EQ(walked.status, 0);
    std::string fresh = "[";
    for (const char* frame : {"20", "5", "20", "2.5", "7.5"}) {
        const std::string single = run("eval " + path_ + " " + frame).out;
        ASSERT_GT(single.size(), 4u);
        fresh += (fresh.size() > 1 ? ",\n" : "\n") + single.substr(2, single.size() - 5);
    }
    fresh += "\n]\n";
    EXPECT_EQ(walked.out, fresh);
}

TEST_F(SceneInspector, NonFiniteFramesStayValidJson) {
    const ToolRun result = run("eval " + path_ + " nan inf");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out.find("nan"), std::string::npos);
    EXPECT_EQ(result.out.find("inf"), std::string::npos);
    EXPECT_NE(result.out.find("{\"frame\": null, "), std::string::npos);
    EXPECT_NE(result.out.find("[[10.0014076, "), std::string::npos);  // the last key from infinity on
}

TEST_F(SceneInspector, WrongUsage) {
    for (const std::string& args : {std::string(""), std::string("info"), "info " + path_ + " extra",
                                    "eval " + path_, "eval " + path_ + " 1x", "show " + path_}) {
        const ToolRun result = run(args);
        EXPECT_EQ(result.status, 2) << args;
        EXPECT_EQ(result.out, "") << args;
        EXPECT_NE(result.err.find("usage: sunmarrow-scene info FILE"), std::string::npos) << args;
    }
}

}  // namespace
