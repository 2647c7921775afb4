// sunmarrow-capture video [--out FILE] [--fps N] [--size WxH] [--from S] [--to S]
// sunmarrow-capture frames --dir DIR [--fps N] [--size WxH] [--from S] [--to S]
//
// Renders the show at fixed steps of elapsed time through the player's own show code.
// `video` pipes the frames to the ffmpeg program (H.264, yuv420p) with the show's music
// as the sound track, cut so that the music starts at elapsed 0 as in the player;
// `frames` writes numbered PNGs. Ctrl+C stops after the current frame and still
// leaves a playable file of what was done.
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
#include "headless.h"
#include "platform/file_path.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;
void onInterrupt(int) { interrupted = 1; }

struct RangeOptions {
    int fps = 30;
    int width = 640;
    int height = 480;
    double from = 0.0;
    double to = 204.0;
    const char* out = "sunmarrow.mp4";
    const char* dir = nullptr;
};

bool parseNumber(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value);
}

// Parses the shared options; `outFlag` is "--out" for video, "--dir" for frames.
bool parseRange(int argc, char** argv, const char* outFlag, RangeOptions& o) {
    for (int i = 0; i < argc; ++i) {
        if (i + 1 >= argc) return false;
        const char* flag = argv[i];
        const char* value = argv[++i];
        double number = 0.0;
        if (std::strcmp(flag, "--fps") == 0) {
            if (!parseNumber(value, number) || number < 1 || number > 240 || number != std::floor(number)) return false;
            o.fps = static_cast<int>(number);
        } else if (std::strcmp(flag, "--size") == 0) {
            if (!capture::parseSize(value, o.width, o.height)) return false;
        } else if (std::strcmp(flag, "--from") == 0) {
            if (!parseNumber(value, o.from) || o.from < 0 || o.from > 1e5) return false;
        } else if (std::strcmp(flag, "--to") == 0) {
            if (!parseNumber(value, o.to) || o.to < 0 || o.to > 1e5) return false;
        } else if (std::strcmp(flag, outFlag) == 0) {
            (std::strcmp(outFlag, "--dir") == 0 ? o.dir : o.out) = value;
        } else {
            return false;
        }
    }
    // Even sizes keep yuv420p happy.
    return o.to > o.from && (std::strcmp(outFlag, "--dir") != 0 || o.dir != nullptr);
}

class Progress {
public:
    explicit Progress(long total) : total_(total), start_(std::chrono::steady_clock::now()) {}
    void update(long done) {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        const double fps = seconds > 0 ? done / seconds : 0.0;
        const double left = fps > 0 ? (total_ - done) / fps : 0.0;
        const int width = 30;
        const int filled = total_ > 0 ? static_cast<int>(width * done / total_) : width;
        std::fprintf(stderr, "\r[%.*s%.*s] %ld/%ld frames  %5.1f fps  %d:%02d left ", filled,
                     "##############################", width - filled, "..............................", done, total_,
                     fps, static_cast<int>(left) / 60, static_cast<int>(left) % 60);
        std::fflush(stderr);
    }
    void finish() { std::fputc('\n', stderr); }

private:
    long total_;
    std::chrono::steady_clock::time_point start_;
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
    int fds[2];
    if (pipe(fds) != 0) return -1;
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
        args.insert(args.end(), {"-ss", from, "-i", music, "-map", "0:v", "-map", "1:a", "-c:a", "aac", "-b:a", "160k",
                                 "-shortest"});
    }
    args.insert(args.end(), {"-c:v", "libx264", "-preset", "veryfast", "-crf", "20", "-pix_fmt", "yuv420p",
                             "-movflags", "+faststart", o.out});

    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return -1;
    }
    if (pid == 0) {
        setpgid(0, 0);
        dup2(fds[0], STDIN_FILENO);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp("ffmpeg", argv.data());
        _exit(127);
    }
    close(fds[0]);
    writeEnd = fds[1];
    return pid;
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

    capture::HeadlessShow show(o.width, o.height);
    if (!show.ok()) return 1;
    if (toVideo) {
        encoder = startEncoder(o, pipeFd);
        if (encoder < 0) {
            std::fprintf(stderr, "video: cannot start ffmpeg\n");
            return 1;
        }
    }

    const long total = frameCount(o);
    Progress progress(total);
    bool ok = true;
    long done = 0;
    for (; done < total && !interrupted && ok; ++done) {
        show.drawFrame(o.from + static_cast<double>(done) / o.fps);
        const std::vector<std::uint8_t> pixels = show.readPixels();
        show.swap();
        if (toVideo) {
            ok = writeAll(pipeFd, pixels.data(), pixels.size());
            if (!ok) std::fprintf(stderr, "\nvideo: ffmpeg stopped taking frames\n");
        } else {
            char name[64];
            std::snprintf(name, sizeof name, "/frame_%05ld.png", done);
            ok = capture::writePng((std::string(o.dir) + name).c_str(), pixels, o.width, o.height);
            if (!ok) std::fprintf(stderr, "\nframes: cannot write into %s\n", o.dir);
        }
        progress.update(done + 1);
    }
    progress.finish();
    if (interrupted) std::fprintf(stderr, "Stopped after %ld of %ld frames.\n", done, total);

    if (toVideo) {
        close(pipeFd);
        int status = 0;
        while (waitpid(encoder, &status, 0) < 0 && errno == EINTR) {
        }
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "video: ffmpeg failed (status %d)\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
            return 1;
        }
        if (ok) std::fprintf(stderr, "Wrote %s\n", o.out);
    }
    return ok ? 0 : 1;
}

int runVideo(int argc, char** argv) {
    RangeOptions o;
    if (!parseRange(argc, argv, "--out", o) || o.width % 2 != 0 || o.height % 2 != 0) {
        std::fprintf(stderr, "usage: sunmarrow-capture video [--out FILE] [--fps N] [--size WxH (even)] [--from S] [--to S]\n");
        return 2;
    }
    return renderRange(o, true);
}

int runFrames(int argc, char** argv) {
    RangeOptions o;
    if (!parseRange(argc, argv, "--dir", o)) {
        std::fprintf(stderr, "usage: sunmarrow-capture frames --dir DIR [--fps N] [--size WxH] [--from S] [--to S]\n");
        return 2;
    }
    return renderRange(o, false);
}

capture::Command videoCommand("video", "video [--out FILE] [--fps N] [--size WxH] [--from S] [--to S]", runVideo);
capture::Command framesCommand("frames", "frames --dir DIR [--fps N] [--size WxH] [--from S] [--to S]", runFrames);

}  // namespace
