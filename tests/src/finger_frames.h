// A synthetic press (tests/fingers) on a bowl-shaped sensor background, with
// the ground truth the image-foundation tests measure against.
#ifndef TESTS_SRC_FINGER_FRAMES_H_
#define TESTS_SRC_FINGER_FRAMES_H_

#include <cstdint>
#include <vector>

#include "fingers/synth_fingers.h"

namespace testing_support {

// Where a pixel lies: on a ridge, in a valley, or neither (weak contact,
// ridge flank), and in the middle of the frame or towards its rim.
struct FingerPixel {
  bool ridge, valley, rim, middle;
};

struct BowlFrame {
  int rows, cols;
  std::vector<uint8_t> gray;   // 8-bit, ridges dark, bowl added
  std::vector<uint16_t> raw;   // 16-bit raw, ridges high, bowl added
  std::vector<FingerPixel> px;
};

// Finger 0 of population 7, pressed on a rows x cols window with the sensor
// gain `gain` and the 8-bit levels moved by `offset8`; `lift8` grey levels
// (8-bit) and `lift16` counts (raw) are added at the corners, growing with
// the squared distance from the middle.
inline BowlFrame PressOnBowl(int rows, int cols, double gain, double offset8, double lift8,
                             double lift16) {
  static const fingers::MasterFinger master = fingers::MakeMaster(fingers::PopulationFinger(7, 0));
  fingers::ImpressionParams p;
  p.width = cols;
  p.height = rows;
  p.contact.radius = 1.6;  // the whole window in contact
  p.sensor.raw16 = true;
  p.sensor.gain = gain;
  p.sensor.offset = offset8;
  const fingers::Impression imp = fingers::Render(master, p);
  BowlFrame f{rows, cols, imp.frame.gray, imp.frame.raw, std::vector<FingerPixel>(rows * cols)};
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) {
      const int i = y * cols + x;
      const double dy = (y - rows / 2.0) / (rows / 2.0), dx = (x - cols / 2.0) / (cols / 2.0);
      const double bowl = (dx * dx + dy * dy) / 2;  // 0 in the middle, 1 in the corners
      const double g = f.gray[i] + lift8 * bowl;
      f.gray[i] = static_cast<uint8_t>(g > 255 ? 255 : g);
      f.raw[i] = static_cast<uint16_t>(f.raw[i] + lift16 * bowl);
      const bool firm = imp.contact[i] > 0.9f;
      f.px[i] = {firm && imp.darkness[i] > 0.7f, firm && imp.darkness[i] < 0.3f, bowl > 0.45,
                 bowl < 0.12};
    }
  return f;
}

// Mean of `level` over the pixels that `pick` selects.
template <typename T, typename Pick>
double MeanOver(const BowlFrame &f, const std::vector<T> &level, Pick pick) {
  double s = 0;
  int n = 0;
  for (size_t i = 0; i < level.size(); ++i)
    if (pick(f.px[i])) {
      s += level[i];
      ++n;
    }
  return n ? s / n : 0;
}

}  // namespace testing_support

#endif  // TESTS_SRC_FINGER_FRAMES_H_
