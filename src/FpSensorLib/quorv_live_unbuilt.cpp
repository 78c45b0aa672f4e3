// Slide engines V6 and V7 until they are built: each reports that it is
// not available and fails with -1.
#include "src/FpSensorLib/quorv_live_deps.h"
#include "src/quorv_base/quorv_log.h"

extern "C" {

int quorv_SlideEnroll_V6(uint16_t, uint8_t, uint8_t *) {
  QUORV_LOGE("%s...not available, ret = %d", __func__, -1);
  return -1;
}

int quorv_SlideEnroll_V7(uint16_t, uint8_t, uint8_t *) {
  QUORV_LOGE("%s...not available, ret = %d", __func__, -1);
  return -1;
}

}  // extern "C"
