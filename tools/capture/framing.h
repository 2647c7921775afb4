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

// A frame's RGB pixels (top row first), made once for a whole run: the bars are black
// from the start, and each view is copied into its place with its rows turned.
class FrameImage {
public:
    explicit FrameImage(const Framing& framing);

    // `view`: the view's RGB rows as GL reads them, bottom row first, no padding
    // (viewWidth × viewHeight × 3 bytes).
    void place(const std::vector<std::uint8_t>& view);

    const std::vector<std::uint8_t>& pixels() const { return pixels_; }

private:
    Framing framing_;
    std::vector<std::uint8_t> pixels_;
};

}  // namespace capture
