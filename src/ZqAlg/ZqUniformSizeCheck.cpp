#include "src/ZqAlg/ZqUniformSizeCheck.h"

#include <math.h>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqSensorInfor.h"

extern "C" {
const float gZqUniformAreaLevel[ZQ_UNIFORM_LEVELS] = {0.3f, 0.4f, 0.5f, 0.6f,
                                                      0.7f, 0.8f, 0.9f, 1.0f};
const float gZqUniformRatioT1[ZQ_UNIFORM_LEVELS] = {0.85f, 0.82f, 0.81f, 0.76f,
                                                    0.75f, 0.74f, 0.73f, 0.72f};
const float gZqUniformRatioT2[ZQ_UNIFORM_LEVELS] = {0.78f, 0.75f, 0.74f, 0.70f,
                                                    0.67f, 0.66f, 0.65f, 0.65f};
}

namespace {

constexpr float kEnhanceFactor = 0.9875f;
constexpr float kBoost = 1.11f;
constexpr float kLowRatio = 0.82f;
constexpr float kVeryLowRatio = 0.6f;
constexpr double kSpreadFactor = 0.085;
constexpr double kCoverFactor = 0.8;
constexpr float kAreaPenalty = 0.6f;
constexpr float kAreaOffset = 0.25f;
constexpr uint32_t kPassFloor = 4;       // general form: recall only above
constexpr uint32_t kPassFloorMode3 = 7;  // algoMode 3 form

// What both forms derive from the counters and the settings.
struct Inputs {
  int64_t area;      // cols x rows
  float factor;      // 0.9875 with binarised-image enhancement, else 1
  int32_t quarterMax;
  int32_t spread;    // 4 x (largest - smallest quarter)
  int32_t compared;  // counter 0
};

Inputs Derive(const int16_t c[6]) {
  Inputs in;
  in.area = static_cast<int64_t>(gSensorInfor.cols) * static_cast<int64_t>(gSensorInfor.rows);
  in.factor = gSensorInfor.binImageEnhance == 1 ? kEnhanceFactor : 1.0f;
  int32_t mx = c[1], mn = c[1];
  for (int i = 2; i <= 4; ++i) {
    if (c[i] > mx) mx = c[i];
    if (c[i] < mn) mn = c[i];
  }
  in.quarterMax = mx;
  in.spread = 4 * (mx - mn);
  in.compared = c[0];
  return in;
}

// Highest area level whose share of the sensor the count exceeds, the
// levels taken in order (0 when even the first is not exceeded).
int AreaLevel(int32_t count, int64_t area) {
  const float fa = static_cast<float>(area);
  int idx = 0;
  for (int k = 0; k < ZQ_UNIFORM_LEVELS; ++k) {
    if (!(static_cast<double>(count) > truncf(gZqUniformAreaLevel[k] * fa))) break;
    idx = k;
  }
  return idx;
}

// m x 1.11 x r scaled by the factor, single precision, truncated (never
// below 0).
uint32_t Boosted(uint32_t m, float r, float factor) {
  const float v = factor * (static_cast<float>(m) * kBoost * r);
  if (!(v > 0.0f)) return 0;
  if (v >= 4294967040.0f) return UINT32_MAX;
  return static_cast<uint32_t>(v);
}

// The quarter spread exceeds its share of the compared pixels.
bool SpreadTooWide(const Inputs &in) {
  const double lim = trunc(static_cast<double>(in.compared) * kSpreadFactor);
  return in.spread > static_cast<uint16_t>(static_cast<int32_t>(lim));
}

// The compared pixels are too many for the largest quarter.
bool CoverTooLow(const Inputs &in) {
  return static_cast<double>(in.compared) * kCoverFactor > 4.0 * in.quarterMax;
}

inline uint32_t Decrement(uint32_t m) { return m >= 2 ? m - 1 : m; }

void ReportRatio(float r, uint16_t uniformSize, int32_t compared) {
  if (!quorv_IsIdentifyMode(gQuorvActionMode)) return;
  gQuorvMachInfo.ration = r;
  gQuorvMachInfo.uniformSize = uniformSize;
  gQuorvMachInfo.overlapsize = compared;
}

void ReportScore(uint32_t m) {
  if (quorv_IsIdentifyMode(gQuorvActionMode)) gQuorvMachInfo.binScore = static_cast<int32_t>(m);
}

}  // namespace

