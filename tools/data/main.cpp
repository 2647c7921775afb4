// sunmarrow-data: writes the show's data folder (scenes, textures, captions, brush,
// music) from fixed seeds. Usage: sunmarrow-data [--out DIR] [--fonts DIR] [--previews]
// Each file appears whole or not at all: whatever stands at its name (an older file, a
// link, a FIFO) is replaced once the new one is complete, and a file that cannot be
// written (a full disk, a folder in its place) stops the run with status 1.
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
#include "options/options.h"
#include "textures.h"
#include "tools/common/png_file.h"

namespace {

struct Job {
    const char* file;
    std::function<bool(const std::string& path, std::string& error)> make;
};

struct Options {
    std::string out = "data";
    std::string fonts;  // empty: the installed fonts, found through fontconfig
    bool previews = false;  // also write PNG views of the images, for looking at them
};

constexpr const char* usageLine = "usage: sunmarrow-data [--out DIR] [--fonts DIR] [--previews]";

bool saveImage(const datagen::Image& image, const std::string& path, bool preview, std::string& error) {
    if (!datagen::writeFile(path, image.pixels, error)) return false;
    if (!preview) return true;
    output::OutputFile png(path + ".png");
    if (pngfile::write(png, image.pixels.data(), image.width, image.height, image.channels)) return true;
    error = "cannot write " + png.error();
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    Options settings;
    const char* out = nullptr;
    const char* fonts = nullptr;
    const options::Parsed parsed = options::parse(argc - 1, argv + 1,
                                                  {options::text("--out", "a folder", out),
                                                   options::text("--fonts", "a folder", fonts),
                                                   options::flag("--previews", settings.previews),
                                                   {"--version", "", nullptr, true}});
    if (parsed.outcome == options::Outcome::help) {
        std::printf("%s\n\nWrites the show's data set into DIR (default: data), the same bytes on every run.\n"
                    "  --fonts DIR   where the caption fonts are (default: the installed DejaVu fonts, found\n"
                    "                through fontconfig)\n"
                    "  --previews    also a PNG view of each image\n",
                    usageLine);
        return 0;
    }
    if (parsed.outcome == options::Outcome::stopped) {
        std::fputs("sunmarrow-data " SUNMARROW_VERSION "\n", stdout);
        return 0;
    }
    if (parsed.outcome != options::Outcome::proceed) {
        std::fprintf(stderr, "sunmarrow-data: %s\n%s\n", parsed.problem.c_str(), usageLine);
        return 2;
    }
    if (out != nullptr) settings.out = out;
    if (fonts != nullptr) settings.fonts = fonts;
    std::error_code ec;
    std::filesystem::create_directories(settings.out, ec);
    if (ec) {
        std::fprintf(stderr, "sunmarrow-data: cannot create %s: %s\n", settings.out.c_str(), ec.message().c_str());
        return 1;
    }

    using datagen::Image;
    std::vector<Job> jobs;
    // Scenes first, in the show's order, then the images and the music.
    for (const datagen::scenes::SceneJob& scene : datagen::scenes::sceneJobs()) {
        jobs.push_back({scene.file, [&scene](const std::string& path, std::string& error) {
                            return datagen::writeFile(path, scene::writer::writeScene(scene.build()), error);
                        }});
    }
    const std::vector<Job> others = {
        {"texture.raw",
         [&](const std::string& path, std::string& error) {
             return saveImage(datagen::makeSceneAtlas(), path, settings.previews, error);
         }},
        {"texture_flowers.raw",
         [&](const std::string& path, std::string& error) {
             return saveImage(datagen::makeFlowerAtlas(), path, settings.previews, error);
         }},
        {"texter4.raw",
         [&](const std::string& path, std::string& error) {
             const Image captions = datagen::makeCaptions(settings.fonts, error);
             return !captions.pixels.empty() && saveImage(captions, path, settings.previews, error);
         }},
        {"stroke4_A_32_128.raw",
         [&](const std::string& path, std::string& error) {
             return saveImage(datagen::makeBrush(), path, settings.previews, error);
         }},
        {"sunmarrow.mp3",
         [&](const std::string& path, std::string& error) {
             const datagen::Bytes mp3 = datagen::encodeMp3(datagen::renderMusic(), error);
             if (mp3.empty()) return false;
             return datagen::writeFile(path, mp3, error);
         }},
    };
    jobs.insert(jobs.end(), others.begin(), others.end());

    const auto begin = std::chrono::steady_clock::now();
    int index = 0;
    for (const Job& job : jobs) {
        ++index;
        const std::string path = settings.out + "/" + job.file;
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
    std::printf("wrote %zu files to %s in %.1f s\n", jobs.size(), settings.out.c_str(), total);
    return 0;
}
