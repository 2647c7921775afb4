// sunmarrow-data: writes the show's data folder (scenes, textures, captions, brush,
// music) from fixed seeds. Usage: sunmarrow-data [--out DIR] [--fonts DIR] [--previews]
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "brush.h"
#include "captions.h"
#include "data_common.h"
#include "music.h"
#include "scenes.h"
#include "textures.h"
#include "tools/common/png_file.h"

namespace {

struct Job {
    const char* file;
    std::function<bool(const std::string& path, std::string& error)> make;
};

struct Options {
    std::string out = "data";
    std::string fonts = "/usr/share/fonts/truetype/dejavu";
    bool previews = false;  // also write PNG views of the images, for looking at them
};

bool parseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--out") == 0 && hasValue) {
            options.out = argv[++i];
        } else if (std::strcmp(argv[i], "--fonts") == 0 && hasValue) {
            options.fonts = argv[++i];
        } else if (std::strcmp(argv[i], "--previews") == 0) {
            options.previews = true;
        } else {
            return false;
        }
    }
    return true;
}

bool saveImage(const datagen::Image& image, const std::string& path, bool preview, std::string& error) {
    if (!datagen::writeFile(path, image.pixels)) {
        error = "cannot write " + path;
        return false;
    }
    if (preview && !pngfile::write(path + ".png", image.pixels.data(), image.width, image.height, image.channels)) {
        error = "cannot write " + path + ".png";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseArguments(argc, argv, options)) {
        std::fprintf(stderr, "usage: sunmarrow-data [--out DIR] [--fonts DIR] [--previews]\n");
        return 2;
    }
    std::error_code ec;
    std::filesystem::create_directories(options.out, ec);
    if (ec) {
        std::fprintf(stderr, "sunmarrow-data: cannot create %s: %s\n", options.out.c_str(), ec.message().c_str());
        return 1;
    }

    using datagen::Image;
    std::vector<Job> jobs;
    // Scenes first, in the show's order, then the images and the music.
    for (const datagen::scenes::SceneJob& scene : datagen::scenes::sceneJobs()) {
        jobs.push_back({scene.file, [&scene](const std::string& path, std::string& error) {
                            if (scene::writer::writeSceneFile(path.c_str(), scene.build())) return true;
                            error = "cannot write " + path;
                            return false;
                        }});
    }
    const std::vector<Job> others = {
        {"texture.raw",
         [&](const std::string& path, std::string& error) {
             return saveImage(datagen::makeSceneAtlas(), path, options.previews, error);
         }},
        {"texture_flowers.raw",
         [&](const std::string& path, std::string& error) {
             return saveImage(datagen::makeFlowerAtlas(), path, options.previews, error);
         }},
        {"texter4.raw",
         [&](const std::string& path, std::string& error) {
             const Image captions = datagen::makeCaptions(options.fonts, error);
             return !captions.pixels.empty() && saveImage(captions, path, options.previews, error);
         }},
        {"stroke4_A_32_128.raw",
         [&](const std::string& path, std::string& error) {
             return saveImage(datagen::makeBrush(), path, options.previews, error);
         }},
        {"sunmarrow.mp3",
         [&](const std::string& path, std::string& error) {
             const datagen::Bytes mp3 = datagen::encodeMp3(datagen::renderMusic(), error);
             if (mp3.empty()) return false;
             if (!datagen::writeFile(path, mp3)) error = "cannot write " + path;
             return error.empty();
         }},
    };
    jobs.insert(jobs.end(), others.begin(), others.end());

    const auto begin = std::chrono::steady_clock::now();
    int index = 0;
    for (const Job& job : jobs) {
        ++index;
        const std::string path = options.out + "/" + job.file;
        const auto started = std::chrono::steady_clock::now();
        std::string error;
        if (!job.make(path, error)) {
            std::fprintf(stderr, "sunmarrow-data: %s: %s\n", job.file, error.empty() ? "failed" : error.c_str());
            return 1;
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::printf("[%2d/%zu] %-22s %8ju bytes  %5.2f s\n", index, jobs.size(), job.file,
                    static_cast<std::uintmax_t>(std::filesystem::file_size(path, ec)), seconds);
        std::fflush(stdout);
    }
    const double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::printf("wrote %zu files to %s in %.1f s\n", jobs.size(), options.out.c_str(), total);
    return 0;
}
