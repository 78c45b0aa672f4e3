// The presses of the accuracy corpus: a plausible random press of the
// generator (contact, skin with dry gaps on the skin, distortion, sensor
// noise) whose rotation lies within +-max_rotation_deg and whose window
// centre lies at most max_shift pixels from the finger's pattern centre.
#pragma once

#include "fingers/synth_fingers.h"

namespace accuracy {

// Impression number k (0, 1, ...) of master m.
fingers::ImpressionParams CorpusPress(const fingers::MasterFinger &m, int k,
                                      fingers::SensorSize size, double max_rotation_deg,
                                      double max_shift);

}  // namespace accuracy
