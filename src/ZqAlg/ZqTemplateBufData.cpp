// The TempalteBufData blob of the template and extra-template buffers.
#include <stddef.h>
#include <string.h>

#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqSubTplRecord.h"
#include "src/ZqAlg/ZqTemplateBuf.h"
#include "src/ZqAlg/ZqTplData.h"
#include "src/features/ZqLittleEndian.h"
#include "src/quorv_base/quorv_log.h"

namespace {

using zq_blob::SubTplView;

// Offsets of the template-buffer head.
constexpr uint32_t kOffState = 4;
constexpr uint32_t kOffFingerId = kOffState + ZQ_TEMPLATE_BUF_SLOTS;
constexpr uint32_t kOffGroup = kOffFingerId + ZQ_TEMPLATE_BUF_SLOTS;
constexpr uint32_t kOffGroupFlg = kOffGroup + ZQ_TEMPLATE_BUF_SLOTS;
constexpr uint32_t kOffWriteIndex = kOffGroupFlg + ZQ_TEMPLATE_BUF_SLOTS;
constexpr uint32_t kOffVerifyState = kOffWriteIndex + 1;
constexpr uint32_t kOffUpdateState = kOffVerifyState + 1;
constexpr uint32_t kBufHeadBytes = kOffUpdateState + 1;
static_assert(kOffWriteIndex == 68 && kBufHeadBytes == 71, "template-buffer head is 71 bytes");
// The extra part's head: 64 ids and the write index.
constexpr uint32_t kExtraHeadBytes = ZQ_EXTRA_BUF_SLOTS + 1;

bool IsFingerOrNone(uint8_t id) { return id < MAX_FINGERS_SUPPORTED || id == ZQ_NO_FINGER; }

// A TempalteBufData blob that passed every check.
struct BufView {
  const uint8_t *head = nullptr;
  SubTplView bufSlots[ZQ_TEMPLATE_BUF_SLOTS];
  const uint8_t *extraHead = nullptr;
  SubTplView extraSlots[ZQ_EXTRA_BUF_SLOTS];
  uint32_t end = 0;
};

int ParseSlots(const uint8_t *data, uint32_t size, uint32_t *offset, const ST_SubTemplate *slots,
               SubTplView *views, int n) {
  for (int i = 0; i < n; ++i) {
    const int ret = zq_blob::ParseSubTpl("ZqInitTempalteBufData", data, size, *offset,
                                         slots[i].binBufSize, slots[i].maskBufSize, &views[i]);
    if (ret != 0) return ret;
    *offset += views[i].Size();
  }
  return 0;
}

int ParseBufBlob(const ST_QuorvTempalteBufInfor &b, const ST_QuorvTemplateExtraBufInfor &x,
                 uint32_t size, const uint8_t *data, BufView *v) {
  const char *who = "ZqInitTempalteBufData";
  if (size < kBufHeadBytes) {
    QUORV_LOGE("%s...tplSize(= %u) < %u, ret = -4", who, size, kBufHeadBytes);
    return -4;
  }
  bool tablesOk = data[kOffWriteIndex] < ZQ_TEMPLATE_BUF_SLOTS;
  for (int i = 0; i < ZQ_TEMPLATE_BUF_SLOTS; ++i) {
    const uint8_t group = data[kOffGroup + i];
    tablesOk = tablesOk && IsFingerOrNone(data[kOffFingerId + i]) &&
               (group < ZQ_TEMPLATE_BUF_SLOTS || group == ZQ_NO_FINGER);
  }
  if (!tablesOk) {
    QUORV_LOGE("%s...TempalteBuf table out of range, ret = -2", who);
    return -2;
  }
  uint32_t off = kBufHeadBytes;
  int ret = ParseSlots(data, size, &off, b.bufTemplate, v->bufSlots, ZQ_TEMPLATE_BUF_SLOTS);
  if (ret != 0) return ret;
  if (size - off < kExtraHeadBytes) {
    QUORV_LOGE("%s...offset(= %u) + %u > tplSize(= %u), ret = -4", who, off, kExtraHeadBytes, size);
    return -4;
  }
  const uint8_t *extraHead = data + off;
  tablesOk = extraHead[ZQ_EXTRA_BUF_SLOTS] <= ZQ_EXTRA_BUF_SLOTS;
  for (int j = 0; j < ZQ_EXTRA_BUF_SLOTS; ++j) tablesOk = tablesOk && IsFingerOrNone(extraHead[j]);
  if (!tablesOk) {
    QUORV_LOGE("%s...ExtraBuf table out of range, ret = -2", who);
    return -2;
  }
  off += kExtraHeadBytes;
  ret = ParseSlots(data, size, &off, x.quorvTemplateExtraInfor, v->extraSlots, ZQ_EXTRA_BUF_SLOTS);
  if (ret != 0) return ret;
  v->head = data;
  v->extraHead = extraHead;
  v->end = off;
  return 0;
}

// Takes a checked blob over; on failure both buffers are emptied.
int CommitBufBlob(ST_QuorvTempalteBufInfor *b, ST_QuorvTemplateExtraBufInfor *x, const BufView &v) {
  const char *who = "ZqInitTempalteBufData";
  ZqClearTempalteBuf();
  memcpy(b->bufState, v.head + kOffState, ZQ_TEMPLATE_BUF_SLOTS);
  memcpy(b->bufFingerId, v.head + kOffFingerId, ZQ_TEMPLATE_BUF_SLOTS);
  memcpy(b->bufGroup, v.head + kOffGroup, ZQ_TEMPLATE_BUF_SLOTS);
  memcpy(b->bufGroupFlg, v.head + kOffGroupFlg, ZQ_TEMPLATE_BUF_SLOTS);
  b->bufWriteIndex = v.head[kOffWriteIndex];
  b->bufVerifyState = v.head[kOffVerifyState];
  b->bufUpdateState = v.head[kOffUpdateState];
  // Every extra slot is emptied, not only those of fingers 0..9: a slot
  // freed by an earlier restore may still hold its sample.
  for (ST_SubTemplate &t : x->quorvTemplateExtraInfor) ZqClearSubTemplate(&t);
  memcpy(x->extraFingerId, v.extraHead, ZQ_EXTRA_BUF_SLOTS);
  x->extraWriteIndex = v.extraHead[ZQ_EXTRA_BUF_SLOTS];
  int ret = 0;
  for (int i = 0; i < ZQ_TEMPLATE_BUF_SLOTS && ret == 0; ++i) {
    ret = zq_blob::CommitSubTpl(who, v.bufSlots[i], &b->bufTemplate[i]);
  }
  for (int j = 0; j < ZQ_EXTRA_BUF_SLOTS && ret == 0; ++j) {
    ret = zq_blob::CommitSubTpl(who, v.extraSlots[j], &x->quorvTemplateExtraInfor[j]);
  }
  if (ret != 0) {
    ZqClearTempalteBuf();
    for (int j = 0; j < ZQ_EXTRA_BUF_SLOTS; ++j) {
      ZqClearSubTemplate(&x->quorvTemplateExtraInfor[j]);
      x->extraFingerId[j] = ZQ_NO_FINGER;
    }
    x->extraWriteIndex = 0;
    return ret;
  }
  for (int j = 0; j < ZQ_EXTRA_BUF_SLOTS; ++j) {
    const uint8_t id = x->extraFingerId[j];
    if (id < MAX_FINGERS_SUPPORTED &&
        (gEnrolledTemplate[id] == nullptr || gEnrolledTemplate[id]->validFlg == 0)) {
      x->extraFingerId[j] = ZQ_NO_FINGER;
      QUORV_LOGW("%s...ExtraBuf template finger %d is invalid!!!", who, id);
    }
  }
  return 0;
}

}  // namespace

