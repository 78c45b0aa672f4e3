// The last-enrolment record and its report; see quorv_enroll_info.h.
#include "src/FpSensorLib/quorv_enroll_info.h"

#include <stdio.h>
#include <string.h>

extern "C" {

QuorvEnrollInfo gEnrollInfo = {0xff, 0xff, 0xff, 0xff, 0xff, -1, -1,
                               0xff, 0xff, 0xff, 0xff, 0xff, 0xff, {0xff, 0xff}};
char gEnrollInfoBuf[QUORV_ENROLL_INFO_BUF_SIZE];
QuorvLastImageInfo g_quorvLastImageInfo;

void quorv_EnrollInfoReset(void) { memset(&gEnrollInfo, 0xff, sizeof(gEnrollInfo)); }

char *quorv_SaveEnrollInfo(int32_t *length) {
  if (length == nullptr) return nullptr;
  *length = 0;
  memset(gEnrollInfoBuf, 0, sizeof(gEnrollInfoBuf));
  const QuorvEnrollInfo &e = gEnrollInfo;
  const bool enrolled = e.enrollRet == 0 || e.forceEnrollRet == 0;
  // Eight lines of at most ~60 characters each: always within the buffer.
  const int n = snprintf(gEnrollInfoBuf, sizeof(gEnrollInfoBuf),
                         "enrollRet = %d\nforceEnrollRet = %d\nisEnroll = %s\n"
                         "fingerId = %d\nenrollIndex = %d\nsubTplsNum = %d\n"
                         "area = %d, quality = %d, cond = %d\n"
                         "maxNum = %d, minNum = %d, all = %d\n",
                         e.enrollRet, e.forceEnrollRet, enrolled ? "True" : "False", e.fingerId,
                         e.enrollIndex, e.subTplsNum, e.area, e.quality, e.cond, e.maxNum,
                         e.minNum, e.maxNum + e.minNum);
  *length = n;
  quorv_EnrollInfoReset();
  return gEnrollInfoBuf;
}

void quorv_GetImageInfo(uint8_t *area, uint8_t *quality, uint8_t *cond) {
  if (area != nullptr) *area = g_quorvLastImageInfo.area;
  if (quality != nullptr) *quality = g_quorvLastImageInfo.quality;
  if (cond != nullptr) *cond = g_quorvLastImageInfo.cond;
}

void quorv_ClearImageInfo(void) { g_quorvLastImageInfo = QuorvLastImageInfo{}; }

}  // extern "C"
