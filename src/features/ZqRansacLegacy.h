// The older int16 registration: up to ten rounds of a two-point estimate
// from the best-connected candidate pair, a consensus count and the removal
// of the counted pairs from the candidates.
#ifndef SRC_FEATURES_ZQRANSACLEGACY_H_
#define SRC_FEATURES_ZQRANSACLEGACY_H_

#include <stdint.h>

#include "src/features/ZqFullHMatrix.h"
#include "src/image/ZqGeomTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

// Marks a removed candidate in ptIndex (pair indexes stay below it).
#define ZQ_REMOVED_CANDIDATE 0xFFFFu

// Registers the pairs (refSet[i], testSet[i]), i < setLength (3 ..
// ZQ_RANSAC_MAX_PAIRS): returns the best consensus size and writes its set
// (when consensusSetIndex is not NULL, setLength entries) and its rigid
// transform (when H is not NULL); 0 when fewer than three pairs have three
// distance-consistent partners (H untouched), or for bad input (logged). On
// short memory returns 0 and writes the identity to H.
int ZqRansac(const ST_Point16s *refSet, const ST_Point16s *testSet, uint16_t setLength,
             ST_FullHMatrix *H, uint16_t *consensusSetIndex);

// Searches the *leftCount candidates (pair indexes ptIndex, importances
// ptImportance, consistency matrix d with row stride `stride`) for a most
// important candidate b and a neighbour c sharing a third neighbour: writes
// their points to initRef2Pts/initTest2Pts, updates *leftCount and returns 1.
// Candidates without such a neighbour are removed from the three arrays on
// the way. Returns 0 when none is left; inputs unchanged on short memory.
int ZqFindCandi2Pts(ST_Point16s *initRef2Pts, ST_Point16s *initTest2Pts, const ST_Point16s *refSet,
                    const ST_Point16s *testSet, uint8_t *d, int16_t *ptImportance,
                    uint16_t *ptIndex, uint16_t stride, uint16_t *leftCount);

// The rigid transform mapping test[0], test[1] onto ref[0], ref[1]: dtheta in
// [0, 2 pi) from the two difference vectors, the shift as the mean of the
// two points' shifts.
void ZqEstimateRotParms2Pts(const ST_Point16s ref[2], const ST_Point16s test[2], float *dx,
                            float *dy, float *dtheta);

// Appends to consensusSetIndex, in order, every j < setLength whose mapped
// test point lies within |rx| + |ry| < 4 of its reference point; returns the
// number appended (0 for NULL arrays, logged).
int ZqGetConsensusSet(uint16_t *consensusSetIndex, const ST_Point16s *refSet,
                      const ST_Point16s *testSet, uint16_t setLength, float dx, float dy,
                      float dtheta);

// Removes from the *leftCount candidates those whose pair index is in the
// increasing list consensusSetIndex, compacting ptImportance, ptIndex and d
// (stride unchanged). Nothing changes on short memory (logged).
void ZqUpdateItems(int16_t *ptImportance, uint16_t *ptIndex, uint16_t stride, uint16_t *leftCount,
                   uint8_t *d, uint16_t consensusSetNums, const uint16_t *consensusSetIndex);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FEATURES_ZQRANSACLEGACY_H_