extern "C" {

uint32_t ZqGetTempalteBufSize(void) {
  const ST_QuorvTempalteBufInfor *b = gQuorvTempalteBufInfor;
  const ST_QuorvTemplateExtraBufInfor *x = gQuorvTemplateExtraBufInfor;
  if (b == nullptr || x == nullptr) return 0;
  uint32_t size = kBufHeadBytes + kExtraHeadBytes;
  for (const ST_SubTemplate &t : b->bufTemplate) size += ZqGetSubTplDataSize(&t);
  for (const ST_SubTemplate &t : x->quorvTemplateExtraInfor) size += ZqGetSubTplDataSize(&t);
  return size;
}

int ZqGetTempalteBufData(uint8_t *data, uint32_t *size) {
  if (data == nullptr || size == nullptr) return -1;
  zq_le::PutU32(data, ZQ_TEMPLATE_BUF_MAGIC);
  const ST_QuorvTempalteBufInfor *b = gQuorvTempalteBufInfor;
  if (b == nullptr) {
    *size = 0;
    QUORV_LOGE("%s...TempalteBuf is NULL, ret = -1", __func__);
    return -1;
  }
  memcpy(data + kOffState, b->bufState, ZQ_TEMPLATE_BUF_SLOTS);
  memcpy(data + kOffFingerId, b->bufFingerId, ZQ_TEMPLATE_BUF_SLOTS);
  memcpy(data + kOffGroup, b->bufGroup, ZQ_TEMPLATE_BUF_SLOTS);
  memcpy(data + kOffGroupFlg, b->bufGroupFlg, ZQ_TEMPLATE_BUF_SLOTS);
  data[kOffWriteIndex] = b->bufWriteIndex;
  data[kOffVerifyState] = b->bufVerifyState;
  data[kOffUpdateState] = b->bufUpdateState;
  uint32_t off = kBufHeadBytes;
  for (const ST_SubTemplate &t : b->bufTemplate) ZqGetSubTplData(data, &off, &t);
  const ST_QuorvTemplateExtraBufInfor *x = gQuorvTemplateExtraBufInfor;
  if (x == nullptr) {
    *size = 0;
    QUORV_LOGE("%s...ExtraBuf is NULL, ret = -1", __func__);
    return -1;
  }
  memcpy(data + off, x->extraFingerId, ZQ_EXTRA_BUF_SLOTS);
  data[off + ZQ_EXTRA_BUF_SLOTS] = x->extraWriteIndex;
  off += kExtraHeadBytes;
  for (const ST_SubTemplate &t : x->quorvTemplateExtraInfor) ZqGetSubTplData(data, &off, &t);
  *size = off;
  return 0;
}

int ZqInitTempalteBufData(uint32_t tplSize, const uint8_t *data, uint32_t *size) {
  uint32_t ignored = 0;
  if (size == nullptr) size = &ignored;
  *size = 0;
  if (data == nullptr || tplSize < 4 || zq_le::GetU32(data) != ZQ_TEMPLATE_BUF_MAGIC) {
    QUORV_LOGE("%s...ExtraBuf and TempalteBuf flag is error, ret = -2", __func__);
    return -2;
  }
  ST_QuorvTempalteBufInfor *b = gQuorvTempalteBufInfor;
  if (b == nullptr) {
    QUORV_LOGE("%s...TempalteBuf is NULL, ret = -1", __func__);
    return -1;
  }
  ST_QuorvTemplateExtraBufInfor *x = gQuorvTemplateExtraBufInfor;
  if (x == nullptr) {
    QUORV_LOGE("%s...ExtraBuf is NULL, ret = -1", __func__);
    return -1;
  }
  BufView view;
  int ret = ParseBufBlob(*b, *x, tplSize, data, &view);
  if (ret == 0) ret = CommitBufBlob(b, x, view);
  if (ret == 0) *size = view.end;
  QUORV_LOGI("%s...ExtraBuf and TempalteBuf size = %u, ret = %d", __func__, *size, ret);
  return ret;
}

}  // extern "C"
