#include "src/ZqAlg/ZqSubTplRecord.h"

#include <string.h>

#include "src/features/ZqLittleEndian.h"
#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_log.h"

namespace zq_blob {

using zq_le::GetU16;
using zq_le::GetU32;
using zq_le::PutU16;
using zq_le::PutU32;

void WriteSubTplHead(uint8_t *p, const ST_SubTemplate &t) {
  PutU32(p, t.headerSize);
  PutU32(p + kOffFeatBufSize, t.featBufSize);
  PutU32(p + kOffBinBufSize, t.binBufSize);
  PutU32(p + kOffMaskBufSize, t.maskBufSize);
  PutU32(p + kOffReservedInt, static_cast<uint32_t>(t.reservedInt));
  PutU32(p + kOffBinWordCnt, static_cast<uint32_t>(t.binWordCnt));
  PutU16(p + kOffExtendArea, t.extendArea);
  PutU16(p + kOffRootIndex, t.rootIndex);
  ZqFullHMatrixStore(&t.rootHmatrix, p + kOffRootHmatrix);
  for (int i = 0; i < MAX_SUBTEMPLATES_PER_FINGER; ++i) {
    uint8_t *e = p + kOffSimpleHmatrix + 4 * i;
    e[0] = static_cast<uint8_t>(t.simpleHmatrix[i].tx);
    e[1] = static_cast<uint8_t>(t.simpleHmatrix[i].ty);
    PutU16(e + 2, static_cast<uint16_t>(t.simpleHmatrix[i].angle));
  }
  p[kOffFeatureNum] = t.nFeatureNum[0];
  p[kOffFeatureNum + 1] = t.nFeatureNum[1];
  p[kOffClassNum] = t.classNum;
  p[kOffTemplateArea] = t.templateArea;
  p[kOffTemplateQuality] = t.templateQuality;
  p[kOffTemplateCond] = t.templateCond;
  p[kOffTemplateExtra] = t.templateExtra;
  p[kOffReplacedFlg] = t.replacedFlg;
  memcpy(p + kOffReservedBytes, t.reservedBytes, sizeof t.reservedBytes);
  memcpy(p + kOffCoinFlg, t.coinFlg, ZQ_COIN_FLG_BYTES);
}

uint32_t WriteSubTpl(uint8_t *p, const ST_SubTemplate &t) {
  QUORV_LOGD("%s...headerSize = %d, featBufSize = %d, binBufSize = %d, maskBufSize = %d",
             "ZqGetSubTplData", t.headerSize, t.featBufSize, t.binBufSize, t.maskBufSize);
  WriteSubTplHead(p, t);
  QUORV_LOGD("%s...n = %d, N[0] = %d, N[1] = %d", "ZqGetSubTplData",
             t.nFeatureNum[0] + t.nFeatureNum[1], t.nFeatureNum[0], t.nFeatureNum[1]);
  uint32_t off = kSubTplHeadBytes;
  const uint32_t f = t.featBufSize;
  if (f > 0) {
    uint8_t *out = p + off;
    const uint32_t n = f / ZQ_FEATURE_BYTES;
    if (t.pTemplateFeature != nullptr) {
      for (uint32_t i = 0; i < n; ++i) ZqFeatureStore(&t.pTemplateFeature[i], out + i * ZQ_FEATURE_BYTES);
      memset(out + n * ZQ_FEATURE_BYTES, 0, f - n * ZQ_FEATURE_BYTES);
    } else {
      memset(out, 0, f);
    }
    off += f;
  }
  if (t.templateBinDiscr != nullptr) {
    memcpy(p + off, t.templateBinDiscr, t.binBufSize);
  } else {
    QUORV_LOGW("%s...pSubTemplate->templateBinDiscr = 0x%x, pSubTemplate->binBufSize = %d",
               "ZqGetSubTplData", 0u, t.binBufSize);
    memset(p + off, 0, t.binBufSize);
  }
  off += t.binBufSize;
  if (t.templatePixValid != nullptr) {
    memcpy(p + off, t.templatePixValid, t.maskBufSize);
  } else {
    QUORV_LOGW("%s...pSubTemplate->templatePixValid = 0x%x, pSubTemplate->maskBufSize = %d",
               "ZqGetSubTplData", 0u, t.maskBufSize);
    memset(p + off, 0, t.maskBufSize);
  }
  off += t.maskBufSize;
  return off;
}

int ParseSubTpl(const char *who, const uint8_t *data, uint32_t size, uint32_t offset,
                uint32_t binBytes, uint32_t maskBytes, SubTplView *v) {
  if (offset > size || size - offset < kSubTplHeadBytes) {
    QUORV_LOGE("%s...offset(= %u) + %u > tplSize(= %u), ret = -4", who, offset, kSubTplHeadBytes,
               size);
    return -4;
  }
  const uint8_t *rec = data + offset;
  const uint32_t headerSize = GetU32(rec);
  const uint32_t featBytes = GetU32(rec + kOffFeatBufSize);
  const uint32_t bin = GetU32(rec + kOffBinBufSize);
  const uint32_t mask = GetU32(rec + kOffMaskBufSize);
  if (bin != binBytes || mask != maskBytes) {
    QUORV_LOGE(
        "%s...binBufSize(= %d) != pSubTemplate->binBufSize(= %d), maskBufSize(= %d) != "
        "pSubTemplate->maskBufSize(= %d), ret = -1",
        who, bin, binBytes, mask, maskBytes);
    return -1;
  }
  if (headerSize != HEADER_SIZE) {
    QUORV_LOGE("%s...headerSize(= %u) != HEADER_SIZE(= %d), ret = -2", who, headerSize,
               HEADER_SIZE);
    return -2;
  }
  const uint32_t keypoints = static_cast<uint32_t>(rec[kOffFeatureNum]) + rec[kOffFeatureNum + 1];
  if (featBytes != keypoints * ZQ_FEATURE_BYTES) {
    QUORV_LOGE("%s...featBufSize(= %u) != %d x n(= %u), ret = -2", who, featBytes,
               ZQ_FEATURE_BYTES, keypoints);
    return -2;
  }
  const uint16_t rootIndex = GetU16(rec + kOffRootIndex);
  const int32_t binWordCnt = static_cast<int32_t>(GetU32(rec + kOffBinWordCnt));
  if (rootIndex >= MAX_SUBTEMPLATES_PER_FINGER || binWordCnt < 0 ||
      static_cast<uint32_t>(binWordCnt) > binBytes / 8) {
    QUORV_LOGE("%s...rootIndex(= %d), binWordCnt(= %d) out of range, ret = -2", who, rootIndex,
               binWordCnt);
    return -2;
  }
  if (rec[kOffTemplateQuality] > 100 || rec[kOffTemplateCond] > 100) {
    QUORV_LOGE("%s...templateQuality(= %d), templateCond(= %d) > 100, ret = -3", who,
               rec[kOffTemplateQuality], rec[kOffTemplateCond]);
    return -3;
  }
  const uint64_t end = static_cast<uint64_t>(offset) + kSubTplHeadBytes + featBytes + bin + mask;
  if (end > size) {
    QUORV_LOGE("%s...record end(= %llu) > tplSize(= %u), ret = -4", who,
               static_cast<unsigned long long>(end), size);
    return -4;
  }
  v->rec = rec;
  v->featBytes = featBytes;
  v->binBytes = bin;
  v->maskBytes = mask;
  return 0;
}

int CommitSubTpl(const char *who, const SubTplView &v, ST_SubTemplate *t) {
  if (t == nullptr || t->pTemplateFeature != nullptr || t->templateBinDiscr == nullptr ||
      t->templatePixValid == nullptr || t->binBufSize != v.binBytes ||
      t->maskBufSize != v.maskBytes) {
    QUORV_LOGE(
        "%s...pSubTemplate->pTemplateFeature = 0x%x, pSubTemplate->templateBinDiscr = 0x%x, "
        "pSubTemplate->templatePixValid = 0x%x, ret = -5",
        who, static_cast<unsigned>(reinterpret_cast<uintptr_t>(t ? t->pTemplateFeature : nullptr)),
        static_cast<unsigned>(reinterpret_cast<uintptr_t>(t ? t->templateBinDiscr : nullptr)),
        static_cast<unsigned>(reinterpret_cast<uintptr_t>(t ? t->templatePixValid : nullptr)));
    return -5;
  }
  const uint8_t *rec = v.rec;
  ST_Feature *features = nullptr;
  if (v.featBytes > 0) {
    features = static_cast<ST_Feature *>(ZqSafeAlloc(static_cast<int32_t>(v.featBytes)));
    if (features == nullptr) {
      QUORV_LOGE("%s...malloc featBufSize(= %u) err, ret = -6", who, v.featBytes);
      ZqClearSubTemplate(t);
      return -6;
    }
    const uint8_t *in = rec + kSubTplHeadBytes;
    for (uint32_t i = 0; i < v.featBytes / ZQ_FEATURE_BYTES; ++i) {
      ZqFeatureLoad(in + i * ZQ_FEATURE_BYTES, &features[i]);
    }
  }
  t->pTemplateFeature = features;
  t->headerSize = GetU32(rec);
  t->featBufSize = v.featBytes;
  t->reservedInt = static_cast<int32_t>(GetU32(rec + kOffReservedInt));
  t->binWordCnt = static_cast<int32_t>(GetU32(rec + kOffBinWordCnt));
  t->extendArea = GetU16(rec + kOffExtendArea);
  t->rootIndex = GetU16(rec + kOffRootIndex);
  ZqFullHMatrixLoad(rec + kOffRootHmatrix, &t->rootHmatrix);
  for (int i = 0; i < MAX_SUBTEMPLATES_PER_FINGER; ++i) {
    const uint8_t *e = rec + kOffSimpleHmatrix + 4 * i;
    t->simpleHmatrix[i].tx = static_cast<int8_t>(e[0]);
    t->simpleHmatrix[i].ty = static_cast<int8_t>(e[1]);
    t->simpleHmatrix[i].angle = static_cast<int16_t>(GetU16(e + 2));
  }
  t->nFeatureNum[0] = rec[kOffFeatureNum];
  t->nFeatureNum[1] = rec[kOffFeatureNum + 1];
  t->classNum = rec[kOffClassNum];
  t->templateArea = rec[kOffTemplateArea];
  t->templateQuality = rec[kOffTemplateQuality];
  t->templateCond = rec[kOffTemplateCond];
  t->templateExtra = rec[kOffTemplateExtra];
  t->replacedFlg = rec[kOffReplacedFlg];
  memcpy(t->reservedBytes, rec + kOffReservedBytes, sizeof t->reservedBytes);
  memcpy(t->coinFlg, rec + kOffCoinFlg, ZQ_COIN_FLG_BYTES);
  memcpy(t->templateBinDiscr, rec + kSubTplHeadBytes + v.featBytes, v.binBytes);
  memcpy(t->templatePixValid, rec + kSubTplHeadBytes + v.featBytes + v.binBytes, v.maskBytes);
  QUORV_LOGD("%s...n = %d, N[0] = %d, N[1] = %d", who, t->nFeatureNum[0] + t->nFeatureNum[1],
             t->nFeatureNum[0], t->nFeatureNum[1]);
  return 0;
}

}  // namespace zq_blob
