// A synthetic 8-bit finger press filling a rows x cols sensor window.
#ifndef TESTS_SRC_ZQALG_ZQ_FINGER_IMAGE_H_
#define TESTS_SRC_ZQALG_ZQ_FINGER_IMAGE_H_

#include <cstdint>
#include <vector>

#include "fingers/synth_fingers.h"

namespace zq_test {

// Finger `finger` of population 11, impression `seed`, in full contact.
inline std::vector<uint8_t> FingerImage(int rows, int cols, int finger = 0, uint64_t seed = 1) {
  const fingers::MasterFinger master = fingers::MakeMaster(fingers::PopulationFinger(11, finger));
  fingers::ImpressionParams p;
  p.width = cols;
  p.height = rows;
  p.seed = seed;
  p.contact.radius = 1.6;
  return fingers::Render(master, p).frame.gray;
}

}  // namespace zq_test

#endif  // TESTS_SRC_ZQALG_ZQ_FINGER_IMAGE_H_
