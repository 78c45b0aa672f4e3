// Descriptor similarity of two keypoints and the selection of descriptor
// pairs between a sample sub-template and an enrolled one.
#ifndef SRC_ZQALG_ZQDESCMATCH_H_
#define SRC_ZQALG_ZQDESCMATCH_H_

#include <stddef.h>
#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/features/ZqFeature.h"

#ifdef __cplusplus
extern "C" {
#endif

// Sample keypoints the best/second tables hold (800 bytes each).
#define ZQ_MATCH_MAX_SAMPLE_KP 200
// Descriptor pairs ZqGetMatchPairs keeps.
#define ZQ_MATCH_MAX_PAIRS 60
// A pair needs a best similarity above this.
#define ZQ_MATCH_MIN_BEST_SIM 159

// Equal bits of a byte XOR: entry b = 8 - popcount(b).
extern const uint8_t invHMTableAlg[256];

// One selected descriptor pair, four uint16 in this order.
typedef struct ST_MatchPair {
  uint16_t sampleIdx;    // sample keypoint (index over both groups)
  uint16_t templateIdx;  // best template keypoint (index over both groups)
  uint16_t bestSim;      // its similarity
  uint16_t secondSim;    // similarity of the second best
} ST_MatchPair;

// Equal descriptor bits of a and b, 0..256 (256: identical), summed
// through invHMTableAlg; 0 for NULL. The pair search below computes the
// same sums by a faster route.
uint32_t ZqCalcDescSim(const ST_Feature *a, const ST_Feature *b);

// For every sample keypoint (groups 0 and 1, at most ZQ_MATCH_MAX_SAMPLE_KP)
// the best and second similarity (sims[n][0], sims[n][1]) against the
// template keypoints of its own group and their template indexes
// (idx[n][0], idx[n][1]). Returns the number of sample keypoints done, also
// written to *count; 0 when the sample's classNum is 0 or an argument is
// NULL. A group without template keypoints gives 0 and 0.
uint16_t ZqCalcHanmDistance(const ST_SubTemplate *sample, const ST_SubTemplate *tpl,
                            uint16_t sims[][2], uint16_t idx[][2], uint16_t *count);

// Test hook: ZqCalcHanmDistance scans `lanes` sample keypoints at a time
// (1: the plain scan, 8 or 16: the vector scans) instead of the widest the
// processor has (0). Returns 1, or 0 (and the widest is used) when the
// processor lacks that scan. Every scan gives the same tables.
int32_t ZqCalcHanmDistanceLanesForTest(int32_t lanes);

// Selects up to ZQ_MATCH_MAX_PAIRS pairs from the first count table rows
// (the sample's keypoints): best above 159 and clearly above the second,
// one pair per sample position, sorted by bestSim, highest first (stable).
// tpl is not read. *pairCount = 0 for a NULL argument.
void ZqGetMatchPairs(const ST_SubTemplate *sample, const ST_SubTemplate *tpl,
                     const uint16_t sims[][2], const uint16_t idx[][2], uint16_t count,
                     ST_MatchPair pairs[ZQ_MATCH_MAX_PAIRS], uint16_t *pairCount);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(ST_MatchPair) == 8 && offsetof(ST_MatchPair, templateIdx) == 2 &&
                  offsetof(ST_MatchPair, bestSim) == 4 && offsetof(ST_MatchPair, secondSim) == 6,
              "ST_MatchPair is four uint16");
#endif

#endif  // SRC_ZQALG_ZQDESCMATCH_H_
