// The algorithm core set up as the driver sets it up for a common sensor:
// the sensor library's own setters on a fresh configuration record (sensor
// size with its keypoint settings, algorithm mode 1, SPA smoothing, 96 kept
// and 48 enrolled sub-templates, far level 14, update far level 16, template
// buffer off, foreign-body test on), then ZqInitAlgorithm.
#pragma once

#include <memory>

#include "accuracy/pgm_corpus.h"
#include "src/ZqAlg/ZqSubTemplate.h"
#include "support/zq_sample_ptr.h"

namespace accuracy {

using Sample = testing_support::SamplePtr;

// The driver's FW4843 parameter set (80 x 128 frames, algorithm mode 2,
// classifier and adaptive matching on, far level 15, template buffer on),
// with the chip type and algorithm mode replaced, so that the rule tables
// of another chip run at that configuration.
struct Fw4843Set {
  int chip = 12;
  int mode = 2;
};

// The FW4843 set's setters, far level `level`, on the configuration record
// that exists (the algorithm is not initialised).
void ApplyFw4843Set(const Fw4843Set &set, int level);

// Owns the process-global algorithm state for its lifetime (one at a time).
class DriverAlgorithm {
 public:
  // Configures for cols x rows images and initialises (with the FW4843 set
  // when fw4843 is given); throws std::runtime_error when the
  // initialisation fails.
  DriverAlgorithm(int cols, int rows, const Fw4843Set *fw4843 = nullptr);
  ~DriverAlgorithm();
  DriverAlgorithm(const DriverAlgorithm &) = delete;
  DriverAlgorithm &operator=(const DriverAlgorithm &) = delete;

  // The sample of image under action mode `mode` (1 enrol, 2 identify), or
  // null with *code set to the extraction's failure. The image must have
  // the configured size (std::invalid_argument otherwise).
  Sample Extract(const GrayImage &image, uint32_t mode, int *code) const;

  // The match threshold of the configured far level.
  int Threshold() const;
  // The fewest inliers a rigid comparison scores at this sensor size.
  int InlierLimit() const;
  int Cols() const { return cols_; }
  int Rows() const { return rows_; }

 private:
  int cols_, rows_;
};

}  // namespace accuracy
