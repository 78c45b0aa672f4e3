// Identification: which enrolled finger, if any, a sample comes from.
#ifndef SRC_ZQALG_ZQVERIFYBYTEMPLATE_H_
#define SRC_ZQALG_ZQVERIFYBYTEMPLATE_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/features/ZqFullHMatrix.h"

#ifdef __cplusplus
extern "C" {
#endif

// Searches the enrolled store for sample, in the order the match history
// has learned. 0 match (*fingerId the finger, *updateFlag 1 when the match
// may update the template, *H the transform from the sample to the best
// sub-template); -1 no match, a NULL pointer or no algorithm state; -2 a
// work allocation or a copy of the sample failed; -3 classifier cut, -4
// cross-check cut, -5 both, -6 only foreign-body cuts; -7 the best score
// reached the configured verify level's threshold but not the current one.
// Without a match *fingerId is 255 and *updateFlag 0. option is handed to
// the pairwise matcher unchanged.
int ZqVerifyByTemplate(const ST_SubTemplate *sample, uint16_t *fingerId, int16_t *updateFlag,
                       ST_FullHMatrix *H, uint8_t option);

// Searches the extra-template buffer instead: ZqVerifyByTemplateExtra_Debug.
int ZqVerifyByTemplateExtra(const ST_SubTemplate *sample, uint16_t *fingerId,
                            int16_t *updateFlag, ST_FullHMatrix *H, uint8_t option);

// 0 when a sample of the extra-template buffer matches (*fingerId its
// finger, *updateFlag 0, *H the transform onto it), else -2 (also for a
// NULL pointer; *fingerId 255). Names the slot, or the best miss, in the
// match report.
int ZqVerifyByTemplateExtra_Debug(const ST_SubTemplate *sample, uint16_t *fingerId,
                                  int16_t *updateFlag, ST_FullHMatrix *H, uint8_t option);

// Variant of the extra-buffer search that nothing in the library calls:
// same results, the report untouched, a reverse score taken as it comes.
int ZqVerifyByTemplateExtra_Release(const ST_SubTemplate *sample, uint16_t *fingerId,
                                    int16_t *updateFlag, ST_FullHMatrix *H, uint8_t option);

// Negative-template check: never rejects. Returns 0.
int ZqVerifyFaByNegativeTemplate(const ST_SubTemplate *sample, uint8_t threshold);

// Test only: the next ZqVerifyByTemplate call is again the first of the
// process (it reinitialises the match priority history).
void ZqVerifyByTemplateResetForTest(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQVERIFYBYTEMPLATE_H_
