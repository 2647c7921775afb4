// Where the show's picture lies in a captured frame. The show is painted for a 4:3
// view; a frame of another shape gets the show drawn at the largest 4:3 size that fits,
// centred on black: bars left and right for wide frames, above and below for tall ones.
// The picture inside is the show drawn at that size (its own view set to it, strokes,
// backdrop and captions laid out for it), never a scaled copy. `stretch` draws the show
// over the whole frame instead, as the player does in a window of that shape.
//
// Rounding: the side that limits is used whole; the other side is 4/3 (or 3/4) of it,
// rounded down to an even number of pixels, and the bars' offsets are rounded down to
// even too, so that in yuv420p video the picture's edges fall between chroma samples.
// A frame that is exactly 4:3 is drawn whole, with no bars.
#pragma once

#include <cstdint>
#include <vector>

namespace capture {

struct Framing {
    int frameWidth = 0;   // the frame written, pixels
    int frameHeight = 0;
    int viewWidth = 0;    // the show's view inside it (its window and resizeView size)
    int viewHeight = 0;
    int left = 0;         // the view's top-left corner in the frame, pixels from the top-left
    int top = 0;

    bool whole() const { return viewWidth == frameWidth && viewHeight == frameHeight; }
};

Framing frameShow(int frameWidth, int frameHeight, bool stretch);

// The view's RGB rows (top row first) placed into a black frame of the framing's size;
// the view itself when it fills the frame.
std::vector<std::uint8_t> placeInFrame(const Framing& framing, std::vector<std::uint8_t> view);

}  // namespace capture
