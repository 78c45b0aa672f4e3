#include "src/ZqAlg/ZqSubTemplate.h"

#include <math.h>
#include <string.h>

#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_log.h"

namespace {

static_assert(sizeof(ST_SimpleHMatrix) == 4, "stored transform is 4 bytes");

// Stored translations must lie within this many pixels.
constexpr float kMaxStoredShift = 127.0f;
// Angles are stored in units of 2^-13 radians.
constexpr float kAngleScale = 8192.0f;

// Sensor pixels as unsigned 32-bit arithmetic (sizes wrap, never overflow).
uint32_t SensorPixels() {
  return static_cast<uint32_t>(gSensorInfor.cols) * static_cast<uint32_t>(gSensorInfor.rows);
}

void FreeFeatures(ST_SubTemplate *t) {
  ZqSafeFree(t->pTemplateFeature);
  t->pTemplateFeature = NULL;
  t->featBufSize = 0;
}

// Truncates toward zero and keeps the low 16 bits; 0 for NaN or a value
// beyond any 64-bit integer.
int16_t TruncTo16(float v) {
  if (!(fabsf(v) < 9.2e18f)) return 0;
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<int64_t>(v)));
}

}  // namespace

extern "C" {

uint32_t ZqSubTemplateBinBufSize(void) { return SensorPixels() / 64 * 8 + 8; }

uint32_t ZqSubTemplateMaskBufSize(void) { return SensorPixels() / 8 + 1; }

int ZqInitSubTemplate(ST_SubTemplate *t) {
  if (t == NULL) {
    QUORV_LOGE("%s...input err, pSubTemplate == NULL", __func__);
    return -1;
  }
  if (t->pTemplateFeature != NULL || t->templateBinDiscr != NULL || t->templatePixValid != NULL) {
    QUORV_LOGE(
        "%s...input err, pSubTemplate->pTemplateFeature = 0x%x, pSubTemplate->templateBinDiscr "
        "= 0x%x, pSubTemplate->templatePixValid = 0x%x",
        __func__, static_cast<unsigned>(reinterpret_cast<uintptr_t>(t->pTemplateFeature)),
        static_cast<unsigned>(reinterpret_cast<uintptr_t>(t->templateBinDiscr)),
        static_cast<unsigned>(reinterpret_cast<uintptr_t>(t->templatePixValid)));
    return -1;
  }
  t->headerSize = HEADER_SIZE;
  t->featBufSize = 0;
  t->maskBufSize = ZqSubTemplateMaskBufSize();
  t->binBufSize = ZqSubTemplateBinBufSize();
  t->templateBinDiscr = static_cast<uint8_t *>(ZqSafeAlloc(static_cast<int32_t>(t->binBufSize)));
  t->templatePixValid = static_cast<uint8_t *>(ZqSafeAlloc(static_cast<int32_t>(t->maskBufSize)));
  if (t->templateBinDiscr == NULL || t->templatePixValid == NULL) {
    QUORV_LOGE("%s...malloc err.", __func__);
    ZqSafeFree(t->templateBinDiscr);
    ZqSafeFree(t->templatePixValid);
    t->templateBinDiscr = NULL;
    t->templatePixValid = NULL;
    return -2;
  }
  return 0;
}

void ZqReleaseSubTemplate(ST_SubTemplate *t) {
  if (t == NULL) return;
  FreeFeatures(t);
  ZqSafeFree(t->templateBinDiscr);
  ZqSafeFree(t->templatePixValid);
  t->templateBinDiscr = NULL;
  t->templatePixValid = NULL;
}

void ZqClearSubTemplate(ST_SubTemplate *t) {
  if (t == NULL) return;
  FreeFeatures(t);
  uint8_t *bin = t->templateBinDiscr;
  uint8_t *mask = t->templatePixValid;
  // Buffers keep the sizes they were made with, even if the sensor size
  // has changed since: the sizes must describe the allocations.
  const uint32_t binSize = bin != NULL ? t->binBufSize : ZqSubTemplateBinBufSize();
  const uint32_t maskSize = mask != NULL ? t->maskBufSize : ZqSubTemplateMaskBufSize();
  // The pixels go too: an emptied slot must not keep (and later save) the
  // images of the finger it held.
  if (bin != NULL) memset(bin, 0, binSize);
  if (mask != NULL) memset(mask, 0, maskSize);
  memset(t, 0, sizeof *t);
  t->templateBinDiscr = bin;
  t->templatePixValid = mask;
  t->headerSize = HEADER_SIZE;
  t->binBufSize = binSize;
  t->maskBufSize = maskSize;
}

int ZqSubTemplateCopy(ST_SubTemplate *dst, const ST_SubTemplate *src) {
  if (dst == NULL || src == NULL || dst->templateBinDiscr == NULL ||
      dst->templatePixValid == NULL) {
    QUORV_LOGE(
        "%s...input err, ret = -1, pDstTemplate->templateBinDiscr = 0x%x, "
        "pDstTemplate->templatePixValid = 0x%x",
        __func__,
        static_cast<unsigned>(reinterpret_cast<uintptr_t>(dst ? dst->templateBinDiscr : NULL)),
        static_cast<unsigned>(reinterpret_cast<uintptr_t>(dst ? dst->templatePixValid : NULL)));
    return -1;
  }
  if (dst->binBufSize != src->binBufSize || dst->maskBufSize != src->maskBufSize) {
    QUORV_LOGE(
        "%s...input tpl size err, ret = -1, pDst->binBufSize(= %d) != pSrc->binBufSize(= %d) || "
        "pDst->maskBufSize(= %d) != pSrc->maskBufSize(= %d)",
        __func__, dst->binBufSize, src->binBufSize, dst->maskBufSize, src->maskBufSize);
    return -1;
  }
  if (dst == src) return 0;
  FreeFeatures(dst);
  uint8_t *bin = dst->templateBinDiscr;
  uint8_t *mask = dst->templatePixValid;
  *dst = *src;
  dst->templateBinDiscr = bin;
  dst->templatePixValid = mask;
  dst->pTemplateFeature = static_cast<ST_Feature *>(ZqSafeAlloc(static_cast<int32_t>(src->featBufSize)));
  if (dst->pTemplateFeature == NULL) {
    QUORV_LOGE("%s...malloc err, ret = -2", __func__);
    // The target must not claim keypoints it does not hold.
    dst->featBufSize = 0;
    dst->nFeatureNum[0] = 0;
    dst->nFeatureNum[1] = 0;
    return -2;
  }
  QUORV_LOGI("%s...featBufSize = %d, templateBinDiscr = %d", __func__, src->featBufSize,
             src->binBufSize);
  QUORV_LOGI("%s...maskBufSize = %d", __func__, src->maskBufSize);
  if (src->featBufSize > 0 && src->pTemplateFeature != NULL) {
    memcpy(dst->pTemplateFeature, src->pTemplateFeature, src->featBufSize);
  }
  memcpy(bin, src->templateBinDiscr, src->binBufSize);
  memcpy(mask, src->templatePixValid, src->maskBufSize);
  return 0;
}

ST_SubTemplate *ZqCreateTemp(void) {
  ST_SubTemplate *t = static_cast<ST_SubTemplate *>(ZqSafeAlloc(sizeof(ST_SubTemplate)));
  if (t == NULL) return NULL;
  if (ZqInitSubTemplate(t) != 0) {
    ZqReleaseSubTemplate(t);
    ZqSafeFree(t);
    return NULL;
  }
  return t;
}

void ZqReleaseTemp(ST_SubTemplate *t) {
  if (t == NULL) return;
  ZqReleaseSubTemplate(t);
  ZqSafeFree(t);
}

void ZqSaveToSimpleHmatrix(const ST_FullHMatrix *h, ST_SimpleHMatrix *s) {
  if (h == NULL || s == NULL) return;
  const float tx = h->a02;
  const float ty = h->a12;
  // Written so that NaN counts as out of range too.
  if (!(tx >= -kMaxStoredShift && tx <= kMaxStoredShift && ty >= -kMaxStoredShift &&
        ty <= kMaxStoredShift)) {
    s->tx = 0;
    s->ty = 0;
    s->angle = 0;
    return;
  }
  s->tx = static_cast<int8_t>(tx);
  s->ty = static_cast<int8_t>(ty);
  s->angle = TruncTo16(kAngleScale * h->dtheta);
}

void ZqGetFullHmatrix(ST_FullHMatrix *h, const ST_SimpleHMatrix *s) {
  if (h == NULL || s == NULL) return;
  const float a = static_cast<float>(s->angle) * (1.0f / kAngleScale);
  const float c = cosf(a);
  const float sn = sinf(a);
  h->a00 = c;
  h->a01 = -sn;
  h->a02 = static_cast<float>(s->tx);
  h->a10 = sn;
  h->a11 = c;
  h->a12 = static_cast<float>(s->ty);
  h->a20 = 0.0f;
  h->a21 = 0.0f;
  h->a22 = 1.0f;
  h->dtheta = a;
}

void ZqSetCoinFlg(uint8_t *flags, uint8_t index, uint8_t code) {
  if (flags == NULL || index >= MAX_SUBTEMPLATES_PER_FINGER) return;
  const unsigned shift = 2u * (index % 4u);
  const unsigned b = flags[index / 4u];
  flags[index / 4u] = static_cast<uint8_t>((b & ~(3u << shift)) | ((code & 3u) << shift));
}

int ZqGetCoinFlg(const uint8_t *flags, uint8_t index) {
  if (flags == NULL || index >= MAX_SUBTEMPLATES_PER_FINGER) return 0;
  return (flags[index / 4u] >> (2u * (index % 4u))) & 3;
}

}  // extern "C"
