// Identification: which enrolled finger, if any, a sample comes from.
#ifndef SRC_ZQALG_ZQVERIFYBYTEMPLATE_H_
#define SRC_ZQALG_ZQVERIFYBYTEMPLATE_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/features/ZqFullHMatrix.h"

#ifdef __cplusplus
extern "C" {
#endif

// Searches the enrolled store for sample. 0 match (*fingerId the finger,
// *updateFlag 1 when the match may update the template, *H the transform
// from the sample to the best sub-template); -1 no match or a NULL pointer;
// -2 a work allocation failed; -3 .. -7 no match classified by the cut that
// rejected it. option is handed to the pairwise matcher unchanged.
int ZqVerifyByTemplate(const ST_SubTemplate *sample, uint16_t *fingerId, int16_t *updateFlag,
                       ST_FullHMatrix *H, uint8_t option);

// Searches the extra-template buffer instead: ZqVerifyByTemplateExtra_Debug.
int ZqVerifyByTemplateExtra(const ST_SubTemplate *sample, uint16_t *fingerId,
                            int16_t *updateFlag, ST_FullHMatrix *H, uint8_t option);

// 0 when a sample of the extra-template buffer matches, else -2.
int ZqVerifyByTemplateExtra_Debug(const ST_SubTemplate *sample, uint16_t *fingerId,
                                  int16_t *updateFlag, ST_FullHMatrix *H, uint8_t option);

// Variant of the extra-buffer search that nothing in the library calls.
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
