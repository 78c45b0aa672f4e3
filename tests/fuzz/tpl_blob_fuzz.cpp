// libFuzzer target: stored template blobs, damaged at will, at the
// product's 96 x 96 sensor size. The first input byte picks what is offered:
// 0 the raw bytes (to the finger loader, the single-record reader and the
// buffer restore); 1, 2, 3 a valid current finger blob, an older 48-slot
// blob and a template-buffer blob, with the rest of the input as edits (a
// length to cut to, then offset/value pairs, the CRC optionally recomputed);
// 4 an edited finger blob (current or older) as the driver receives it, a
// print item with its 7-byte head, through the driver's parse and its
// identification beside a good finger. Whatever is accepted must save and
// load back to the same bytes, the good finger must always answer under its
// own list index, and a refused blob must leave no heap block.
#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/quorvanta_ctx.h"
#include "drivers/quorvanta/quorvanta_tpl.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/ZqAlg/ZqCrc16.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqMatchRecords.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqTemplateBuf.h"
#include "src/ZqAlg/ZqTplData.h"
#include "src/ZqAlg/ZqTplLegacy.h"
#include "src/ZqAlg/ZqTplLoader.h"
#include "src/image/ZqMemoryManager.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void PutU32(std::vector<uint8_t> *b, size_t off, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*b)[off + i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutCrc(std::vector<uint8_t> *b) {
  const size_t n = b->size() - 2;
  const uint16_t crc = ZqCalCrc16(b->data(), static_cast<uint32_t>(n));
  (*b)[n] = static_cast<uint8_t>(crc);
  (*b)[n + 1] = static_cast<uint8_t>(crc >> 8);
}

void FillSample(ST_SubTemplate *t, int n, int seed) {
  t->nFeatureNum[0] = static_cast<uint8_t>(n / 2);
  t->nFeatureNum[1] = static_cast<uint8_t>(n - n / 2);
  t->featBufSize = static_cast<uint32_t>(n) * ZQ_FEATURE_BYTES;
  t->pTemplateFeature = static_cast<ST_Feature *>(ZqSafeAlloc(static_cast<int32_t>(t->featBufSize)));
  for (int i = 0; i < n; ++i) t->pTemplateFeature[i].x = static_cast<float>(seed + i);
  t->classNum = 2;
  t->templateQuality = 60;
  t->templateCond = 50;
  t->rootIndex = static_cast<uint16_t>(seed % 2);
  for (uint32_t i = 0; i < t->binBufSize; ++i) t->templateBinDiscr[i] = static_cast<uint8_t>(i + seed);
}

struct Seeds {
  std::vector<uint8_t> finger, legacy, buffers;
  std::vector<uint8_t> good;  // another finger, the driver path's good print
  int32_t blocks = 0;  // live heap blocks with every finger and buffer empty
};

std::vector<uint8_t> SaveFinger(int16_t finger) {
  std::vector<uint8_t> b(ZqGetTplDataSize(static_cast<uint16_t>(finger)));
  uint8_t type = 0;
  uint32_t size = 0;
  Check(ZqGetTplData(finger, &type, &size, b.data()) == 0 && size == b.size());
  return b;
}

std::vector<uint8_t> SaveBuffers() {
  std::vector<uint8_t> b(ZqGetTempalteBufSize());
  uint32_t size = 0;
  Check(ZqGetTempalteBufData(b.data(), &size) == 0 && size == b.size());
  return b;
}

void EmptyAll() {
  for (uint16_t f = 0; f < MAX_FINGERS_SUPPORTED; ++f) ZqClearErollTemplate(f);
  ZqClearTempalteBuf();
  for (int16_t f = 0; f <= ZQ_NO_FINGER; ++f) ZqClearExtraTempalteBuf(f);
}

