// Pieces of identification that stand on their own: the search order taken
// from the match history, the weak-area pooling fallback, the
// classification of a failed identification and the score of the
// extra-buffer refresh.
#ifndef SRC_ZQALG_ZQVERIFYBYTEMPLATEPARTS_H_
#define SRC_ZQALG_ZQVERIFYBYTEMPLATEPARTS_H_

#include <stdint.h>

#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqMatchRecords.h"
#include "src/ZqAlg/ZqSubTemplate.h"

namespace zq_alg {

// Result of a failed identification by the cut that rejected it.
enum VerifyFailure {
  kVerifyNoMatch = -1,
  kVerifyClassifierCut = -3,    // the false-accept classifier, the cross-check never
  kVerifyCrossCheckCut = -4,    // the cross-check, the classifier never
  kVerifyBothCut = -5,          // both
  kVerifyForeignBodyCut = -6,   // only the foreign-body test
  kVerifyConfiguredLevel = -7,  // best score reached the configured level's threshold
};

// Fingers 0..9 ordered by their hits in ring (the finger ring of the match
// history), most hits first, equal counts by ascending id. An entry naming
// a finger that is not valid is overwritten with 255; other entries that
// are no finger id are ignored.
void FingerSearchOrder(uint32_t ring[ZQ_FINGER_RING_SIZE], const bool valid[MAX_FINGERS_SUPPORTED],
                       uint8_t order[MAX_FINGERS_SUPPORTED]);

// Sub-template indexes 0..95 of a finger holding count sub-templates,
// ordered by their hits in ring (the finger's row of the match history),
// most first, equal counts ascending. Only entries below count are hits, so
// the finger's count sub-templates always take ranks 0..count-1. hits[i]
// receives the hit count of order[i].
void SubTemplateSearchOrder(const uint32_t ring[ZQ_SUBTEMP_RING_SIZE], uint32_t count,
                            uint8_t order[MAX_SUBTEMPLATES_PER_FINGER],
                            int32_t hits[MAX_SUBTEMPLATES_PER_FINGER]);

// Cuts counted during one identification.
struct VerifyCuts {
  int32_t classifier;   // false-accept classifier refusals
  int32_t crossCheck;   // cross-check rejections
  int32_t foreignBody;  // foreign-body cuts
};

// The final result of an identification that ended with the negative ret:
// -5, -3, -4 or -6 by the cuts (ret itself when none), then -7 whenever
// bestScore reached cfgThreshold (the threshold of the configured verify
// far level).
int ClassifyVerifyFailure(int ret, const VerifyCuts &cuts, int32_t bestScore, int32_t cfgThreshold);

// How a pooled group of weak matches is accepted.
struct WeakPoolRule {
  int32_t threshold;      // T of the verify far level
  uint8_t adjustMatchEn;  // adaptive far level on
  uint8_t successRun;     // continueSucessMatchNum of the adaptive level
};

// The weak-area fallback: groups the unused areas of pool by finger (an
// area with the later areas of its finger), registers each group of at
// least threshold points and accepts the first group that passes the rule.
// A group with more inliers than *verifyScores updates it and
// *verifyFingerId. 0 with the group's finger in *finger; -1 no group
// accepted; -2 work memory is short.
int PoolWeakAreas(ST_QuorvAreaMatchToplogy *pool, const WeakPoolRule &rule, int32_t *verifyScores,
                  int32_t *verifyFingerId, int32_t *finger);

// Least score of a second look that refreshes the extra-template buffer
// after an extra match at verify far level `level`: the update score two
// levels up, the last level's beyond the table.
int32_t ExtraRefreshScore(uint8_t level);

}  // namespace zq_alg

#endif  // SRC_ZQALG_ZQVERIFYBYTEMPLATEPARTS_H_
