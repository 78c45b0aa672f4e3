// Contrast normalisations of a sensor image used by the identify retry, and
// the library's wrappers of the algorithm core's FFT filters.
#ifndef SRC_FPSENSORLIB_QUORV_HIST_NORMALIZE_H_
#define SRC_FPSENSORLIB_QUORV_HIST_NORMALIZE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Stretches the window [columnMargin, cols - columnMargin) x [rowMargin,
// rows - rowMargin) of src into dst between the grey levels that cut off
// the tails (fractions of (cols - columnMargin) x (rows - rowMargin)), and
// fills the margins of dst with the upper cut / 2. src may be dst. 0; -1
// for a NULL image, a size not above 0, a negative margin or an empty
// window (nothing written).
int quorv_HistNormalizeU8(const uint8_t *src, int16_t cols, int16_t rows, int16_t columnMargin,
                          int16_t rowMargin, uint8_t *dst, float upperTail, float lowerTail);

// Stretches the window [margin, cols - margin) x [margin, rows - margin)
// between its minimum and maximum; margins of dst (when margin > 0) become
// maximum / 2. src may be dst. 0, or -1 as quorv_HistNormalizeU8.
int quorv_HistNormalizeU8_(const uint8_t *src, int16_t cols, int16_t rows, int16_t margin,
                           uint8_t *dst);

// ZqRootFilter(src, cols, rows, 3, dst); strength has no effect.
int quorv_RootFilter(const uint8_t *src, int cols, int rows, uint8_t *dst, float strength);

// ZqNoiseFilter with the same arguments.
int quorv_NoiseFilter(uint8_t *src, uint8_t filter, int16_t cols, int16_t rows, uint8_t *dst,
                      float ratio);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_HIST_NORMALIZE_H_
