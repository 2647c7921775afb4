// The show: its two timetables (scenes and captions), the set-up that loads every data
// file, and the composition of one frame. Times: `elapsed` is seconds on the shell's
// clock (double); show time is elapsed - 4 as a float; scene frames count 25 a second.
#pragma once

#include <cstdint>

namespace show {

// What the show needs from whoever runs it (the player's shell or the capture tool).
struct ShowHost {
    void (*requestQuit)() = nullptr;       // end the run after this frame
    bool (*isMusicOn)() = nullptr;         // the music choice of the settings
    std::int32_t (*strokeClockMs)() = nullptr;  // milliseconds for the strokes' wobble
    std::int32_t (*viewWidth)() = nullptr;      // window size as last given to resizeView
    std::int32_t (*viewHeight)() = nullptr;
};

// Installs the host; call before initShow. The pointers are copied.
void setShowHost(const ShowHost& host);

// Loads everything the show reads, with the GL context current. Always true.
bool initShow();

// Draws one whole frame for `elapsed` seconds since the main loop began; `keys` is the
// 256-byte keyboard snapshot (bit 7 of byte 1 set: Escape is down).
void drawShowFrame(double elapsed, const std::uint8_t* keys);

}  // namespace show
