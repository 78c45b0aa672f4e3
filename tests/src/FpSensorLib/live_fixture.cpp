#include "src/FpSensorLib/live_fixture.h"

#include "fingers/synth_fingers.h"
#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/Quorv_sensor/quorv_image_list.h"

namespace sensorlib_test {

Frame FingerFrame(int finger, uint64_t seed, int dy) {
  const fingers::MasterFinger master = fingers::MakeMaster(fingers::PopulationFinger(11, finger));
  fingers::ImpressionParams p;
  p.width = kCols;
  p.height = kRows;
  p.seed = seed;
  p.center.y += dy;
  p.contact.radius = 1.6;
  return fingers::Render(master, p).frame.gray;
}

std::vector<Frame> SwipeFrames(int finger, int n, int step) {
  std::vector<Frame> frames;
  for (int i = 0; i < n; ++i) frames.push_back(FingerFrame(finger, 1, (i - n / 2) * step));
  return frames;
}

Frame EmptyFrame() { return Frame(kCols * kRows, 215); }

void LiveTest::SetUp() {
  SensorLibTest::SetUp();
  fake_sensor::Reset();
  Create();
  quorv_SetFpSensorColsRows(kCols, kRows);
  ASSERT_EQ(quorv_InitFpAlg(), 0);
  HostLog().clear();
}

void LiveTest::TearDown() {
  quorv_DestroyImage();
  fake_sensor::Reset();
  gQuorvActionMode = 0;
  SensorLibTest::TearDown();
}

namespace {
std::vector<Frame> ListImages(const ImageRescanNode *head) {
  std::vector<Frame> out;
  for (const ImageRescanNode *n = head; n != nullptr; n = n->pNext)
    out.push_back(n->imageRescanBuf == nullptr ? Frame{}
                                               : Frame(n->imageRescanBuf,
                                                       n->imageRescanBuf + kCols * kRows));
  return out;
}
}  // namespace

std::vector<Frame> LiveTest::RescanImages() { return ListImages(g_imageRescan); }
std::vector<Frame> LiveTest::EnrollImages() { return ListImages(g_enrollImage); }
std::vector<Frame> LiveTest::SavedSlideImages() { return ListImages(g_imageSave); }

}  // namespace sensorlib_test
