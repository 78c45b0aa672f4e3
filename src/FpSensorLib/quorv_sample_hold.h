// Extractions identification keeps while a hold is on, so that matching
// the same frame against several sets of loaded templates extracts it once.
#ifndef SRC_FPSENSORLIB_QUORV_SAMPLE_HOLD_H_
#define SRC_FPSENSORLIB_QUORV_SAMPLE_HOLD_H_

#include <stddef.h>
#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"

namespace quorv {

// Bytes of the quality record an extraction key holds.
constexpr size_t kHoldQualityBytes = 5;

// True while quorv_HoldIdentifySamples(1) is in force.
bool SampleHoldOn();

// When the hold keeps an extraction of img (n bytes, as it was before the
// extraction) with the same quality record (NULL: none), re-identify flag
// and action mode: copies its sample into sample, its image as the
// extraction left it into img, and restores the figures the extraction
// set; true then. False (nothing written) otherwise.
bool SampleHoldFind(uint8_t *img, size_t n, const uint8_t *quality, ST_SubTemplate *sample);

// Keeps a successful extraction: before and after are the image before and
// after it (n bytes), sample what it made. Nothing is kept when the hold is
// off or a copy cannot be made.
void SampleHoldKeep(const uint8_t *before, const uint8_t *after, size_t n,
                    const uint8_t *quality, const ST_SubTemplate *sample);

}  // namespace quorv

#endif  // SRC_FPSENSORLIB_QUORV_SAMPLE_HOLD_H_
