// The capture-and-rate queries: the two quality gates against the enrol
// quality threshold.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "src/FpSensorLib/live_fixture.h"
#include "src/FpSensorLib/quorv_image_queries.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/ZqAlg/ZqQualityWrappers.h"

namespace sensorlib_test {
namespace {

using ImageQueriesTest = LiveTest;

// Both gates capture one press: 0 when its quality reaches the threshold,
// -1 below it or for a failed capture, each reported in the gate's name.
TEST_F(ImageQueriesTest, QualityGatesHoldACaptureAgainstTheEnrolThreshold) {
  const Frame press = FingerFrame(2);
  Frame copy = press;
  uint8_t rating[4] = {0, 0, 0, 0};
  ASSERT_GE(ZqGetImageQuality(copy.data(), rating), 0);
  const int quality = rating[0];
  ASSERT_GT(quality, 0);
  ASSERT_LT(quality, 255);

  struct Gate {
    std::string name;
    int (*gate)(void);
  };
  const Gate gates[] = {{"quorv_ImageQuality", quorv_ImageQuality},
                        {"quorv_verify_image_quality_frr_far", quorv_verify_image_quality_frr_far}};
  for (const Gate &g : gates) {
    SCOPED_TRACE(g.name);
    HostLog().clear();
    quorv_SetImageQualityScore(static_cast<uint8_t>(quality));
    fake_sensor::PushCapture(0, press);
    EXPECT_EQ(g.gate(), 0);
    EXPECT_TRUE(Logged(g.name + "...get image quality ok!"));

    quorv_SetImageQualityScore(static_cast<uint8_t>(quality + 1));
    fake_sensor::PushCapture(0, press);
    EXPECT_EQ(g.gate(), -1);
    EXPECT_TRUE(Logged(g.name + "...quality(=" + std::to_string(quality) +
                       ") < enroll_quality_threshold(=" + std::to_string(quality + 1) + ")"));

    fake_sensor::PushCapture(-3, press);
    EXPECT_EQ(g.gate(), -1);
    EXPECT_TRUE(Logged(g.name + "...get image error, GetFpImage = -3"));
  }
}

}  // namespace
}  // namespace sensorlib_test
