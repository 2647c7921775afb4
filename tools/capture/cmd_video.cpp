// sunmarrow-capture video [--out FILE] [--fps N] [--size WxH] [--from S] [--to S]
//                         [--crf N] [--preset NAME] [--stretch] [--painter gl|cpu|auto]
// sunmarrow-capture frames --dir DIR [--fps N] [--size WxH] [--from S] [--to S] [--stretch]
//                          [--painter gl|cpu|auto]
//
// Renders the show at fixed steps of elapsed time through the player's own show code,
// framed as framing.h says (true 4:3 aspect on black unless --stretch). `video` pipes
// the frames to the ffmpeg program (H.264 in yuv420p at the asked CRF and preset) with
// the show's music as the sound track (AAC), cut so that the music starts at elapsed 0
// as in the player; `frames` writes numbered PNGs. Ctrl+C stops after the current frame
// and still leaves a playable file of what was done.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capture_commands.h"
#include "framing.h"
#include "headless.h"
#include "platform/process/child_process.h"
#include "platform/files/file_path.h"

#include "tools/common/png_file.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;
void onInterrupt(int) { interrupted = 1; }

// x264's presets, fastest first.
const char* const presets[] = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                               "medium",    "slow",      "slower",   "veryslow"};

// The encoder's defaults, measured on the show against a lossless encode of the same
// frames: CRF 18 keeps SSIM at 0.99 (PSNR 47 dB) at 1920x1080 and 0.98 (42 dB) at
// 640x480, where the brushes' bristles are finest; CRF 16 costs 27 % more bytes for
// 0.002 to 0.004 more SSIM. Slower presets gave no smaller file at the same CRF on this
// material (strokes that move every frame leave little to predict) and cost 2.4 times
// the encoder's time, which on a small machine competes with the renderer.
constexpr int defaultCrf = 18;
constexpr const char* defaultPreset = "veryfast";
constexpr const char* audioBitRate = "192k";  // AAC, from the music's 128 kbit/s MP3
constexpr int maxFps = 60;

struct RangeOptions {
    int fps = 30;
    int width = 640;
    int height = 480;
    double from = 0.0;
    double to = 204.0;
    bool stretch = false;
    int crf = defaultCrf;
    const char* preset = defaultPreset;
    const char* out = "sunmarrow.mp4";
    const char* dir = nullptr;
};

bool parseNumber(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value);
}

bool parseWhole(const char* text, int low, int high, int& value) {
    double number = 0.0;
    if (!parseNumber(text, number) || number < low || number > high || number != std::floor(number)) return false;
    value = static_cast<int>(number);
    return true;
}

