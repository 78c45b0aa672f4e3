#include "src/features/ZqFullHMatrix.h"

#include "src/features/ZqLittleEndian.h"

void ZqFullHMatrixStore(const ST_FullHMatrix *m, uint8_t out[ZQ_FULL_HMATRIX_BYTES]) {
  const float fields[10] = {m->a00, m->a01, m->a02, m->a10, m->a11,
                            m->a12, m->a20, m->a21, m->a22, m->dtheta};
  for (int i = 0; i < 10; ++i) zq_le::PutF32(out + 4 * i, fields[i]);
}

void ZqFullHMatrixLoad(const uint8_t in[ZQ_FULL_HMATRIX_BYTES], ST_FullHMatrix *m) {
  float *const fields[10] = {&m->a00, &m->a01, &m->a02, &m->a10, &m->a11,
                             &m->a12, &m->a20, &m->a21, &m->a22, &m->dtheta};
  for (int i = 0; i < 10; ++i) *fields[i] = zq_le::GetF32(in + 4 * i);
}
