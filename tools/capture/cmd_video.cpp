// sunmarrow-capture video [--out FILE] [--fps N] [--size WxH] [--from S] [--to S]
//                         [--crf N] [--preset NAME] [--stretch] [--painter gl|cpu|auto]
// sunmarrow-capture frames --dir DIR [--fps N] [--size WxH] [--from S] [--to S] [--stretch]
//                          [--painter gl|cpu|auto]
//
// Renders the show at fixed steps of elapsed time through the player's own show code,
// framed as framing.h says (true 4:3 aspect on black unless --stretch). `video` pipes
// the frames to the ffmpeg program (H.264 in yuv420p at the asked CRF and preset) with
// the show's music as the sound track (AAC), cut so that the music starts at elapsed 0
// as in the player; `frames` writes numbered PNGs.
//
// Nothing is left half-written. The video is made under a hidden name beside --out and
// takes its name only when ffmpeg has finished it; each PNG likewise. A quit signal
// (Ctrl+C, SIGTERM, SIGHUP, SIGQUIT) stops the export at the next frame boundary and
// keeps what was made: ffmpeg's input is closed so that it finishes a playable file of
// the frames it got, sound included, and the PNGs written so far are whole. The exit
// status is then 128 + the signal's number.
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <fcntl.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "capture_commands.h"
#include "framing.h"
#include "headless.h"
#include "platform/files/file_path.h"
#include "platform/process/child_process.h"
#include "platform/process/quit_signal.h"
#include "platform/sound/sound_decoder.h"
#include "tools/common/png_file.h"

namespace {

using Clock = std::chrono::steady_clock;

// x264's presets, fastest first.
const std::vector<const char*> presets = {"ultrafast", "superfast", "veryfast", "faster", "fast",
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

constexpr const char* videoUsage =
    "video [--out FILE] [--fps 1-60] [--size WxH (even)] [--from S] [--to S] [--crf 0-51] [--preset NAME] "
    "[--stretch] [--painter gl|cpu|auto]";
constexpr const char* framesUsage =
    "frames --dir DIR [--fps 1-60] [--size WxH] [--from S] [--to S] [--stretch] [--painter gl|cpu|auto]";

// Reads the options of `video` (toVideo) or `frames`: -1 to go on, else the status.
int parseRange(int argc, char** argv, bool toVideo, RangeOptions& o) {
    const char* name = toVideo ? "video" : "frames";
    const char* usage = toVideo ? videoUsage : framesUsage;
    std::vector<options::Option> table = {
        options::whole("--fps", 1, maxFps, o.fps),          options::size("--size", 16, 8192, o.width, o.height),
        options::number("--from", 0, 1e5, o.from),          options::number("--to", 0, 1e5, o.to),
        options::flag("--stretch", o.stretch),             capture::painterOption(),
    };
    if (toVideo) {
        table.push_back(options::whole("--crf", 0, 51, o.crf));
        table.push_back(options::choice("--preset", presets, o.preset));
        table.push_back(options::text("--out", "a file name", o.out));
    } else {
        table.push_back(options::text("--dir", "a folder", o.dir));
    }
    const int status = capture::readOptions(name, usage, argc, argv, table);
    if (status >= 0) return status;
    // yuv420p halves the chroma both ways: a video's sides must be even.
    if (toVideo && (o.width % 2 != 0 || o.height % 2 != 0)) {
        return capture::wrongUsage(name, usage, "a video's --size must be even both ways");
    }
    if (!(o.to > o.from)) return capture::wrongUsage(name, usage, "--to must come after --from");
    if (!toVideo && o.dir == nullptr) return capture::wrongUsage(name, usage, "--dir is needed");
    return -1;
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

// The show's music as the video's sound track, when the show itself could play it: opened
// by the one rule of the show's files (a FIFO or a device in its place is refused, never
// waited on) and read by the show's own decoder. An open descriptor of it for ffmpeg,
// or -1 after saying on standard error why the video has no sound.
int openMusic() {
    const std::string path = platform::hostPath("data\\sunmarrow.mp3");
    int failure = 0;
    std::FILE* file = platform::openRegularFile(path.c_str(), &failure);
    if (file == nullptr) {
        std::fprintf(stderr, "video: no sound track: cannot open %s: %s\n", path.c_str(),
                     platform::openFailureText(failure).c_str());
        return -1;
    }
    platform::Mp3Decoder decoder(44100);
    if (decoder.openFile(path.c_str()) != 0) {
        std::fprintf(stderr, "video: no sound track: %s is no MP3 the show can play\n", path.c_str());
        std::fclose(file);
        return -1;
    }
    const int fd = ::fcntl(fileno(file), F_DUPFD_CLOEXEC, 0);
    std::fclose(file);
    return fd;
}

// ffmpeg reading raw RGB frames from a pipe and writing `path`; `music` (unless -1) is
// its descriptor 3, which it opens again by name, so the file it reads is the one
// checked here whatever stands at the music's name by then.
pid_t startEncoder(const RangeOptions& o, const std::string& path, int music, int& writeEnd, int& error) {
    const std::string size = std::to_string(o.width) + "x" + std::to_string(o.height);
    const std::string rate = std::to_string(o.fps);
    char from[32];
    std::snprintf(from, sizeof from, "%.6f", o.from);

    std::vector<std::string> args = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "rawvideo",
                                     "-pix_fmt", "rgb24", "-s", size, "-r", rate, "-i", "pipe:0"};
    if (music >= 0) {
        // The music starts at elapsed 0: a video from S seconds takes it from S on.
        args.insert(args.end(), {"-ss", from, "-i", "/dev/fd/3", "-map", "0:v", "-map", "1:a", "-c:a", "aac", "-b:a",
                                 audioBitRate, "-shortest"});
    }
    // BT.709 colours, tagged as such: players take untagged video of HD sizes for BT.709,
    // and ffmpeg's untagged default (BT.601) would then shift every colour.
    args.insert(args.end(), {"-vf", "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p", "-colorspace", "bt709",
                             "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "tv", "-c:v",
                             "libx264", "-preset", o.preset, "-crf", std::to_string(o.crf), "-pix_fmt", "yuv420p",
                             "-movflags", "+faststart", path});
    return platform::spawnPipedProgram(args, writeEnd, music, error);
}

enum class Fed { whole, cut, failed };

// Writes one frame into the encoder's pipe (non-blocking), waiting for the encoder as
// long as it takes, but looking at the quit mark every tenth of a second. Once a quit
// signal came, the frame is finished if the encoder takes the rest within half a second,
// else left cut (ffmpeg drops an incomplete last frame). `failed`: the encoder is gone.
Fed feedFrame(int fd, const std::uint8_t* data, std::size_t size) {
    std::optional<Clock::time_point> deadline;
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return Fed::failed;
        if (platform::quitSignalPending() && !deadline) deadline = Clock::now() + std::chrono::milliseconds(500);
        if (deadline && Clock::now() >= *deadline) return Fed::cut;
        pollfd ready{fd, POLLOUT, 0};
        ::poll(&ready, 1, 100);
    }
    return Fed::whole;
}

long frameCount(const RangeOptions& o) {
    return static_cast<long>(std::floor((o.to - o.from) * o.fps + 1e-9));
}

const char* signalName(int status) {
    switch (status - 128) {
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        case SIGHUP: return "SIGHUP";
        case SIGQUIT: return "SIGQUIT";
        default: return "a signal";
    }
}

// The export's encoder: ffmpeg writing the video under its hidden name.
struct Encoder {
    pid_t pid = -1;
    int pipe = -1;