// Parses the options of `video` (toVideo) or `frames`; false on anything wrong.
bool parseRange(int argc, char** argv, bool toVideo, RangeOptions& o) {
    for (int i = 0; i < argc; ++i) {
        const char* flag = argv[i];
        if (std::strcmp(flag, "--stretch") == 0) {
            o.stretch = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (std::strcmp(flag, "--fps") == 0) {
            if (!parseWhole(value, 1, maxFps, o.fps)) return false;
        } else if (std::strcmp(flag, "--size") == 0) {
            if (!capture::parseSize(value, o.width, o.height)) return false;
        } else if (std::strcmp(flag, "--from") == 0) {
            if (!parseNumber(value, o.from) || o.from < 0 || o.from > 1e5) return false;
        } else if (std::strcmp(flag, "--painter") == 0) {
            if (!capture::parsePainter(value)) return false;
        } else if (std::strcmp(flag, "--to") == 0) {
            if (!parseNumber(value, o.to) || o.to < 0 || o.to > 1e5) return false;
        } else if (toVideo && std::strcmp(flag, "--crf") == 0) {
            if (!parseWhole(value, 0, 51, o.crf)) return false;
        } else if (toVideo && std::strcmp(flag, "--preset") == 0) {
            o.preset = nullptr;
            for (const char* p : presets) {
                if (std::strcmp(value, p) == 0) o.preset = p;
            }
            if (o.preset == nullptr) return false;
        } else if (toVideo && std::strcmp(flag, "--out") == 0) {
            o.out = value;
        } else if (!toVideo && std::strcmp(flag, "--dir") == 0) {
            o.dir = value;
        } else {
            return false;
        }
    }
    // yuv420p halves the chroma both ways: a video's sides must be even.
    if (toVideo && (o.width % 2 != 0 || o.height % 2 != 0)) return false;
    return o.to > o.from && (toVideo || o.dir != nullptr);
}

// Progress on standard error. On a terminal a bar redrawn in place after every frame;
// into a file or a pipe a plain line each time another 5 % of the frames is done (at
// most 20 lines), so that a log of a whole-show export stays short.
class Progress {
public:
    Progress(const char* command, long total)
        : command_(command), total_(total), terminal_(isatty(STDERR_FILENO) == 1), start_(Clock::now()) {}

    void update(long done) {
        const double fps = done / seconds();
        const double left = fps > 0 ? (total_ - done) / fps : 0.0;
        const int minutes = static_cast<int>(left) / 60;
        const int secs = static_cast<int>(left) % 60;
        if (terminal_) {
            const int width = 30;
            const int filled = total_ > 0 ? static_cast<int>(width * done / total_) : width;
            std::fprintf(stderr, "\r[%.*s%.*s] %ld/%ld frames  %5.1f fps  %d:%02d left ", filled,
                         "##############################", width - filled, "..............................", done,
                         total_, fps, minutes, secs);
            std::fflush(stderr);
            return;
        }
        const long step = total_ > 0 ? done * 20 / total_ : 20;
        if (step == lastStep_) return;
        lastStep_ = step;
        std::fprintf(stderr, "%s: %ld/%ld frames (%ld %%)  %.1f fps  %d:%02d left\n", command_, done, total_,
                     step * 5, fps, minutes, secs);
    }

    // Ends the bar and says what was done: "100 frames in 0:12 (8.3 fps, cpu path)".
    void finish(long done, const char* painter) {
        if (terminal_) std::fputc('\n', stderr);
        const double s = seconds();
        std::fprintf(stderr, "%s: %ld frames in %d:%02d (%.1f fps, %s path)\n", command_, done,
                     static_cast<int>(s) / 60, static_cast<int>(s) % 60, done / s, painter);
    }

private:
    using Clock = std::chrono::steady_clock;
    double seconds() const {
        const double s = std::chrono::duration<double>(Clock::now() - start_).count();
        return s > 1e-6 ? s : 1e-6;
    }

    const char* command_;
    long total_;
    bool terminal_;
    long lastStep_ = 0;
    Clock::time_point start_;
};

bool findOnPath(const char* program) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return false;
    std::string dirs = path;
    std::size_t begin = 0;
    while (begin <= dirs.size()) {
        std::size_t end = dirs.find(':', begin);
        if (end == std::string::npos) end = dirs.size();
        const std::string candidate = dirs.substr(begin, end - begin) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        begin = end + 1;
    }
    return false;
}

// Starts ffmpeg reading raw RGB frames from a pipe. It runs in a process group of its
// own, so a Ctrl+C reaches only us: we stop feeding it and it finishes the file.
pid_t startEncoder(const RangeOptions& o, int& writeEnd) {
    const std::string size = std::to_string(o.width) + "x" + std::to_string(o.height);
    const std::string rate = std::to_string(o.fps);
    char from[32];
    std::snprintf(from, sizeof from, "%.6f", o.from);
    const std::string music = platform::hostPath("data\\sunmarrow.mp3");
    const bool haveMusic = access(music.c_str(), R_OK) == 0;

    std::vector<std::string> args = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "rawvideo",
                                     "-pix_fmt", "rgb24", "-s", size, "-r", rate, "-i", "-"};
    if (haveMusic) {
        // The music starts at elapsed 0: a video from S seconds takes it from S on.
        args.insert(args.end(), {"-ss", from, "-i", music, "-map", "0:v", "-map", "1:a", "-c:a", "aac", "-b:a",
                                 audioBitRate, "-shortest"});
    }
    // BT.709 colours, tagged as such: players take untagged video of HD sizes for BT.709,
    // and ffmpeg's untagged default (BT.601) would then shift every colour.
    args.insert(args.end(), {"-vf", "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p", "-colorspace", "bt709",
                             "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "tv", "-c:v",
                             "libx264", "-preset", o.preset, "-crf", std::to_string(o.crf), "-pix_fmt", "yuv420p",
                             "-movflags", "+faststart", o.out});

    return platform::startPipedChild(platform::PipeFlow::toChild, writeEnd, [&](int readEnd) {
        setpgid(0, 0);
        dup2(readEnd, STDIN_FILENO);
        close(readEnd);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp("ffmpeg", argv.data());
        _exit(127);
    });
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

