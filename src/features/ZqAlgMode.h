// The process-wide detector settings gAlgMode and their setters and getters.
#ifndef SRC_FEATURES_ZQALGMODE_H_
#define SRC_FEATURES_ZQALGMODE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Largest sensor type code the setter accepts (16, FW4855, algorithm only).
#define ZQ_MAX_SENSOR_TYPE 16
// Largest keypoint cap the setter accepts.
#define ZQ_MAX_KP_NUM 300
// Keypoint cap at load, and the value ZqGetKpNumMode4 returns.
#define ZQ_DEFAULT_KP_NUM 160
// Keypoint cap the scale-space detector leaves behind after fast mode.
#define ZQ_FAST_MODE_KP_NUM 170

// Detector settings, fields in this order. Unlocked: single-threaded use.
typedef struct ST_AlgMode {
  uint16_t sensorType;          // SensorType code, 0 .. 16 (initial 2)
  uint16_t kpNum;               // cap on returned keypoints, <= 300 (initial 160)
  uint8_t kpValidRegionSwitch;  // nonzero: keep keypoints on set validFlg bits (0)
  uint8_t imageMode;            // 16 fast mode, 0 for 56 x 56, else 4 (initial 4)
  uint8_t badPixInValidRegion;  // 1: keep keypoints on set bad-pixel bits (0)
  uint8_t histToDescrVariant;   // descriptor conversion 0 or 1 (initial 0)
} ST_AlgMode;

// The settings; initialised at load, never reset by the library.
extern ST_AlgMode gAlgMode;

// type <= 16: stores it; otherwise logs "There is no such chip!!".
void ZqSensorTypeSet(uint16_t type);
// gAlgMode.sensorType.
uint16_t ZqSensorTypeGet(void);
// n <= 300: stores it; otherwise logs "The maximum feature num of setting is
// too large!".
void ZqKpNumSet(uint16_t n);
// gAlgMode.kpNum.
uint16_t ZqGetKpNum(void);
// The fast-mode cap of the scale-space detector: always 160.
uint16_t ZqGetKpNumMode4(void);
// kpValidRegionSwitch = (flag != 0).
void ZqObtainKeyPointInValidRegion(uint8_t flag);
// gAlgMode.kpValidRegionSwitch.
uint8_t ZqGetKpValidRegionSwitch(void);
// badPixInValidRegion = value as given (only 1 turns the filter on).
void ZqSetBadPixInValidRegion(uint8_t value);
// gAlgMode.badPixInValidRegion.
uint8_t ZqGetBadPixInValidRegion(void);

// Test-only: puts gAlgMode back to its load-time values.
void ZqAlgModeResetForTest(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FEATURES_ZQALGMODE_H_
