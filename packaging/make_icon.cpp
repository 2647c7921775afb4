// Build-time helper: the application icon, cut from the settings form's painted picture.
// For each size it paints the picture at four times the icon's height, takes the square
// around the sun, averages it down 4 x 4 and rounds the corners (anti-aliased alpha).
// Usage: sunmarrow-icon DIR NAME SIZE...  writes DIR/SIZExSIZE/apps/NAME.png (RGBA).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/form/settings_picture.h"

#include "tools/common/png_file.h"

namespace {

constexpr int oversample = 4;
constexpr float sunX = 0.64f;  // where the picture's sun stands, as a share of its width

// Coverage of the pixel centred at (x, y) by a square of side `size` whose corners are
// rounded with `radius`; 0..1.
float roundedCoverage(float x, float y, float size, float radius) {
    const float cx = std::clamp(x, radius, size - radius);
    const float cy = std::clamp(y, radius, size - radius);
    const float d = std::hypot(x - cx, y - cy);
    return std::clamp(radius - d + 0.5f, 0.0f, 1.0f);
}

std::vector<std::uint8_t> paintIcon(int size) {
    const int tall = size * oversample;
    const int wide = tall * platform::settingsPictureWidth / platform::settingsPictureHeight;
    const std::vector<std::uint8_t> picture = platform::paintSettingsPicture(wide, tall);
    const int left = std::clamp(static_cast<int>(sunX * static_cast<float>(wide)) - tall / 2, 0, wide - tall);

    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(size) * static_cast<std::size_t>(size) * 4);
    const float radius = std::max(1.0f, static_cast<float>(size) * 0.14f);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            int sum[3] = {0, 0, 0};
            for (int sy = 0; sy < oversample; ++sy) {
                for (int sx = 0; sx < oversample; ++sx) {
                    const std::size_t at = (static_cast<std::size_t>(y * oversample + sy) * static_cast<std::size_t>(wide) +
                                            static_cast<std::size_t>(left + x * oversample + sx)) * 3;
                    for (int c = 0; c < 3; ++c) sum[c] += picture[at + static_cast<std::size_t>(c)];
                }
            }
            std::uint8_t* out = rgba.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(size) +
                                               static_cast<std::size_t>(x)) * 4;
            for (int c = 0; c < 3; ++c) out[c] = static_cast<std::uint8_t>((sum[c] + oversample * oversample / 2) / (oversample * oversample));
            const float cover = roundedCoverage(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f,
                                                static_cast<float>(size), radius);
            out[3] = static_cast<std::uint8_t>(std::lround(cover * 255.0f));
        }
    }
    return rgba;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: sunmarrow-icon DIR NAME SIZE...\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    const std::string name = argv[2];
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 8 || size > 1024) {
            std::fprintf(stderr, "sunmarrow-icon: size %s is not 8..1024\n", argv[i]);
            return 2;
        }
        const std::string side = std::to_string(size);
        const std::filesystem::path folder = dir / (side + "x" + side) / "apps";
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        const std::string path = (folder / (name + ".png")).string();
        if (error || !pngfile::write(path, paintIcon(size).data(), size, size, 4)) {
            std::fprintf(stderr, "sunmarrow-icon: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
