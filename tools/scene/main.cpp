// sunmarrow-scene: inspects scene files as JSON, for people and for other tools.
//   sunmarrow-scene info FILE                 structure of the loaded scene
//   sunmarrow-scene eval FILE FRAME [FRAME…]  every value at each frame, in the order given
// Exit status: 0 for a complete file, 1 for one outside the format (cut short, not a
// scene, too large, with polygons dropped for naming missing vertices) or that cannot
// be opened or read (after printing what was loaded), 2 for wrong usage. FILE must be a
// regular file: anything else (a directory, FIFO, device) is a file that cannot be
// opened, and the inspector never waits on one.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "options/options.h"
#include "platform/files/file_path.h"
#include "scene/scene.h"
#include "scene/scene_values.h"

namespace {

const char usageText[] =
    "usage: sunmarrow-scene info FILE\n"
    "       sunmarrow-scene eval FILE FRAME [FRAME ...]\n";

int usage() {
    std::fputs(usageText, stderr);
    return 2;
}

// Numbers as %.9g (enough for every float to read back the same); values that are
// not finite have no JSON number and print as null.
void number(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    out += text;
}

void boolean(std::string& out, bool value) { out += value ? "true" : "false"; }

void quoted(std::string& out, const std::string& text) {
    out += '"';
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

template <typename Range>
void numbers(std::string& out, const Range& values) {
    out += '[';
    bool first = true;
    for (double value : values) {
        if (!first) out += ", ";
        first = false;
        number(out, value);
    }
    out += ']';
}

struct Loaded {
    scene::Scene scene;
    scene::LoadResult result;
    std::string error;  // empty when complete

    // 0 for a complete file that kept every polygon, else 1.
    int status() const { return error.empty() && result.droppedPolygons == 0 ? 0 : 1; }
};

void loadFile(const char* path, Loaded& loaded) {
    int failure = 0;
    std::FILE* stream = platform::openRegularFile(path, &failure);
    if (stream == nullptr) {
        loaded.result.status = scene::LoadResult::Status::readError;
        loaded.error = std::string("cannot open ") + path + ": " + platform::openFailureText(failure);
        return;
    }
    loaded.result = loaded.scene.load(stream);
    std::fclose(stream);
    if (!loaded.result.complete()) loaded.error = loaded.result.message();
}

bool meshIsConstant(const scene::SceneMesh& mesh) {
    for (const scene::MeshVertex& vertex : mesh.vertices) {
        if (!vertex.isConstant()) return false;
    }
    return true;
}

int info(const char* path) {
    Loaded loaded;
    loadFile(path, loaded);
    const scene::Scene& scene = loaded.scene;
    std::string out = "{\"complete\": ";
    boolean(out, loaded.error.empty());
    if (!loaded.error.empty()) {
        out += ", \"error\": ";
        quoted(out, loaded.error);
    }
    out += ", \"droppedPolygons\": ";
    number(out, static_cast<double>(loaded.result.droppedPolygons));
    out += ", \"camera\": ";
    boolean(out, scene.camera.has_value());
    out += ", \"lights\": [";
    for (std::size_t i = 0; i < scene.lights.size(); ++i) {
        if (i > 0) out += ", ";
        number(out, scene.lights[i].lightKind);
    }
    out += "], \"meshes\": [";
    for (std::size_t i = 0; i < scene.meshes.size(); ++i) {
        const scene::SceneMesh& mesh = scene.meshes[i];
        out += i > 0 ? ", {" : "{";
        out += "\"headerWord\": ";
        number(out, mesh.headerWord);
        out += ", \"visibilityKeys\": ";
        number(out, static_cast<double>(mesh.visibility.keyCount()));
        out += ", \"polygons\": ";
        number(out, static_cast<double>(mesh.polygonCount()));
        out += ", \"droppedPolygons\": ";
        number(out, mesh.droppedPolygons);
        out += ", \"corners\": ";
        number(out, static_cast<double>(mesh.corners.size()));
        out += ", \"vertices\": ";
        number(out, static_cast<double>(mesh.vertexCount()));
        out += ", \"constant\": ";
        boolean(out, meshIsConstant(mesh));
        out += '}';
    }
    out += "]}\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return loaded.status();
}

bool parseFrame(const char* text, float& frame) {
    if (*text == '\0') return false;
    char* end = nullptr;
    frame = std::strtof(text, &end);
    return *end == '\0';
}

void frameObject(std::string& out, scene::Scene& scene, float frame) {
    const scene::FrameValues values = scene::evaluateFrame(scene, frame);
    out += "{\"frame\": ";
    number(out, frame);
    out += ", \"camera\": ";
    if (values.camera) {
        numbers(out, *values.camera);
    } else {
        out += "null";
    }
    out += ", \"lights\": [";
    for (std::size_t i = 0; i < values.lights.size(); ++i) {
        out += i > 0 ? ", {\"kind\": " : "{\"kind\": ";
        number(out, values.lights[i].kind);
        out += ", \"values\": ";
        numbers(out, values.lights[i].values);
        out += '}';
    }
    out += "], \"meshes\": [";
    for (std::size_t m = 0; m < values.meshes.size(); ++m) {
        const scene::MeshValues& mesh = values.meshes[m];
        out += m > 0 ? ", {\"visible\": " : "{\"visible\": ";
        boolean(out, mesh.visible);
        out += ", \"vertices\": [";
        for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
            if (v > 0) out += ", ";
            numbers(out, mesh.vertices[v]);
        }
        out += "], \"corners\": [";
        bool first = true;
        const scene::SceneMesh& loaded = scene.meshes[m];
        for (const scene::MeshPolygon& polygon : loaded.polygons) {
            for (const scene::MeshCorner& corner : loaded.cornersOf(polygon)) {
                if (!first) out += ", ";
                first = false;
                const double corner3[3] = {static_cast<double>(corner.vertexIndex), corner.u, corner.v};
                numbers(out, corner3);
            }
        }
        out += "]}";
    }
    out += "]}";
}

int eval(const char* path, int frameCount, const char* const* frameTexts) {
    std::vector<float> frames(static_cast<std::size_t>(frameCount));
    for (int i = 0; i < frameCount; ++i) {
        if (!parseFrame(frameTexts[i], frames[static_cast<std::size_t>(i)])) {
            std::fprintf(stderr, "sunmarrow-scene: not a frame number: %s\n", frameTexts[i]);
            return usage();
        }
    }
    Loaded loaded;
    loadFile(path, loaded);
    if (!loaded.error.empty()) std::fprintf(stderr, "sunmarrow-scene: %s: %s\n", path, loaded.error.c_str());
    if (loaded.result.droppedPolygons != 0) {
        std::fprintf(stderr, "sunmarrow-scene: %s: %zu polygons dropped: a corner names a vertex the mesh does not have\n",
                     path, loaded.result.droppedPolygons);
    }
    std::string out = "[";
    for (std::size_t i = 0; i < frames.size(); ++i) {
        out += i > 0 ? ",\n" : "\n";
        frameObject(out, loaded.scene, frames[i]);
    }
    out += "\n]\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return loaded.status();
}

}  // namespace

int main(int argc, char** argv) {
    const options::Parsed parsed = options::parse(argc - 1, argv + 1, {{"--version", "", nullptr, true}}, true);
    if (parsed.outcome == options::Outcome::help) {
        std::fputs(usageText, stdout);
        return 0;
    }
    if (parsed.outcome == options::Outcome::stopped) {
        std::fputs("sunmarrow-scene " SUNMARROW_VERSION "\n", stdout);
        return 0;
    }
    if (parsed.outcome != options::Outcome::proceed) {
        std::fprintf(stderr, "sunmarrow-scene: %s\n", parsed.problem.c_str());
        return usage();
    }
    const std::vector<const char*>& words = parsed.operands;
    const int count = static_cast<int>(words.size());
    if (count == 2 && std::strcmp(words[0], "info") == 0) return info(words[1]);
    if (count >= 3 && std::strcmp(words[0], "eval") == 0) {
        return eval(words[1], count - 2, words.data() + 2);
    }
    return usage();
}
