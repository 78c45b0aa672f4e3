// The 4847's dead-pixel production test, run by the factory control entry
// through the 4847 factory operations (chips/zq4847_update).
#ifndef DRIVERS_ZQ_PROTOCAL_ZQ_DEAD_PIXEL_4847_H_
#define DRIVERS_ZQ_PROTOCAL_ZQ_DEAD_PIXEL_4847_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Limits of the test.
#define ZQ4847_NOISE_PASSES 7        // noise checks before giving up
#define ZQ4847_NOISE_VARIANCE_MIN 1  // the variance of |A - B| between two frames
#define ZQ4847_NOISE_VARIANCE_MAX 200
#define ZQ4847_BAD_PIXELS_MAX 50     // more bad pixels of either stage fail

// Runs the test on a width x height sensor whose raw samples come as rows of
// 64 (the counted pixels are the indices 65 to N - 65 whose column i mod 64
// is not 0, 1, 62 or 63, N = width x height):
// factory mode; up to 7 noise checks (two frames, the variance of their
// difference must be 1 to 200; a sensor reset and 400 ms between checks);
// then frame A at the current DAC and frame B one DAC step down; first-stage
// bad pixels read below 400 or above 4090 in A, second-stage ones change by
// less than 200 or more than 1000. Always ends with Factory_Exit.
// Returns 0 (also for a width or height of 0, where nothing is read), -1 for
// a failed noise check, more than 50 bad pixels of either stage, or a sensor
// without a counted pixel (N below 131), -12 when a buffer cannot be had.
int do_dead_pixel_test_4847(uint16_t width, uint16_t height);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_ZQ_PROTOCAL_ZQ_DEAD_PIXEL_4847_H_
