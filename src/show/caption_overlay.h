// The caption overlay, the last drawing of every frame: each strip that is due adds one
// band of the caption texture to the picture, its brightness swelling and dying away as
// a raised cosine that runs across the strip from left to right, a quarter of the strip
// a quarter of a second after the one before, while the strip drifts left by 0.003
// window widths a second. Runs under the state the frame composition sets (additive
// blending, caption texture bound, texture matrix scaled by (1, -1/512, 1), the 0..1
// orthographic projection).
#pragma once

#include <array>

#include "show/show_tables.h"

namespace show {

// Grey level of one strip edge: 0.5 - 0.5 cos(6.28318 x) for x in [0, 1], else 0
// (NaN and infinities included). 6.28318 is a float constant, the rest in double.
float captionFade(float x);

// One corner of a caption quad, in the order it is sent: colour (grey), texture
// coordinate (s, t), vertex (x, y).
struct CaptionCorner {
    float grey;
    float s, t;
    float x, y;
};

// The 16 corners (four quads, left to right) of `strip` at show time t; only
// meaningful while start <= t < end.
std::array<CaptionCorner, 16> captionCorners(const CaptionStrip& strip, float t);

// Draws every strip of `captions` that is due at show time t.
void drawCaptions(const std::array<CaptionStrip, captionRowCount>& captions, float t);

}  // namespace show
