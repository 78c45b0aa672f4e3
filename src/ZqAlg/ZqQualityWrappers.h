// The sensor library's entry points for image judgement: quality, the
// no-finger and fake-finger classifiers, and forwarders to the image checks
// of the enhancement layer. Sizes come from gSensorInfor unless passed.
#ifndef SRC_ZQALG_ZQQUALITYWRAPPERS_H_
#define SRC_ZQALG_ZQQUALITYWRAPPERS_H_

#include <stdint.h>

#include "src/netModel/ZqCnnNetStructDef.h"

#ifdef __cplusplus
extern "C" {
#endif

// Bytes of a qualityAreaCond record: quality, area %, condition, extra.
enum { ZQ_QUALITY_BYTES = 4 };

// ZqImgQuality at the configured size, out = {quality, area, condition,
// extra}; -1 (out untouched) for NULL img or out, else the scorer's result.
int32_t ZqGetImageQuality(const uint8_t *img, uint8_t *out);

// ZqGetImageQuality through the rubber-test scorer ZqImgQualityRuber.
int32_t ZqGetImageQualityRuber(const uint8_t *img, uint8_t *out);

// ZqGetImageQuality with the caller's valid map (may be NULL).
int32_t ZqGetImageQualityInter(const uint8_t *img, uint8_t *validMap, uint8_t *out);

// ZqGetImageQualityInter through ZqImgQualityRuber.
int32_t ZqGetImageQualityInterRuber(const uint8_t *img, uint8_t *validMap, uint8_t *out);

// The no-finger classifier: returns its class, 0 when it fails; the
// probability goes to *score.
int32_t ZqEnrollNonFingerPredict(const uint8_t *img, int rows, int cols, int unused1,
                                 int unused2, float *score);

// As ZqEnrollNonFingerPredict, for the identify flows.
int32_t ZqIdentifyNonFingerPredict(const uint8_t *img, int rows, int cols, int unused1,
                                   int unused2, float *score);

// The fake-finger classifier: returns its class, 0 when it fails.
int32_t ZqFakeFingerPredict_Method2(const uint8_t *img, int rows, int cols, int unused,
                                    float *score);

// NonFingerDetect at the configured size: 0 finger, -5 no finger, other
// negatives on failure; -1 for NULL img.
int32_t ZqIdentifyNonFingerDetect(const uint8_t *img);

// The same as ZqIdentifyNonFingerDetect.
int32_t ZqEnrollNonFingerDetect(const uint8_t *img);

// Loads the networks for the sensor type set now; arguments are ignored.
int32_t ZqNetInit(int unused1, int unused2, int unused3);

// Forwarders to the classifiers' parameter setters; their result.
int32_t ZqNoneFingerNetStructParamSet_v1(int32_t netVersion, const float *weights,
                                         int32_t weightCount, const int16_t *layerTable,
                                         int32_t tableLen);
int32_t ZqFakeFingerNetStructParamSet_v1(int32_t netVersion, const float *weights,
                                         int32_t weightCount, const int16_t *layerTable,
                                         int32_t tableLen);
int32_t ZqNoneFingerNetStructParamSet(const NetFunctionSt *net, int32_t len);
int32_t ZqFakeFingerNetStructParamSet(const NetFunctionSt *net, int32_t len);

// ZqImgPhysicsArea at the configured size.
int32_t ZqGetImagePhysicsArea(const uint8_t *img);

// ZqDirtyDetect unchanged.
int32_t ZqDirtyImageDetect(const uint8_t *img, uint16_t width, uint16_t height,
                           int32_t areaLimit);

// ZqPalmDetect unchanged.
int32_t ZqDetectPalm(const uint8_t *img, uint16_t a, uint16_t b);

// ZqValidArea unchanged.
int32_t ZqGetValidArea(const uint8_t *img, int32_t a, int32_t b, uint8_t *percent);

// ZqJudgeAbnormalErasehead unchanged.
int32_t ZqAbnormalRuberImage(const uint8_t *reference, const uint8_t *img, int32_t rows,
                             int32_t cols, int32_t shift, int32_t minutiaLimit,
                             float simThreshold);

// Classifier signature shared by the two predictors.
typedef int32_t (*ZqPredictFunc)(const uint8_t *image, int32_t rows, int32_t cols,
                                 int32_t *cls, float *score);

// Test hook: replaces the no-finger and fake-finger predictors; NULL puts
// the real one back.
void ZqPredictorsSetForTest(ZqPredictFunc nonFinger, ZqPredictFunc fake);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQQUALITYWRAPPERS_H_
