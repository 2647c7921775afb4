#include "brush.h"

#include <array>
#include <cmath>

namespace datagen {

Image makeBrush() {
    Image image(kBrushWidth, kBrushLength, 1);
    Random random(4, 0xb1);

    // Each bristle (column) has its own strength and its own tail length, so the tail
    // frays into streaks while the body stays opaque.
    std::array<float, kBrushWidth> strength{};
    std::array<float, kBrushWidth> tailEnd{};
    for (int k = 0; k < kBrushWidth; ++k) {
        strength[static_cast<std::size_t>(k)] = random.range(0.72f, 1.0f);
        tailEnd[static_cast<std::size_t>(k)] = random.range(0.80f, 0.97f);
    }

    for (int row = 0; row < kBrushLength; ++row) {
        const float along = (static_cast<float>(row) + 0.5f) / static_cast<float>(kBrushLength);
        // Half-width of the stroke at this point of its length: a rounded head, full
        // body, a tail that narrows to 60 %.
        const float head = std::sqrt(smoothstep(0.0f, 0.16f, along));
        const float tail = 1.0f - 0.4f * smoothstep(0.55f, 1.0f, along);
        const float halfWidth = 0.9f * head * tail;
        for (int k = 0; k < kBrushWidth; ++k) {
            const float across = std::fabs((static_cast<float>(k) + 0.5f) / static_cast<float>(kBrushWidth) - 0.5f) * 2.0f;
            const float side = halfWidth > 0.0f ? 1.0f - smoothstep(0.55f * halfWidth, halfWidth, across) : 0.0f;
            const std::size_t b = static_cast<std::size_t>(k);
            const float ends = smoothstep(0.01f, 0.08f, along) * (1.0f - smoothstep(tailEnd[b] - 0.2f, tailEnd[b], along));
            const float streak = strength[b] * (0.85f + 0.15f * valueNoise(static_cast<float>(k) * 1.7f, along * 6.0f, 5));
            float alpha = 0.96f * side * ends * streak;
            if (row == 0 || row == kBrushLength - 1 || k == 0 || k == kBrushWidth - 1) alpha = 0.0f;
            *image.at(k, row) = toByte(alpha);
        }
    }
    return image;
}

}  // namespace datagen
