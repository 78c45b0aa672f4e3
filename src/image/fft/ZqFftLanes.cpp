// Four lines of the 1-D transform at once, gathered from and scattered to
// any strides; the butterflies are those of ZqFftLaneKernels.h.
#include "src/image/fft/ZqFftLanes.h"

#include "src/image/fft/ZqFftLaneKernels.h"

namespace zq_fft {

void fftTransform1DLanes4(const ST_Complex32f *in, ST_Complex32f *out, int64_t lineStep,
                          int64_t pointStep, int n,
                          int nstages, const int *stages, const int *perm,
                          const ST_Complex32f *tw, void *scratch, int direction, float scale) {
  using lanes::C;
  using lanes::F4;
  C<F4> *line = static_cast<C<F4> *>(scratch);
  C<F4> *tmp = line + n;
  const bool inverse = direction != 0;
  // Gather in the input permutation, conjugated for the inverse.
  for (int i = 0; i < n; ++i) {
    const ST_Complex32f *p = in + perm[i] * pointStep;
    C<F4> v = {F4{p[0].re, p[lineStep].re, p[2 * lineStep].re, p[3 * lineStep].re},
               F4{p[0].im, p[lineStep].im, p[2 * lineStep].im, p[3 * lineStep].im}};
    if (inverse) v.im = -v.im;
    line[i] = v;
  }
  lanes::Stages(line, n, nstages, stages, tw, tmp);
  lanes::Finish(line, n, direction, scale);
  for (int i = 0; i < n; ++i) {
    const C<F4> v = line[i];
    ST_Complex32f *p = out + i * pointStep;
    for (int l = 0; l < 4; ++l) p[l * lineStep] = {v.re[l], v.im[l]};
  }
}

}  // namespace zq_fft
