// Thinning of 0/1 images to one-pixel skeletons and counting of skeleton
// branch points.
//
// Neighbours of a pixel: N (row above), NE, E, SE, S, SW, W, NW; the
// neighbourhood code is N*1 + NE*2 + E*4 + SE*8 + S*16 + SW*32 + W*64 +
// NW*128; B is the number of set neighbours and A the number of 0 -> 1
// transitions in the cycle N, NE, ..., NW, N.
#ifndef SRC_ZQTHINNING_H_
#define SRC_ZQTHINNING_H_

#include <stdint.h>

#include "src/image/ZqGeomTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

// Zhang-Suen thinning with two sub-iterations until one removes nothing; a
// pixel with 2 <= B <= 6 and (A = 1 or a code in {5, 13, 20, 22, 52, 54,
// 65, 80, 133, 141}) is removed when N*S*W = E*S*W = 0 (first) or
// N*E*S = N*E*W = 0 (second). Afterwards the outermost rows and columns
// of dst are 0. dst may be src. 0; -1 for NULL or a side outside
// 1..32767; -2 when the candidate list cannot be had (dst unchanged).
int32_t ZqThinImage(const uint8_t *src, int32_t rows, int32_t cols, uint8_t *dst);

// Appends, in row-major order, the skeleton pixels (value 1) with
// 2 <= B <= 6 and A >= 3 inside the margin (margin <= 0 means 1) to out as
// (x, y), at most maxCount; *count receives their number, which is also
// returned (0 for NULL or a negative maxCount).
int32_t ZqGetIPoints(const uint8_t *skeleton, int32_t rows, int32_t cols, ST_Point16s *out,
                     int32_t *count, int32_t maxCount, int32_t margin);

// Thins img in place, takes at most 100 branch points with margin 4 and
// counts them, a point being merged into an earlier kept one within 5
// pixels in both x and y. 0; -1; -2 (img unchanged).
int32_t ZqCountSkeletonBranches(uint8_t *img, int32_t rows, int32_t cols, int32_t *count);

// Inverts img in place (0 -> 1, non-zero -> 0), then
// ZqCountSkeletonBranches. 0; -1; -2 (img already inverted).
int32_t ZqGetMinutiaInfo(uint8_t *img, int32_t rows, int32_t cols, int32_t *count);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQTHINNING_H_