    // Closes its input and waits for it to finish the file; true when it did. It is the
    // export's way of stopping, so a quit signal while it finishes changes nothing; one
    // more after a signal that stopped the export (a second Ctrl+C) ends it at once, and
    // there is no file.
    bool finish() {
        if (pipe >= 0) ::close(pipe);
        pipe = -1;
        if (pid < 0) return false;
        int signals = platform::takeQuitSignal() ? 1 : 0;
        int status = 0;
        bool abandoned = false;
        for (;;) {
            const pid_t ended = ::waitpid(pid, &status, WNOHANG);
            if (ended == pid || (ended < 0 && errno != EINTR)) break;
            if (platform::takeQuitSignal() && ++signals == 2) {
                abandoned = true;
                ::kill(pid, SIGKILL);
            }
            ::poll(nullptr, 0, 20);
        }
        pid = -1;
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
        if (abandoned) {
            std::fprintf(stderr, "video: stopped again while ffmpeg was finishing the file\n");
        } else if (WIFEXITED(status)) {
            std::fprintf(stderr, "video: ffmpeg failed (status %d)\n", WEXITSTATUS(status));
        } else {
            std::fprintf(stderr, "video: ffmpeg ended by signal %d\n", WTERMSIG(status));
        }
        return false;
    }

    // An encoder still running here was not wanted after all: it ends at once.
    ~Encoder() {
        if (pipe >= 0) ::close(pipe);
        if (pid < 0) return;
        ::kill(pid, SIGKILL);
        platform::waitForChild(pid);
    }
};

int renderVideo(const RangeOptions& o) {
    // Writes into a pipe whose reader is gone fail with EPIPE instead of ending us.
    ::signal(SIGPIPE, SIG_IGN);
    output::OutputFile video(o.out);
    if (!video.ok()) {
        std::fprintf(stderr, "video: cannot write %s\n", video.error().c_str());
        return 1;
    }
    Encoder encoder;
    {
        const int music = openMusic();
        int error = 0;
        encoder.pid = startEncoder(o, video.partialPath(), music, encoder.pipe, error);
        if (music >= 0) ::close(music);
        if (encoder.pid < 0) {
            if (error == ENOENT) {
                std::fprintf(stderr, "video: the ffmpeg program was not found on PATH (install it: apt-get install ffmpeg)\n");
            } else {
                std::fprintf(stderr, "video: cannot start ffmpeg: %s\n", std::strerror(error));
            }
            return 1;
        }
    }
    ::fcntl(encoder.pipe, F_SETFL, ::fcntl(encoder.pipe, F_GETFL) | O_NONBLOCK);

    const capture::Framing framing = capture::frameShow(o.width, o.height, o.stretch);
    capture::HeadlessShow show(framing.viewWidth, framing.viewHeight);
    if (!show.ok()) return 1;
    capture::FrameImage image(framing);

    const long total = frameCount(o);
    Progress progress("video", total);
    bool fed = true;
    long done = 0;
    while (done < total && fed && capture::cutShortStatus() == 0) {
        show.drawFrame(o.from + static_cast<double>(done) / o.fps);
        // A frame drawn while a signal came is not sent: the encoder finishes sooner.
        if (capture::cutShortStatus() != 0) break;
        image.place(show.readPixels());
        show.swap();
        const Fed result = feedFrame(encoder.pipe, image.pixels().data(), image.pixels().size());
        fed = result == Fed::whole;
        if (result == Fed::failed) std::fprintf(stderr, "\nvideo: ffmpeg stopped taking frames\n");
        if (fed) progress.update(++done);
    }
    progress.finish(done, show.painter());
    const int cut = capture::cutShortStatus();
    if (cut != 0) std::fprintf(stderr, "Stopped by %s after %ld of %ld frames.\n", signalName(cut), done, total);

    const bool finished = encoder.finish();
    if (!finished || done == 0 || (!fed && cut == 0)) {
        std::fprintf(stderr, "video: nothing was written to %s\n", o.out);
        return cut != 0 ? cut : 1;
    }
    if (!video.commit()) {
        std::fprintf(stderr, "video: cannot write %s\n", video.error().c_str());
        return 1;
    }
    std::fprintf(stderr, "Wrote %s (%ld frames)\n", o.out, done);
    return cut;
}

// The folder for `frames`, made when it is missing (its parent must exist); false after
// saying why it cannot take the frames.
bool frameFolder(const char* dir) {
    if (::mkdir(dir, 0777) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "frames: cannot make the folder %s: %s\n", dir, std::strerror(errno));
        return false;
    }
    struct stat info {};
    if (::stat(dir, &info) != 0 || !S_ISDIR(info.st_mode)) {
        std::fprintf(stderr, "frames: %s is not a folder\n", dir);
        return false;
    }
    // One file made and removed again says whether frames can be written there at all.
    output::OutputFile probe(std::string(dir) + "/frame_00000.png");
    if (!probe.ok()) std::fprintf(stderr, "frames: cannot write into %s: %s\n", dir, probe.error().c_str());
    return probe.ok();
}

