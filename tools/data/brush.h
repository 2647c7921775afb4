// The bristle brush of the strokes: stroke4_A_32_128.raw, 32 x 128 alpha bytes, rows
// from t = 0 (the first 32 bytes) to t = 1. Across a row (s) the 32 texels span the
// stroke's width, down the rows its length. The stroke's centre sits at row 56, its head
// towards row 0 and its longer tail towards row 127. The outermost ring of texels is
// fully transparent, so the repeating wrap never bleeds one edge into the other.
#pragma once

#include "data_common.h"

namespace datagen {

constexpr int kBrushWidth = 32;
constexpr int kBrushLength = 128;

Image makeBrush();  // one channel, kBrushWidth x kBrushLength

}  // namespace datagen
