// Link-time stand-in for the sensor access layer's capture and status
// entry points (GetFpImage, GetFpImageSimple, the slide readers,
// DetectFinger), so that the live flows of the sensor library run on
// scripted frames. Linking this fixture replaces the whole capture units of
// the access layer; a test pulls it in by calling anything declared here.
// The slide image list g_imageSave stays the access layer's own (its
// numbering from 1 and its compaction), filled by the fake slide readers;
// it needs an SPI instance with the image size (see UseSensorSize).
#ifndef TESTS_SRC_FPSENSORLIB_FAKE_SENSOR_ACCESS_H_
#define TESTS_SRC_FPSENSORLIB_FAKE_SENSOR_ACCESS_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fake_sensor {

using Image = std::vector<uint8_t>;

// One scripted single capture: the reader's result and the bytes it leaves
// in the caller's buffer (nothing written when empty).
struct Capture {
  int result;
  Image frame;
};

// One scripted slide: every frame is appended to g_imageSave in order and
// the last one is left in the caller's buffer; then `result` is returned.
struct Slide {
  int result;
  std::vector<Image> frames;
};

// What the fakes were asked, in call order.
struct Calls {
  int get_fp_image = 0;         // GetFpImage calls
  int get_fp_image_simple = 0;  // GetFpImageSimple calls
  int slide_enroll = 0;         // quorv_SlideEnrollReadImage calls
  int slide_verify = 0;         // quorv_SlideVerifyReadImage calls
  int detect_finger = 0;        // DetectFinger and DetectFingerFactory calls
  std::vector<uint32_t> read_modes;  // readMode of each single capture
  // Per single capture: gQuorvActionMode when it was asked, and whether
  // GetFpImageSimple (true) or GetFpImage (false) served it.
  std::vector<uint32_t> action_modes;
  std::vector<bool> simple_reads;
};

// Empties every script and the record of calls.
void Reset();

// Creates the access layer's SPI instance (if none) and sets its image
// size, which g_imageSave copies images by.
void UseSensorSize(uint8_t cols, uint8_t rows);

// Queue a single capture, served by GetFpImage or GetFpImageSimple. An
// empty queue answers -1 with the buffer untouched.
void PushCapture(int result, Image frame);

// Queue a slide for quorv_SlideEnrollReadImage (which empties g_imageSave
// first) or quorv_SlideVerifyReadImage (which appends). An empty queue
// answers -1 and leaves the list alone.
void PushSlide(int result, std::vector<Image> frames);

// Queue DetectFinger / DetectFingerFactory answers; an empty script
// answers 1 (finger off).
void PushFingerStatus(int status);

// The calls made since the last Reset.
const Calls &Recorded();

// Frames queued and not yet served.
size_t PendingCaptures();
size_t PendingSlides();

}  // namespace fake_sensor

#endif  // TESTS_SRC_FPSENSORLIB_FAKE_SENSOR_ACCESS_H_
