// The library's wrappers over the core's image operations take columns
// first and the core rows first: on a non-square image each wrapper must
// give exactly what the core gives for the same image.
#include <gtest/gtest.h>

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "src/FpSensorLib/quorv_identify.h"
#include "src/FpSensorLib/sensorlib_fixture.h"
#include "src/ZqAlg/ZqPreFilters.h"
#include "src/ZqAlg/ZqQualityWrappers.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/zq_finger_image.h"

namespace {

using sensorlib_test::SensorLibTest;

using Image = std::vector<uint8_t>;

// What one call leaves behind: its result and every buffer it wrote.
struct Outcome {
  std::vector<int> results;
  std::vector<Image> buffers;
  bool operator==(const Outcome &o) const {
    return results == o.results && buffers == o.buffers;
  }
};

// Runs an operation on a copy of `gray` (cols x rows); `first` and `second`
// are the two size arguments in the order the callee gets them.
using Op = std::function<Outcome(const Image &gray, int first, int second)>;

struct Case {
  const char *name;
  Op wrapper;  // (cols, rows)
  Op core;     // (rows, cols)
};

std::vector<uint16_t> Raw16(const Image &gray) {
  std::vector<uint16_t> raw(gray.size());
  for (size_t i = 0; i < gray.size(); ++i) raw[i] = static_cast<uint16_t>(gray[i] * 13 + i % 7);
  return raw;
}

Outcome Smooth(int (*f)(uint8_t *, int, int, uint8_t *), const Image &gray, int a, int b) {
  Image src = gray, dst(gray.size(), 0);
  const int ret = f(src.data(), a, b, dst.data());
  return {{ret}, {src, dst}};  // the source is smoothed in place too
}

Outcome Stretch16(int (*f)(const uint16_t *, int, int, uint8_t *), const Image &gray, int a,
                  int b) {
  const std::vector<uint16_t> raw = Raw16(gray);
  Image dst(gray.size(), 0);
  return {{f(raw.data(), a, b, dst.data())}, {dst}};
}

Outcome Stretch8(int (*f)(const uint8_t *, int, int, uint8_t *), const Image &gray, int a, int b) {
  Image dst(gray.size(), 0);
  return {{f(gray.data(), a, b, dst.data())}, {dst}};
}

// The eraser-head verdict over a sweep of minutia limits, so that a change
// in the minutia count shows.
Outcome Ruber(const std::function<int(const uint8_t *, const uint8_t *, int, int, int)> &f,
              const Image &gray, int a, int b) {
  Image reference(gray.size());  // the same press, moved by a few pixels
  for (size_t i = 0; i < gray.size(); ++i) reference[i] = gray[(i + 3) % gray.size()];
  Outcome out;
  for (int limit : {0, 2, 4, 6, 8, 10, 12, 16, 20, 25, 30, 40, 60}) {
    out.results.push_back(f(reference.data(), gray.data(), a, b, limit));
  }
  return out;
}

const std::vector<Case> &Cases() {
  static const std::vector<Case> cases = {
      {"ImageSmooth",
       [](const Image &g, int a, int b) { return Smooth(quorv_ImageSmooth, g, a, b); },
       [](const Image &g, int a, int b) { return Smooth(ZqImageSmooth, g, a, b); }},
      {"NonLinearStretch",
       [](const Image &g, int a, int b) { return Stretch16(quorv_NonLinearStretch, g, a, b); },
       [](const Image &g, int a, int b) { return Stretch16(ZqNonLinearStretch, g, a, b); }},
      {"NonLinearStretchU8",
       [](const Image &g, int a, int b) { return Stretch8(quorv_NonLinearStretchU8, g, a, b); },
       [](const Image &g, int a, int b) { return Stretch8(ZqNonLinearStretch_U8, g, a, b); }},
      {"AbnormalRuberImage",
       [](const Image &g, int a, int b) {
         return Ruber(
             [](const uint8_t *r, const uint8_t *i, int x, int y, int limit) {
               return quorv_AbnormalRuberImage(r, i, x, y, 0, limit, 0.5f);
             },
             g, a, b);
       },
       [](const Image &g, int a, int b) {
         return Ruber(
             [](const uint8_t *r, const uint8_t *i, int x, int y, int limit) {
               return ZqAbnormalRuberImage(r, i, x, y, 0, limit, 0.5f);
             },
             g, a, b);
       }},
  };
  return cases;
}

class ImageWrappersTest : public SensorLibTest {};

TEST_F(ImageWrappersTest, EachWrapperGivesWhatTheCoreGivesOnANonSquareImage) {
  const int sizes[][2] = {{64, 80}, {80, 64}};  // columns by rows
  for (const auto &size : sizes) {
    const int cols = size[0], rows = size[1];
    // The smoothing's first step works at the configured sensor size.
    ZqSetSensorColRow(static_cast<int16_t>(cols), static_cast<int16_t>(rows));
    const Image gray = zq_test::FingerImage(rows, cols);
    ASSERT_EQ(gray.size(), static_cast<size_t>(cols * rows));
    for (const Case &c : Cases()) {
      SCOPED_TRACE(std::string(c.name) + " " + std::to_string(cols) + " x " +
                   std::to_string(rows));
      const Outcome core = c.core(gray, rows, cols);
      for (int r : core.results) ASSERT_GE(r, 0) << "the core handles the image";
      EXPECT_TRUE(c.wrapper(gray, cols, rows) == core);
      // The image is one whose rows and columns cannot be swapped unnoticed.
      EXPECT_FALSE(c.core(gray, cols, rows) == core);
    }
  }
}

}  // namespace
