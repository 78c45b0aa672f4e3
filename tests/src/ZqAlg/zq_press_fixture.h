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
#include "support/zq_sample_ptr.h"

namespace zq_test {

using SamplePtr = testing_support::SamplePtr;

// One press of a master and the sample extracted from it.
struct Crop {
  fingers::Impression imp;
  SamplePtr sample;
};

// Finger `finger` of a population of masters (by default the
// identification tests' one).
fingers::MasterFinger PressMaster(int finger, uint64_t population = 120);

// Press `press` of m on a side x side sensor (the configured one), its
// window centre at the pattern centre + (dx, dy), turned by rotation, in
// full contact; the sample carries the quality bytes {80, 95, 70, 3}.
Crop Press(const fingers::MasterFinger &m, int press, double dx, double dy, double rotation = 0.0,
           int side = 96);

// Largest distance between H's image of sample pixels and their true
// position in the template press, over the grid step, 2 step, ... up to
// 96 - step of the 96 x 96 sensor, at the points seen in both.
double MotionError(const ST_FullHMatrix &H, const fingers::Impression &smp,
                   const fingers::Impression &tpl, int step = 16);
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
  // Enrols the samples (or the crops' samples) into finger f as the sensor
  // library does, in the enrol action mode, then finalises it; the action
  // mode is restored.
  static void Enroll(int f, const std::vector<const ST_SubTemplate *> &samples);
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
