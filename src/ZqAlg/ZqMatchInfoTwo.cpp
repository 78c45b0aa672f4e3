#include "src/ZqAlg/ZqMatchInfoTwo.h"

#include <string.h>

extern "C" {

ST_MatchInfoTwo gMatchInfoTwo;
ST_MatchInfoTwo gMatchInfoTwoDebug;

void ZqGetDataT(int32_t *vec, ST_MatchInfoTwo info) {
  if (vec == nullptr) return;
  vec[8] = info.sampleQuality;
  vec[9] = info.tplQuality;
  vec[10] = info.diffBlobSize;
  vec[11] = info.recurPct;
  vec[12] = info.overlapPct;
  vec[13] = info.uniformPct;
  vec[14] = info.overlapHeight;
  vec[15] = info.ransacNum;
  vec[17] = info.matchScore;
}

void ZqGetDataT_v2(int32_t *vec, ST_MatchInfoTwo info) {
  if (vec == nullptr) return;
  vec[50] = info.ransacNum;
  vec[51] = info.kin2Num;
  vec[52] = info.overlapPct;
  vec[53] = info.pointSimPct;
  vec[54] = info.matchNum1Avr;
  vec[55] = info.recallAvrSim;
  vec[56] = info.recallStrongNum;
}

void ZqMatchInfoTwoResetForTest(void) {
  memset(&gMatchInfoTwo, 0, sizeof(gMatchInfoTwo));
  memset(&gMatchInfoTwoDebug, 0, sizeof(gMatchInfoTwoDebug));
}

}  // extern "C"
