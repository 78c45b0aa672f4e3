// The plain integer point of the feature code. The 16-bit and float points
// (ST_Point16s, ST_Point32f) are the image foundation's.
#ifndef SRC_FEATURES_ZQPOINT_H_
#define SRC_FEATURES_ZQPOINT_H_

#include "src/image/ZqGeomTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

// int32 x (column), int32 y (row): the same record as ST_Point32s.
typedef ST_Point32s ST_Point;

#ifdef __cplusplus
}
#endif

#endif  // SRC_FEATURES_ZQPOINT_H_