extern "C" {

int ZqUniformSizeCheck(uint32_t m, uint8_t recallEn, uint16_t uniformSize,
                       const int16_t overLapSize[6], int16_t *passFlag, uint32_t *mOut) {
  if (passFlag == nullptr || mOut == nullptr || overLapSize == nullptr) return -1;
  const Inputs in = Derive(overLapSize);
  int16_t pass = recallEn;
  const int idx = AreaLevel(overLapSize[5], in.area);
  const float r = static_cast<float>(uniformSize) / static_cast<float>(1 + in.compared);
  const float rf = r * in.factor;
  ReportRatio(r, uniformSize, in.compared);

  if (rf < kLowRatio) m = Boosted(m, r, in.factor);
  if (r < gZqUniformRatioT1[idx]) pass = 0;
  if (rf < kLowRatio && (SpreadTooWide(in) || CoverTooLow(in))) pass = 0;

  const bool a = r < gZqUniformRatioT2[idx];
  const bool b = rf < kVeryLowRatio;
  if (recallEn == 0) {
    if (a || b) m = 0;
  } else if (!(a && m <= 1)) {
    if (a) m = Decrement(m);
    if (b) m = Decrement(m);
  }
  *mOut = m;
  if (m <= kPassFloor) pass = 0;
  *passFlag = pass;
  ReportScore(m);
  return 0;
}

int ZqUniformSizeCheckMode3(uint32_t m, uint8_t recallEn, uint16_t uniformSize,
                            const int16_t overLapSize[6], int16_t *passFlag, uint32_t *mOut,
                            float *areaWeight) {
  if (passFlag == nullptr || mOut == nullptr || overLapSize == nullptr || areaWeight == nullptr)
    return -1;
  const Inputs in = Derive(overLapSize);
  int16_t pass = recallEn;
  const int idx = AreaLevel(in.compared, in.area);
  float s = in.area > 0
                ? static_cast<float>(in.compared) / static_cast<float>(in.area) - kAreaOffset
                : 0.0f;
  if (s < 1e-6f) s = 0.0f;
  // Without compared pixels the ratio is what IEEE division by zero gives
  // (infinity, or NaN for 0 / 0): every ratio comparison below is false.
  const float r = in.compared != 0 ? static_cast<float>(uniformSize) / static_cast<float>(in.compared)
                  : (uniformSize != 0 ? INFINITY : NAN);
  const float rf = r * in.factor;
  ReportRatio(r, uniformSize, in.compared);

  if (rf < kLowRatio) m = Boosted(m, r, in.factor);
  if (r < gZqUniformRatioT1[idx]) {
    pass = 0;
    s *= kAreaPenalty;
    m = Decrement(m);
  }
  if (SpreadTooWide(in)) {
    pass = 0;
    s *= kAreaPenalty;
    m = Decrement(m);
  }
  if (CoverTooLow(in)) {
    pass = 0;
    s *= kAreaPenalty;
  }
  if (r < gZqUniformRatioT2[idx]) {
    m = recallEn == 0 ? 0 : Decrement(m);
    s *= kAreaPenalty;
  }
  if (rf < kVeryLowRatio) {
    m = recallEn == 0 ? 0 : Decrement(m);
    s *= kAreaPenalty;
  }
  if (m <= kPassFloorMode3) pass = 0;
  *mOut = m;
  *passFlag = pass;
  *areaWeight = s;
  ReportScore(m);
  return 0;
}

}  // extern "C"
