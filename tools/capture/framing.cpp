#include "framing.h"

#include <cassert>
#include <cstring>

namespace capture {

Framing frameShow(int frameWidth, int frameHeight, bool stretch) {
    Framing f;
    f.frameWidth = f.viewWidth = frameWidth;
    f.frameHeight = f.viewHeight = frameHeight;
    // Products of sizes up to 8192 stay far inside int.
    const long wide = 3L * frameWidth;
    const long tall = 4L * frameHeight;
    if (stretch || wide == tall) return f;
    if (wide > tall) {
        f.viewWidth = static_cast<int>(tall / 3) & ~1;
    } else {
        f.viewHeight = static_cast<int>(wide / 4) & ~1;
    }
    f.left = ((frameWidth - f.viewWidth) / 2) & ~1;
    f.top = ((frameHeight - f.viewHeight) / 2) & ~1;
    return f;
}

FrameImage::FrameImage(const Framing& framing)
    : framing_(framing),
      pixels_(static_cast<std::size_t>(framing.frameWidth) * 3 * static_cast<std::size_t>(framing.frameHeight), 0) {}

void FrameImage::place(const std::vector<std::uint8_t>& view) {
    const Framing& f = framing_;
    const std::size_t viewRow = static_cast<std::size_t>(f.viewWidth) * 3;
    assert(view.size() == viewRow * static_cast<std::size_t>(f.viewHeight) && "view pixels of another size");
    const std::size_t frameRow = static_cast<std::size_t>(f.frameWidth) * 3;
    for (int y = 0; y < f.viewHeight; ++y) {
        std::memcpy(&pixels_[static_cast<std::size_t>(f.top + y) * frameRow + static_cast<std::size_t>(f.left) * 3],
                    &view[static_cast<std::size_t>(f.viewHeight - 1 - y) * viewRow], viewRow);
    }
}

}  // namespace capture
