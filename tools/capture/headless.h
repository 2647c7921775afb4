// A headless player for the capture tool: an offscreen SDL window with the player's
// kind of GL context, the show set up through the very same initShow, and frames drawn
// through the very same drawShowFrame at any elapsed time. The strokes' wobble clock
// follows the same virtual time, so a frame is a function of its instant alone.
#pragma once

#include <cstdint>
#include <vector>

#include "options/options.h"
#include "platform/desktop/offscreen_gl.h"

namespace capture {

class HeadlessShow {
public:
    HeadlessShow(int width, int height);
    ~HeadlessShow();
    HeadlessShow(const HeadlessShow&) = delete;
    HeadlessShow& operator=(const HeadlessShow&) = delete;

    bool ok() const { return gl_.ok(); }
    int width() const { return width_; }
    int height() const { return height_; }

    // Draws the frame at `elapsed` seconds (no keys down) into the back buffer.
    void drawFrame(double elapsed);

    // The back buffer as RGB rows as GL gives them, bottom row first, into a buffer of
    // the view's size made once (valid until the next call).
    const std::vector<std::uint8_t>& readPixels();

    // Presents the frame (a new back buffer for the next one).
    void swap();

    // Whether the show asked to end (after its last second).
    bool quitRequested() const;

    // How long initShow took, in milliseconds (the player's loading time).
    double setupMs() const { return setupMs_; }

    // The painterly path the show chose ("gl" / "cpu") and the GL renderer, as the
    // commands report them.
    const char* painter() const;
    const char* renderer() const;

private:
    int width_;
    int height_;
    platform::OffscreenGl gl_;
    double setupMs_ = 0.0;
    std::vector<std::uint8_t> pixels_;
};

// --painter gl|cpu|auto: asks the show for that painterly path (before HeadlessShow is
// made). Without it SUNMARROW_PAINTER, else auto, decides.
options::Option painterOption();

}  // namespace capture
