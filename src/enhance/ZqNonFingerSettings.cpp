// The sensor and no-finger settings; see ZqNonFingerSettings.h.
#include "src/enhance/ZqNonFingerSettings.h"

namespace {
constexpr float kDefaultNoneFingerThr = 0.7f;
}  // namespace

extern "C" {

uint16_t gSensorName = 0;
uint16_t gModuleType = 0;
uint8_t gNoneFingerType = 0;
float gNoneFingerThr = kDefaultNoneFingerThr;

void SetSensorName(int32_t code) { gSensorName = static_cast<uint16_t>(code); }

void SetModuleType(int32_t type) { gModuleType = static_cast<uint16_t>(type); }

void SetNoneFingerThr(int32_t type, float thr) {
  gNoneFingerType = static_cast<uint8_t>(type);
  gNoneFingerThr = thr;
}

void NonFingerSettingsResetForTest(void) {
  gSensorName = 0;
  gModuleType = 0;
  gNoneFingerType = 0;
  gNoneFingerThr = kDefaultNoneFingerThr;
}

}  // extern "C"
