// Connected-region filters of 0/1 masks: every region is labelled by a
// flood fill, judged by its pixel count or its shape statistics
// (ST_AreaInfo), and kept (1) or removed (0).
//
// Rules on a region's statistics, used by the members below:
//   R1 pixel count >= minArea (unsigned comparison in the 8-bit members)
//   R2 height >= minSide or width >= minSide
//   R3 edgeCount >= minEdge
//   R4 fillPercent <= 90 or height <= 90
//   R6 width <= 2: height <= 70; width 3..9: height <= 90;
//      width 10..14: height <= 150; wider: no limit
//   R7(t) tipCount < 16 or edgePerTip > t
//   R8 (stripy) thinTipCount > 10 and (u16)(edgeCount / thinTipCount) <= 5
// 8-bit members label 254 regions (2..255), 16-bit members 699 (2..700);
// regions beyond the limit keep 1 and are judged by no rule. Results: 0;
// -1 for a NULL pointer or a side outside 1..65535; -2 when a scratch
// block cannot be had (nothing written).
#ifndef SRC_ZQCONNECTEDAREA_H_
#define SRC_ZQCONNECTEDAREA_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// 4-connected; keeps regions with count >= minArea. With keepLargest, and
// the largest kept count >= minArea, keeps only that region (the first in
// row-major order among equals). No region, or none kept: mask cleared.
int32_t ZqGetConnectedArea(uint8_t *mask, int32_t rows, int32_t cols, int32_t minArea,
                           uint8_t keepLargest);

// 8-connected ZqGetConnectedArea (keep-largest when largest > minArea);
// adds the pixel counts of the kept regions to *areaSum, which is not
// reset first (NULL: -1).
int32_t ZqGetConnectedArea_8_v2(uint8_t *mask, int32_t rows, int32_t cols, int32_t minArea,
                                uint8_t keepLargest, uint16_t *areaSum);

// 4-connected with statistics; keeps regions passing R1, R2,
// edgeCount >= 30, R4, (edgePercent <= 50 or height <= 90) and R6;
// keep-largest when largest > minArea. *labelCount (NULL: -1) receives
// the next unused label: 2 when nothing was labelled, 256 when labels ran
// out (call again on the result then). `unused` is ignored.
int32_t ZqGetConnectedArea_v2(uint8_t *mask, int32_t rows, int32_t cols, int32_t minArea,
                              uint8_t keepLargest, int32_t minSide, void *unused,
                              uint16_t *labelCount);

// ZqGetConnectedArea_v2 with the rules R1, R2, edgeCount >= 30, R4, R6 and
// R7(14).
int32_t ZqGetConnectedArea_v3(uint8_t *mask, int32_t rows, int32_t cols, int32_t minArea,
                              uint8_t keepLargest, int32_t minSide, void *unused,
                              uint16_t *labelCount);

// 16-bit labels. outA keeps regions passing R1, R2, R3, R4, R6 and R7(14);
// outB those of outA that are not R8. Each output pixel is 1 where the
// mask is non-zero and its region is kept, else 0. No region: outputs left
// as passed.
int32_t ZqGetConnectedArea_v4(const uint8_t *mask, int32_t rows, int32_t cols, int32_t minArea,
                              int32_t minSide, int32_t minEdge, uint8_t *outA, uint8_t *outB);

// ZqGetConnectedArea_v4, except that a region (in label order) with
// height > 50 and thinTipCount > 80 empties both outputs and ends the
// judging.
int32_t ZqGetConnectedArea_v5(const uint8_t *mask, int32_t rows, int32_t cols, int32_t minArea,
                              int32_t minSide, int32_t minEdge, uint8_t *outA, uint8_t *outB);

// 16-bit labels. outB keeps regions passing R1 (on area), R2, R3, R4, R6,
// R7(6) and not R8; outA those passing R1, R2, R3, R4, R6 and none of
// (tipCount > 10 and edgePerTip <= 7), (edgeCount < 60 and
// thinTipCount > 10), (62 <= edgeCount < 100 and thinTipCount > 20 and
// area < 100). *ratio = sum of edgeCount / sum of tipCount over the
// regions kept in outA (0 without tips, at most 65535). No region:
// outputs and *ratio left as passed.
int32_t ZqGetConnectedArea_v4_4845(const uint8_t *mask, int32_t rows, int32_t cols, int32_t minArea,
                                   int32_t minSide, int32_t minEdge, uint8_t *outA, uint8_t *outB,
                                   uint16_t *ratio);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQCONNECTEDAREA_H_