const Seeds &Setup() {
  static Seeds *seeds = [] {
    gSensorInfor.cols = 96;  // the product's sensor
    gSensorInfor.rows = 96;
    gSensorInfor.algMaxTplCount = 48;
    gSensorInfor.maxFeatNum = 160;
    Check(ZqInitErollTemplate() == 0 && ZqCreateTempupdateInfor() == 0 && ZqInitTempalteBuf() == 0);
    auto *s = new Seeds;
    ST_QuorvEnrollTemplate *f = gEnrolledTemplate[0];
    for (int i = 0; i < 3; ++i) FillSample(&f->subtemplates[i], 2 + i, i);
    f->currentSubtemplatesNum = 3;
    s->finger = SaveFinger(0);
    ST_QuorvEnrollTemplate *g = gEnrolledTemplate[1];
    for (int i = 0; i < 2; ++i) FillSample(&g->subtemplates[i], 5 + i, 7 + i);
    g->currentSubtemplatesNum = 2;
    s->good = SaveFinger(1);
    ZqClearErollTemplate(1);
    ZqSetTplValidFlag(1);  // extra slots of finger 1 survive a restore
    ZqRefreshTemplateExtraInfor(&f->subtemplates[1], 1);
    ZqSubTemplateCopy(&gQuorvTempalteBufInfor->bufTemplate[2], &f->subtemplates[2]);
    s->buffers = SaveBuffers();
    // An older blob: two slots of 1 and 2 keypoints in the 4-byte pointer,
    // 48-slot layout.
    s->legacy.assign(4 + ZQ_LEGACY_X86_IMAGE + 3 * 44 + 2, 0);
    PutU32(&s->legacy, 0, QUORV_FLG);
    s->legacy[4 + 5] = 1;
    s->legacy[4 + 2584 + 4] = 1;
    s->legacy[4 + 2584 + 5] = 1;
    const size_t trailer = 4 + 48 * 2584 + 96;
    s->legacy[trailer] = 2;      // count
    s->legacy[trailer + 2] = 1;  // validFlg
    PutU32(&s->legacy, trailer + 8, ZQ_LEGACY_X86_IMAGE);
    PutCrc(&s->legacy);
    // The seeds themselves load.
    uint32_t used = 0;
    Check(ZqInitTempalteBufData(static_cast<uint32_t>(s->buffers.size()), s->buffers.data(), &used) == 0);
    for (const std::vector<uint8_t> *seed : {&s->finger, &s->legacy}) {
      ZqClearErollTemplate(2);
      Check(ZqIniAlgTplData(2, 0, static_cast<uint32_t>(seed->size()), seed->data()) == 0);
    }
    EmptyAll();
    s->blocks = ZqGetMallocCnts();
    return s;
  }();
  return *seeds;
}

// Applies the edits of `in` to a copy of `seed`.
std::vector<uint8_t> Edit(const std::vector<uint8_t> &seed, const uint8_t *in, size_t n) {
  std::vector<uint8_t> b = seed;
  if (n < 5) return b;
  const uint8_t flags = in[0];
  const uint32_t cut = in[1] | in[2] << 8 | in[3] << 16 | static_cast<uint32_t>(in[4]) << 24;
  for (size_t i = 5; i + 4 < n; i += 5) {
    const uint32_t off = in[i] | in[i + 1] << 8 | in[i + 2] << 16 | static_cast<uint32_t>(in[i + 3]) << 24;
    b[off % b.size()] = in[i + 4];
  }
  if (flags & 1) PutCrc(&b);
  if (flags & 2) b.resize(cut % (b.size() + 1));
  return b;
}

void LoadFinger(const std::vector<uint8_t> &blob, int32_t blocks) {
  const int ret = ZqIniAlgTplData(0, 121, static_cast<uint32_t>(blob.size()), blob.data());
  if (ret == 0 && ZqGetSubtemplatesNum(0) > 0) {
    const std::vector<uint8_t> saved = SaveFinger(0);
    ZqClearErollTemplate(0);
    Check(ZqIniAlgTplData(0, 0, static_cast<uint32_t>(saved.size()), saved.data()) == 0);
    Check(SaveFinger(0) == saved);
  }
  if (ret != 0) Check(ZqGetMallocCnts() == blocks);
  ZqClearErollTemplate(0);
  Check(ZqGetMallocCnts() == blocks);
}

void LoadBuffers(const std::vector<uint8_t> &blob, int32_t blocks) {
  uint32_t used = 0;
  const int ret = ZqInitTempalteBufData(static_cast<uint32_t>(blob.size()), blob.data(), &used);
  Check(used <= blob.size());
  if (ret == 0) {
    // Restoring what was saved gives the same buffers again.
    const std::vector<uint8_t> saved = SaveBuffers();
    Check(ZqInitTempalteBufData(static_cast<uint32_t>(saved.size()), saved.data(), &used) == 0);
    Check(used == saved.size() && SaveBuffers() == saved);
  } else {
    Check(ZqGetMallocCnts() == blocks);
  }
  EmptyAll();
  Check(ZqGetMallocCnts() == blocks);
}

// The driver's identification: the frame "matches" a slot holding the good
// finger; every other slot misses.
const std::vector<uint8_t> *g_good = nullptr;
uint8_t g_frame[96 * 96];
quorvanta_ctx_t g_ctx = {};

