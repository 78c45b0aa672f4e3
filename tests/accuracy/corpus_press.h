// The presses of the accuracy corpus: a plausible random press of the
// generator (contact, skin with dry gaps on the skin, distortion, sensor
// noise) whose rotation lies within +-max_rotation_deg and whose window
// centre lies at most max_shift pixels from the finger's pattern centre.
#pragma once

#include <string>

#include "fingers/synth_fingers.h"

namespace accuracy {

// The skin of a corpus: the share of dry and of wet presses and the range
// of their dryness or wetness, drawn with the capacitive look of the
// generator's skin (SkinParams::capacitive).
struct CorpusSkin {
  double dry_share = 0.30, min_dryness = 0.2, max_dryness = 0.9;
  double wet_share = 0.25, min_wetness = 0.2, max_wetness = 0.9;
};

// Parses "dry=PCT[:MIN-MAX],wet=PCT[:MIN-MAX]" (either part may be left
// out: no presses of that skin); false for anything else, shares that add
// up to more than 100 or a range outside 0..1.
bool ParseCorpusSkin(const std::string &text, CorpusSkin *skin);

// Impression number k (0, 1, ...) of master m; with skin, its skin drawn
// from that mix instead of the generator's default.
fingers::ImpressionParams CorpusPress(const fingers::MasterFinger &m, int k,
                                      fingers::SensorSize size, double max_rotation_deg,
                                      double max_shift, const CorpusSkin *skin = nullptr);

}  // namespace accuracy
