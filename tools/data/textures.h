// The scene textures: texture.raw (landscape, sky and creature tiles) and
// texture_flowers.raw (petals, stems, leaves), both 256 x 256 RGB atlases laid out as in
// atlas.h, painted from value noise and gradients.
#pragma once

#include "data_common.h"

namespace datagen {

Image makeSceneAtlas();    // texture.raw
Image makeFlowerAtlas();   // texture_flowers.raw

}  // namespace datagen
