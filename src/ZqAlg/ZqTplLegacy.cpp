#include "src/ZqAlg/ZqTplLegacy.h"

#include <stddef.h>
#include <string.h>

#include <algorithm>

#include "src/ZqAlg/ZqCrc16.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqSubTplRecord.h"
#include "src/ZqAlg/ZqTplData.h"
#include "src/features/ZqLittleEndian.h"
#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_log.h"

namespace {

using zq_le::GetU16;
using zq_le::GetU32;
using zq_le::PutU16;
using zq_le::PutU32;

// Highest condition byte a current record may hold.
constexpr uint8_t kMaxCond = 100;

// Mask and binarised-image bytes of the old records (a 96 x 96 sensor).
constexpr uint32_t kOldMaskBytes = 1153;
constexpr uint32_t kOldBinBytes = 1160;

// One of the four old layouts: slot count, record size, image size and the
// field offsets inside an old record.
struct Layout {
  const char *reader;
  uint32_t slots;        // N
  uint32_t recordBytes;  // R
  uint32_t imageBytes;   // I
  uint32_t featureNum, classNum, area, quality, cond, extra, extendArea, rootIndex, reservedInt;
  uint32_t coinFlg, coinBytes, mask, rootHmatrix, binWordCnt, bin, simpleHmatrix;
  constexpr uint32_t Trailer() const { return slots * recordBytes; }
};

constexpr Layout kX86 = {"ZqIniAlgTplData_x86", 48, 2584, ZQ_LEGACY_X86_IMAGE,
                         4, 6, 7, 8, 9, 10, 11, 12, 16, 20, 13, 33, 1188, 1228, 1232, 2392};
constexpr Layout kX64 = {"ZqIniAlgTplData_x64", 48, 2592, ZQ_LEGACY_X64_IMAGE,
                         8, 10, 11, 12, 13, 14, 15, 16, 20, 24, 13, 37, 1192, 1232, 1240, 2400};
constexpr Layout kX86_96 = {"ZqIniAlgTplData_x86_96", 96, 2792, ZQ_LEGACY_96_IMAGE,
                            4, 6, 7, 8, 9, 10, 11, 12, 16, 20, 25, 45, 1200, 1240, 1248, 2408};
constexpr Layout kX64_96 = {"ZqIniAlgTplData_x64_96", 96, 2792, ZQ_LEGACY_96_IMAGE,
                            8, 10, 11, 12, 13, 14, 15, 16, 20, 24, 25, 49, 1204, 1244, 1248, 2408};

// Every field ends before the next, and the trailer closes the image.
constexpr bool Consistent(const Layout &l) {
  return l.coinFlg + l.coinBytes <= l.mask && l.mask + kOldMaskBytes <= l.rootHmatrix &&
         l.rootHmatrix + ZQ_FULL_HMATRIX_BYTES <= l.binWordCnt && l.binWordCnt + 4 <= l.bin &&
         l.bin + kOldBinBytes <= l.simpleHmatrix &&
         l.simpleHmatrix + 4 * l.slots == l.recordBytes &&
         l.Trailer() + 2 * l.slots + 16 == l.imageBytes && l.coinBytes <= ZQ_COIN_FLG_BYTES;
}
static_assert(Consistent(kX86) && Consistent(kX64) && Consistent(kX86_96) && Consistent(kX64_96),
              "legacy layouts");
static_assert(kX86.Trailer() == 124032 && kX64.Trailer() == 124416 && kX86_96.Trailer() == 268032,
              "legacy trailers");

// Trailer fields, from the trailer start.
struct Trailer {
  uint16_t count;
  uint16_t validFlg;
  int32_t templateSize;
};

Trailer ReadTrailer(const Layout &l, const uint8_t *image) {
  const uint8_t *t = image + l.Trailer() + 2 * l.slots;
  return {GetU16(t), GetU16(t + 2), static_cast<int32_t>(GetU32(t + 8))};
}

uint32_t Keypoints(const Layout &l, const uint8_t *rec) {
  return static_cast<uint32_t>(rec[l.featureNum]) + rec[l.featureNum + 1];
}

void ConvertSub(const Layout &l, ST_SubTemplate *dst, const uint8_t *rec) {
  if (dst == nullptr || rec == nullptr) return;
  dst->nFeatureNum[0] = rec[l.featureNum];
  dst->nFeatureNum[1] = rec[l.featureNum + 1];
  dst->classNum = rec[l.classNum];
  dst->templateArea = rec[l.area];
  dst->templateQuality = rec[l.quality];
  // Older builds stored conditions above 100, which no current reader
  // takes: such a finger is brought into range so that it saves and loads.
  dst->templateCond = std::min<uint8_t>(rec[l.cond], kMaxCond);
  dst->templateExtra = rec[l.extra];
  dst->extendArea = rec[l.extendArea];
  dst->rootIndex = GetU16(rec + l.rootIndex);
  dst->reservedInt = static_cast<int32_t>(GetU32(rec + l.reservedInt));
  dst->featBufSize = Keypoints(l, rec) * ZQ_FEATURE_BYTES;
  memcpy(dst->coinFlg, rec + l.coinFlg, l.coinBytes);
  if (dst->templatePixValid != nullptr) {
    memcpy(dst->templatePixValid, rec + l.mask, std::min(dst->maskBufSize, kOldMaskBytes));
  }
  if (dst->templateBinDiscr != nullptr) {
    memcpy(dst->templateBinDiscr, rec + l.bin, std::min(dst->binBufSize, kOldBinBytes));
  }
  ZqFullHMatrixLoad(rec + l.rootHmatrix, &dst->rootHmatrix);
  dst->binWordCnt = static_cast<int32_t>(GetU32(rec + l.binWordCnt));
  const uint32_t entries = l.slots;  // 48 or 96 stored transforms
  for (uint32_t i = 0; i < entries; ++i) {
    const uint8_t *e = rec + l.simpleHmatrix + 4 * i;
    dst->simpleHmatrix[i].tx = static_cast<int8_t>(e[0]);
    dst->simpleHmatrix[i].ty = static_cast<int8_t>(e[1]);
    dst->simpleHmatrix[i].angle = static_cast<int16_t>(GetU16(e + 2));
  }
}

void ConvertTpl(const Layout &l, ST_QuorvEnrollTemplate *dst, const uint8_t *image) {
  if (dst == nullptr || image == nullptr) return;
  const uint8_t *order = image + l.Trailer();
  for (uint32_t i = 0; i < l.slots; ++i) dst->order[i] = GetU16(order + 2 * i);
  const uint8_t *t = order + 2 * l.slots;
  dst->currentSubtemplatesNum = GetU16(t);
  dst->validFlg = GetU16(t + 2);
  dst->enrollResult = static_cast<int32_t>(GetU32(t + 4));
  dst->templateSize = static_cast<int32_t>(GetU32(t + 8));
  dst->coverageArea = static_cast<int32_t>(GetU32(t + 12));
  // Only the slots in use are taken over; the rest of the layout's slots
  // are emptied, so none claims features the blob does not carry.
  const uint32_t used = std::min<uint32_t>(dst->currentSubtemplatesNum, l.slots);
  for (uint32_t i = 0; i < l.slots; ++i) {
    ST_SubTemplate *s = &dst->subtemplates[i];
    if (i < used) {
      ConvertSub(l, s, image + i * l.recordBytes);
    } else {
      ZqClearSubTemplate(s);
    }
  }
}

// Checks a blob of layout l without changing anything; 0 when it may be
// loaded, else -1.
int CheckBlob(const Layout &l, uint32_t tplSize, const uint8_t *data) {
  if (tplSize < 4 || tplSize - 4 < l.imageBytes) {
    QUORV_LOGE("%s...tplSize(= %u) < %u, ret = -1", l.reader, tplSize, 4 + l.imageBytes);
    return -1;
  }
  const uint8_t *image = data + 4;
  QUORV_LOGD("%s...offset = %u ", l.reader, 4 + l.imageBytes);
  const Trailer tr = ReadTrailer(l, image);
  QUORV_LOGI("%s...sub tpl count = %d ", l.reader, tr.count);
  const uint32_t maxCount = std::min<uint32_t>(gSensorInfor.algMaxTplCount, l.slots);
  // A finger without sub-templates could never match.
  if (tr.count == 0 || tr.count > maxCount ||
      tr.templateSize != static_cast<int32_t>(l.imageBytes) || tr.validFlg != 1) {
    QUORV_LOGE("%s...count = %d (max %u), templateSize = %d, validFlg = %d, ret = -1", l.reader,
               tr.count, maxCount, tr.templateSize, tr.validFlg);
    return -1;
  }
  const uint32_t wordsMax = std::min(ZqSubTemplateBinBufSize(), kOldBinBytes) / 8;
  uint64_t end = 4 + static_cast<uint64_t>(l.imageBytes);
  for (uint32_t i = 0; i < tr.count; ++i) {
    const uint8_t *rec = image + i * l.recordBytes;
    const uint32_t n = Keypoints(l, rec);
    const int32_t words = static_cast<int32_t>(GetU32(rec + l.binWordCnt));
    if (n > gSensorInfor.maxFeatNum || rec[l.area] > 100 || rec[l.extendArea] > 100 ||
        rec[l.quality] > 100 || GetU16(rec + l.rootIndex) >= MAX_SUBTEMPLATES_PER_FINGER ||
        words < 0 || static_cast<uint32_t>(words) > wordsMax) {
      QUORV_LOGE("%s...tpl error!", l.reader);
      return -1;
    }
    if (rec[l.cond] > kMaxCond) {
      QUORV_LOGW("%s...templateCond(= %d) of slot %u above %d, taken as %d", l.reader, rec[l.cond],
                 i, kMaxCond, kMaxCond);
    }
    end += static_cast<uint64_t>(n) * ZQ_FEATURE_BYTES;
    if (end > tplSize) {
      QUORV_LOGE("%s...tpl size error!", l.reader);
      return -1;
    }
  }
  QUORV_LOGD("%s...start ZqCalCrc16, offset = %u", l.reader, static_cast<uint32_t>(end));
  if (end + 2 > tplSize) {
    QUORV_LOGE("%s...tpl size error!", l.reader);
    return -1;
  }
  const uint32_t crcAt = static_cast<uint32_t>(end);
  const uint16_t crc = ZqCalCrc16(data, crcAt);
  const uint16_t stored = GetU16(data + crcAt);
  QUORV_LOGI("%s...calculate code crc = 0x%x, read tpl crc = 0x%x", l.reader, crc, stored);
  if (crc != stored) {
    QUORV_LOGE("%s...code crc error!", l.reader);
    return -1;
  }
  return 0;
}

int ReadLegacy(const Layout &l, void (*convert)(ST_QuorvEnrollTemplate *, const uint8_t *),
               int16_t fingerId, uint8_t tplType, uint32_t tplSize, const uint8_t *data) {
  QUORV_LOGI("%s...fingerId = %d, tplType = %d, tplSize = %u", l.reader, fingerId, tplType, tplSize);
  if (data == nullptr || fingerId < 0 || fingerId >= MAX_FINGERS_SUPPORTED ||
      gEnrolledTemplate[fingerId] == nullptr) {
    QUORV_LOGE("ZqIniAlgTplData...tplData == NULL");
    return -1;
  }
  if (CheckBlob(l, tplSize, data) != 0) return -1;
  ST_QuorvEnrollTemplate *f = gEnrolledTemplate[fingerId];
  ZqClearErollTemplate(static_cast<uint16_t>(fingerId));
  convert(f, data + 4);
  const uint8_t *feat = data + 4 + l.imageBytes;
  for (uint32_t i = 0; i < f->currentSubtemplatesNum; ++i) {
    ST_SubTemplate *s = &f->subtemplates[i];
    const uint32_t bytes = s->featBufSize;
    ST_Feature *block = static_cast<ST_Feature *>(ZqSafeAlloc(static_cast<int32_t>(bytes)));
    if (block == nullptr) {
      QUORV_LOGE("ZqIniAlgTplData...gEnrolledTemplate[%d]->subtemplates[%u].pTemplateFeature == NULL",
                 fingerId, i);
      ZqClearErollTemplate(static_cast<uint16_t>(fingerId));
      return -2;
    }
    for (uint32_t k = 0; k < bytes / ZQ_FEATURE_BYTES; ++k) {
      ZqFeatureLoad(feat + k * ZQ_FEATURE_BYTES, &block[k]);
    }
    s->pTemplateFeature = block;
    feat += bytes;
  }
  QUORV_LOGI("%s...tpl size = %u", l.reader, static_cast<uint32_t>(feat - data) + 2);
  QUORV_LOGI("%s...leave ret = %d", l.reader, 0);
  return 0;
}

// The flat form: slot images of three pointer words, the record header and
// padding, then the finger tail.
constexpr uint32_t kFlatSlotBytes = 24 + zq_blob::kSubTplHeadBytes + 7;
constexpr uint32_t kFlatTailBytes = 216;
constexpr uint32_t kFlatImageBytes = MAX_SUBTEMPLATES_PER_FINGER * kFlatSlotBytes + kFlatTailBytes;
static_assert(kFlatSlotBytes == 520 && kFlatImageBytes == ZQ_FINALISED_TEMPLATE_SIZE,
              "flat record image is 50136 bytes");

uint32_t FlatFeatureBytes(const ST_SubTemplate &s) {
  if (s.pTemplateFeature == nullptr) return 0;
  return (static_cast<uint32_t>(s.nFeatureNum[0]) + s.nFeatureNum[1]) * ZQ_FEATURE_BYTES;
}

}  // namespace

