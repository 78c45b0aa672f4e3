#include "src/ZqAlg/ZqMachInfo.h"

#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/features/ZqAlgMode.h"
#include "src/quorv_base/quorv_sensor_type.h"

namespace {

static_assert(sizeof(ST_QuorvMachInfo) == 622, "the host reads the report byte for byte");
static_assert(offsetof(ST_QuorvMachInfo, fingerId) == 3, "packed record");
static_assert(offsetof(ST_QuorvMachInfo, matchScoreThr) == 51, "packed record");
static_assert(offsetof(ST_QuorvMachInfo, H_matrix) == 77, "packed record");
static_assert(offsetof(ST_QuorvMachInfo, subTempIndex) == 117, "packed record");
static_assert(offsetof(ST_QuorvMachInfo, subTempNum) == 597, "packed record");
static_assert(offsetof(ST_QuorvMachInfo, crossCheckCnt) == 620, "packed record");

constexpr int32_t kVerifyRetCleared = -2;
constexpr int32_t kLastExtraSlot = 63;
constexpr int32_t kLastFingerId = 9;

// Appends formatted pieces to gMachInfoBuf. A piece that does not fit whole
// is left out and ends the text: the report never runs past the buffer and
// never ends in a cut number.
class ReportWriter {
 public:
  ReportWriter() { memset(gMachInfoBuf, 0, sizeof gMachInfoBuf); }

  __attribute__((format(printf, 2, 3))) void Add(const char *fmt, ...) {
    if (full_) return;
    const size_t room = sizeof gMachInfoBuf - used_;
    va_list ap;
    va_start(ap, fmt);
    const int n = vsnprintf(gMachInfoBuf + used_, room, fmt, ap);
    va_end(ap);
    if (n < 0 || static_cast<size_t>(n) >= room) {
      gMachInfoBuf[used_] = '\0';
      full_ = true;
      return;
    }
    used_ += static_cast<size_t>(n);
  }

  int32_t Length() const { return static_cast<int32_t>(used_); }

 private:
  size_t used_ = 0;
  bool full_ = false;
};

void ResetRecord() {
  memset(&gQuorvMachInfo, 0, sizeof gQuorvMachInfo);
  gQuorvMachInfo.fingerId = ZQ_MACH_NO_ID;
  gQuorvMachInfo.matchIndex = ZQ_MACH_NO_ID;
  gQuorvMachInfo.extraFingerId = ZQ_MACH_NO_ID;
  gQuorvMachInfo.extraIndex = ZQ_MACH_NO_ID;
  gQuorvMachInfo.updateIndex = ZQ_MACH_NO_ID;
}

}  // namespace

