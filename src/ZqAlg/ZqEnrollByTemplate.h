// Enrolment: adds one sample sub-template to a finger of the enrolled store
// and relates it to the sub-templates already there (root groups, transforms,
// coincidence codes, the area it adds).
#ifndef SRC_ZQALG_ZQENROLLBYTEMPLATE_H_
#define SRC_ZQALG_ZQENROLLBYTEMPLATE_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/features/ZqFullHMatrix.h"

#ifdef __cplusplus
extern "C" {
#endif

// Enrols sample into slot enrollIndex of finger fingerId (indexes run 0, 1,
// 2, ...; 0 starts the finger afresh). *out receives the low byte of the
// finger's enrollResult on success. 0 ok; -1 NULL sample or finger outside
// 0..9 (or an index that is negative or not the next slot); -3 index > 95;
// -4 index > enrollMaxTplCount - 1; -5 the finger is full; -6 the copy of
// the sample failed; -2 an allocation failed.
int ZqEnrollByTemplate(const ST_SubTemplate *sample, int16_t fingerId, int16_t enrollIndex,
                       uint8_t *out);

// Merges the root groups that a new sample joined (newRoot, sampleToRoot)
// with the groups of the sub-templates 0..n-1 it matched, as described by
// coinFlags (coinFlg layout), scores and sampleToTemplate. Returns 0.
int ZqEnrollTempateRootRefresh(int16_t fingerId, const uint8_t *coinFlags, const uint8_t *scores,
                               ST_FullHMatrix *const *sampleToTemplate, uint32_t n,
                               uint16_t newRoot, const ST_FullHMatrix *sampleToRoot);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQENROLLBYTEMPLATE_H_
