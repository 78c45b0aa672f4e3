#include "tpl_blob_fixture.h"

#include <cstdlib>
#include <cstring>

#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqTplData.h"
#include "src/image/ZqMemoryManager.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TPL_FIXTURE_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TPL_FIXTURE_ASAN 1
#endif
#ifdef TPL_FIXTURE_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace tpl_fixture {

void FillSample(ST_SubTemplate *t, int n0, int n1, int seed) {
  const int n = n0 + n1;
  t->nFeatureNum[0] = static_cast<uint8_t>(n0);
  t->nFeatureNum[1] = static_cast<uint8_t>(n1);
  t->featBufSize = static_cast<uint32_t>(n) * ZQ_FEATURE_BYTES;
  t->pTemplateFeature = static_cast<ST_Feature *>(ZqSafeAlloc(static_cast<int32_t>(t->featBufSize)));
  for (int i = 0; i < n; ++i) {
    ST_Feature &f = t->pTemplateFeature[i];
    f.x = 1.5f * i + seed;
    f.y = 0.25f * seed - i;
    f.ori = -0.125f * (i + 1);
    for (int w = 0; w < ZQ_DESCR_WORDS; ++w) {
      f.descr[w] = 0x9E3779B9u * static_cast<uint32_t>(seed * 131 + i * 8 + w + 1);
    }
  }
  t->classNum = 2;
  t->templateArea = static_cast<uint8_t>(40 + seed % 50);
  t->templateQuality = static_cast<uint8_t>(50 + seed % 40);
  t->templateCond = static_cast<uint8_t>(30 + seed % 60);
  t->templateExtra = static_cast<uint8_t>(seed);
  t->replacedFlg = static_cast<uint8_t>(seed & 1);
  t->reservedInt = -seed;
  t->reservedBytes[0] = 0xA5;
  t->reservedBytes[3] = static_cast<uint8_t>(seed);
  t->binWordCnt = static_cast<int32_t>(t->binBufSize / 8 - 1);
  t->extendArea = static_cast<uint16_t>(seed % 100);
  t->rootIndex = static_cast<uint16_t>(seed % 3);
  t->rootHmatrix = {0.5f, -0.25f, 3.0f, 0.25f, 0.5f, -7.0f, 0.0f, 0.0f, 1.0f, 0.1f * seed};
  t->simpleHmatrix[0] = {static_cast<int8_t>(-seed), 5, static_cast<int16_t>(-1234 * seed)};
  t->simpleHmatrix[95] = {127, -127, 32767};
  for (int i = 0; i < ZQ_COIN_FLG_BYTES; ++i) t->coinFlg[i] = static_cast<uint8_t>(seed + 7 * i);
  for (uint32_t i = 0; i < t->binBufSize; ++i) t->templateBinDiscr[i] = static_cast<uint8_t>(i * 3 + seed);
  for (uint32_t i = 0; i < t->maskBufSize; ++i) t->templatePixValid[i] = static_cast<uint8_t>(i ^ seed);
}

void FillFinger(int fingerId, const std::vector<int> &counts, int seed) {
  ST_QuorvEnrollTemplate *f = gEnrolledTemplate[fingerId];
  ASSERT_NE(f, nullptr);
  for (size_t i = 0; i < counts.size(); ++i) {
    FillSample(&f->subtemplates[i], counts[i] / 2, counts[i] - counts[i] / 2,
               seed + static_cast<int>(i));
  }
  f->currentSubtemplatesNum = static_cast<uint16_t>(counts.size());
  f->coverageArea = 40 + seed;
  f->enrollResult = seed;
}

std::vector<uint8_t> SaveFinger(int fingerId) {
  std::vector<uint8_t> blob(ZqGetTplDataSize(static_cast<uint16_t>(fingerId)));
  uint8_t type = 0;
  uint32_t size = 0;
  if (blob.empty() || ZqGetTplData(static_cast<int16_t>(fingerId), &type, &size, blob.data()) != 0) {
    return {};
  }
  EXPECT_EQ(type, 121);
  EXPECT_EQ(size, blob.size());
  return blob;
}

uint32_t U32(const std::vector<uint8_t> &b, size_t off) {
  return b[off] | b[off + 1] << 8 | b[off + 2] << 16 | static_cast<uint32_t>(b[off + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t> &b, size_t off) {
  return static_cast<uint16_t>(b[off] | b[off + 1] << 8);
}
void PutU32(std::vector<uint8_t> *b, size_t off, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*b)[off + i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutU16(std::vector<uint8_t> *b, size_t off, uint16_t v) {
  (*b)[off] = static_cast<uint8_t>(v);
  (*b)[off + 1] = static_cast<uint8_t>(v >> 8);
}

uint16_t ReferenceCrc(const uint8_t *p, size_t n) {
  uint16_t crc = 0;
  for (size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
  }
  return crc;
}

void FixCrc(std::vector<uint8_t> *b) {
  const size_t n = b->size() - 2;
  PutU16(b, n, ReferenceCrc(b->data(), n));
}

void AlgStateTest::SetUp() {
  ZqAlgSettingsResetForTest();
  ZqSetSensorColRow(static_cast<int16_t>(Cols()), static_cast<int16_t>(Rows()));
  ZqSetAlgMaxTplCnt(96);
  baseline_ = ZqGetMallocCnts();
  ASSERT_EQ(ZqInitAlgorithm(), 0);
}

void AlgStateTest::TearDown() {
  ZqDestroyIntiAlg();
  ZqAlgSettingsResetForTest();
  EXPECT_EQ(ZqGetMallocCnts(), baseline_);
}

GuardedBytes::GuardedBytes(const std::vector<uint8_t> &bytes)
    : buf_(static_cast<uint8_t *>(std::malloc(bytes.size() + 1))), size_(bytes.size()) {
  if (!bytes.empty()) std::memcpy(buf_, bytes.data(), bytes.size());
}

GuardedBytes::~GuardedBytes() {
#ifdef TPL_FIXTURE_ASAN
  ASAN_UNPOISON_MEMORY_REGION(buf_, size_ + 1);
#endif
  std::free(buf_);
}

const uint8_t *GuardedBytes::Limit(size_t len) {
#ifdef TPL_FIXTURE_ASAN
  ASAN_UNPOISON_MEMORY_REGION(buf_, size_ + 1);
  ASAN_POISON_MEMORY_REGION(buf_ + len, size_ + 1 - len);
#else
  (void)len;
#endif
  return buf_;
}

}  // namespace tpl_fixture
