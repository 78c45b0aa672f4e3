// Frames without a usable finger, for no-finger and abnormal-image paths.
#pragma once

#include <cstdint>

#include "fingers/image.h"
#include "fingers/impression.h"

namespace fingers {

enum class NonFingerKind {
  kEmpty,       // sensor background with noise and faint shading
  kEdgeTouch,   // a fingertip grazing one edge: ridges in a thin strip only
  kFlatObject,  // a flat object pressed on: broad even contact, no ridges
  kDirty,       // smudges and specks on an otherwise empty sensor
  kWhite,       // a saturated frame: 8-bit samples at or near 255, raw at 0
  kWater,       // water drops or a wet film left on the glass: smooth blobs
  kFabric,      // a sleeve or cloth pressed on: a fine woven cross-hatch
  kInterference,  // electrical interference: row and column bands, heavy noise
  kDark,        // a frame pinned low: 8-bit samples at or near 0
};

// Number of kinds; they run 0 .. kNonFingerKinds - 1.
inline constexpr int kNonFingerKinds = 9;

// Name of a kind ("empty", "edge_touch", "flat_object", "dirty", "white",
// "water", "fabric", "interference", "dark").
const char *NonFingerKindName(NonFingerKind kind);

struct NonFingerParams {
  uint64_t seed = 1;
  NonFingerKind kind = NonFingerKind::kEmpty;
  int width = 96;   // 8..1024 each
  int height = 96;
  SensorParams sensor;
};

// Renders a non-finger frame. Throws std::invalid_argument for a size out of
// range.
Frame RenderNonFinger(const NonFingerParams &params);

}  // namespace fingers
