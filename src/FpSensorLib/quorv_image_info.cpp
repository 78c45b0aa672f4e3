// The per-image information buffer, bounded by both its capacity N and the
// length it was allocated with (N may grow after the allocation).
#include <string.h>

#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_live_capture.h"
#include "src/FpSensorLib/quorv_live_deps.h"
#include "src/quorv_base/quorv_log.h"

namespace {

// Bytes the functions may touch: N*8 + 5, cut to the allocation.
uint32_t UsableBytes() {
  const uint32_t want = quorv_ImageInfoCapacity() * QUORV_IMAGE_INFO_ENTRY + QUORV_IMAGE_INFO_EXTRA;
  return want < imageInfoBufSize ? want : imageInfoBufSize;
}

bool Missing(const char *func) {
  if (imageInfoBuf != nullptr) return false;
  QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...imageInfoBuf = NULL, ret = %d", func, -1);
  return true;
}

// Offset of the trailer behind entry count - 1, or -1 when its four bytes
// do not fit.
int32_t TrailerOffset(const char *func) {
  const uint32_t at = 1u + QUORV_IMAGE_INFO_ENTRY * imageInfoBuf[0];
  if (at + 4u > UsableBytes()) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...count = %d out of range, ret = %d", func,
                 imageInfoBuf[0], -1);
    return -1;
  }
  return static_cast<int32_t>(at);
}

int WriteEntry(const char *func, uint8_t index, uint8_t area, uint8_t quality, uint8_t cond,
               uint8_t phyArea, uint32_t pixelSum) {
  QUORV_LOG_IN(func, QUORV_LOG_VERBOSE, "%s...index = %d, phyArae = %d, pixelValue = %d", func,
               index, phyArea, static_cast<int>(pixelSum));
  QUORV_LOG_IN(func, QUORV_LOG_VERBOSE, "%s...area = %d, quality = %d, cond = %d", func, area,
               quality, cond);
  if (Missing(func)) return -1;
  const uint32_t at = 1u + QUORV_IMAGE_INFO_ENTRY * index;
  if (index >= quorv_ImageInfoCapacity() || at + QUORV_IMAGE_INFO_ENTRY > UsableBytes()) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...index = %d out of range, ret = %d", func, index, -1);
    return -1;
  }
  imageInfoBuf[0] = static_cast<uint8_t>(index + 1);
  uint8_t *e = imageInfoBuf + at;
  e[0] = area;
  e[1] = quality;
  e[2] = cond;
  e[3] = phyArea;
  for (int b = 0; b < 4; ++b) e[4 + b] = static_cast<uint8_t>(pixelSum >> (8 * b));
  return 0;
}

}  // namespace

extern "C" {

uint32_t quorv_ImageInfoCapacity(void) {
  uint32_t n = g_slideEnrollGetImageCnt;
  if (g_pQuorvConfigInfo != nullptr && g_pQuorvConfigInfo->verify_rescan_cnt > n)
    n = g_pQuorvConfigInfo->verify_rescan_cnt;
  return n;
}

int quorv_CleanImageInfoBuf(void) {
  if (Missing(__func__)) return -1;
  memset(imageInfoBuf, 0, UsableBytes());
  return 0;
}

int quorv_GetImageInfoBuf(uint8_t *out) {
  if (out == nullptr) {
    QUORV_LOGE("%s...input error, ret = %d", __func__, -1);
    return -1;
  }
  if (Missing(__func__)) return -1;
  const uint32_t want = quorv_ImageInfoCapacity() * QUORV_IMAGE_INFO_ENTRY + QUORV_IMAGE_INFO_EXTRA;
  const uint32_t have = UsableBytes();
  memcpy(out, imageInfoBuf, have);
  memset(out + have, 0, want - have);
  return 0;
}

int quorv_SetImageInfoBuf(uint8_t index, uint32_t qualityRecord, uint8_t phyArea,
                          uint32_t pixelSum) {
  return WriteEntry(__func__, index, static_cast<uint8_t>(qualityRecord >> 8),
                    static_cast<uint8_t>(qualityRecord), static_cast<uint8_t>(qualityRecord >> 16),
                    phyArea, pixelSum);
}

int quorv_SetImageInfoBuf_v2(uint8_t index, uint8_t area, uint8_t quality, uint8_t cond,
                             uint8_t phyArea, uint32_t pixelSum) {
  return WriteEntry(__func__, index, area, quality, cond, phyArea, pixelSum);
}

int quorv_SetValidImageInfoBuf(uint8_t n, uint8_t score) {
  QUORV_LOGV("%s...n = %d, score = %d", __func__, n, score);
  if (Missing(__func__)) return -1;
  const int32_t at = TrailerOffset(__func__);
  if (at < 0) return -1;
  imageInfoBuf[at] = n;
  imageInfoBuf[at + 1] = score;
  return 0;
}

int quorv_SetValidImageIndexInfoBuf(uint8_t areaThr, uint8_t qualityThr) {
  if (Missing(__func__)) return -1;
  const int32_t at = TrailerOffset(__func__);
  if (at < 0) return -1;
  const uint8_t count = imageInfoBuf[0];
  uint8_t selected[QUORV_IMAGE_INFO_MAX_SELECTED];
  int cnt = 0;
  for (int i = 0; i < count && cnt < QUORV_IMAGE_INFO_MAX_SELECTED; ++i) {
    const uint8_t *e = imageInfoBuf + 1 + QUORV_IMAGE_INFO_ENTRY * i;
    if (e[0] > areaThr && e[1] > qualityThr) selected[cnt++] = static_cast<uint8_t>(i + 1);
  }
  QUORV_LOGV("%s...cnt = %d", __func__, cnt);
  for (int i = 0; i < cnt; ++i) QUORV_LOGV("%s...valibTab[%d] = %d", __func__, i, selected[i]);
  uint8_t first = 0, second = 0;
  if (cnt >= 2) {
    first = selected[cnt - 2];
    second = selected[cnt - 1];
  } else if (cnt == 1) {
    first = selected[0];
  }
  imageInfoBuf[at + 2] = first;
  imageInfoBuf[at + 3] = second;
  for (int i = 0; i <= at + 3; ++i)
    QUORV_LOGV("%s...imageInfoBuf[%d] = %d", __func__, i, imageInfoBuf[i]);
  return 0;
}

}  // extern "C"