long frameCount(const RangeOptions& o) {
    return static_cast<long>(std::floor((o.to - o.from) * o.fps + 1e-9));
}

int renderRange(const RangeOptions& o, bool toVideo) {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    int pipeFd = -1;
    pid_t encoder = -1;
    if (toVideo) {
        if (!findOnPath("ffmpeg")) {
            std::fprintf(stderr, "video: the ffmpeg program was not found on PATH (install it: apt-get install ffmpeg)\n");
            return 1;
        }
    } else if (mkdir(o.dir, 0755) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "frames: cannot create %s\n", o.dir);
        return 1;
    }

    const capture::Framing framing = capture::frameShow(o.width, o.height, o.stretch);
    capture::HeadlessShow show(framing.viewWidth, framing.viewHeight);
    if (!show.ok()) return 1;
    if (toVideo) {
        encoder = startEncoder(o, pipeFd);
        if (encoder < 0) {
            std::fprintf(stderr, "video: cannot start ffmpeg\n");
            return 1;
        }
    }

    const long total = frameCount(o);
    Progress progress(toVideo ? "video" : "frames", total);
    bool ok = true;
    long done = 0;
    for (; done < total && !interrupted && ok; ++done) {
        show.drawFrame(o.from + static_cast<double>(done) / o.fps);
        const std::vector<std::uint8_t> pixels = capture::placeInFrame(framing, show.readPixels());
        show.swap();
        if (toVideo) {
            ok = writeAll(pipeFd, pixels.data(), pixels.size());
            if (!ok) std::fprintf(stderr, "\nvideo: ffmpeg stopped taking frames\n");
        } else {
            char name[64];
            std::snprintf(name, sizeof name, "/frame_%05ld.png", done);
            ok = pngfile::write(std::string(o.dir) + name, pixels.data(), o.width, o.height, 3);
            if (!ok) std::fprintf(stderr, "\nframes: cannot write into %s\n", o.dir);
        }
        progress.update(done + 1);
    }
    progress.finish(done, show.painter());
    if (interrupted) std::fprintf(stderr, "Stopped after %ld of %ld frames.\n", done, total);

    if (toVideo) {
        close(pipeFd);
        const int status = platform::waitForChild(encoder);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "video: ffmpeg failed (status %d)\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
            return 1;
        }
        if (ok) std::fprintf(stderr, "Wrote %s\n", o.out);
    }
    return ok ? 0 : 1;
}

constexpr const char* videoUsage =
    "video [--out FILE] [--fps 1-60] [--size WxH (even)] [--from S] [--to S] [--crf 0-51] [--preset NAME] "
    "[--stretch] [--painter gl|cpu|auto]";
constexpr const char* framesUsage =
    "frames --dir DIR [--fps 1-60] [--size WxH] [--from S] [--to S] [--stretch] [--painter gl|cpu|auto]";

int runVideo(int argc, char** argv) {
    RangeOptions o;
    if (!parseRange(argc, argv, true, o)) {
        std::fprintf(stderr, "usage: sunmarrow-capture %s\npresets:", videoUsage);
        for (const char* p : presets) std::fprintf(stderr, " %s", p);
        std::fputc('\n', stderr);
        return 2;
    }
    return renderRange(o, true);
}

int runFrames(int argc, char** argv) {
    RangeOptions o;
    if (!parseRange(argc, argv, false, o)) {
        std::fprintf(stderr, "usage: sunmarrow-capture %s\n", framesUsage);
        return 2;
    }
    return renderRange(o, false);
}

capture::Command videoCommand("video", videoUsage, runVideo);
capture::Command framesCommand("frames", framesUsage, runFrames);

}  // namespace