int renderFrames(const RangeOptions& o) {
    if (!frameFolder(o.dir)) return 1;
    const capture::Framing framing = capture::frameShow(o.width, o.height, o.stretch);
    capture::HeadlessShow show(framing.viewWidth, framing.viewHeight);
    if (!show.ok()) return 1;
    capture::FrameImage image(framing);

    const long total = frameCount(o);
    Progress progress("frames", total);
    bool written = true;
    long done = 0;
    while (done < total && written && capture::cutShortStatus() == 0) {
        show.drawFrame(o.from + static_cast<double>(done) / o.fps);
        if (capture::cutShortStatus() != 0) break;  // as in video: no frame drawn after it
        image.place(show.readPixels());
        show.swap();
        char name[64];
        std::snprintf(name, sizeof name, "/frame_%05ld.png", done);
        output::OutputFile png(o.dir + std::string(name));
        written = pngfile::write(png, image.pixels().data(), o.width, o.height, 3);
        if (!written) std::fprintf(stderr, "\nframes: cannot write %s\n", png.error().c_str());
        if (written) progress.update(++done);
    }
    progress.finish(done, show.painter());
    const int cut = capture::cutShortStatus();
    if (cut != 0) std::fprintf(stderr, "Stopped by %s after %ld of %ld frames.\n", signalName(cut), done, total);
    return cut != 0 ? cut : (written ? 0 : 1);
}

int runVideo(int argc, char** argv) {
    RangeOptions o;
    const int status = parseRange(argc, argv, true, o);
    return status >= 0 ? status : renderVideo(o);
}

int runFrames(int argc, char** argv) {
    RangeOptions o;
    const int status = parseRange(argc, argv, false, o);
    return status >= 0 ? status : renderFrames(o);
}

capture::Command videoCommand("video", videoUsage, runVideo, capture::ShowData::drawn);
capture::Command framesCommand("frames", framesUsage, runFrames, capture::ShowData::drawn);

}  // namespace
