// The transform engine behind the image FFT: factorisation, tables,
// one-dimensional mixed-radix transforms, the 2-D transform and the
// spectrum shifts.
#ifndef SRC_FFT_ZQFFTCORE_H_
#define SRC_FFT_ZQFFTCORE_H_

#include <stdint.h>

#include "src/image/fft/ZqFft.h"

namespace zq_fft {

// Most factors of a length below 65536 (16 twos or 10 odd primes).
constexpr int kMaxFactors = 32;

// Factors of n (> 5): its largest power-of-two divisor first (if above 1),
// then its odd prime factors in descending order. Returns their number.
int fftFactorize(int n, int *factors);

// Radix steps for n: the power-of-two factor as radix 2 (if its exponent is
// odd) and radix-4 steps, then the odd factors. n <= 5 gives n itself.
int fftStages(int n, int *stages);

// perm[i] = the input position read into position i before the butterflies
// of the given stages; tw[k] = exp(-2 pi i k / n), k < n, grown from w[1]
// by complex multiplication (w[1] exact for powers of two, otherwise from
// the sine of -2 pi / n).
void fftInitTables(int n, int nstages, const int *stages, int *perm, ST_Complex32f *tw);

// In-place transform of line (n values) with the tables of fftInitTables.
// Direction 0 forward, 1 inverse (conjugate of the forward transform of the
// conjugate); then every value is multiplied by scale unless it is 1.
// scratch holds n values (the permutation and the odd stages above 5).
void fftTransform1D(ST_Complex32f *line, int n, int nstages, const int *stages, const int *perm,
                    const ST_Complex32f *tw, ST_Complex32f *scratch, int direction, float scale);

// 2-D transform, columns then rows; dst may be src. 0; -1 for NULL, a side
// outside 1..65535 or a direction other than 0 and 1; -2.
int32_t fft2D(const ST_Complex32f *src, int32_t rows, int32_t cols, int32_t direction,
              ST_Complex32f *dst);

// Moves (y, x) to ((y + rows/2) mod rows, (x + cols/2) mod cols). 0; -2
// (spectrum unchanged).
int32_t fftShiftCenter(ST_Complex32f *spectrum, int32_t rows, int32_t cols);

// Undoes fftShiftCenter. 0; -2 (spectrum unchanged).
int32_t fftShiftBack(ST_Complex32f *spectrum, int32_t rows, int32_t cols);

}  // namespace zq_fft

#endif  // SRC_FFT_ZQFFTCORE_H_
