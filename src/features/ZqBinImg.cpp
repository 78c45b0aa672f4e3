#include "src/features/ZqBinImg.h"

#include "src/features/ZqLittleEndian.h"

uint16_t ZqBinImgWordCount(uint32_t cols, uint32_t rows) {
  if (cols == 0 || rows == 0) return 0;
  const uint64_t n = static_cast<uint64_t>(cols) * rows;
  if (n > ZQ_BINIMG_MAX_PIXELS) return 0;
  return static_cast<uint16_t>((n + 63u) / 64u);
}

void ZqBinImgStore(const uint64_t *words, uint16_t wordCount, uint8_t *out) {
  for (uint32_t w = 0; w < wordCount; ++w) {
    zq_le::PutU32(out + 8u * w, static_cast<uint32_t>(words[w]));
    zq_le::PutU32(out + 8u * w + 4u, static_cast<uint32_t>(words[w] >> 32));
  }
}

void ZqBinImgLoad(const uint8_t *in, uint16_t wordCount, uint64_t *words) {
  for (uint32_t w = 0; w < wordCount; ++w) {
    words[w] = static_cast<uint64_t>(zq_le::GetU32(in + 8u * w)) |
               (static_cast<uint64_t>(zq_le::GetU32(in + 8u * w + 4u)) << 32);
  }
}
