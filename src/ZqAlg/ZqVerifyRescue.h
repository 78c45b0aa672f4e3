// What the rigid scorer keeps of its best registration for the recall
// rescue: the pairs of the best orientation window and the inlier set.
#ifndef SRC_ZQALG_ZQVERIFYRESCUE_H_
#define SRC_ZQALG_ZQVERIFYRESCUE_H_

#include <stdint.h>

#include "src/features/ZqMatchPoint.h"
#include "src/image/ZqGeomTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

// Pairs of the best window copied (bound of the copy).
#define ZQ_RESCUE_PAIRS 170
// Inliers kept for the convex hull.
#define ZQ_RESCUE_HULL_POINTS 49
// Byte images of sensor size the rescue works in.
#define ZQ_RESCUE_IMAGES 4

// The rescue copy and the hull set of one comparison.
typedef struct ZqRescueData {
  ST_MatchPoint tplPts[ZQ_RESCUE_PAIRS];  // template ends of the window's pairs
  ST_MatchPoint smpPts[ZQ_RESCUE_PAIRS];  // their sample ends
  uint16_t idx[ZQ_RESCUE_PAIRS];          // consensus indexes of the registration
  uint16_t count;                         // pairs copied, at most ZQ_RESCUE_PAIRS
  int32_t inl;                            // inliers of that registration
  ST_Point32f hullTpl[ZQ_RESCUE_HULL_POINTS];  // template inliers
  ST_Point32f hullSmp[ZQ_RESCUE_HULL_POINTS];  // their sample points
  int32_t hullCount;                           // inliers kept, at most 49
} ZqRescueData;

// Work images of the rescue, cols x rows bytes each.
typedef struct ZqRescueImages {
  uint8_t *img[ZQ_RESCUE_IMAGES];
} ZqRescueImages;

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQVERIFYRESCUE_H_
