// Host registration, host handlers, finger detection and saved sensor
// images: thin passages to the sensor access layer; see quorv_resources.h.
#include "src/FpSensorLib/quorv_resources.h"
#include "src/Quorv_sensor/quorv_finger_detect.h"
#include "src/Quorv_sensor/quorv_image_list.h"
#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_log.h"

extern "C" {

uint8_t detectFingerFlg = 0;
QuorvImgQualityHandler g_quorvImgQualityHandler = nullptr;
QuorvFingerStatusHandler g_quorvFingerStatusHandler = nullptr;
QuorvWetFingerHandler g_quorvWetFingerHandler = nullptr;

void quorv_InitFuncSpiWrite(QuorvSpiWriteFunc f) { InitFuncSpiWrite(f); }
void quorv_InitFuncSpiRead(QuorvSpiReadFunc f) { InitFuncSpiRead(f); }
void quorv_InitFuncUsleep(QuorvUsleepFunc f) { InitFuncUsleep(f); }
void quorv_InitFuncGetMcuStatus(QuorvGetMcuStatusFunc f) { InitFuncGetMcuStatus(f); }
void quorv_InitFuncGetSystemTime(QuorvGetSystemTimeFunc f) { InitFuncGetSystemTime(f); }
void quorv_InitFuncGetImage(QuorvGetImageFunc f) { InitFuncGetImage(f); }
void quorv_InitFuncReadImageInit(QuorvImageStepFunc f) { InitFuncReadImageInit(f); }
void quorv_InitFuncReadImageStart(QuorvImageStepFunc f) { InitFuncReadImageStart(f); }
void quorv_InitFuncReadImageEnd(QuorvImageStepFunc f) { InitFuncReadImageEnd(f); }
void quorv_InitFuncGetImageBase(QuorvGetImageBaseFunc f) { InitFuncGetImageBase(f); }
void quorv_InitFuncLog(QuorvLogFunc f) { InitFuncSetLog(f); }
void quorv_InitFuncFW4848GetImage(QuorvUnusedFunc f) { InitFuncFW4848GetImage(f); }
void quorv_InitFuncWhilePoint(QuorvUnusedFunc f) { InitFuncWhilePointHandle(f); }
void quorv_GetDynamicDiff(QuorvUnusedFunc f) { InitFuncDynamicDiffHandle(f); }
void quorv_SetWetFingerHandle(QuorvUnusedFunc f) { InitFuncSetWetFingerHandle(f); }

void quorv_GetImgQualityByFwHandle(QuorvImgQualityHandler f) { g_quorvImgQualityHandler = f; }
void quorv_GetFingerStatusHandle(QuorvFingerStatusHandler f) { g_quorvFingerStatusHandler = f; }
void quorv_GetWetFingerHandle(QuorvWetFingerHandler f) { g_quorvWetFingerHandler = f; }

int quorv_DetectFinger(void) {
  detectFingerFlg = 1;
  return DetectFinger();
}
int quorv_DetectFingerFactory(void) { return DetectFingerFactory(); }
void quorv_GetSensorImageBuff(uint8_t *dst, uint16_t len, uint8_t index) {
  quorv_get_sensor_image_buff(dst, len, index);
}
uint8_t quorv_GetSensorImageNum(uint8_t *out) { return quorv_get_sensor_image_num(out); }
void quorv_GetEnrollingEvent(void) {}
void quorv_ValidFingerInfoSwitch(void) {}

}  // extern "C"
