#include "src/ZqAlg/ZqMatchRecords.h"

#include <stddef.h>

#include "src/image/ZqMemoryManager.h"

namespace {

static_assert(sizeof(ST_QuorvMatchPriority) == 261 * sizeof(uint32_t), "261 words");

void ReleaseTempupdateInfor() {
  if (gQuorvTempupdateInfor == NULL) return;
  ZqReleaseSubTemplate(&gQuorvTempupdateInfor->updateVerifyTemplate);
  ZqSafeFree(gQuorvTempupdateInfor);
  gQuorvTempupdateInfor = NULL;
}

}  // namespace

extern "C" {

ST_QuorvMatchPriority *gQuorvMatchPriority = NULL;
ST_QuorvAreaMatchToplogy *gQuorvAreaMatchToplogy = NULL;
ST_QuorvTempupdateInfor *gQuorvTempupdateInfor = NULL;

void ZqResetMatchPriority(ST_QuorvMatchPriority *p) {
  if (p == NULL) return;
  for (uint32_t &e : p->fingerRing) e = ZQ_RING_EMPTY;
  for (auto &row : p->subTempRing) {
    for (uint32_t &e : row) e = ZQ_RING_EMPTY;
  }
  for (uint32_t &e : p->subTempRingPos) e = 0;
  p->fingerRingPos = 0;
}

int ZqCreateTempupdateInfor(void) {
  ReleaseTempupdateInfor();
  ST_QuorvTempupdateInfor *u =
      static_cast<ST_QuorvTempupdateInfor *>(ZqSafeAlloc(sizeof(ST_QuorvTempupdateInfor)));
  if (u == NULL) return -1;
  if (ZqInitSubTemplate(&u->updateVerifyTemplate) != 0) {
    ZqSafeFree(u);
    return -2;
  }
  gQuorvTempupdateInfor = u;
  return 0;
}

int ZqCreateMatchPriority(void) {
  ZqSafeFree(gQuorvMatchPriority);
  gQuorvMatchPriority =
      static_cast<ST_QuorvMatchPriority *>(ZqSafeAlloc(sizeof(ST_QuorvMatchPriority)));
  if (gQuorvMatchPriority == NULL) return -1;
  ZqResetMatchPriority(gQuorvMatchPriority);
  return 0;
}

int ZqCreateAreaMatchToplogy(void) {
  ZqSafeFree(gQuorvAreaMatchToplogy);
  gQuorvAreaMatchToplogy =
      static_cast<ST_QuorvAreaMatchToplogy *>(ZqSafeAlloc(sizeof(ST_QuorvAreaMatchToplogy)));
  return gQuorvAreaMatchToplogy != NULL ? 0 : -1;
}

void ZqReleaseMatchRecords(void) {
  ReleaseTempupdateInfor();
  ZqSafeFree(gQuorvMatchPriority);
  gQuorvMatchPriority = NULL;
  ZqSafeFree(gQuorvAreaMatchToplogy);
  gQuorvAreaMatchToplogy = NULL;
}

}  // extern "C"
