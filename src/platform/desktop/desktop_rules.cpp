#include "platform/desktop/desktop_rules.h"

#include <algorithm>

namespace platform::rules {

bool modeSwitchIsSafe(Rect show, Size desktopMode, std::span<const Rect> others, Size wanted) {
    if (show.x == 0 && show.y == 0) return true;
    int right = 0, bottom = 0;
    for (const Rect& other : others) {
        right = std::max(right, other.x + other.w);
        bottom = std::max(bottom, other.y + other.h);
    }
    const auto resizeRefused = [&](Size size) { return right > size.w || bottom > size.h; };
    return resizeRefused(wanted) && resizeRefused(desktopMode);
}

Size keptClientSize(Size now, Size minimum) { return {std::max(now.w, minimum.w), std::max(now.h, minimum.h)}; }

}  // namespace platform::rules
