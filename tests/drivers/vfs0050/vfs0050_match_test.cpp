// The VFS0050 driver matching end to end: swipes of synthetic fingers on the
// emulated sensor, the real minutiae detector and the Bozorth3 matcher
// behind the public fp_* enrolment and verification.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "drivers/vfs0050/vfs0050.h"
#include "emul/testbed.h"
#include "fingers/synth_fingers.h"
#include "framework/fp_internal.h"
#include "vfs0050_emul/vfs0050_model.h"

namespace {

// One swipe of `master` from `start_y` with the given seed, as the sensor's
// records (main row and the row 10 master pixels ahead).
vfs0050_emul::FingerEvent SwipeOf(const fingers::MasterFinger &master, uint64_t seed,
                                  double start_y) {
  fingers::SwipeParams params;
  params.seed = seed;
  params.lines = 560;
  params.start = {128, start_y};
  params.speed = 0.45;
  const fingers::Swipe main = fingers::RenderSwipe(master, params);
  params.start.y += 10;
  const fingers::Swipe ahead = fingers::RenderSwipe(master, params);
  return {vfs0050_emul::FingerInterrupt(), vfs0050_emul::SwipeRecords(main, ahead)};
}

class Vfs0050MatchTest : public testing::Test {
 protected:
  void SetUp() override {
    model_ = std::make_shared<vfs0050_emul::Vfs0050Model>();
    bed_.AddDevice(vfs0050_emul::Vfs0050Desc(), model_);
    ASSERT_EQ(fp_init(), 0);
    discovered_ = fp_discover_devs();
    ASSERT_NE(discovered_, nullptr);
    ASSERT_NE(discovered_[0], nullptr);
    ASSERT_EQ(discovered_[0]->drv, &vfs0050_driver.driver);
    dev_ = fp_dev_open(discovered_[0]);
    ASSERT_NE(dev_, nullptr);
  }

  void TearDown() override {
    if (dev_ != nullptr) fp_dev_close(dev_);
    fp_dscv_devs_free(discovered_);
    fp_exit();
  }

  // Enrols five swipes of `master`; the completed print, or null.
  fp_print_data *Enrol(const fingers::MasterFinger &master) {
    for (int i = 0; i < 5; i++) model_->AddEvent(SwipeOf(master, 100 + i, 30 + 4 * i));
    fp_print_data *print = nullptr;
    std::vector<int> results;
    for (int i = 0; i < 5; i++) {
      results.push_back(fp_enroll_finger_img(dev_, &print, nullptr));
      if (results.back() < 0) break;
    }
    EXPECT_EQ(results, (std::vector<int>{FP_ENROLL_PASS, FP_ENROLL_PASS, FP_ENROLL_PASS,
                                          FP_ENROLL_PASS, FP_ENROLL_COMPLETE}));
    return print;
  }

  // Verifies one new swipe of `master` against `enrolled`.
  int Verify(fp_print_data *enrolled, const fingers::MasterFinger &master, uint64_t seed) {
    model_->AddEvent(SwipeOf(master, seed, 36));
    return fp_verify_finger_img(dev_, enrolled, nullptr);
  }

  usb_emul::Testbed bed_;
  std::shared_ptr<vfs0050_emul::Vfs0050Model> model_;
  fp_dscv_dev **discovered_ = nullptr;
  fp_dev *dev_ = nullptr;
};

TEST_F(Vfs0050MatchTest, SameFingerMatchesAndAnotherDoesNot) {
  const fingers::MasterFinger finger = fingers::MakeMaster(fingers::PopulationFinger(7, 2));
  const fingers::MasterFinger other = fingers::MakeMaster(fingers::PopulationFinger(7, 3));
  fp_print_data *enrolled = Enrol(finger);
  ASSERT_NE(enrolled, nullptr);
  EXPECT_EQ(Verify(enrolled, finger, 900), FP_VERIFY_MATCH);
  EXPECT_EQ(Verify(enrolled, other, 901), FP_VERIFY_NO_MATCH);
  fp_print_data_free(enrolled);
}

}  // namespace
