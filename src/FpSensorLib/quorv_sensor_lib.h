// The sensor library's interface as the driver and the factory entry use it:
// configuration setters, host-callback registration, resources, enrolment
// and identification of supplied frames, template storage and the factory
// test flows. Results of the flows are quorv_result_t codes.
#ifndef SRC_FPSENSORLIB_QUORV_SENSOR_LIB_H_
#define SRC_FPSENSORLIB_QUORV_SENSOR_LIB_H_

#include <stdint.h>

#include "src/netModel/ZqCnnNetStructDef.h"
#include "src/quorv_base/quorv_host_callbacks.h"

#ifdef __cplusplus
extern "C" {
#endif

// Results of the enrol, identify and template flows.
typedef enum quorv_result {
  QUORV_OK = 0,
  QUORV_ERR_INPUT = -1,        // bad input or resources (the driver rebuilds the library)
  QUORV_ERR_ALGORITHM = -2,
  QUORV_ERR_LOW_QUALITY = -3,
  QUORV_ERR_SMALL_AREA = -4,
  QUORV_ERR_NOT_FINGER = -5,
  QUORV_ERR_MUST_MOVE = -6,
  QUORV_ERR_ENROLLED = -7,
  QUORV_ERR_TOO_FAST = -8,
  QUORV_ERR_WET = -9,
  QUORV_ERR_WHITE = -10,
  QUORV_ERR_IDENTIFY_11 = -11,
  QUORV_ERR_IDENTIFY_12 = -12,
} quorv_result_t;

// Finger slots of the library's template store.
#define QUORV_FINGER_SLOTS 10
// Largest template blob quorv_SaveAlgTplData and quorv_GetAlgTplData write;
// the caller's data buffer must hold this many bytes.
#define QUORV_TPL_DATA_MAX 1048576u
// quorv_IdentifyByImage's fid when nothing matched.
#define QUORV_NO_FINGER 255

// --- Configuration setters ----------------------------------------------------
// Each stores its value in QuorvConfigInfo and, where the algorithm core or
// the sensor access layer keeps the setting too, hands it on. Without a
// record (before quorv_SensorResourceCreate, after destroy) they log and do
// nothing; those with a status then return -1.

// Stores the size, hands it on and selects the keypoint settings for it.
void quorv_SetFpSensorColsRows(uint8_t cols, uint8_t rows);
void quorv_IcInfoSwitch(uint8_t chip);  // a SensorType code; handed on only
// SetImageBit's status: 0, or -1 when the MCU is busy (the mode is kept).
int quorv_SetImageBit(uint8_t mode);
void quorv_SetModuleType(uint16_t type);  // hands on all 16 bits, keeps the low byte
void quorv_SetAlgoMode(uint8_t mode);
// ver above 1 becomes 1 (warned); type is the non-finger type.
void quorv_SetNonFingerDetect(uint8_t ver, uint8_t type, uint8_t identify_level);
// mode above 2 becomes 2 (warned).
void quorv_SetFakeFingerDetect(uint8_t mode, uint8_t second, uint8_t level);
void quorv_SetTrueFalseFingerDetect(uint8_t mode);  // mode above 2 becomes 2
void quorv_SetNoneFingerLevel(uint8_t type, uint8_t level);
void quorv_SetNonFingerDetectVer(uint8_t ver);
void quorv_SetForeignBodyAttackSwitch(uint8_t on);
void quorv_SpaEn(uint8_t on);
void quorv_SetAdjustMatchEn(uint8_t on);
void quorv_SetSlideEnrollEn(uint8_t on);
void quorv_SetTemplateBuffEn(uint8_t on);
void quorv_SetNegativeTemplateBuffEn(uint8_t on);
void quorv_SetMulTemplateCrossCheckEn(uint8_t on);
void quorv_SetMultiAreaMatchEn(uint8_t on);
void quorv_SetClassifierOn(uint8_t on);
void quorv_UpdateTemplateOutsideEn(uint8_t on);
void quorv_SetBinImageEnhance(uint8_t on);
void quorv_SetImageStretchEn(uint8_t on);
void quorv_SetBadPixBitRef(uint8_t mode);
void quorv_SetAlgFarLevel(uint8_t level);
void quorv_SetUpdateTemplateFarLevel(uint8_t level);
void quorv_SetFpAlgMaxTpl(uint8_t count);
void quorv_SetEnrollMaxTpl(uint8_t count);
void quorv_SetImageRescanCnt(uint8_t count);
void quorv_SetSlideEnrollGetImageCnt(uint8_t count);
void quorv_DebugInfoSwitch(uint8_t mode);
void quorv_PrintFuncTime(uint8_t on);
void quorv_SetValidBitRef(uint8_t mode);
void quorv_SetUpdateTemplateThreshold(uint16_t threshold);
void quorv_SetUpdateTemplateAreaThreshold(uint16_t threshold);
void quorv_SetImprovedFrrEn(uint8_t on);
void quorv_SetImprovedLevel(uint8_t level);
int quorv_SetMcuStateCheckMode(uint8_t mode);
void quorv_InitImageAdjust(uint8_t mode);
void quorv_InitImageFilter(uint8_t on);
void quorv_InitImageSmall(uint8_t mode);
void quorv_InitStandardDeviationThr(int32_t threshold);
int quorv_SetFW4856BaseEnable(uint8_t on);
void quorv_VerifyQuicklyEn(uint8_t on);
void quorv_FilterEnhanceEn(uint8_t on);
void quorv_SetEnrollmentTipsEn(uint32_t mode);
void quorv_SetImageQualityScore(uint8_t score);
void quorv_SetImageVerifyQualityScore(uint8_t score);
void quorv_EnrollmentDuplicateCheckEn(uint8_t on);
int quorv_SetImageValidCondScale(uint8_t value);
int quorv_SetImageVerifyValidCondScale(uint8_t value);
void quorv_SetImageWetCondThr(uint8_t value);
void quorv_EnrollNonFingerDetect(uint8_t on);
void quorv_EnrollNonFingerDetectNet(uint8_t on);
void quorv_IdentifyNonFingerDetect(uint8_t on);
void quorv_SetImproveFeatureEn(uint8_t on);
void quorv_SetAbnormalImgDetectMode(uint8_t mode);
void quorv_SetForceIdentifyEnable(uint8_t on);
void quorv_SetImageRepeatEn(uint8_t on);
void quorv_SetNormalImageRescanCnt(uint8_t count);
void quorv_SetImageSaveEn(uint8_t on);
void quorv_SetOneSlideEnrollMaxTpls(uint8_t count);
void quorv_SetSlideEnrollArealapThreshold(uint8_t value);
void quorv_SetSlideEnrollSpeedThreshold(uint8_t value);
void quorv_SetSlideVerifySpeedThreshold(uint8_t value);
void quorv_SetSmallAreaImageUpdateEn(uint8_t on);
int quorv_SetMcuInterrupMode(uint8_t mode);
void quorv_SetImageNoiseFilter(uint8_t on);
void quorv_IdentifyNonFingerDetectNet(uint8_t on);     // stores 2 for nonzero
void quorv_SetRescanOverlapAreaThreshold(uint8_t value);  // capped at 100
void quorv_SetMLOGOEnhance(uint8_t on);                // stores 1 for nonzero
int quorv_SetImageValidAreaScale(float fraction);
int quorv_SetImageVerifyValidAreaScale(float fraction);
void quorv_SetEnrollmentTipsParameter(uint32_t p1, uint32_t p2, uint8_t p3, uint8_t p4);
void quorv_FilterEnhance(uint8_t on, uint8_t level);
void quorv_SetImageContrastEnhance(uint8_t on, uint8_t a, uint8_t b);
void quorv_SetDirtyParameter(uint8_t area, uint8_t quality, uint8_t cond);
void quorv_SetOptimizeIdentifyLevel(int a, int b, int c);
void quorv_SetTransferBytesMax(int32_t bytes);
void quorv_SetSlideIdentifyEn(uint8_t on);
void quorv_SetTemplateExtraEn(uint8_t on);
int quorv_SetImagePhyAreaScale(uint16_t value);
int quorv_SetImageVerifySmallAreaScale(uint16_t value);
int quorv_SetImageVerifyPhyAreaScale(uint16_t value);
int quorv_SetImageWetPrenctScale(uint32_t value);
void quorv_SetImageCoverAreaThreshold(float value);
void quorv_SetFastSlideNeedEnroll(uint8_t on);
void quorv_SetForceEnrollCnt(uint8_t count);
void quorv_InitLogLevel(uint8_t level);  // also the library's log threshold
void quorv_SetMemoryPoolEnable(uint8_t on);
void quorv_SetRuberTestEnable(uint8_t on);

// --- Settings only handed on (work with or without a record) ---------------
void quorv_InitSaveSensorImage(uint8_t on);
void quorv_SetMaxFeatNum(uint16_t count);
void quorv_SetSlideEnrollNoValidImageCnts(uint8_t count);
int quorv_Set4859HScanTimes(int32_t times);   // 0
// ZqClearNegativeTempalteBuf(); the buffer it names has no effect.
void quorv_ClearNegativeTempalteBuf(void);
int quorv_SetFW4848FilterThr(float threshold);  // 0
// Classifier networks: the setter's status (-1 for a NULL record, -2 when
// its net_len is not sizeof(NetFunctionSt)).
int quorv_SetNoneFingerNetParam_v1(int32_t version, const float *weights, int32_t weight_count,
                                   const int16_t *layers, int32_t layers_len);
int quorv_SetFakeFingerNetParam_v1(int32_t version, const float *weights, int32_t weight_count,
                                   const int16_t *layers, int32_t layers_len);
int quorv_SetNoneFingerNetParam(const ST_QuorvNetParam *param);
int quorv_SetFakeFingerNetParam(const ST_QuorvNetParam *param);

// --- Status and version getters ------------------------------------------
int quorv_GetImageBitStatus(void);
int quorv_GetMcuInterruptMode(void);
int quorv_GetMcuStateCheckMode(void);
int quorv_getMcuStateCheckMode(void);
// Version texts with their NUL; a buffer must hold 37 bytes; NULL ignored.
void quorv_GetLibVersion(char *buf);
void quorv_GetZQLibVersion(char *buf);
void quorv_GetAlgLibVersion(char *buf);
void quorv_GetNoneFingerVersion(char *buf);
void quorv_GetTrueFalseFingerVersion(char *buf);
void quorv_GetClassifierVersion(char *buf);
int quorv_GetLibType(void);  // -96
// Kept in the interface: each returns 0.
int quorv_get_fw_config(void);
int quorv_get_fw_config_tmp(void);
int quorv_get_android_config(void);
int quorv_get_android_config_tmp(void);
int quorv_get_Histogram_buf(void);
int quorv_get_debuginfo(void);
int quorv_get_debuginfo_tmp(void);
// Kept in the interface without an effect.
void quorv_set_verify_with_image(uint8_t on);
void quorv_SetImageFromPicModeEnFactory(uint8_t on);
int quorv_VerifySensorFactory(void);  // 0

// --- Host callbacks (handed to the sensor access layer's slots) -----------
void quorv_InitFuncSpiWrite(QuorvSpiWriteFunc f);
void quorv_InitFuncSpiRead(QuorvSpiReadFunc f);
void quorv_InitFuncUsleep(QuorvUsleepFunc f);
void quorv_InitFuncGetSystemTime(QuorvGetSystemTimeFunc f);
void quorv_InitFuncGetMcuStatus(QuorvGetMcuStatusFunc f);

// --- Resources -------------------------------------------------------------
// 0, or -1 when an instance or the configuration record cannot be made.
int8_t quorv_SensorResourceCreate(void);
// Releases everything create and quorv_InitFpAlg built; repeatable.
void quorv_SensorResourceDestroy(void);
// Builds the image buffers and initialises the algorithm: 0, or negative.
int quorv_InitFpAlg(void);
// Prints the configuration as a script of setter calls at info level, then
// the algorithm's configuration and the version texts.
void quorv_ShowSensorConfig(void);

// --- Enrolment and identification ------------------------------------------
// Resets the enrolment index counter; 0.
int quorv_ClearEnrollPara(void);
// Enrols one frame into finger `slot` at enrolment index `index`.
int quorv_EnrollByImage(int slot, uint8_t index, const uint8_t *frame);
// Adds the last frame at `index` without the movement check.
int quorv_ForceEnroll(int slot, uint8_t index, uint8_t *out);
// Matches the frame against the loaded slots: 0 on a match with *fid the
// slot (QUORV_NO_FINGER when none) and *update 1 when the matched template
// should be updated.
int quorv_IdentifyByImage(const uint8_t *frame, int mode, uint8_t *fid, uint8_t *update);

// --- Templates ---------------------------------------------------------------
// Empties finger slot `finger_id` (low 8 bits); 0 on success.
int quorv_DelFinger(unsigned finger_id);
// Loads a template blob of `len` bytes into `slot`.
int quorv_InitAlgTplData(uint8_t slot, uint8_t type, uint32_t len, const uint8_t *data);
// Writes the slot's template (at most QUORV_TPL_DATA_MAX bytes) into data,
// with its type and length; 0 or a negative code (16-bit, sign-extended).
int quorv_SaveAlgTplData(int slot, uint8_t *type, uint32_t *len, uint8_t *data);
// The same for the template as updated after the last match.
int quorv_GetAlgTplData(int slot, uint8_t *type, uint32_t *len, uint8_t *data);
// Updates the last matched template; *slot = its slot (255 first). 0 when
// updated.
int quorv_UpdateTemplate(uint8_t update, uint8_t *slot);

// --- Factory test flows ----------------------------------------------------
int quorv_Init_frr_far(void);
// quorv_InitAlgTplData and quorv_SaveAlgTplData with the slot unsigned; a
// slot above 9 is refused (-1) as there, never taken modulo 256.
int quorv_InitAlgTplData_frr_far(uint16_t slot, uint8_t type, uint32_t len, const uint8_t *data);
int quorv_SaveAlgTplData_frr_far(uint16_t slot, uint8_t *type, uint32_t *len, uint8_t *data);
int quorv_SendImageAndGetQualityArea(const unsigned char *image, unsigned char *quality,
                                     unsigned char *area);
int quorv_Enroll_frr_far(const unsigned char *image);
int quorv_SetTplValid(int flag);
int quorv_Identify_frr_far(const unsigned char *image);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_SENSOR_LIB_H_
