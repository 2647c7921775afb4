#include "show/caption_overlay.h"

#include <GL/gl.h>

#include <cmath>

namespace show {

float captionFade(float x) {
    if (!(x >= 0.0f && x <= 1.0f)) return 0.0f;  // also NaN
    // The constant is the float 6.28318 (bits 40C90FD0), not the float nearest 2 pi.
    constexpr float twoPiApprox = 6.28318f;
    return static_cast<float>(0.5 - 0.5 * std::cos(static_cast<double>(twoPiApprox) * static_cast<double>(x)));
}

std::array<CaptionCorner, 16> captionCorners(const CaptionStrip& strip, float t) {
    const float age = t - strip.start;
    const float span = strip.end - strip.start - 1.0f;
    const float drift = age * 0.003f;
    const float vB = static_cast<float>(512 - strip.bottomRow);
    const float vT = static_cast<float>(512 - strip.topRow);
    const float yB = strip.y;
    const float yT = strip.y + strip.height;

    std::array<CaptionCorner, 16> corners{};
    for (int j = 0; j < 4; ++j) {
        const float u0 = static_cast<float>(j) * 0.25f;
        const float u1 = static_cast<float>(j + 1) * 0.25f;
        const float gL = captionFade((age - u0) / span);
        const float gR = captionFade((age - u1) / span);
        const float xL = strip.x + u0 * strip.width - drift;
        const float xR = strip.x + u1 * strip.width - drift;
        corners[4 * j + 0] = {gL, u0, vB, xL, yB};
        corners[4 * j + 1] = {gL, u0, vT, xL, yT};
        corners[4 * j + 2] = {gR, u1, vT, xR, yT};
        corners[4 * j + 3] = {gR, u1, vB, xR, yB};
    }
    return corners;
}

void drawCaptions(const std::array<CaptionStrip, captionRowCount>& captions, float t) {
    for (const CaptionStrip& strip : captions) {
        if (!(strip.start <= t && t < strip.end)) continue;
        const std::array<CaptionCorner, 16> corners = captionCorners(strip, t);
        glBegin(GL_QUADS);
        for (int k = 0; k < 16; ++k) {
            const CaptionCorner& c = corners[k];
            // The colour changes only at the first and third corner of each quad: the
            // second and fourth keep the level of the edge they share with it.
            if (k % 2 == 0) glColor3f(c.grey, c.grey, c.grey);
            glTexCoord2f(c.s, c.t);
            glVertex2f(c.x, c.y);
        }
        glEnd();
    }
}

}  // namespace show
