// links: scene
// The sunmarrow-scene tool as other tools use it: exact JSON for info and eval, exit
// status 0, 1 and 2, and cursors that move back and forth as frames are asked.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

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
              "{\"complete\": true, \"camera\": true, \"lights\": [1, 0], \"meshes\": [{\"headerWord\": 7, "
              "\"visibilityKeys\": 0, \"polygons\": 1, \"corners\": 2, \"vertices\": 2, \"constant\": false}]}\n");
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
                              ", light 1 of 2, track blue\", \"camera\": true, \"lights\": [1], \"meshes\": "
                              "[{\"headerWord\": 7, \"visibilityKeys\": 0, \"polygons\": 1, \"corners\": 2, "
                              "\"vertices\": 2, \"constant\": false}]}\n");
}

TEST_F(SceneInspector, UnreadableAndForeignFiles) {
    ToolRun result = run("info " + ::testing::TempDir() + "no_such_scene.csi");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out.rfind("{\"complete\": false, \"error\": \"cannot open ", 0), 0u) << result.out;
    EXPECT_NE(result.out.find("\"camera\": false, \"lights\": [], \"meshes\": []}"), std::string::npos);

    result = run("info " + writeFixture("inspector_foreign.csi", {'s', 'c', 'e', 'n'}));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "{\"complete\": false, \"error\": \"not a scene file: does not begin with \\\"SCEN\\\"\", "
                          "\"camera\": false, \"lights\": [], \"meshes\": []}\n");
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
