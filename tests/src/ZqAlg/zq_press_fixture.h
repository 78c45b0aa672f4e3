// Presses of synthetic fingers turned into samples by the library's own
// extraction, with the ground truth of where each pixel came from.
#ifndef TESTS_SRC_ZQALG_ZQ_PRESS_FIXTURE_H_
#define TESTS_SRC_ZQALG_ZQ_PRESS_FIXTURE_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/features/ZqFullHMatrix.h"

namespace zq_test {

struct SampleDeleter {
  void operator()(ST_SubTemplate *t) const { ZqReleaseTemp(t); }
};
using SamplePtr = std::unique_ptr<ST_SubTemplate, SampleDeleter>;

// One press of a master and the sample extracted from it.
struct Crop {
  fingers::Impression imp;
  SamplePtr sample;
};

// Finger `finger` of the identification tests' population.
fingers::MasterFinger PressMaster(int finger);

// Press `press` of m on the configured 96 x 96 sensor, its window centre at
// the pattern centre + (dx, dy), turned by rotation, in full contact; the
// sample carries the quality bytes {80, 95, 70, 3}.
Crop Press(const fingers::MasterFinger &m, int press, double dx, double dy, double rotation = 0.0);

// Largest distance between H's image of sample pixels and their true
// position in the template press, over a grid seen in both.
double MotionError(const ST_FullHMatrix &H, const Crop &smp, const Crop &tpl);

// The driver's configuration on a 96 x 96 sensor (far level 14, update
// level 16, foreign-body test, 96 / 48 sub-templates), the algorithm set up
// and the identify action mode; everything reset afterwards.
class VerifyStoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Puts copies of the samples into finger f as its sub-templates 0..n-1,
  // each its own root, and finalises the finger.
  static void Place(int f, const std::vector<const ST_SubTemplate *> &samples);
  // Enrols the crops into finger f as the sensor library does, then
  // finalises it.
  static void Enroll(int f, const std::vector<Crop> &crops);

  struct Outcome {
    int ret;
    uint16_t fid;
    int16_t upd;
    ST_FullHMatrix H;
  };
  // ZqVerifyByTemplate with outputs preset to garbage.
  static Outcome Identify(const ST_SubTemplate *s, uint8_t option = 0);
  // The text of SaveMachInfo.
  static std::string Report();
};

}  // namespace zq_test

#endif  // TESTS_SRC_ZQALG_ZQ_PRESS_FIXTURE_H_
