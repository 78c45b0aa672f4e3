#include "src/ZqAlg/ZqTplData.h"

#include <stddef.h>
#include <string.h>

#include "src/ZqAlg/ZqCrc16.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqMatchRecords.h"
#include "src/ZqAlg/ZqSubTplRecord.h"
#include "src/features/ZqLittleEndian.h"
#include "src/quorv_base/quorv_log.h"

namespace {

using zq_blob::SubTplView;
using zq_le::GetU16;
using zq_le::GetU32;
using zq_le::PutU16;
using zq_le::PutU32;

// The finger header: the headerSize word and the 208 bytes it counts.
constexpr uint32_t kFingerHeadBytes = 4 + ZQ_FINGER_HEADER_SIZE;
// Offsets inside the finger header.
constexpr uint32_t kOffOrder = 4;
constexpr uint32_t kOffCount = kOffOrder + 2 * MAX_SUBTEMPLATES_PER_FINGER;
constexpr uint32_t kOffValidFlg = kOffCount + 2;
constexpr uint32_t kOffEnrollResult = kOffValidFlg + 2;
constexpr uint32_t kOffTemplateSize = kOffEnrollResult + 4;
constexpr uint32_t kOffCoverageArea = kOffTemplateSize + 4;
static_assert(kOffCount == 196 && kOffCoverageArea + 4 == kFingerHeadBytes,
              "finger header is 212 bytes");

ST_QuorvEnrollTemplate *Finger(int fingerId) {
  return fingerId >= 0 && fingerId < MAX_FINGERS_SUPPORTED ? gEnrolledTemplate[fingerId] : nullptr;
}

void WriteFingerHead(uint8_t *p, const ST_QuorvEnrollTemplate &f) {
  PutU32(p, static_cast<uint32_t>(f.headerSize));
  for (int i = 0; i < MAX_SUBTEMPLATES_PER_FINGER; ++i) PutU16(p + kOffOrder + 2 * i, f.order[i]);
  PutU16(p + kOffCount, f.currentSubtemplatesNum);
  PutU16(p + kOffValidFlg, f.validFlg);
  PutU32(p + kOffEnrollResult, static_cast<uint32_t>(f.enrollResult));
  PutU32(p + kOffTemplateSize, static_cast<uint32_t>(f.templateSize));
  PutU32(p + kOffCoverageArea, static_cast<uint32_t>(f.coverageArea));
}

// A finger header and its 96 records that passed every check.
struct FingerView {
  const uint8_t *head = nullptr;
  SubTplView slots[MAX_SUBTEMPLATES_PER_FINGER];
  uint32_t end = 0;  // offset after the last record
};

// Checks the finger header and all 96 records at data[offset..] against
// the finger's own buffer sizes; nothing is changed. Codes as
// ZqInitEnrollTplData.
int ParseFinger(const char *who, const ST_QuorvEnrollTemplate &f, const uint8_t *data, uint32_t size,
                uint32_t offset, FingerView *v) {
  if (offset > size || size - offset < kFingerHeadBytes) {
    QUORV_LOGE("%s...offset(= %u) + %u > tplSize(= %u), ret = -4", who, offset, kFingerHeadBytes,
               size);
    return -4;
  }
  const uint8_t *head = data + offset;
  const int32_t headerSize = static_cast<int32_t>(GetU32(head));
  const uint16_t count = GetU16(head + kOffCount);
  QUORV_LOGD("%s...fid->currentSubtemplatesNum = %d", who, count);
  if (headerSize != ZQ_FINGER_HEADER_SIZE) {
    QUORV_LOGE("%s...fid->headerSize( = %d) != HEADER_SIZE( = %d), ret = -1", who, headerSize,
               ZQ_FINGER_HEADER_SIZE);
    return -1;
  }
  if (count > MAX_SUBTEMPLATES_PER_FINGER) {
    QUORV_LOGE("%s...currentSubtemplatesNum(= %d) > %d, ret = -1", who, count,
               MAX_SUBTEMPLATES_PER_FINGER);
    return -1;
  }
  uint32_t off = offset + kFingerHeadBytes;
  QUORV_LOGI("%s, offset = %u, tplSize = %u", who, off, size);
  for (int i = 0; i < MAX_SUBTEMPLATES_PER_FINGER; ++i) {
    const ST_SubTemplate &slot = f.subtemplates[i];
    const int ret = zq_blob::ParseSubTpl(who, data, size, off, slot.binBufSize, slot.maskBufSize,
                                         &v->slots[i]);
    if (ret != 0) {
      QUORV_LOGE("%s...ZqInitSubTplData(, , , fid, idx_%d) err", who, i);
      return ret;
    }
    off += v->slots[i].Size();
  }
  v->head = head;
  v->end = off;
  return 0;
}

// Takes a checked finger over. On failure the finger is emptied and the
// record code (-5, -6) returned.
int CommitFinger(const char *who, ST_QuorvEnrollTemplate *f, uint16_t fingerId, const FingerView &v) {
  for (const ST_SubTemplate &slot : f->subtemplates) {
    if (slot.pTemplateFeature != nullptr || slot.templateBinDiscr == nullptr ||
        slot.templatePixValid == nullptr) {
      QUORV_LOGE("%s...fingerId %d still holds a template, ret = -5", who, fingerId);
      ZqClearErollTemplate(fingerId);
      return -5;
    }
  }
  const uint8_t *head = v.head;
  f->headerSize = static_cast<int32_t>(GetU32(head));
  for (int i = 0; i < MAX_SUBTEMPLATES_PER_FINGER; ++i) f->order[i] = GetU16(head + kOffOrder + 2 * i);
  f->currentSubtemplatesNum = GetU16(head + kOffCount);
  f->validFlg = GetU16(head + kOffValidFlg);
  f->enrollResult = static_cast<int32_t>(GetU32(head + kOffEnrollResult));
  f->templateSize = static_cast<int32_t>(GetU32(head + kOffTemplateSize));
  f->coverageArea = static_cast<int32_t>(GetU32(head + kOffCoverageArea));
  for (int i = 0; i < MAX_SUBTEMPLATES_PER_FINGER; ++i) {
    const int ret = zq_blob::CommitSubTpl(who, v.slots[i], &f->subtemplates[i]);
    if (ret != 0) {
      ZqClearErollTemplate(fingerId);
      return ret;
    }
  }
  return 0;
}

}  // namespace

