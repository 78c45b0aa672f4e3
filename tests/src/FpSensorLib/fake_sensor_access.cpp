#include "src/FpSensorLib/fake_sensor_access.h"

#include <cstring>
#include <deque>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/Quorv_sensor/quorv_finger_detect.h"
#include "src/Quorv_sensor/quorv_fp_image.h"
#include "src/Quorv_sensor/quorv_image_list.h"
#include "src/Quorv_sensor/quorv_slide_capture.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"

namespace fake_sensor {
namespace {

struct Script {
  std::deque<Capture> captures;
  std::deque<Slide> slides;
  std::deque<int> statuses;
  Calls calls;
};

Script &State() {
  static Script s;
  return s;
}

int ServeCapture(uint8_t *img, uint32_t mode, bool simple) {
  Script &s = State();
  s.calls.read_modes.push_back(mode);
  s.calls.action_modes.push_back(gQuorvActionMode);
  s.calls.simple_reads.push_back(simple);
  if (s.captures.empty()) return -1;
  Capture c = std::move(s.captures.front());
  s.captures.pop_front();
  if (img != nullptr && !c.frame.empty()) std::memcpy(img, c.frame.data(), c.frame.size());
  return c.result;
}

int ServeSlide(uint8_t *img, bool fresh) {
  Script &s = State();
  if (s.slides.empty()) return -1;
  Slide slide = std::move(s.slides.front());
  s.slides.pop_front();
  if (fresh) quorv_DestroyImage();
  for (const Image &f : slide.frames) quorv_SaveImage(f.data());
  if (img != nullptr && !slide.frames.empty())
    std::memcpy(img, slide.frames.back().data(), slide.frames.back().size());
  return slide.result;
}

int ServeStatus() {
  Script &s = State();
  ++s.calls.detect_finger;
  if (s.statuses.empty()) return 1;
  const int v = s.statuses.front();
  s.statuses.pop_front();
  return v;
}

}  // namespace

void Reset() { State() = Script{}; }

void UseSensorSize(uint8_t cols, uint8_t rows) {
  if (quorv_get_ZqSpiObjHandle() == nullptr) quorv_get_spi_instance();
  quorv_SetimageColsRows(cols, rows);
}

void PushCapture(int result, Image frame) {
  State().captures.push_back(Capture{result, std::move(frame)});
}

void PushSlide(int result, std::vector<Image> frames) {
  State().slides.push_back(Slide{result, std::move(frames)});
}

void PushFingerStatus(int status) { State().statuses.push_back(status); }

const Calls &Recorded() { return State().calls; }
size_t PendingCaptures() { return State().captures.size(); }
size_t PendingSlides() { return State().slides.size(); }

}  // namespace fake_sensor

using fake_sensor::State;

// --- The access layer's capture units, replaced whole --------------------
extern "C" {

int GetFpImage(uint8_t *img, uint32_t index) {
  ++fake_sensor::State().calls.get_fp_image;
  return fake_sensor::ServeCapture(img, index, false);
}
int GetFpImageSimple(uint8_t *img, uint32_t index) {
  ++fake_sensor::State().calls.get_fp_image_simple;
  return fake_sensor::ServeCapture(img, index, true);
}
void AppFastModeDataConvent(uint8_t *) {}

int quorv_SlideEnrollReadImage(uint8_t *img) {
  ++fake_sensor::State().calls.slide_enroll;
  return fake_sensor::ServeSlide(img, true);
}
int quorv_SlideVerifyReadImage(uint8_t *img) {
  ++fake_sensor::State().calls.slide_verify;
  return fake_sensor::ServeSlide(img, false);
}
uint32_t quorv_StandardDeviation(const uint8_t *, uint8_t, uint8_t, uint8_t, uint8_t) { return 0; }
int fw4847_SlideEnrollReadImage(uint8_t *) { return -1; }
int fw4848_SlideEnrollReadImage(uint8_t *) { return -1; }
int fw4845_SlideEnrollReadImage(uint8_t *) { return -1; }
int ze4850_SlideEnrollReadImage(uint8_t *) { return -1; }
int fw4843_SlideEnrollReadImage(uint8_t *) { return -1; }
int fw4847_SlideVerifyReadImage(uint8_t *) { return -1; }
int fw4848_SlideVerifyReadImage(uint8_t *) { return -1; }
int fw4845_SlideVerifyReadImage(uint8_t *) { return -1; }
int ze4850_SlideVerifyReadImage(uint8_t *) { return -1; }

int DetectFinger(void) { return fake_sensor::ServeStatus(); }
int DetectFingerFactory(void) { return fake_sensor::ServeStatus(); }

}  // extern "C"