extern "C" {

void SubTplx86Convert(ST_SubTemplate *dst, const uint8_t *rec) { ConvertSub(kX86, dst, rec); }
void SubTplx64Convert(ST_SubTemplate *dst, const uint8_t *rec) { ConvertSub(kX64, dst, rec); }
void SubTplx86_96Convert(ST_SubTemplate *dst, const uint8_t *rec) { ConvertSub(kX86_96, dst, rec); }
void SubTplx64_96Convert(ST_SubTemplate *dst, const uint8_t *rec) { ConvertSub(kX64_96, dst, rec); }

void Tplx86Convert(ST_QuorvEnrollTemplate *dst, const uint8_t *image) { ConvertTpl(kX86, dst, image); }
void Tplx64Convert(ST_QuorvEnrollTemplate *dst, const uint8_t *image) { ConvertTpl(kX64, dst, image); }
void Tplx86_96Convert(ST_QuorvEnrollTemplate *dst, const uint8_t *image) {
  ConvertTpl(kX86_96, dst, image);
}
void Tplx64_96Convert(ST_QuorvEnrollTemplate *dst, const uint8_t *image) {
  ConvertTpl(kX64_96, dst, image);
}

int ZqIniAlgTplData_x86(int16_t fingerId, uint8_t tplType, uint32_t tplSize, const uint8_t *tplData) {
  return ReadLegacy(kX86, Tplx86Convert, fingerId, tplType, tplSize, tplData);
}
int ZqIniAlgTplData_x64(int16_t fingerId, uint8_t tplType, uint32_t tplSize, const uint8_t *tplData) {
  return ReadLegacy(kX64, Tplx64Convert, fingerId, tplType, tplSize, tplData);
}
int ZqIniAlgTplData_x86_96(int16_t fingerId, uint8_t tplType, uint32_t tplSize,
                           const uint8_t *tplData) {
  return ReadLegacy(kX86_96, Tplx86_96Convert, fingerId, tplType, tplSize, tplData);
}
int ZqIniAlgTplData_x64_96(int16_t fingerId, uint8_t tplType, uint32_t tplSize,
                           const uint8_t *tplData) {
  return ReadLegacy(kX64_96, Tplx64_96Convert, fingerId, tplType, tplSize, tplData);
}

uint32_t ZqGetTplDataSize_v0(uint16_t fingerId) {
  if (fingerId >= MAX_FINGERS_SUPPORTED || gEnrolledTemplate[fingerId] == nullptr) return 0;
  uint32_t size = 4 + kFlatImageBytes + 2;
  for (const ST_SubTemplate &s : gEnrolledTemplate[fingerId]->subtemplates) size += FlatFeatureBytes(s);
  return size;
}

int ZqSaveTplData_x(int16_t fingerId, uint8_t *tplType, uint32_t *tplSize, uint8_t *tplData) {
  if (fingerId < 0 || fingerId >= MAX_FINGERS_SUPPORTED || gEnrolledTemplate[fingerId] == nullptr ||
      tplType == nullptr || tplSize == nullptr || tplData == nullptr) {
    QUORV_LOGE("%s...fingerId(= %d) or buffer invalid, ret = -1", __func__, fingerId);
    return -1;
  }
  ST_QuorvEnrollTemplate *f = gEnrolledTemplate[fingerId];
  if (f->currentSubtemplatesNum == 0) {
    QUORV_LOGE("%s...cur tpls is invalid, ret = -1", __func__);
    return -1;
  }
  ZqSetTplValidFlag(static_cast<uint16_t>(fingerId));
  *tplType = ZQ_TPL_TYPE;
  PutU32(tplData, QUORV_FLG);
  uint8_t *p = tplData + 4;
  // The pointer words carry nothing for a reader; they are written as 0.
  for (const ST_SubTemplate &s : f->subtemplates) {
    memset(p, 0, kFlatSlotBytes);
    zq_blob::WriteSubTplHead(p + 24, s);
    p += kFlatSlotBytes;
  }
  memset(p, 0, kFlatTailBytes);
  PutU32(p, static_cast<uint32_t>(f->headerSize));
  for (int i = 0; i < MAX_SUBTEMPLATES_PER_FINGER; ++i) PutU16(p + 4 + 2 * i, f->order[i]);
  PutU16(p + 196, f->currentSubtemplatesNum);
  PutU16(p + 198, f->validFlg);
  PutU32(p + 200, static_cast<uint32_t>(f->enrollResult));
  PutU32(p + 204, static_cast<uint32_t>(f->templateSize));
  PutU32(p + 208, static_cast<uint32_t>(f->coverageArea));
  p += kFlatTailBytes;
  for (int i = 0; i < MAX_SUBTEMPLATES_PER_FINGER; ++i) {
    const ST_SubTemplate &s = f->subtemplates[i];
    const uint32_t bytes = FlatFeatureBytes(s);
    if (s.pTemplateFeature == nullptr) continue;
    QUORV_LOGD(
        "ZqSaveTplData...n = %d, gEnrolledTemplate[%d]->subtemplates[%d].nFeatureNum[0] = %d, "
        "gEnrolledTemplate[%d]->subtemplates[%d].nFeatureNum[1] = %d\n",
        bytes / ZQ_FEATURE_BYTES, fingerId, i, s.nFeatureNum[0], fingerId, i, s.nFeatureNum[1]);
    const uint32_t held = std::min(bytes, s.featBufSize) / ZQ_FEATURE_BYTES;
    memset(p, 0, bytes);
    for (uint32_t k = 0; k < held; ++k) ZqFeatureStore(&s.pTemplateFeature[k], p + k * ZQ_FEATURE_BYTES);
    p += bytes;
  }
  const uint32_t body = static_cast<uint32_t>(p - tplData);
  PutU16(p, ZqCalCrc16(tplData, body));
  *tplSize = body + 2;
  return 0;
}

}  // extern "C"
