// The picture at the top of the settings form: a sunrise over hills, painted in code
// with short brush-like strokes so that it looks like the show it introduces. Pixels are
// RGB, 8 bits per channel, rows top to bottom, no padding; 280 x 177 in the form.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

inline constexpr int settingsPictureWidth = 280;
inline constexpr int settingsPictureHeight = 177;

// The same picture for the same size, every time. Sizes below 1 give an empty result.
std::vector<std::uint8_t> paintSettingsPicture(int width, int height);

}  // namespace platform
