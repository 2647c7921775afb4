#include "scene/packed_scalar.h"

#include <cmath>

namespace scene {

namespace {

// k and each entry are rounded to float at the points where files depend on it:
// entry 0x4000 - 1 must come out as the float just above 1.0, not 1.0.
PackedScalarTable* buildTable() {
    static PackedScalarTable table;
    const float k = static_cast<float>(32766.0 / std::log(1.0e8));
    for (int i = 0; i < PackedScalarTable::entryCount; ++i) {
        table.entries[i] = static_cast<float>(0.0001 * std::exp(i / static_cast<double>(k)));
    }
    return &table;
}

}  // namespace

const PackedScalarTable& packedScalarTable() {
    static const PackedScalarTable* const table = buildTable();
    return *table;
}

}  // namespace scene
