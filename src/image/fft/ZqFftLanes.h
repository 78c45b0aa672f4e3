// Four lines of the image FFT's 1-D transform at once. C++ only; not part
// of the library's interface.
#ifndef SRC_FFT_ZQFFTLANES_H_
#define SRC_FFT_ZQFFTLANES_H_

#include <stdint.h>

#include "src/image/fft/ZqFftCore.h"

namespace zq_fft {

// Bytes of scratch fftTransform1DLanes4 needs for lines of n values.
inline int64_t fftLanes4ScratchBytes(int n) { return int64_t{n} * 2 * 32; }

// fftTransform1D on four lines at once, with the same results: line l
// (0..3) has its point i at in[l * lineStep + i * pointStep], its result
// goes to the same place in out (which may be in; every input is read
// first). scratch: fftLanes4ScratchBytes(n) bytes aligned to 16. n >= 2.
void fftTransform1DLanes4(const ST_Complex32f *in, ST_Complex32f *out, int64_t lineStep,
                          int64_t pointStep, int n,
                          int nstages, const int *stages, const int *perm,
                          const ST_Complex32f *tw, void *scratch, int direction, float scale);

}  // namespace zq_fft

#endif  // SRC_FFT_ZQFFTLANES_H_
