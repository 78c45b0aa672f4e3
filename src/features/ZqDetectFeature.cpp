#include "src/features/ZqDetectFeature.h"

#include <stddef.h>

#include "src/image/ZqCommon.h"
#include "src/image/ZqMemoryManager.h"

ST_DetectFeature *ZqNewFeature(void) {
  auto *feat = static_cast<ST_DetectFeature *>(ZqSafeAlloc(sizeof(ST_DetectFeature)));
  ZQ_CHECK(feat == NULL, NULL);
  auto *ddata = static_cast<ST_DetectData *>(ZqSafeAlloc(sizeof(ST_DetectData)));
  if (ddata == NULL) {
    ZQ_LOG_FAIL(__func__, "ddata == NULL");
    ZqSafeFree(feat);
    return NULL;
  }
  feat->ddata = ddata;
  return feat;
}

int ZqFeatureCmp(const void *a, const void *b, void * /*userdata*/) {
  const auto *feat1 = static_cast<const ST_DetectFeature *>(a);
  const auto *feat2 = static_cast<const ST_DetectFeature *>(b);
  ZQ_CHECK((feat1 == NULL) || (feat2 == NULL), 0);
  if (feat1->contrast < feat2->contrast) return 1;
  if (feat1->contrast > feat2->contrast) return -1;
  return 0;
}
