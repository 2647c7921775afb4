#include "platform/form/settings_picture.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

struct Colour {
    float r, g, b;
};

Colour mix(Colour a, Colour b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Positions are in picture units: x and y in 0..1, y downwards.
constexpr float horizon = 0.62f;
constexpr float sunX = 0.64f;
constexpr float sunY = 0.57f;
constexpr float sunRadius = 0.085f;

float farHill(float x) {
    return 0.60f + 0.035f * std::sin(x * 7.0f + 0.6f) + 0.02f * std::sin(x * 17.0f + 2.0f);
}

float nearHill(float x) {
    return 0.76f + 0.06f * std::sin(x * 4.2f + 2.4f) + 0.015f * std::sin(x * 23.0f);
}

// The scene before any stroke: sky, sun with its glow, far and near hills.
Colour sceneColour(float x, float y, float aspect) {
    const Colour zenith{38, 44, 112};
    const Colour dawn{236, 128, 92};
    const Colour glowColour{255, 206, 120};
    const Colour sun{255, 240, 190};
    Colour c = mix(zenith, dawn, std::clamp(y / horizon, 0.0f, 1.0f));
    const float dx = (x - sunX) * aspect;
    const float dy = y - sunY;
    const float d = std::sqrt(dx * dx + dy * dy);
    const float glow = std::exp(-d / 0.18f);
    c = mix(c, glowColour, 0.75f * glow);
    if (d < sunRadius) c = mix(c, sun, std::clamp((sunRadius - d) / 0.01f, 0.0f, 1.0f));
    const float far = farHill(x);
    if (y > far) {
        const Colour hillTop{120, 78, 112};
        const Colour hillFoot{86, 60, 98};
        c = mix(hillTop, hillFoot, std::clamp((y - far) / 0.12f, 0.0f, 1.0f));
        c = mix(c, glowColour, 0.25f * glow);
    }
    const float near = nearHill(x);
    if (y > near) {
        const Colour grassLit{92, 120, 58};
        const Colour grassShade{30, 52, 38};
        c = mix(grassLit, grassShade, std::clamp((y - near) / 0.2f, 0.0f, 1.0f));
    }
    return c;
}

// The direction a painter would follow at a point: along the sky bands, around the
// sun, along the hill slopes.
float strokeAngle(float x, float y, float aspect) {
    const float dx = (x - sunX) * aspect;
    const float dy = y - sunY;
    if (std::sqrt(dx * dx + dy * dy) < 0.22f && y < farHill(x)) return std::atan2(dy, dx) + 1.5708f;
    if (y > nearHill(x)) return std::atan2(nearHill(x + 0.01f) - nearHill(x), 0.01f * aspect);
    if (y > farHill(x)) return std::atan2(farHill(x + 0.01f) - farHill(x), 0.01f * aspect);
    return 0.08f * std::sin(y * 20.0f);
}

// A small fixed pseudo-random sequence; the picture must not depend on anything else.
struct Lcg {
    std::uint32_t state;
    float next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / 16777216.0f;
    }
};

}  // namespace

std::vector<std::uint8_t> paintSettingsPicture(int width, int height) {
    if (width < 1 || height < 1) return {};
    const auto w = static_cast<std::size_t>(width);
    const auto h = static_cast<std::size_t>(height);
    const float aspect = static_cast<float>(width) / static_cast<float>(height);
    std::vector<Colour> canvas(w * h);
    for (std::size_t py = 0; py < h; ++py) {
        for (std::size_t px = 0; px < w; ++px) {
            const float x = (static_cast<float>(px) + 0.5f) / static_cast<float>(width);
            const float y = (static_cast<float>(py) + 0.5f) / static_cast<float>(height);
            canvas[py * w + px] = sceneColour(x, y, aspect);
        }
    }

    // Strokes: each takes the scene's colour at its centre, a little lighter or darker,
    // and lays it down as a soft-edged band along the local direction.
    Lcg random{0x5EEDu};
    const int strokeCount = std::max(1, width * height / 40);
    const float scale = static_cast<float>(height) / 177.0f;
    for (int s = 0; s < strokeCount; ++s) {
        const float cx = random.next();
        const float cy = random.next();
        const float length = (5.0f + 9.0f * random.next()) * scale;
        const float radius = (1.0f + 1.2f * random.next()) * scale;
        const float shade = 0.88f + 0.24f * random.next();
        const float angle = strokeAngle(cx, cy, aspect) + 0.25f * (random.next() - 0.5f);
        Colour c = sceneColour(cx, cy, aspect);
        c = {c.r * shade, c.g * shade, c.b * shade};
        const float ux = std::cos(angle);
        const float uy = std::sin(angle);
        const float mx = cx * static_cast<float>(width);
        const float my = cy * static_cast<float>(height);
        const float reach = length * 0.5f + radius + 1.0f;
        const int x0 = std::max(0, static_cast<int>(mx - reach));
        const int x1 = std::min(width - 1, static_cast<int>(mx + reach));
        const int y0 = std::max(0, static_cast<int>(my - reach));
        const int y1 = std::min(height - 1, static_cast<int>(my + reach));
        for (int py = y0; py <= y1; ++py) {
            for (int px = x0; px <= x1; ++px) {
                const float rx = static_cast<float>(px) + 0.5f - mx;
                const float ry = static_cast<float>(py) + 0.5f - my;
                const float along = std::clamp(rx * ux + ry * uy, -length * 0.5f, length * 0.5f);
                const float ex = rx - along * ux;
                const float ey = ry - along * uy;
                const float dist = std::sqrt(ex * ex + ey * ey);
                const float alpha = 0.7f * std::clamp(radius + 0.5f - dist, 0.0f, 1.0f);
                if (alpha <= 0.0f) continue;
                Colour& dst = canvas[static_cast<std::size_t>(py) * w + static_cast<std::size_t>(px)];
                dst = mix(dst, c, alpha);
            }
        }
    }

    std::vector<std::uint8_t> rgb(w * h * 3);
    for (std::size_t i = 0; i < canvas.size(); ++i) {
        rgb[i * 3 + 0] = static_cast<std::uint8_t>(std::clamp(canvas[i].r, 0.0f, 255.0f) + 0.5f);
        rgb[i * 3 + 1] = static_cast<std::uint8_t>(std::clamp(canvas[i].g, 0.0f, 255.0f) + 0.5f);
        rgb[i * 3 + 2] = static_cast<std::uint8_t>(std::clamp(canvas[i].b, 0.0f, 255.0f) + 0.5f);
    }
    return rgb;
}

}  // namespace platform
