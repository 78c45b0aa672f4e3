// Fixture of the live-flow tests: a created and initialised library for an
// 80 x 64 sensor whose captures come from the scripted sensor access layer
// (fake_sensor_access.h), and synthetic frames of that size.
#ifndef TESTS_SRC_FPSENSORLIB_LIVE_FIXTURE_H_
#define TESTS_SRC_FPSENSORLIB_LIVE_FIXTURE_H_

#include <cstdint>
#include <vector>

#include "src/FpSensorLib/fake_sensor_access.h"
#include "src/FpSensorLib/sensorlib_fixture.h"

namespace sensorlib_test {

constexpr int kCols = 80;
constexpr int kRows = 64;

using Frame = std::vector<uint8_t>;

// A press of finger `finger` (population 11) in full contact, impression
// `seed`, centred `dy` pixels below the pattern's usual centre.
Frame FingerFrame(int finger, uint64_t seed = 1, int dy = 0);
// A swipe of finger `finger`: n frames whose window moves `step` rows on
// the finger from one frame to the next.
std::vector<Frame> SwipeFrames(int finger, int n, int step);
// The empty sensor (no finger).
Frame EmptyFrame();

class LiveTest : public SensorLibTest {
 protected:
  // Library created, sized 80 x 64 and initialised; scripts emptied.
  void SetUp() override;
  void TearDown() override;

  // The images of a list, head first: the rescan list, the enrol-image
  // list and the saved slide images.
  static std::vector<Frame> RescanImages();
  static std::vector<Frame> EnrollImages();
  static std::vector<Frame> SavedSlideImages();
};

}  // namespace sensorlib_test

#endif  // TESTS_SRC_FPSENSORLIB_LIVE_FIXTURE_H_
