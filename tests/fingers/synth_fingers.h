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

// Impression `press` of master on a cols x rows window whose centre lies at
// the pattern centre + (dx, dy), turned by rotation, in full contact with
// light distortion (0.2): the press the algorithm tests enrol and identify.
inline Impression FullContactPress(const MasterFinger &master, int press, double dx, double dy,
                                   double rotation = 0.0, int cols = 96, int rows = 96) {
  ImpressionParams ip;
  ip.seed = PressSeed(master, press);
  ip.width = cols;
  ip.height = rows;
  const Point c = master.PatternCenter();
  ip.center = Point{c.x + dx, c.y + dy};
  ip.rotation = rotation;
  ip.distortion = 0.2;
  ip.contact.radius = 1.6;
  return Render(master, ip);
}

}  // namespace fingers
