#include "src/features/ZqMatchPoint.h"

#include "src/features/ZqLittleEndian.h"

void ZqMatchPointStore(const ST_MatchPoint *p, uint8_t out[ZQ_MATCH_POINT_BYTES]) {
  zq_le::PutF32(out + 0, p->x);
  zq_le::PutF32(out + 4, p->y);
  zq_le::PutF32(out + 8, p->ori);
  zq_le::PutU16(out + 12, p->bin);
  zq_le::PutU16(out + 14, p->sim);
}

void ZqMatchPointLoad(const uint8_t in[ZQ_MATCH_POINT_BYTES], ST_MatchPoint *p) {
  p->x = zq_le::GetF32(in + 0);
  p->y = zq_le::GetF32(in + 4);
  p->ori = zq_le::GetF32(in + 8);
  p->bin = zq_le::GetU16(in + 12);
  p->sim = zq_le::GetU16(in + 14);
}