extern "C" {

uint32_t ZqGetSubTplDataSize(const ST_SubTemplate *t) {
  if (t == nullptr) return 0;
  return 4 + t->headerSize + t->featBufSize + t->binBufSize + t->maskBufSize;
}

uint32_t ZqGetEnrollTplDataSize(uint16_t fingerId) {
  const ST_QuorvEnrollTemplate *f = Finger(fingerId);
  if (f == nullptr) return 0;
  uint32_t size = static_cast<uint32_t>(f->headerSize) + 4;
  for (const ST_SubTemplate &t : f->subtemplates) size += ZqGetSubTplDataSize(&t);
  return size;
}

uint32_t ZqGetTplDataSize(uint16_t fingerId) {
  const uint32_t size = ZqGetEnrollTplDataSize(fingerId);
  return size == 0 ? 0 : size + 6;
}

int ZqGetTplSize(const ST_SubTemplate *t) {
  if (t == nullptr) {
    QUORV_LOGE("%s...tpl == NULL", __func__);
    return -1;
  }
  const uint32_t size = ZqGetSubTplDataSize(t);
  QUORV_LOGI("%s...tplSize = %u", __func__, size);
  return static_cast<int>(size);
}

int ZqGetEnrollTplData(uint16_t fingerId, uint8_t *data, uint32_t *offset) {
  const ST_QuorvEnrollTemplate *f = Finger(fingerId);
  if (f == nullptr || data == nullptr || offset == nullptr) {
    QUORV_LOGE("%s...fingerId(= %d) or buffer invalid, ret = -1", __func__, fingerId);
    return -1;
  }
  if (f->currentSubtemplatesNum == 0) {
    QUORV_LOGE("%s...cur tpls num = 0, ret = -1", __func__);
    return -1;
  }
  if (f->validFlg == 0) {
    QUORV_LOGE("%s...cur tpls is invalid, ret = -2", __func__);
    return -2;
  }
  uint32_t off = *offset;
  WriteFingerHead(data + off, *f);
  QUORV_LOGD("%s...fid[%d]->currentSubtemplatesNum = %d", __func__, fingerId,
             f->currentSubtemplatesNum);
  off += kFingerHeadBytes;
  for (const ST_SubTemplate &t : f->subtemplates) ZqGetSubTplData(data, &off, &t);
  *offset = off;
  return 0;
}

void ZqGetSubTplData(uint8_t *data, uint32_t *offset, const ST_SubTemplate *t) {
  if (data == nullptr || offset == nullptr || t == nullptr) return;
  *offset += zq_blob::WriteSubTpl(data + *offset, *t);
}

int ZqQuorvTemplateToData(const ST_SubTemplate *t, uint32_t *offset, uint8_t *data) {
  if (t == nullptr || offset == nullptr || data == nullptr) return -1;
  ZqGetSubTplData(data, offset, t);
  return 0;
}

int ZqGetTplData(int16_t fingerId, uint8_t *tplType, uint32_t *tplSize, uint8_t *tplData) {
  ST_QuorvEnrollTemplate *f = Finger(fingerId);
  if (f == nullptr || tplType == nullptr || tplSize == nullptr || tplData == nullptr) {
    QUORV_LOGE("%s...fingerId(= %d) or buffer invalid, ret = -1", __func__, fingerId);
    return -1;
  }
  // A finger without sub-templates cannot be saved; it is left as it is
  // rather than finalised by a save that fails.
  if (f->currentSubtemplatesNum == 0) {
    QUORV_LOGE("%s...cur tpls is invalid, ret = -1", __func__);
    return -1;
  }
  ZqSetTplValidFlag(static_cast<uint16_t>(fingerId));
  *tplType = ZQ_TPL_TYPE;
  PutU32(tplData, ZQ_TEMPLATE_FLAG_V2);
  uint32_t offset = 4;
  QUORV_LOGI("%s...tpl_flag = 0x%x, flag_v1 = 0x%x, flag_v2 = 0x%x", __func__, ZQ_TEMPLATE_FLAG_V2,
             QUORV_FLG, ZQ_TEMPLATE_FLAG_V2);
  if (ZqGetEnrollTplData(static_cast<uint16_t>(fingerId), tplData, &offset) != 0) {
    QUORV_LOGE("%s...cur tpls is invalid, ret = -1", __func__);
    return -1;
  }
  // Every blob written must load again: a record the reader would refuse
  // (quality or condition above 100, a root index that is no slot, a bit
  // image word count past the image, sizes that disagree) is not written.
  FingerView check;
  if (ParseFinger(__func__, *f, tplData, offset, 4, &check) != 0 || check.end != offset) {
    QUORV_LOGE("%s...fid_%d holds a record no reader accepts, ret = -1", __func__, fingerId);
    return -1;
  }
  const uint16_t crc = ZqCalCrc16(tplData, offset);
  QUORV_LOGI("%s...crcCode = 0x%x", __func__, crc);
  PutU16(tplData + offset, crc);
  *tplSize = offset + 2;
  QUORV_LOGI("ZqGetTplData...validFlg = %d, tplSize = %u, tplType = %d\n", f->validFlg, *tplSize,
             *tplType);
  return 0;
}

int ZqSaveTplData(int16_t fingerId, uint8_t *tplType, uint32_t *tplSize, uint8_t *tplData) {
  return ZqGetTplData(fingerId, tplType, tplSize, tplData);
}

int ZqInitEnrollTplData(uint16_t fingerId, uint32_t tplSize, const uint8_t *data, uint32_t *offset) {
  ST_QuorvEnrollTemplate *f = Finger(fingerId);
  if (f == nullptr || data == nullptr || offset == nullptr) return -1;
  FingerView view;
  int ret = ParseFinger(__func__, *f, data, tplSize, *offset, &view);
  if (ret == 0) ret = CommitFinger(__func__, f, fingerId, view);
  if (ret != 0) return ret;
  *offset = view.end;
  QUORV_LOGI("%s...leave, ret = %d", __func__, 0);
  return 0;
}

int ZqIniAlgTplData_v1(int16_t fingerId, uint8_t tplType, uint32_t tplSize, const uint8_t *tplData) {
  QUORV_LOGI("%s...fingerId = %d, tplType = %d, tplSize = %u", __func__, fingerId, tplType, tplSize);
  ST_QuorvEnrollTemplate *f = Finger(fingerId);
  if (tplData == nullptr || f == nullptr) {
    QUORV_LOGE("%s...tplData == NULL, ret = -1", __func__);
    return -1;
  }
  QUORV_LOGI("%s...tpl_flag = 0x%x, flag_v1 = 0x%x, flag_v2 = 0x%x", __func__,
             tplSize >= 4 ? GetU32(tplData) : 0u, QUORV_FLG, ZQ_TEMPLATE_FLAG_V2);
  // Everything is checked, the CRC included, before the finger is touched.
  FingerView view;
  if (tplSize < 4 || ParseFinger(__func__, *f, tplData, tplSize, 4, &view) != 0) {
    QUORV_LOGE("%s...ZqInitEnrollTplData() err, ret = -2", __func__);
    return -2;
  }
  QUORV_LOGD("%s...start ZqCalCrc16, offset = %u", __func__, view.end);
  if (tplSize - view.end < 2) {
    QUORV_LOGE("%s...no crc behind offset %u, tplSize = %u, ret = -2", __func__, view.end, tplSize);
    return -2;
  }
  const uint16_t crc = ZqCalCrc16(tplData, view.end);
  const uint16_t stored = GetU16(tplData + view.end);
  QUORV_LOGI("%s...calculate code crc = 0x%x, read tpl crc = 0x%x", __func__, crc, stored);
  if (crc != stored) {
    QUORV_LOGE("%s...code crc error! ret = -3", __func__);
    return -3;
  }
  // A finger that is not finalised, or holds no sub-template, could never
  // match: it is refused rather than loaded as a finger that never answers.
  const uint16_t validFlg = GetU16(view.head + kOffValidFlg);
  const uint16_t count = GetU16(view.head + kOffCount);
  if (validFlg != 1 || count == 0) {
    QUORV_LOGE("%s...validFlg(= %d), currentSubtemplatesNum(= %d): no finger to match, ret = -4",
               __func__, validFlg, count);
    return -4;
  }
  if (CommitFinger(__func__, f, static_cast<uint16_t>(fingerId), view) != 0) {
    QUORV_LOGE("%s...ZqInitEnrollTplData() err, ret = -2", __func__);
    return -2;
  }
  QUORV_LOGI("%s...tpl size = %u, ret = 0", __func__, view.end + 2);
  return 0;
}

int ZqInitSubTplData(uint32_t tplSize, const uint8_t *data, uint32_t *offset, ST_SubTemplate *t) {
  if (data == nullptr || offset == nullptr) return -4;
  if (t == nullptr) return -5;
  SubTplView view;
  int ret = zq_blob::ParseSubTpl(__func__, data, tplSize, *offset, t->binBufSize, t->maskBufSize,
                                 &view);
  if (ret == 0) ret = zq_blob::CommitSubTpl(__func__, view, t);
  if (ret == 0) *offset += view.Size();
  QUORV_LOGD("%s...leave, offset = %u, ret = %d", __func__, *offset, ret);
  return ret;
}

int ZqDataToQuorvTemplate(const uint8_t *data, uint16_t tplSize, ST_SubTemplate *t) {
  uint32_t offset = 0;
  return ZqInitSubTplData(tplSize, data, &offset, t);
}

int ZqLoadCurrentUpdateTemplate(int16_t fingerId, int16_t subIndex, uint16_t tplSize,
                                const uint8_t *data) {
  int ret = 0;
  ST_SubTemplate *scratch = ZqCreateTemp();
  if (scratch == nullptr) {
    ret = -1;
    QUORV_LOGE("%s...fail to creat tpl! quorvTemplate = NULL, ret = %d", __func__, ret);
    return ret;
  }
  const int read = ZqDataToQuorvTemplate(data, tplSize, scratch);
  if (read != 0) {
    ret = -2;
    QUORV_LOGE("%s...fail to get sample template! ZqDataToQuorvTemplate() != %d, ret = %d",
               __func__, read, ret);
    ZqReleaseTemp(scratch);
    return ret;
  }
  ST_QuorvTempupdateInfor *u = gQuorvTempupdateInfor;
  if (u == nullptr) {
    ret = -1;
  } else {
    u->updateFlag = 1;
    u->updateFingerId = static_cast<uint16_t>(fingerId);
    u->updateTag = static_cast<uint16_t>(subIndex);
    if (ZqSubTemplateCopy(&u->updateVerifyTemplate, scratch) != 0) ret = -1;
  }
  if (ret != 0) {
    QUORV_LOGE("%s...gQuorvTempupdateInfor->updateVerifyTemplate.pTemplateFeature == NULL",
               __func__);
  }
  ZqReleaseTemp(scratch);
  QUORV_LOGI("%s...ret = %d", __func__, ret);
  return ret;
}

}  // extern "C"
