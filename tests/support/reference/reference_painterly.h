// Plain, obviously correct versions of the orientation field and of the stroke planning,
// written step by step the way the picture is defined. They are the oracle that the fast
// versions (computeOrientationField, planStrokes) must match bit for bit, and the
// baseline that the benchmark times them against.
#pragma once

#include <cstdint>

#include "painterly/painterly.h"

namespace painterly {

// Intensity, gradient with its sign rule, and zeroed borders of all four field planes.
void referenceGradient();

// One smoothing pass from FieldX/FieldY into NextFieldX/NextFieldY, then the exchange.
void referenceSmoothingPass();

// referenceGradient and the 15 passes: the final field in FieldX/FieldY.
void referenceOrientationField();

// The strokes for StrokePhase `phase`, drawing from StrokeRandom seeded with `seed`
// (the show always uses 1), from CaptureImage and the final field. Writes strokeCount
// entries to `out`.
void referencePlanStrokes(float phase, StrokeArgs* out, std::uint32_t seed = 1);

}  // namespace painterly
