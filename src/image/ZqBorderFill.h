// Border fills: copy an image into the middle of a larger buffer of
// (cols + 2 padH) x (rows + 2 padV) pixels, the image at (padV, padH), and
// fill the margins by a border rule. Buffers are gap-free and row-major.
// A pad wider than the image keeps reflecting (or replicating) instead of
// reading outside it. Results: 0, or -1 for a NULL buffer or a negative
// size. Nothing is logged.
#ifndef SRC_ZQBORDERFILL_H_
#define SRC_ZQBORDERFILL_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Reflect without the edge (-1 -> 1), r on every side.
int32_t ImgFilledByMirror(const uint8_t *src, uint16_t height, uint16_t width, uint16_t r,
                          uint8_t *dst);

// Reflect with the edge (-1 -> 0).
int32_t ZqMirrorFill_u8(const uint8_t *src, int32_t rows, int32_t cols, int32_t padV,
                        int32_t padH, uint8_t *dst);

// Replicate the edge pixel.
int32_t ZqExtendFill_u8(const uint8_t *src, int32_t rows, int32_t cols, int32_t padV,
                        int32_t padH, uint8_t *dst);

// Reflect with the edge, int32 to int32.
int32_t ZqMirrorFill_int(const int32_t *src, int32_t rows, int32_t cols, int32_t padV,
                         int32_t padH, int32_t *dst);

// Reflect with the edge, uint8 to int32.
int32_t ZqMirrorFill_int2(const uint8_t *src, int32_t rows, int32_t cols, int32_t padV,
                          int32_t padH, int32_t *dst);

// Reflect with the edge, uint16 to int32.
int32_t ZqMirrorFillShort2Int(const uint16_t *src, int32_t rows, int32_t cols, int32_t padV,
                              int32_t padH, int32_t *dst);

// Replicate, 16-bit; note the pad order (padH, then padV).
int32_t ZqBorderFill_u16(const uint16_t *src, uint16_t rows, uint16_t cols, uint16_t padH,
                         uint16_t padV, uint16_t *dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQBORDERFILL_H_
