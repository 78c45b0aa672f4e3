#include "src/ZqAlg/ZqQualityWrappers.h"

#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/enhance/ZqImgQuality.h"
#include "src/enhance/ZqImgSimpleChecks.h"
#include "src/enhance/ZqNonFingerDetect.h"
#include "src/enhance/ZqStepClock.h"
#include "src/enhance/ZqValidArea.h"
#include "src/features/ZqAlgMode.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqImageChecks.h"
#include "src/netModel/predict.h"
#include "src/netModel/predict_no_finger.h"
#include "src/netModel/predict_true_false_affine.h"

namespace {

ZqPredictFunc g_nonFingerPredict = predict_nonefinger_v2;
ZqPredictFunc g_fakePredict = predict_fakefinger_v2;

uint16_t Cols() { return static_cast<uint16_t>(gSensorInfor.cols); }
uint16_t Rows() { return static_cast<uint16_t>(gSensorInfor.rows); }

typedef int32_t (*Scorer)(const uint8_t *, uint16_t, uint16_t, uint8_t *, uint8_t *, uint8_t *,
                          uint8_t *, uint8_t *);

int32_t Score(Scorer scorer, const uint8_t *img, uint8_t *map, uint8_t *out) {
  return scorer(img, Cols(), Rows(), &out[1], &out[0], &out[2], &out[3], map);
}

// Runs a predictor; its failure gives class 0, whatever it wrote.
int32_t Predict(const char *func, ZqPredictFunc predict, bool fake, const uint8_t *img,
                int rows, int cols, float *score) {
  int32_t cls = 0;
  zq::StepClock clock;
  const int32_t ret = predict(img, rows, cols, &cls, score);
  if (ret != 0) {
    if (fake)
      QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...predict_fakefinger_v2() err.= %d", func, ret);
    else
      QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...predict_nonefinger_v2() err.= %d", func, ret);
    cls = 0;
  }
  if (clock.on()) {
    if (fake)
      QUORV_LOG_IN(func, QUORV_LOG_WARNING, "%s...predict_fakefinger_v2 cost time = %d ms",
                   func, clock.Total());
    else
      QUORV_LOG_IN(func, QUORV_LOG_WARNING, "%s...predict_nonefinger_v2 cost time = %d ms",
                   func, clock.Total());
  }
  return cls;
}

int32_t NonFinger(const uint8_t *img) {
  if (img == nullptr) return ZQ_ERR_PARAM;
  float p = 0.0f;
  return NonFingerDetect(img, Cols(), Rows(), &p);
}

}  // namespace

extern "C" {

int32_t ZqGetImageQuality(const uint8_t *img, uint8_t *out) {
  if (img == nullptr || out == nullptr) {
    QUORV_LOGE("%s...input error, ret = -1", __func__);
    return ZQ_ERR_PARAM;
  }
  return Score(ZqImgQuality, img, nullptr, out);
}

int32_t ZqGetImageQualityRuber(const uint8_t *img, uint8_t *out) {
  if (img == nullptr || out == nullptr) {
    QUORV_LOGE("%s...input error, ret = -1", __func__);
    return ZQ_ERR_PARAM;
  }
  return Score(ZqImgQualityRuber, img, nullptr, out);
}

int32_t ZqGetImageQualityInter(const uint8_t *img, uint8_t *validMap, uint8_t *out) {
  if (img == nullptr || out == nullptr) {
    ZQ_LOG_FAIL("ZqGetImageQualityInter", "(pImageBuff == NULL) || (pFpSensorImageInfo == NULL)");
    return ZQ_ERR_PARAM;
  }
  return Score(ZqImgQuality, img, validMap, out);
}

int32_t ZqGetImageQualityInterRuber(const uint8_t *img, uint8_t *validMap, uint8_t *out) {
  if (img == nullptr || out == nullptr) {
    ZQ_LOG_FAIL("ZqGetImageQualityInter", "(pImageBuff == NULL) || (pFpSensorImageInfo == NULL)");
    return ZQ_ERR_PARAM;
  }
  return Score(ZqImgQualityRuber, img, validMap, out);
}

int32_t ZqEnrollNonFingerPredict(const uint8_t *img, int rows, int cols, int, int,
                                 float *score) {
  return Predict(__func__, g_nonFingerPredict, false, img, rows, cols, score);
}

int32_t ZqIdentifyNonFingerPredict(const uint8_t *img, int rows, int cols, int, int,
                                   float *score) {
  return Predict(__func__, g_nonFingerPredict, false, img, rows, cols, score);
}

int32_t ZqFakeFingerPredict_Method2(const uint8_t *img, int rows, int cols, int, float *score) {
  return Predict(__func__, g_fakePredict, true, img, rows, cols, score);
}

int32_t ZqIdentifyNonFingerDetect(const uint8_t *img) { return NonFinger(img); }

int32_t ZqEnrollNonFingerDetect(const uint8_t *img) { return NonFinger(img); }

int32_t ZqNetInit(int, int, int) { return net_init_model_v2(ZqSensorTypeGet()); }

int32_t ZqNoneFingerNetStructParamSet_v1(int32_t netVersion, const float *weights,
                                         int32_t weightCount, const int16_t *layerTable,
                                         int32_t tableLen) {
  return NoneFinger_NetStruct_Param_Set_v1(netVersion, weights, weightCount, layerTable,
                                           tableLen);
}

int32_t ZqFakeFingerNetStructParamSet_v1(int32_t netVersion, const float *weights,
                                         int32_t weightCount, const int16_t *layerTable,
                                         int32_t tableLen) {
  return FakeFinger_NetStruct_Param_Set_v1(netVersion, weights, weightCount, layerTable,
                                           tableLen);
}

int32_t ZqNoneFingerNetStructParamSet(const NetFunctionSt *net, int32_t len) {
  return NoneFinger_NetStruct_Param_Set(net, len);
}

int32_t ZqFakeFingerNetStructParamSet(const NetFunctionSt *net, int32_t len) {
  return FakeFinger_NetStruct_Param_Set(net, len);
}

int32_t ZqGetImagePhysicsArea(const uint8_t *img) { return ZqImgPhysicsArea(img, Cols(), Rows()); }

int32_t ZqDirtyImageDetect(const uint8_t *img, uint16_t width, uint16_t height,
                           int32_t areaLimit) {
  return ZqDirtyDetect(img, width, height, areaLimit);
}

int32_t ZqDetectPalm(const uint8_t *img, uint16_t a, uint16_t b) { return ZqPalmDetect(img, a, b); }

int32_t ZqGetValidArea(const uint8_t *img, int32_t a, int32_t b, uint8_t *percent) {
  return ZqValidArea(img, a, b, percent);
}

int32_t ZqAbnormalRuberImage(const uint8_t *reference, const uint8_t *img, int32_t rows,
                             int32_t cols, int32_t shift, int32_t minutiaLimit,
                             float simThreshold) {
  return ZqJudgeAbnormalErasehead(reference, img, rows, cols, shift, minutiaLimit, simThreshold);
}

void ZqPredictorsSetForTest(ZqPredictFunc nonFinger, ZqPredictFunc fake) {
  g_nonFingerPredict = nonFinger != nullptr ? nonFinger : predict_nonefinger_v2;
  g_fakePredict = fake != nullptr ? fake : predict_fakefinger_v2;
}

}  // extern "C"
