// The show: its two timetables (scenes and captions), the set-up that loads every data
// file, and the composition of one frame. Times: `elapsed` is seconds on the shell's
// clock (double); show time is elapsed - 4 as a float; scene frames count 25 a second.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>

#include "show/show_tables.h"

namespace media {
class RawTexture;
}
namespace scene {
class Scene;
}

namespace show {

// What the show needs from whoever runs it (the player's shell or the capture tool).
struct ShowHost {
    void (*requestQuit)() = nullptr;       // end the run after this frame
    bool (*isMusicOn)() = nullptr;         // the music choice of the settings
    std::int32_t (*strokeClockMs)() = nullptr;  // milliseconds for the strokes' wobble
    std::int32_t (*viewWidth)() = nullptr;      // window size as last given to resizeView
    std::int32_t (*viewHeight)() = nullptr;
    // Opens a data file of the set-up (textures and scenes; the path as the tables
    // write it). Unset: platform::openFile.
    std::FILE* (*openFile)(const char* path) = nullptr;
};

// Installs the host; call before initShow. The pointers are copied.
void setShowHost(const ShowHost& host);

// Loads everything the show reads, with the GL context current. Always true.
bool initShow();

// Draws one whole frame for `elapsed` seconds since the main loop began; `keys` is the
// 256-byte keyboard snapshot (bit 7 of byte 1 set: Escape is down).
void drawShowFrame(double elapsed, const std::uint8_t* keys);

// Where a frame is, for measuring it: drawShowFrame calls the installed probe (none by
// default) at each boundary. The benchmark's probe waits for GL there.
enum class FrameStage {
    started,        // show time formed, quit checked, window cleared
    sceneDrawn,     // the due scene drawn into the capture area
    captureRead,    // the capture read back
    painted,        // backdrop, field and strokes done
    captionsDrawn,  // the caption strips added: the frame is complete
};
void setFrameProbe(void (*probe)(FrameStage stage));

// The scene row due at `elapsed` with its texture and frame; scene null in a gap or
// before set-up. Read-only: for tools that replay a frame's drawing.
struct DueScene {
    scene::Scene* scene = nullptr;
    media::RawTexture* texture = nullptr;
    float frame = 0.0f;
};
DueScene dueScene(double elapsed);

// The frame's GL passes, in the order drawShowFrame runs them. Each sets the state its
// drawing needs and leaves what the next one expects; a replay of a frame's drawing (the
// benchmark) calls these same functions, so it draws under exactly the frame's state.
//   clearFrame, beginScenePass, (scene texture bound, scene drawn), endScenePass,
//   painterly::readCapture, painterly::paintFrame (backdrop and stroke passes),
//   beginCaptionPass, (caption strips drawn).

// Clears colour (to black) and depth in the capture corner (painterly::captureWidth x
// captureHeight pixels at the lower left), where the scene is drawn and read back; the
// backdrop pass clears the whole window. Leaves the scissor test off.
void clearFrame();

// The scene pass: the texture matrix back to identity (undoing the caption pass's
// scaling), the capture set-up of painterly::beginCapture (160 x 120 viewport at the
// lower left), texturing and depth test on, blending off, current colour white.
void beginScenePass();

// After the scene: texturing and lighting off, as the read-back and backdrop expect.
void endScenePass();

// The caption pass, after the painterly picture: the texture matrix scaled by
// (1, -1/512, 1), texturing on, depth test off, the 0..1 orthographic projection,
// identity model-view, additive blending, the caption texture bound. The frame ends in
// this state; the next frame's scene pass resets what the scene needs.
void beginCaptionPass();

// The caption table as the set-up built it (all zero before set-up).
const std::array<CaptionStrip, captionRowCount>& captions();

}  // namespace show
