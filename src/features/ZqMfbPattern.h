// The sampling pattern of the ring-comparison descriptor: 45 points on three
// rings around a keypoint and the 256 point pairs whose comparisons give the
// descriptor bits.
#ifndef SRC_FEATURES_ZQMFBPATTERN_H_
#define SRC_FEATURES_ZQMFBPATTERN_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Points of the pattern and comparison pairs (one per descriptor bit).
#define ZQ_MFB_POINTS 45
#define ZQ_MFB_PAIRS 256

// One pattern point, relative to the keypoint (x = column, y = row).
typedef struct ST_MfbPoint {
  float px;
  float py;
} ST_MfbPoint;

// One comparison: bit k is set when point j is darker than point i.
typedef struct ST_MfbPair {
  uint8_t i;
  uint8_t j;
} ST_MfbPair;

// Points 0..9 at radius 4 every 36 degrees, 10..24 at radius 8 every 24
// degrees, 25..44 at radius 13 every 18 degrees; each ring starts on the
// positive x axis and runs counter-clockwise. Filled before main.
extern const ST_MfbPoint *const gMfbRingPts;

// The 256 pairs, i < j, sorted by i then j; pair k gives bit k.
extern const ST_MfbPair *const gMfbPairs;

#ifdef __cplusplus
}
#endif

#endif  // SRC_FEATURES_ZQMFBPATTERN_H_
