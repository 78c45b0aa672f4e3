// The false-accept classifier at the end of a rigid comparison: measures
// how the two binarised images differ under the match transform and cuts
// the comparison when the measurements fall in a region of a rule table.
#ifndef SRC_ZQALG_ZQCLASSIFIERCUTFAR_H_
#define SRC_ZQALG_ZQCLASSIFIERCUTFAR_H_

#include <stdint.h>

#include "src/ZqAlg/ZqMatchInfoTwo.h"
#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/features/ZqFullHMatrix.h"

#ifdef __cplusplus
extern "C" {
#endif

// Fills the image measurements of gMatchInfoTwo (overlapHeight,
// diffBlobSize, recurNum, recurPct, ransacDensity, overlapWidth) and
// consults the rule table of sensorType: *ret = ZQ_CLS_NOT_RUN (no table
// for the sensor type, or its gate closed), ZQ_CLS_NO_ROW, ZQ_CLS_CUT or
// ZQ_CLS_OVERRIDE. Writes nothing when an argument is NULL, an image is
// shorter than rows x cols, work memory is short or the difference
// measurement fails.
void ZqClassifierCutFar(const ST_SubTemplate *sample, const ST_SubTemplate *tpl,
                        const ST_FullHMatrix *H, int sensorType, int rows, int cols,
                        int32_t *ret);

// Copies t's templateQuality, templateArea, templateCond and templateExtra
// into rec's sample bytes (which 0) or template bytes (which 1); nothing
// for NULL or another which.
void ZqSaveTempCharater(const ST_SubTemplate *t, ST_MatchInfoTwo *rec, int which);

#ifdef __cplusplus
}

namespace zq_alg {
// Rule table (1..8) the classifier consults for sensorType under algoMode,
// with template and sample quality qt, qs and overlapPct e; 0 for none.
int ClassifierTable(int sensorType, uint8_t algoMode, int qt, int qs, int e);
// The result after the override: ZQ_CLS_OVERRIDE for a cut that the
// image measurements of info excuse, else result.
int32_t ClassifierOverride(int32_t result, int sensorType, const ST_MatchInfoTwo &info);
}  // namespace zq_alg
#endif

#endif  // SRC_ZQALG_ZQCLASSIFIERCUTFAR_H_
