// Overlap of two sample sub-templates of consecutive presses: whether a new
// image still matches the previous one, and how much of it.
#ifndef SRC_ZQALG_ZQREQUIREDIMAGE_H_
#define SRC_ZQALG_ZQREQUIREDIMAGE_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/features/ZqFullHMatrix.h"

#ifdef __cplusplus
extern "C" {
#endif

// 2 when sample does not match reference, 1 when their overlap is below
// thr percent of the sensor, else 0; -1 for a NULL pointer.
int ZqIsGetRequiredImage(const ST_SubTemplate *reference, const ST_SubTemplate *sample, uint8_t thr);

// Overlap of sample on reference in percent of the sensor (0 when they do
// not match); -1 for a NULL pointer.
int ZqGetImageOverlap(const ST_SubTemplate *reference, const ST_SubTemplate *sample);

// Sensor positions whose image under H (mapped coordinates accumulated in
// single precision, row by row) lies inside the cols x rows sensor.
uint32_t ZqRequiredImageOverlapCount(const ST_FullHMatrix *H, int32_t cols, int32_t rows);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQREQUIREDIMAGE_H_
