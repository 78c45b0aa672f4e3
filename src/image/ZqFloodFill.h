// Flood fills of 8- and 16-bit images with an explicit stack of 16-bit
// coordinate pairs, optionally gathering the shape statistics of the filled
// region (ST_AreaInfo).
//
// Common arguments: image rows x cols (both 1..65535), key (a pixel matches
// when it equals the low byte of key), seed (x, y) inside the image, value
// written into every filled pixel, stack with room for rows x cols entries
// and the address of its count, which must be 0. The seed is set to value
// whatever it held. Results: 0, or -1 (nothing written) for a NULL
// pointer, a size out of range, a seed outside the image, a count other
// than 0, or a value that would itself match the key (the fill could not
// end).
#ifndef SRC_ZQFLOODFILL_H_
#define SRC_ZQFLOODFILL_H_

#include <stdint.h>

#include "src/image/ZqGeomTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

// Statistics of one filled region. Edge pixels have at least one
// 4-neighbour that is 0 or outside the image (a "zero neighbour").
typedef struct ST_AreaInfo {
  int32_t height;        // bounding-box rows
  int32_t width;         // bounding-box columns
  int32_t area;          // pixels
  int32_t edgeCount;     // edge pixels
  uint8_t aspect;        // max side / min side (integer), 0 when a side < 1
  uint8_t edgePercent;   // edgeCount * 100 / area
  uint8_t fillPercent;   // area * 100 / (width * height)
  uint8_t spare;         // unused
  int32_t sidePercent;   // 100 * zero neighbours of edge pixels / edgeCount
  int32_t thinCount;     // edge pixels with exactly two, opposite, zero neighbours
  int32_t tipCount;      // edge pixels with three or four zero neighbours
  int32_t thinTipCount;  // thinCount + tipCount
  int32_t edgePerTip;    // edgeCount / tipCount, 0 without tips
} ST_AreaInfo;

// 4-connected fill; neighbours in the order E, S, W, N.
int32_t ZqFloodFill(uint8_t *image, int32_t rows, int32_t cols, int32_t key, int32_t x, int32_t y,
                    int32_t value, ST_Point16u *stack, int32_t *count);

// 8-connected fill; neighbours in the order E, SE, S, SW, W, NW, N, NE.
int32_t ZqFloodFill_8_v2(uint8_t *image, int32_t rows, int32_t cols, int32_t key, int32_t x,
                         int32_t y, int32_t value, ST_Point16u *stack, int32_t *count);

// ZqFloodFill that also writes the region's statistics to *info (NULL: -1),
// all fields except thinCount and thinTipCount, which keep their values.
int32_t ZqFloodFill_v2(uint8_t *image, int32_t rows, int32_t cols, int32_t key, int32_t x,
                       int32_t y, int32_t value, ST_Point16u *stack, int32_t *count,
                       ST_AreaInfo *info);

// ZqFloodFill_v2 on 16-bit pixels, writing every statistics field. A
// pixel matches only the low byte of key, so labels above 255 never match.
int32_t ZqFloodFill_v4(uint16_t *image, int32_t rows, int32_t cols, int32_t key, int32_t x,
                       int32_t y, int32_t value, ST_Point16u *stack, int32_t *count,
                       ST_AreaInfo *info);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQFLOODFILL_H_
