#include "src/features/ZqFeature.h"

#include "src/features/ZqLittleEndian.h"

void ZqFeatureStore(const ST_Feature *f, uint8_t out[ZQ_FEATURE_BYTES]) {
  zq_le::PutF32(out + 0, f->x);
  zq_le::PutF32(out + 4, f->y);
  zq_le::PutF32(out + 8, f->ori);
  for (int w = 0; w < ZQ_DESCR_WORDS; ++w) zq_le::PutU32(out + 12 + 4 * w, f->descr[w]);
}

void ZqFeatureLoad(const uint8_t in[ZQ_FEATURE_BYTES], ST_Feature *f) {
  f->x = zq_le::GetF32(in + 0);
  f->y = zq_le::GetF32(in + 4);
  f->ori = zq_le::GetF32(in + 8);
  for (int w = 0; w < ZQ_DESCR_WORDS; ++w) f->descr[w] = zq_le::GetU32(in + 12 + 4 * w);
}

uint32_t ZqFeatureDescrBit(const ST_Feature *f, uint32_t i) {
  return (f->descr[(i / 32) % ZQ_DESCR_WORDS] >> (i % 32)) & 1u;
}

void ZqFeatureSetDescrBit(ST_Feature *f, uint32_t i, uint32_t value) {
  uint32_t &word = f->descr[(i / 32) % ZQ_DESCR_WORDS];
  const uint32_t mask = 1u << (i % 32);
  word = value ? (word | mask) : (word & ~mask);
}
