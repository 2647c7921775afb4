#include "show/show_tables.h"

#include <bit>
#include <cstring>

namespace show {

const std::array<ShowEntry, sceneRowCount> sceneTable = {{
    {"data\\intro1.csi", "data\\texture.raw", 2.0f, 8.0f, 1.0f},
    {"data\\intro2.csi", "data\\texture.raw", 11.0f, 8.0f, 1.0f},
    {"data\\intro3.csi", "data\\texture.raw", 20.0f, 8.0f, 1.0f},
    {"data\\intro4.csi", "data\\texture.raw", 28.2f, 12.0f, 1.0f},
    {"data\\trees.csi", "data\\texture.raw", 40.2f, 32.0f, 1.0f},
    {"data\\clouds.csi", "data\\texture.raw", 72.6f, 16.0f, 0.75f},
    {"data\\bird2.csi", "data\\texture.raw", 89.0f, 28.68f, 1.39f},
    {"data\\flowers.csi", "data\\texture_flowers.raw", 117.68f, 55.0f, 0.8f},
    {"data\\moon.csi", "data\\texture.raw", 173.0f, 30.0f, 0.66f},
}};

// Row 9's y is one float step below the float nearest 0.85: it is kept as its bits.
const std::array<CaptionStrip, captionRowCount> captionTable = {{
    {0.25f, 0.5f, 0.0f, 0.0f, -2.5f, 3.7f, 10, 67},
    {0.47f, 0.75f, 0.0f, 0.0f, 4.0f, 12.0f, 82, 105},
    {0.47f, 0.67f, 0.0f, 0.0f, 5.0f, 13.0f, 107, 126},
    {0.47f, 0.62f, 0.0f, 0.0f, 5.2f, 13.2f, 126, 150},
    {0.47f, 0.57f, 0.0f, 0.0f, 5.4f, 13.4f, 150, 171},
    {0.47f, 0.52f, 0.0f, 0.0f, 5.6f, 13.6f, 171, 193},
    {0.17f, 0.4f, 0.0f, 0.0f, 14.0f, 19.0f, 216, 239},
    {0.17f, 0.3f, 0.0f, 0.0f, 15.0f, 20.0f, 241, 264},
    {0.17f, 0.25f, 0.0f, 0.0f, 15.6f, 20.6f, 264, 286},
    {0.17f, std::bit_cast<float>(0x3F599999u), 0.0f, 0.0f, 20.0f, 25.0f, 293, 316},
    {0.17f, 0.75f, 0.0f, 0.0f, 21.0f, 26.0f, 314, 339},
    {0.17f, 0.7f, 0.0f, 0.0f, 21.6f, 26.6f, 339, 363},
    {0.17f, 0.65f, 0.0f, 0.0f, 22.2f, 27.2f, 363, 387},
    {0.3f, 0.1f, 0.0f, 0.0f, 26.6f, 44.0f, 388, 454},
    {0.05f, 0.1f, 0.0f, 0.0f, 173.0f, 193.0f, 462, 504},
}};

std::array<CaptionStrip, captionRowCount> buildCaptions() {
    std::array<CaptionStrip, captionRowCount> captions = captionTable;
    for (CaptionStrip& c : captions) {
        c.width = 0.5f;
        c.height = static_cast<float>(c.bottomRow - c.topRow) * 0.0025f;
    }
    captions[13].width *= 1.4f;
    captions[13].height *= 1.4f;
    return captions;
}

std::array<int, sceneRowCount> textureOwners(const std::array<ShowEntry, sceneRowCount>& table) {
    std::array<int, sceneRowCount> owners{};
    for (int i = 0; i < sceneRowCount; ++i) {
        owners[i] = i;
        for (int j = 0; j < i; ++j) {
            if (std::strcmp(table[i].textureFile, table[j].textureFile) == 0) {
                owners[i] = j;
                break;
            }
        }
    }
    return owners;
}

int sceneRowAt(float t) {
    for (int i = 0; i < sceneRowCount; ++i) {
        const ShowEntry& row = sceneTable[i];
        if (row.start <= t && static_cast<double>(t) < static_cast<double>(row.start) + static_cast<double>(row.duration)) {
            return i;
        }
    }
    return -1;
}

float sceneFrameAt(int row, float t) {
    const ShowEntry& entry = sceneTable[row];
    return static_cast<float>((static_cast<double>(t) - static_cast<double>(entry.start)) *
                              static_cast<double>(entry.speed) * 25.0);
}

}  // namespace show