extern "C" {

ST_QuorvMachInfo gQuorvMachInfo;
char gMachInfoBuf[ZQ_MACH_INFO_BUF_SIZE];

int32_t gVerifyRet = kVerifyRetCleared;
int32_t gVerifyScores = 0;
int32_t gLastMatchScore = 0;
int32_t gVerifyScore = 0;
int32_t gVerifyFingerId = ZQ_MACH_NO_ID;
int32_t gVerifyTemplateId = ZQ_MACH_NO_ID;
int32_t gUpdateTemplateId = ZQ_MACH_NO_ID;
ST_FullHMatrix gMatchHmatrix;
int32_t maxNum = 0;
int32_t minNum = 0;
int32_t gMachScore = 0;
int32_t gNumRefusedByClassifier = 0;
int32_t gMulCheckFar = 0;
int32_t gForeignBodyCutCnt = 0;

int GetMachInfo(ST_QuorvMachInfo *out) {
  if (out == NULL) return -1;
  memcpy(out, &gQuorvMachInfo, sizeof gQuorvMachInfo);
  return 0;
}

void ZqCompyMatchInf(ST_QuorvMachInfo *out) {
  if (out != NULL) memcpy(out, &gQuorvMachInfo, sizeof gQuorvMachInfo);
}

char *SaveMachInfo(int32_t *len) {
  if (len == NULL) return NULL;
  *len = 0;
  const ST_QuorvMachInfo &m = gQuorvMachInfo;
  ReportWriter w;
  w.Add("matchRet = %d\n", gVerifyRet);
  w.Add("area = %d, quality = %d, cond = %d\n", m.area, m.quality, m.cond);
  w.Add("maxNum = %d, minNum = %d, all = %d\n", maxNum, minNum,
        static_cast<int32_t>(static_cast<uint32_t>(maxNum) + static_cast<uint32_t>(minNum)));

  // The finger line names the enrolled match, else a match in the extra
  // buffer, else whatever the ids hold.
  int32_t id = m.fingerId, index = m.matchIndex, extra = 0;
  if (!(m.fingerId != ZQ_MACH_NO_ID && m.matchIndex != ZQ_MACH_NO_ID) &&
      m.extraFingerId <= kLastFingerId && m.extraIndex <= kLastExtraSlot) {
    id = m.extraFingerId;
    index = m.extraIndex;
    extra = 1;
  }
  w.Add("fingerId = %d, matchIndex = %d, matchExtra = %d, sampleExtendArea = %d, "
        "updataMode = %d, updateIndex = %d\n",
        id, index, extra, m.sampleExtendArea, m.updataMode, m.updateIndex);

  w.Add("buffEnTotalCnt = %d, buffEnMatchCnt = %d, buffEnUpdateCnt = %d, updateIndex = ",
        m.buffEnTotalCnt, m.buffEnMatchCnt, m.buffEnUpdateCnt);
  const size_t updates = m.buffEnUpdateCnt < sizeof m.buffUpdateIndex ? m.buffEnUpdateCnt
                                                                      : sizeof m.buffUpdateIndex;
  for (size_t i = 0; i < updates; ++i) w.Add("%d, ", m.buffUpdateIndex[i]);
  w.Add(updates == 0 ? "255\n" : "\n");

  w.Add("subTempNum = %d\n", m.subTempNum);
  w.Add("subTempIndex = ");
  const size_t listed =
      m.subTempNum < sizeof m.subTempIndex ? m.subTempNum : sizeof m.subTempIndex;
  for (size_t i = 0; i < listed; ++i) {
    const int32_t score = m.subTempScore[i];  // packed field: read by value
    w.Add("%d-%d, ", m.subTempIndex[i], score);
  }
  w.Add("\n");

  if (gSensorInfor.adjustMatchEn == 1) {
    w.Add("continueSucessUpdateNum = %d, continueSucessMatchNum = %d\n",
          gAutoMatchLevel.continueSucessUpdateNum, gAutoMatchLevel.continueSucessMatchNum);
  }
  w.Add("ransacScore = %d, binScore = %d, recallScore = %d, recallEn = %d, matchScoreThr = %d\n",
        m.ransacScore, m.binScore, m.recallScore, m.recallEn, m.matchScoreThr);
  w.Add("uniformSizeMaxValue = %d, uniformSizeMinValue = %d, minMaxRatio = %.6f\n",
        m.uniformSizeMaxValue, m.uniformSizeMinValue, static_cast<double>(m.minMaxRatio));
  w.Add("uniformSize = %d, overlapSize = %d, ration = %.6f\n", m.uniformSize, m.overlapsize,
        static_cast<double>(m.ration));

  float h[10];
  memcpy(h, &m.H_matrix, sizeof h);
  w.Add("H_matrix = ");
  for (float v : h) w.Add("%.6f, ", static_cast<double>(v));
  w.Add("\n");

  *len = w.Length();
  return gMachInfoBuf;
}

int32_t GetMachInfoLenght(void) {
  return static_cast<int32_t>(strnlen(gMachInfoBuf, sizeof gMachInfoBuf));
}

void ClearMachInfo(void) {
  memset(gMachInfoBuf, 0, sizeof gMachInfoBuf);
  ResetRecord();
  maxNum = 0;
  minNum = 0;
  gVerifyRet = kVerifyRetCleared;
}

void SetVerifyRet(int32_t ret) { gVerifyRet = ret; }

void SaveMachScore(int32_t score) { gMachScore = score; }
int32_t GetMachScore(void) { return gMachScore; }
void ClearMachScore(void) { gMachScore = 0; }
int32_t GetNumRefusedByClassifier(void) { return gNumRefusedByClassifier; }
void ClearNumRefusedByClassifier(void) { gNumRefusedByClassifier = 0; }
int32_t GetmulCheckFar(void) { return gMulCheckFar; }
void ClearmulCheckFar(void) { gMulCheckFar = 0; }

int32_t ZqGetMatchScores(void) {
  if (gSensorInfor.algoMode == 4 && ZqSensorTypeGet() == SENSOR_DO4851) return gLastMatchScore;
  return gVerifyScores;
}

void ZqClearMatchScores(void) { gVerifyScores = 0; }
int32_t ZqGetVerifyScore(void) { return gVerifyScore; }
void ZqClearVerifyScore(void) { gVerifyScore = 0; }

int ZqGetSampleVerifyScore(uint8_t *ransac, uint8_t *bin, uint8_t *recall) {
  const uint8_t r = static_cast<uint8_t>(gQuorvMachInfo.recallScore);
  if (ransac != NULL) *ransac = static_cast<uint8_t>(gQuorvMachInfo.ransacScore);
  if (bin != NULL) *bin = static_cast<uint8_t>(gQuorvMachInfo.binScore);
  if (recall != NULL) *recall = r;
  return r;
}

int ZqGetMatchHmatrix(ST_FullHMatrix *out) {
  if (out == NULL) return -1;
  *out = gMatchHmatrix;
  return 0;
}

void ZqClearMatchHmatrix(void) { memset(&gMatchHmatrix, 0, sizeof gMatchHmatrix); }
int32_t ZqGetMatchFingerId(void) { return gVerifyFingerId; }
void ZqClearMatchFingerId(void) { gVerifyFingerId = 0; }
int32_t ZqGetMachTemplateId(void) { return gVerifyTemplateId; }
void ZqClearMachTemplateId(void) { gVerifyTemplateId = ZQ_MACH_NO_ID; }
int32_t ZqGetUpdateTemplateId(void) { return gUpdateTemplateId; }
void ZqClearUpdateTemplateId(void) { gUpdateTemplateId = ZQ_MACH_NO_ID; }

void ZqGetExtremum(int32_t *max, int32_t *min) {
  if (max != NULL) *max = maxNum;
  if (min != NULL) *min = minNum;
}

void ZqClearExtremum(void) {
  maxNum = 0;
  minNum = 0;
}

void ZqGetVerifyFarLevel(uint8_t *level, uint8_t *score) {
  const uint8_t l = gSensorInfor.algVerifyFarLevel;
  if (level != NULL) *level = l;
  if (score != NULL) *score = gMatchScores[l < ZQ_FAR_LEVEL_COUNT ? l : ZQ_FAR_LEVEL_COUNT - 1];
}

void ZqResetMachInfoRecord(void) { ResetRecord(); }

void ZqGetTwoTemplateMatchPairKP(void) {}
void ZqGetSubTemplateMatchPairKP(void) {}
void ZqGetTemplateKP(void) {}

void ZqMachInfoResetForTest(void) {
  memset(&gQuorvMachInfo, 0, sizeof gQuorvMachInfo);
  memset(gMachInfoBuf, 0, sizeof gMachInfoBuf);
  gVerifyRet = kVerifyRetCleared;
  gVerifyScores = 0;
  gLastMatchScore = 0;
  gVerifyScore = 0;
  gVerifyFingerId = ZQ_MACH_NO_ID;
  gVerifyTemplateId = ZQ_MACH_NO_ID;
  gUpdateTemplateId = ZQ_MACH_NO_ID;
  memset(&gMatchHmatrix, 0, sizeof gMatchHmatrix);
  maxNum = 0;
  minNum = 0;
  gMachScore = 0;
  gNumRefusedByClassifier = 0;
  gMulCheckFar = 0;
  gForeignBodyCutCnt = 0;
}

}  // extern "C"
