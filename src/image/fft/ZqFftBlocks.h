// The 2-D transform in blocks of W lines (W = 8 with AVX, else 4) for
// sides that are multiples of W: the column pass leaves each block of W
// rows transposed (point-major, W lanes per point) in place of those rows,
// so the row pass reads whole vectors. Results are those of fft2D, bit for
// bit. C++ only; not part of the library's interface.
#ifndef SRC_FFT_ZQFFTBLOCKS_H_
#define SRC_FFT_ZQFFTBLOCKS_H_

#include <stdint.h>

#include "src/image/fft/ZqFftCore.h"

namespace zq_fft {

// Whether the blocks take images of these sizes.
bool fftBlocksSuit(int32_t rows, int32_t cols);

// The results below: 0 done; 1 the sizes do not suit the blocks or the
// buffers overlap (nothing done, the caller takes fft2D); -2 allocation
// failure (nothing written).

// Forward transform of a real image into spectrum, as fft2D of the image
// with zero imaginary parts.
int32_t fftBlocksForward(const float *img, int32_t rows, int32_t cols, ST_Complex32f *spectrum);
int32_t fftBlocksForward(const uint8_t *img, int32_t rows, int32_t cols, ST_Complex32f *spectrum);

// fft2D(src, rows, cols, direction, dst) for a dst apart from src.
int32_t fftBlocks2D(const ST_Complex32f *src, int32_t rows, int32_t cols, int32_t direction,
                    ST_Complex32f *dst);

// The real parts of the inverse transform of spectrum into out.
int32_t fftBlocksInverseReal(const ST_Complex32f *spectrum, int32_t rows, int32_t cols, float *out);

// The most lines a 2-D transform carries at once: 8 (the default; 4 where
// the processor lacks AVX), 4, or 1 for one line at a time.
int fftLanesLimit();

}  // namespace zq_fft

extern "C" {
// Test hook: caps the lines the 2-D transforms carry at once (8, 4 or 1);
// the results are the same at every setting.
void ZqFftLanesForTest(int32_t lanes);
}

#endif  // SRC_FFT_ZQFFTBLOCKS_H_