// The driver's parse of a print item, then identification over the item's
// template and the good finger's (which must answer), then the slots
// emptied as the next identification empties them.
void DriverPath(const std::vector<uint8_t> &item, const Seeds &seeds) {
  quorvanta_tpl t{};
  if (quorvanta_tpl_parse(item.data(), item.size(), &t) != 0) return;
  Check(t.len + QUORVANTA_TPL_HEAD == item.size() && t.len <= QUORV_TPL_DATA_MAX);
  const quorvanta_tpl good{0, 121, static_cast<uint32_t>(seeds.good.size()), seeds.good.data()};
  const quorvanta_tpl *list[] = {&t, &good, nullptr};
  g_good = &seeds.good;
  g_ctx.raw_image = g_frame;
  quorvanta_ctx = &g_ctx;
  uint32_t fid = 99;
  Check(bq_sensor_identify_by_templates(list, &fid) == 0 && fid <= 1);
  quorvanta_ctx = nullptr;
  for (unsigned f = 0; f < QUORV_FINGER_SLOTS; ++f) quorv_DelFinger(f);
  Check(ZqGetMallocCnts() == seeds.blocks);
}

}  // namespace

// The sensor library's calls of the driver's template path, on the real
// template store.
extern "C" int quorv_InitAlgTplData(uint8_t slot, uint8_t type, uint32_t len,
                                    const uint8_t *data) {
  return ZqIniAlgTplData(slot, type, len, data);
}
extern "C" int quorv_DelFinger(unsigned finger) {
  if (finger < MAX_FINGERS_SUPPORTED) ZqClearErollTemplate(static_cast<uint16_t>(finger));
  return 0;
}
extern "C" int quorv_IdentifyByImage(const uint8_t *, int, uint8_t *fid, uint8_t *update) {
  *fid = QUORV_NO_FINGER;
  *update = 0;
  for (int16_t f = 0; f < static_cast<int16_t>(QUORV_FINGER_SLOTS); ++f) {
    if (ZqGetSubtemplatesNum(static_cast<uint16_t>(f)) == 0) continue;
    if (g_good != nullptr && SaveFinger(f) == *g_good) {
      *fid = static_cast<uint8_t>(f);
      return 0;
    }
  }
  return QUORV_ERR_ALGORITHM;
}
extern "C" int quorv_SaveAlgTplData(int, uint8_t *, uint32_t *, uint8_t *) { return -1; }
extern "C" int quorv_GetAlgTplData(int, uint8_t *, uint32_t *, uint8_t *) { return -1; }
extern "C" int quorv_UpdateTemplate(uint8_t, uint8_t *) { return -1; }
// The stand-in identification extracts nothing, so there is nothing to hold.
extern "C" void quorv_HoldIdentifySamples(int) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const Seeds &seeds = Setup();
  if (size < 1) return 0;
  const uint8_t *in = data + 1;
  const size_t n = size - 1;
  switch (data[0] % 5) {
    case 0: {
      // An exact-size copy, so that any read past the input is caught.
      const std::vector<uint8_t> raw(in, in + n);
      LoadFinger(raw, seeds.blocks);
      ST_SubTemplate *t = ZqCreateTemp();
      if (ZqDataToQuorvTemplate(raw.data(), static_cast<uint16_t>(raw.size() & 0xFFFF), t) == 0) {
        std::vector<uint8_t> again(ZqGetSubTplDataSize(t));
        uint32_t off = 0;
        ZqGetSubTplData(again.data(), &off, t);
        Check(off == again.size() && std::memcmp(again.data(), raw.data(), off) == 0);
      }
      ZqReleaseTemp(t);
      LoadBuffers(raw, seeds.blocks);
      break;
    }
    case 1:
      LoadFinger(Edit(seeds.finger, in, n), seeds.blocks);
      break;
    case 2:
      LoadFinger(Edit(seeds.legacy, in, n), seeds.blocks);
      break;
    case 3:
      LoadBuffers(Edit(seeds.buffers, in, n), seeds.blocks);
      break;
    default: {
      // Edit flags beyond the CRC and cut bits: 4 the older blob, 8 the
      // slot byte from the cut's top byte, 16 a length field one too large.
      const uint8_t flags = n > 0 ? in[0] : 0;
      const std::vector<uint8_t> blob = Edit(flags & 4 ? seeds.legacy : seeds.finger, in, n);
      std::vector<uint8_t> item(QUORVANTA_TPL_HEAD);
      const uint32_t len = static_cast<uint32_t>(blob.size()) + ((flags & 16) ? 1 : 0);
      quorvanta_tpl_write_head(item.data(), (flags & 8) && n > 4 ? in[4] : 0, 121, len);
      item.insert(item.end(), blob.begin(), blob.end());
      DriverPath(item, seeds);
      break;
    }
  }
  return 0;
}
