// Distance-and-angle consistency of one pair against a list of pairs, for
// float match points and for int16 points. Each keeps a static mode flag
// between calls, so neither is reentrant.
#ifndef SRC_FEATURES_ZQPOINTTOPOLOGYCHECK_H_
#define SRC_FEATURES_ZQPOINTTOPOLOGYCHECK_H_

#include <stdint.h>

#include "src/features/ZqMatchPoint.h"
#include "src/image/ZqGeomTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

// Tests pair list[cur] against the other listed pairs b with state[b] != 1
// whose A and B distances to it agree within 5 and whose vertex angles
// (towards a third pair) agree within 5 degrees: returns 0 (and sets the
// mode flag) once at least max(m / 2, 2) were tested and one of "B distance
// longer" and "not longer" outweighs the other by half the larger count,
// else 1. cur = 0 clears the mode flag; count = 0 gives 1. NULL arrays or cur
// outside the list are logged and give 0.
int ZqPointTopologyCheck_32f(const ST_MatchPoint *setA, const ST_MatchPoint *setB, uint16_t count,
                             const uint16_t *list, const int16_t *state, uint32_t m, int cur);

// ZqPointTopologyCheck_32f for int16 points, with its own mode flag.
int ZqPointTopologyCheck(const ST_Point16s *setA, const ST_Point16s *setB, uint16_t count,
                         const uint16_t *list, const int16_t *state, uint32_t m, int cur);

// Test-only: clears both mode flags.
void ZqPointTopologyCheckResetForTest(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FEATURES_ZQPOINTTOPOLOGYCHECK_H_
