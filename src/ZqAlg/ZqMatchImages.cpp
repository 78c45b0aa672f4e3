#include "src/ZqAlg/ZqMatchImages.h"

#include "src/features/ZqBinImg.h"
#include "src/image/ZqMaskBits.h"
#include "src/image/ZqMemoryManager.h"

namespace zq_alg {

MatchImages::~MatchImages() { Release(); }

void MatchImages::Release() {
  uint8_t **all[4] = {&tplBin, &smpBin, &tplMask, &smpMask};
  for (int i = 3; i >= 0; --i) {
    if (*all[i] != nullptr) ZqSafeFreeInMemBlock(*all[i]);
    *all[i] = nullptr;
  }
}

bool MatchImages::Take(int32_t cols, int32_t rows) {
  Release();
  cols_ = cols;
  rows_ = rows;
  const int32_t bytes = cols * rows;
  uint8_t **all[4] = {&tplBin, &smpBin, &tplMask, &smpMask};
  for (uint8_t **p : all) {
    *p = static_cast<uint8_t *>(ZqSafeAllocInMemBlock(bytes));
    if (*p == nullptr) {
      Release();
      return false;
    }
  }
  return true;
}

void MatchImages::Unpack(const ST_SubTemplate &sample, const ST_SubTemplate &tpl) {
  // Word bit i % 64 of word i / 64 is byte bit i % 8 of byte i / 8 in the
  // little-endian words.
  ZqGetImageFromArr(tpl.templateBinDiscr, cols_, rows_, tplBin);
  ZqGetImageFromArr(sample.templateBinDiscr, cols_, rows_, smpBin);
  ZqGetImageFromArr(tpl.templatePixValid, cols_, rows_, tplMask);
  ZqGetImageFromArr(sample.templatePixValid, cols_, rows_, smpMask);
}

bool CoversSensor(const ST_SubTemplate &t, uint32_t cols, uint32_t rows) {
  const uint32_t binBytes = static_cast<uint32_t>(ZqBinImgWordCount(cols, rows)) * 8u;
  const uint32_t maskBytes = (cols * rows + 7u) / 8u;
  return t.templateBinDiscr != nullptr && t.templatePixValid != nullptr &&
         t.binBufSize >= binBytes && t.maskBufSize >= maskBytes;
}

}  // namespace zq_alg
