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

// Enrols sample into slot enrollIndex of finger fingerId. Indexes run 0, 1,
// 2, ...: 0 starts the finger afresh (count, validFlg and coverageArea to 0,
// also when the call then fails), every other index must equal the count.
// *out (may be NULL) receives the low byte of the finger's enrollResult on
// success. 0 ok; -1 NULL sample, finger outside 0..9 or not set up, an
// index that is negative or not the next slot; -3 index > 95; -4 index >
// enrollMaxTplCount - 1; -5 the finger is full; -6 the copy of the sample
// failed; -2 an allocation failed. A failure adds nothing to the count.
int ZqEnrollByTemplate(const ST_SubTemplate *sample, int16_t fingerId, int16_t enrollIndex,
                       uint8_t *out);

// Moves the groups of the sub-templates 0..n-1 (n at most the finger's count)
// that a new sample matched well (code above 1 in coinFlags, score above 7)
// under the root the sample joined (newRoot, sampleToRoot), each member
// with its transform chained through the matched one and the sample.
// sampleToTemplate[i] maps the sample onto sub-template i. Returns 0; bad
// arguments or short memory (logged) move nothing.
int ZqEnrollTempateRootRefresh(int16_t fingerId, const uint8_t *coinFlags, const uint8_t *scores,
                               ST_FullHMatrix *const *sampleToTemplate, uint32_t n,
                               uint16_t newRoot, const ST_FullHMatrix *sampleToRoot);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQENROLLBYTEMPLATE_H_
