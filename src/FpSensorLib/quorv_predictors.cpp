// The non-finger and fake-finger predictor wrappers; see quorv_enroll.h.
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_enroll.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/ZqAlg/ZqQualityWrappers.h"
#include "src/quorv_base/quorv_log.h"

namespace {

constexpr int kThresholds[] = {60, 50, 40};

// The CNN verdict: the score in percent, truncated, against the threshold.
int Verdict(float score, int threshold) {
  return static_cast<int>(score * 100.0f) >= threshold ? 1 : 0;
}

using CnnPredict = int32_t (*)(const uint8_t *, int, int, int, int, float *);
using FeatureDetect = int32_t (*)(const uint8_t *);

int NonFinger(const char *func, const uint8_t *image, uint8_t level, uint8_t selector,
              CnnPredict cnn, FeatureDetect detect) {
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  if (c == nullptr) return 0;
  const int threshold = quorv_PredictThreshold(level);
  int verdict;
  float score = 0.0f;  // a predictor that cannot decide leaves it: "finger"
  if (c->nonfinger_ver != 0) {
    cnn(image, static_cast<int>(c->sensor_rows), static_cast<int>(c->sensor_cols),
        c->nonfinger_ver, selector, &score);
    detectRate = score;
    verdict = Verdict(score, threshold);
  } else {
    verdict = detect(image);
  }
  QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...leave, ret = %d, rate = %f, thr = %d", func, verdict,
               static_cast<double>(score), threshold);
  return verdict;
}

}  // namespace

extern "C" {

int quorv_PredictThreshold(uint8_t level) {
  const uint8_t clamped = level > 11 ? 11 : level;
  return kThresholds[clamped < 2 ? clamped : 2];
}

int quorv_EnrollNonFingerPredict(const uint8_t *image) {
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  if (c == nullptr) return 0;
  return NonFinger(__func__, image, c->enroll_nonfinger_level, c->enroll_nonfinger_net,
                   ZqEnrollNonFingerPredict, ZqEnrollNonFingerDetect);
}

int quorv_IdentifyNonFingerPredict(const uint8_t *image) {
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  if (c == nullptr) return 0;
  const uint8_t selector =
      c->identify_nonfinger_net != 0 ? c->identify_nonfinger_net : c->enroll_nonfinger_net;
  return NonFinger(__func__, image, c->identify_nonfinger_level, selector,
                   ZqIdentifyNonFingerPredict, ZqIdentifyNonFingerDetect);
}

int quorv_FakeFingerPredict(const uint8_t *image) {
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  if (c == nullptr) return 0;
  const int threshold = quorv_PredictThreshold(c->fake_level);
  int verdict = 0;
  float score = 0.0f;
  if (c->fake_mode == 2) {
    ZqFakeFingerPredict_Method2(image, static_cast<int>(c->sensor_rows),
                                static_cast<int>(c->sensor_cols), 2, &score);
    detectRate = score;
    verdict = Verdict(score, threshold);
  }
  QUORV_LOGI("%s...leave, ret = %d, rate = %f, thr = %d", __func__, verdict,
             static_cast<double>(score), threshold);
  return verdict;
}

}  // extern "C"
