// Image processing of the 4845 modules: raw 16-bit frames turned into 8-bit
// images by a histogram-based contrast normalisation, and the empty hooks of
// that processing.
#ifndef DRIVERS_ZQ4845_ZQ4845_IMAGE_H_
#define DRIVERS_ZQ4845_ZQ4845_IMAGE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Turns cols x rows raw samples (ridges high) into an 8-bit image (ridges
// dark) in img: the samples are negated and shifted to start at 0 (in a
// wider type, so -32768 is safe), a 256-bin histogram is smoothed, its
// head/tail balance picks a level and a limit, a downward walk over the
// histogram finds the bright end, and the range up to it is stretched
// linearly over 0 to 255, saturating above. A uniform frame gives zeros.
// `samples` is left unchanged; NULL pointers or an empty frame do nothing.
void zq4845_normalize_contrast(const int16_t *samples, unsigned cols, unsigned rows,
                               uint8_t *img);

// Replaces each of the `count` values by the mean of the input values from
// k - 2 to k + 2 (clipped to the array). Nothing happens for NULL or when the
// temporary copy cannot be allocated.
void zq4845_smooth5(float *v, unsigned count);

// Called by the result mapping after every result of a 4845 product (0 for
// success, else 1); does nothing and returns 0.
int zq4845_match_hook(int failed);

// A reserved operation of the 4845 processing; does nothing and returns 0.
int zq4845_reserved_stub(void);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_ZQ4845_ZQ4845_IMAGE_H_
