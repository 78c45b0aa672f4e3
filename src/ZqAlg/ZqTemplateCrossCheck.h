// Cross-check of a weak identification match: the sample is matched again
// against the other sub-templates of the matched one's group, each cut down
// to the area it shares with the sample, and a verdict with a reason code
// is given.
#ifndef SRC_ZQALG_ZQTEMPLATECROSSCHECK_H_
#define SRC_ZQALG_ZQTEMPLATECROSSCHECK_H_

#include <stdint.h>

#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/features/ZqFullHMatrix.h"

#ifdef __cplusplus
extern "C" {
#endif

// Feature buffer bytes of a cross copy: room for 250 keypoints.
#define ZQ_CROSS_COPY_FEAT_BYTES 11000
// Keypoints a cross copy holds (over both groups).
#define ZQ_CROSS_COPY_MAX_KP 250

// The identification candidate handed to the cross-check.
typedef struct ST_CrossCheckMatch {
  uint8_t rootIndex;             // root index of the matched sub-template
  uint8_t subIndex;              // index of the matched sub-template
  int32_t score;                 // pairwise match score of the candidate
  int32_t matchScore;            // match report's matchScore after that comparison
  int32_t overlapSize;           // match report's overlapsize
  float ration;                  // match report's ration
  ST_FullHMatrix toRootHmatrix;  // sample -> root of the group
  ST_FullHMatrix matchHmatrix;   // sample -> matched sub-template
} ST_CrossCheckMatch;

// Confirms cand against the other members of its group in finger, visited
// in order[0..95]: 1 same finger, 2 same finger with weak support only, -1
// reject, 0 no objection, -2 allocation failure; -1 for a NULL sample,
// finger or order. *reason gets the reason code (unchanged on -1 for bad
// input and on -2; it keeps its preset when nothing decides).
int32_t ZqTemplate2TemplateMatch(const ST_SubTemplate *sample, const ST_QuorvEnrollTemplate *finger,
                                 const uint8_t order[96], int32_t unused, int32_t rows,
                                 int32_t cols, ST_CrossCheckMatch cand, uint8_t strongScore,
                                 int16_t *reason);

// Share of the rows x cols sensor that stays covered when a sample is
// placed by A rather than by B (rigid A and B): 1 less the border when they agree.
float ZqCalcOverlapRatio(const ST_FullHMatrix *A, const ST_FullHMatrix *B, int32_t rows,
                         int32_t cols);

// A sample-like sub-template with an empty 11000-byte feature buffer;
// NULL (logged, nothing kept) when memory is short. Release with ZqReleaseTemp.
ST_SubTemplate *ZqSafeAllocTemplateForCopy(void);

// Fills copy with src's fields, images and the keypoints that H maps into
// the cols x rows sensor widened by a 5-pixel margin (at most 250 kept; each
// one beyond is logged and dropped): 0; -1 for a NULL pointer or feature
// buffer, or when src's buffers are shorter than its counts or larger than
// copy's (copy unchanged then).
int32_t ZqInitCrossTemplate(const ST_SubTemplate *src, const ST_FullHMatrix *H, int32_t cols,
                            int32_t rows, ST_SubTemplate *copy);

// Valid pixels of the bit mask (cols x rows, LSB first) whose rigid image
// under H (16.16 fixed point) lies in the sensor widened by margin; the
// count is clamped to 32767. -1 for a NULL mask or H, a non-positive side,
// or when the work tables cannot be allocated.
int32_t ZqGetMaskValidCorrdingHmatrix(const uint8_t *mask, int32_t cols, int32_t rows,
                                      const ST_FullHMatrix *H, int32_t margin);

// Kept for identification's call: always 0.
int32_t ZqCheckTemplatesCondition(const ST_SubTemplate *sample, const ST_QuorvEnrollTemplate *finger);

// A new sample record holding a deep copy of src; NULL when src is NULL or
// the copy fails (nothing kept).
ST_SubTemplate *ZqcopyTemplate(const ST_SubTemplate *src);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQTEMPLATECROSSCHECK_H_
