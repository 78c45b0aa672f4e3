// The algorithm library's settings: the record gSensorInfor with its
// setters, the detector thresholds gAlgInfor, and the configuration dump.
// The far levels and the adaptive level are in ZqFarLevel.h.
#ifndef SRC_ZQALG_ZQSENSORINFOR_H_
#define SRC_ZQALG_ZQSENSORINFOR_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Algorithm settings; the single instance gSensorInfor holds the defaults
// noted on each field until a setter runs.
typedef struct ST_SensorInfor {
  int32_t cols;                         // 96: sensor width in pixels
  int32_t rows;                         // 96: sensor height in pixels
  uint32_t enrollMaxTplCount;           // 16: most sub-templates enrolment adds
  uint32_t algMaxTplCount;              // 48: most sub-templates kept per finger
  uint8_t algVerifyFarLevel;            // 15: verify far level, 0..28
  uint8_t algoMode;                     // 1: algorithm mode 0..5
  uint8_t frrImproveEn;                 // 0
  uint8_t frrImproveLevel;              // 0
  uint8_t updateOutsideEn;              // 1
  uint8_t updateFarLevel;               // 16: update far level, 0..28
  int16_t updateTemplateThreshold;      // 0
  int16_t updateTemplateAreaThreshold;  // 16
  uint8_t templateBuffEn;               // 0: template buffer on when 1
  uint8_t templateExtraEn;              // 1: extra-template buffer on when 1
  uint8_t spaFilterEn;                  // 1: SPA smoothing on when 1
  uint8_t foreignBodyTest;              // 0: foreign-body test on when 1
  uint8_t smallSensor;                  // 0: 1 for 56x56, 52x52 or 50x50
  uint16_t maxFeatNum;                  // 160: configured keypoint cap
  uint8_t algBadPixBitRef;              // 0: bad-pixel map on when 1
  uint8_t multiAreaMatchEn;             // 0
  uint8_t binImageEnhance;              // 0
  uint8_t noneFingerNetModule;          // 0
  uint8_t trueFalseFingerNetModule;     // 0
  uint8_t imageStretch;                 // 0
  uint8_t classifierOn;                 // 0
  uint8_t negativeTemplateBuffEn;       // 0
  uint8_t mulTemplateCrossCheckEn;      // 0
  uint8_t adjustMatchEn;                // 1: adaptive far level on when 1
  uint8_t fullHomography;               // 0: set by the algorithm's initialisation
} ST_SensorInfor;

// Scale-space detector thresholds; gAlgInfor holds 3, 15, 1.6, 0.02.
typedef struct ST_AlgInfor {
  int32_t intvls;
  int32_t curvThr;
  float sigma;
  float contrThr;
} ST_AlgInfor;

extern ST_SensorInfor gSensorInfor;
extern ST_AlgInfor gAlgInfor;

// Stores cols and rows; smallSensor = 1 for exactly 56x56, 52x52 or 50x50.
void ZqSetSensorColRow(int16_t cols, int16_t rows);
// enrollMaxTplCount = n for 0..96; other values are refused (logged).
void ZqSetFpEnrollMaxTplCnt(int n);
// algMaxTplCount = n for 0..96; other values are refused (logged).
void ZqSetAlgMaxTplCnt(int n);
// algoMode = mode for 0..5, else 1.
void ZqSetAlgoMode(uint8_t mode);
// foreignBodyTest = 1 for any non-zero value, else 0.
void ZqSetForeignBodyTest(uint8_t on);
// frrImproveEn = 1 whatever the argument.
void ZqSetFrrImprovedEn(int on);
void ZqSetFrrImproveLevel(uint8_t level);
void ZqUpdateTemplateOutsideEn(uint8_t on);
void ZqSetUpdateTemplateThreshold(int16_t thr);
void ZqSetUpdateTemplateAreaThreshold(int16_t thr);
void ZqSetTemplateBuffEn(uint8_t on);
void ZqSetTemplateExtraEn(uint8_t on);
void ZqSpaFilterEn(uint8_t on);
// Hands n to the detector's keypoint cap, then maxFeatNum = n.
void ZqMaxFeatNumSet(uint16_t n);
void ZqAlgBadPixBitRefSet(uint8_t on);
void ZqSetMultiAreaMathEn(uint8_t on);
void ZqSetBinImageEnhance(uint8_t on);
void ZqSetNoneFingerNetModule(uint8_t on);
void ZqSetTrueFalseFingerNetModule(uint8_t on);
void ZqSetImageStretch(uint8_t on);
void ZqSetClassifierOn(uint8_t on);
void ZqSetNegativeTemplateBuffEn(uint8_t on);
void ZqSetMulTemplateCrossCheckEn(uint8_t on);
void ZqSetAdjustMatchEn(uint8_t on);
// Hands the SensorType code to the keypoint detector's settings.
void ZqChipNameSet(uint16_t type);
// Keypoints only on valid pixels when flag is non-zero.
void ZqValidBitRefSet(uint8_t flag);
// Keypoints only off bad pixels when value is 1.
void ZqBadPixBitRefSet(uint8_t value);
// Sets the sensor name code of the quality measures.
void ZqSetSensorName(int name);
// Sets the module type of the quality measures.
void ZqSetModuleType(int type);
// No-finger threshold 0.1 x (level + 1) for levels 0..8, else 0.5.
void ZqSetNoneFingerLevel(uint8_t type, uint8_t level);
// Pool switch for the next algorithm initialisation.
void ZqSetMemoryPoolEnable(int en);

// Stores contrThr when 0.001 < contrThr < 0.2 and curvThr when
// 10 < curvThr < 30; an out-of-range value keeps the old one.
void ZqAlgInfoSet(uint32_t curvThr, float contrThr);
// Copies gAlgInfor into *out; NULL is ignored.
void ZqGetAlgInfo(ST_AlgInfor *out);
// Returns algVerifyFarLevel.
int ZqGetAlgFarLevel(void);
// Copies gSensorInfor into *out; NULL is ignored.
void ZqCopySensorInfor(ST_SensorInfor *out);
// Logs the build configuration at level 3.
void ZqShowAlgConfig(void);

// Test hook: gSensorInfor, gAlgInfor and the adaptive level back to their
// load values.
void ZqAlgSettingsResetForTest(void);

#ifdef __cplusplus
}

// cols x rows of gSensorInfor; 0 while either is not positive.
inline uint32_t ZqSensorPixels() {
  if (gSensorInfor.cols <= 0 || gSensorInfor.rows <= 0) return 0;
  return static_cast<uint32_t>(gSensorInfor.cols) * static_cast<uint32_t>(gSensorInfor.rows);
}
#endif

#endif  // SRC_ZQALG_ZQSENSORINFOR_H_
