// What identification keeps between calls, and the accessors and
// forwarders over the algorithm core's match statistics.
#include "src/FpSensorLib/quorv_identify.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqPreFilters.h"
#include "src/ZqAlg/ZqQualityWrappers.h"

extern "C" {

int32_t savedVerifyRet = -2;
uint32_t abnormalImageCount = 0;
uint8_t imageOverlap = 0;

void quorv_SetVerifyRet(int ret) {
  savedVerifyRet = ret;
  SetVerifyRet(ret);
}

void quorv_UpdateAutoLevel(void) {
  ZqUpdateAutoMatchLevel(static_cast<int16_t>(savedVerifyRet),
                         static_cast<uint16_t>(ZqGetMatchScores()));
  savedVerifyRet = -2;
}

int quorv_GetImageOverlap(int *out) {
  if (out != nullptr) *out = imageOverlap;
  return imageOverlap;
}

void quorv_ClearImageOverlap(void) { imageOverlap = 0; }

float quorv_GetDetectRate(void) {
  const float rate = detectRate;
  detectRate = 0.0f;
  return rate;
}

int quorv_GetMatchScores(void) { return ZqGetMatchScores(); }
int quorv_GetVerifyScore(void) { return ZqGetVerifyScore(); }

int quorv_GetSampleVerifyScore(uint8_t *ransac, uint8_t *bin, uint8_t *recall) {
  if (ransac == nullptr || bin == nullptr || recall == nullptr) return -1;
  *ransac = 0;
  *bin = 0;
  *recall = 0;
  return ZqGetSampleVerifyScore(ransac, bin, recall);
}

int quorv_ClearMatchScores(void) {
  ZqClearMatchScores();
  return 0;
}
int quorv_GetMatchFingerId(void) { return ZqGetMatchFingerId(); }
void quorv_ClearMatchFingerId(void) { ZqClearMatchFingerId(); }
int quorv_GetMachInfo(ST_QuorvMachInfo *out) { return GetMachInfo(out); }
char *quorv_SaveMachInfo(int32_t *len) { return SaveMachInfo(len); }
void quorv_ClearMachInfo(void) { ClearMachInfo(); }

// The core's image operations take rows before columns; these wrappers take
// columns first, as the rest of the library's interface does.
int quorv_ImageSmooth(uint8_t *src, int cols, int rows, uint8_t *dst) {
  return ZqImageSmooth(src, rows, cols, dst);
}
int quorv_NonLinearStretch(const uint16_t *raw, int cols, int rows, uint8_t *dst) {
  return ZqNonLinearStretch(raw, rows, cols, dst);
}
int quorv_NonLinearStretchU8(const uint8_t *src, int cols, int rows, uint8_t *dst) {
  return ZqNonLinearStretch_U8(src, rows, cols, dst);
}
int quorv_AbnormalRuberImage(const uint8_t *reference, const uint8_t *img, int cols, int rows,
                             int stripe, int minutiaLimit, float threshold) {
  return ZqAbnormalRuberImage(reference, img, rows, cols, stripe, minutiaLimit, threshold);
}

void quorv_IdentifyResetForTest(void) {
  savedVerifyRet = -2;
  abnormalImageCount = 0;
  imageOverlap = 0;
}

}  // extern "C"
