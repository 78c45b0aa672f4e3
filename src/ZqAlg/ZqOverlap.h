// How much of the sensor frame and of the valid pixels two sub-templates
// share under a transform (sample coordinates onto template coordinates).
#ifndef SRC_ZQALG_ZQOVERLAP_H_
#define SRC_ZQALG_ZQOVERLAP_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/features/ZqFullHMatrix.h"

#ifdef __cplusplus
extern "C" {
#endif

// Percent (integer division) of the cols x rows grid whose unrounded image
// under H lies inside the frame; 0 for NULL or an empty frame.
int ZqCalImageOverlap(const ST_FullHMatrix *H);

// As ZqCalImageOverlap with the mapped positions truncated after adding
// 0.5. Nothing in the library calls it.
int ZqCalImageOverlap_v1(const ST_FullHMatrix *H);

// Set bits of t's valid mask over the cols x rows frame (bits beyond the
// mask's maskBufSize bytes are not read); 0 for NULL.
uint32_t ZqGetTemplateValidPixelNum(const ST_SubTemplate *t);

// For every valid pixel p of b that H maps (truncating after + 0.5) onto a
// valid pixel of a: *count += 1, and when coverFlags[p] is 0 it becomes 1
// and *newCount += 1. *count is reset first; newCount accumulates over
// calls. coverFlags holds cols x rows bytes. newCount and count may be
// NULL; nothing happens when a, b, H or coverFlags is.
void ZqTemplateCoinArea(const ST_SubTemplate *a, const ST_SubTemplate *b, const ST_FullHMatrix *H,
                        uint8_t *coverFlags, uint32_t *newCount, uint32_t *count);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQOVERLAP_H_
