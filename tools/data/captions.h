// The caption texture texter4.raw: 256 x 512 luminance, white text on black. Each of the
// fifteen caption strips shows one band of rows (topRow .. bottomRow - 1, the whole
// width); every band gets one line of text, kept clear of the rows that another band
// shares and one row away from its band's edges, so that no strip shows a piece of its
// neighbour's text. Glyphs are drawn narrower than square in texels because a band is
// shown wider per texel than it is tall per row on a 4:3 window.
#pragma once

#include <string>
#include <vector>

#include "data_common.h"

namespace datagen {

constexpr int kCaptionWidth = 256;
constexpr int kCaptionHeight = 512;

// One row of the show's caption table, as far as the texture is concerned.
struct CaptionBand {
    int topRow = 0;
    int bottomRow = 0;
    float stripWidth = 0.5f;  // window widths
};

// The fifteen bands, in caption-table order.
const std::vector<CaptionBand>& captionBands();

// Strip height in window heights: (bottomRow - topRow) x 0.0025, scaled like the width
// for the one wide strip.
float stripHeight(const CaptionBand& band);

// Texel width over row height as seen on a 640 x 480 window; glyphs are drawn with
// this horizontal squeeze (below 1: narrower) so that they look square on screen.
float glyphSqueeze(const CaptionBand& band);

// Rows of `band` that no other band uses, less a row of margin at each end:
// [first, last] inclusive. Text must stay inside.
struct RowRange {
    int first = 0;
    int last = -1;
};
RowRange clearRows(std::size_t bandIndex);

// Renders the caption texture with the DejaVu fonts from `fontDir`, or, when it is empty,
// the font files of those names that fontconfig knows. On failure returns an empty image
// and sets `error`.
Image makeCaptions(const std::string& fontDir, std::string& error);

}  // namespace datagen
