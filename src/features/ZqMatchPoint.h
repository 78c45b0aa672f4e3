// One end of a descriptor match: position, orientation, orientation-
// difference bin and similarity, 16 bytes.
#ifndef SRC_FEATURES_ZQMATCHPOINT_H_
#define SRC_FEATURES_ZQMATCHPOINT_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Element i of the sample-end array and element i of the template-end array
// form match pair i. Registration reads only x and y.
typedef struct ST_MatchPoint {
  float x;       // column, pixels
  float y;       // row, pixels
  float ori;     // keypoint orientation, radians
  uint16_t bin;  // orientation-difference bin of the pair (10-degree bins)
  uint16_t sim;  // sample end: best descriptor similarity of the pair
} ST_MatchPoint;

// Bytes of one ST_MatchPoint in a stored blob.
#define ZQ_MATCH_POINT_BYTES 16

// Writes p little-endian in field order into out[0..15].
void ZqMatchPointStore(const ST_MatchPoint *p, uint8_t out[ZQ_MATCH_POINT_BYTES]);

// Reads a little-endian ST_MatchPoint from in[0..15] into *p.
void ZqMatchPointLoad(const uint8_t in[ZQ_MATCH_POINT_BYTES], ST_MatchPoint *p);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(ST_MatchPoint) == ZQ_MATCH_POINT_BYTES, "ST_MatchPoint is 16 bytes");
static_assert(offsetof(ST_MatchPoint, ori) == 8 && offsetof(ST_MatchPoint, bin) == 12 &&
                  offsetof(ST_MatchPoint, sim) == 14,
              "ST_MatchPoint field offsets");
#endif

#endif  // SRC_FEATURES_ZQMATCHPOINT_H_
