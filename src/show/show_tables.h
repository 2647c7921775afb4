// The show's timetable, part of the program: nine scene rows (which scene file plays
// when, how fast, with which texture) and fifteen caption strips (which band of the
// caption texture shows where, and when). Times are show time: seconds as floats,
// elapsed - 4. Caption positions are fractions of the window from its lower left corner.
#pragma once

#include <array>
#include <cstdint>

namespace show {

struct ShowEntry {
    const char* sceneFile;
    const char* textureFile;
    float start;     // show time at which the scene begins
    float duration;  // active while start <= t < start + duration (sum in double)
    float speed;     // scene frame = (t - start) * speed * 25
};

struct CaptionStrip {
    float x;       // left edge at the strip's start, in window widths
    float y;       // bottom edge, in window heights
    float width;   // computed at set-up: 0.5 (row 13 scaled by 1.4)
    float height;  // computed at set-up: (bottomRow - topRow) * 0.0025 (row 13 scaled)
    float start;   // drawn while start <= t < end
    float end;
    std::int32_t topRow;     // first texel row of the band (at the strip's upper edge)
    std::int32_t bottomRow;  // row boundary where the band ends (at its lower edge)
};

constexpr int sceneRowCount = 9;
constexpr int captionRowCount = 15;

extern const std::array<ShowEntry, sceneRowCount> sceneTable;

// The stored caption values; width and height are 0 here and filled by buildCaptions.
extern const std::array<CaptionStrip, captionRowCount> captionTable;

// The caption table with width and height computed from the band sizes, row 13 (the
// title) scaled by 1.4 once. Each call computes afresh, so repeated set-ups agree.
std::array<CaptionStrip, captionRowCount> buildCaptions();

// For each scene row, the row whose texture object it shows: the first row that names
// its texture with the same text, itself when no row before it does. Sharing goes by
// the exact text, so two spellings of one file are two textures, loaded twice.
std::array<int, sceneRowCount> textureOwners(const std::array<ShowEntry, sceneRowCount>& table);

// Index of the first scene row whose window holds show time t, or -1 in a gap.
int sceneRowAt(float t);

// The scene frame of row `row` at show time t: (t - start) * speed * 25 in double,
// rounded to float.
float sceneFrameAt(int row, float t);

}  // namespace show
