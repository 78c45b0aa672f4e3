// Umbrella header of the synthetic-finger generator, with the conventions
// that make one "finger number" mean the same finger in every test.
#pragma once

#include <cstdint>

#include "fingers/image.h"
#include "fingers/impression.h"
#include "fingers/master.h"
#include "fingers/nonfinger.h"
#include "fingers/rng.h"
#include "fingers/swipe.h"

namespace fingers {

// Parameters of finger number `finger` (0, 1, ...) of a population drawn from
// base_seed: classes cycle arch, tented arch, left loop, right loop, whorl.
inline MasterParams PopulationFinger(uint64_t base_seed, int finger) {
  MasterParams p;
  p.seed = MixSeed(base_seed, 0x1000u + static_cast<uint64_t>(finger));
  p.finger_class = static_cast<FingerClass>(finger % 5);
  return p;
}

// Seed of impression number `press` of a master.
inline uint64_t PressSeed(const MasterFinger &master, int press) {
  return MixSeed(master.params.seed, 0x2000u + static_cast<uint64_t>(press));
}

}  // namespace fingers
