#include "platform/desktop/desktop_rules.h"

#include <algorithm>
#include <cstring>

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

FocusLoss onFocusLoss(Fullscreen fullscreen, bool keptAbove, bool minimised) {
    if (minimised) return {};
    const bool switched = fullscreen == Fullscreen::switchedMode;
    return {switched, switched || keptAbove};
}

bool unheardFocusLoss(Fullscreen fullscreen, bool minimised, bool sdlFocused, bool elsewhere,
                      std::uint32_t elsewhereMs) {
    constexpr std::uint32_t graceMs = 1000;
    return fullscreen == Fullscreen::switchedMode && !minimised && !sdlFocused && elsewhere && elsewhereMs >= graceMs;
}

Size largestMonitor(std::span<const Rect> monitors) {
    Size largest;
    for (const Rect& monitor : monitors) {
        largest.w = std::max(largest.w, monitor.w);
        largest.h = std::max(largest.h, monitor.h);
    }
    return largest;
}

Size keptClientSize(Size now, Size minimum, Size maximum) {
    const auto keep = [](int value, int least, int most) {
        if (most > 0) value = std::min(value, most);
        return std::max(value, least);
    };
    return {keep(now.w, minimum.w, maximum.w), keep(now.h, minimum.h, maximum.h)};
}

bool outlivesXError(int requestCode, int randrOpcode) { return randrOpcode != 0 && requestCode == randrOpcode; }

namespace {

bool named(const char* value) { return value != nullptr && value[0] != '\0'; }

// "[host]:number[.screen]" without the screen, and without a "unix" host.
std::string xDisplay(std::string name) {
    const std::size_t colon = name.rfind(':');
    if (colon == std::string::npos) return name;
    const std::size_t dot = name.find('.', colon);
    if (dot != std::string::npos) name.erase(dot);
    if (name.compare(0, colon, "unix") == 0) name.erase(0, colon);
    return name;
}

// Letters, digits and ".:-" stay; anything else (a "/" above all) becomes "_".
std::string fileNamePart(std::string text) {
    for (char& c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           std::strchr(".:-", c) != nullptr;
        if (!plain) c = '_';
    }
    return text;
}

}  // namespace

std::string displayClaimPath(const DisplayNames& names) {
    std::string driver = named(names.videoDriver) ? names.videoDriver : "";
    driver = driver.substr(0, driver.find(','));
    std::string display;
    if (driver == "x11" || (driver.empty() && named(names.x11))) {
        if (!named(names.x11)) return {};
        display = "x11-" + xDisplay(names.x11);
    } else if (driver == "wayland" || (driver.empty() && named(names.wayland))) {
        display = std::string("wayland-") + (named(names.wayland) ? names.wayland : "wayland-0");
    } else {
        return {};
    }
    const std::string file = "sunmarrow-" + fileNamePart(display) + ".lock";
    if (named(names.runtimeDir) && names.runtimeDir[0] == '/') return std::string(names.runtimeDir) + "/" + file;
    return "/tmp/sunmarrow-" + std::to_string(names.uid) + "-" + fileNamePart(display) + ".lock";
}

}  // namespace platform::rules
