// The no-finger network; see ZqNonFingerDetect.h.
#include "src/enhance/ZqNonFingerDetect.h"

#include <math.h>

#include <algorithm>

#include "src/enhance/ZqNonFingerFeatures.h"
#include "src/enhance/ZqNonFingerSettings.h"
#include "src/image/ZqScratch.h"

namespace {

#define NONFINGER_NET(sfx)                                                             \
  ST_NonFingerNet {                                                                    \
    NORM_COFF_AVG##sfx, NORM_COFF_SIGMA##sfx, HID1_COFF_W##sfx, HID1_COFF_B##sfx,      \
        HID2_COFF_W##sfx, HID2_COFF_B##sfx, OUT_COFF_W##sfx, OUT_COFF_B##sfx           \
  }

const ST_NonFingerNet kDefault = NONFINGER_NET();
const ST_NonFingerNet kZe4850Matte = NONFINGER_NET(_ZE4850_MATTE);
const ST_NonFingerNet kFw4845MatteLogo = NONFINGER_NET(_FW4845_MATTE_LOGO);
const ST_NonFingerNet kFw4845HlType1 = NONFINGER_NET(_FW4845_HL_TYPE1);
const ST_NonFingerNet kFw4845HlType0 = NONFINGER_NET(_FW4845_HL_TYPE0);
const ST_NonFingerNet kFw4845MatteType1 = NONFINGER_NET(_FW4845_MATTE_TYPE1);
const ST_NonFingerNet kFw4845MatteType0 = NONFINGER_NET(_FW4845_MATTE_TYPE0);

#undef NONFINGER_NET

constexpr float kActLimit = 45.0f;

// tanh of the pre-activation limited to -45..45, as (e^a - e^-a) / (e^a + e^-a).
inline float Squash(float a) {
  a = std::clamp(a, -kActLimit, kActLimit);
  const float ep = expf(a), en = expf(-a);
  return (ep - en) / (ep + en);
}

}  // namespace

extern "C" const ST_NonFingerNet *NonFingerSelectNet(uint16_t sensorName, uint16_t moduleType,
                                                     uint8_t noneFingerType) {
  if (sensorName == 8) {
    if (moduleType == 1) return noneFingerType == 1 ? &kFw4845HlType1 : &kFw4845HlType0;
    if (moduleType == 2) return &kFw4845MatteLogo;
    return noneFingerType == 1 ? &kFw4845MatteType1 : &kFw4845MatteType0;
  }
  if (sensorName == 9 || sensorName == 10) return &kZe4850Matte;
  return &kDefault;
}

extern "C" int32_t NonFingerForward(const ST_NonFingerNet *net, const float *feat, float *prob) {
  if (net == nullptr || feat == nullptr || prob == nullptr) return -1;
  float x[NONFINGER_FEATURES], h1[NONFINGER_HIDDEN], h2[NONFINGER_HIDDEN], o[NONFINGER_OUTPUTS];
  for (int k = 0; k < NONFINGER_FEATURES; ++k) x[k] = (feat[k] - net->avg[k]) / net->sigma[k];
  for (int j = 0; j < NONFINGER_HIDDEN; ++j) {
    float a = 0.0f;
    for (int k = 0; k < NONFINGER_FEATURES; ++k) a += x[k] * net->w1[j][k];
    h1[j] = Squash(a + net->b1[j]);
  }
  for (int j = 0; j < NONFINGER_HIDDEN; ++j) {
    float a = 0.0f;
    for (int k = 0; k < NONFINGER_HIDDEN; ++k) a += h1[k] * net->w2[j][k];
    h2[j] = Squash(a + net->b2[j]);
  }
  for (int j = 0; j < NONFINGER_OUTPUTS; ++j) {
    float a = 0.0f;
    for (int k = 0; k < NONFINGER_HIDDEN; ++k) a += h2[k] * net->w3[j][k];
    o[j] = a + net->b3[j];
  }
  const float e0 = expf(o[0]), e1 = expf(o[1]);
  *prob = e0 / (e0 + e1);
  return 0;
}

extern "C" int32_t NonFingerDetect(const uint8_t *image, uint16_t width, uint16_t height,
                                   float *prob) {
  if (image == nullptr || prob == nullptr) return -1;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  float *feat = scratch.Take<float>(NONFINGER_FEATURES);
  if (feat == nullptr) return -2;
  const int32_t ret = NonFingerFeatures(image, width, height, feat);
  if (ret != 0) return ret;
  float p = 0.0f;
  NonFingerForward(NonFingerSelectNet(gSensorName, gModuleType, gNoneFingerType), feat, &p);
  *prob = p;
  return p > gNoneFingerThr ? 0 : -5;
}
