// Morphology of 8-bit images: structuring elements, grey dilation and
// erosion with rectangular windows, and the binary dilation of masks.
#ifndef SRC_ZQMORPHOLOGY_H_
#define SRC_ZQMORPHOLOGY_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Structuring-element shapes.
enum {
  ZQ_SHAPE_RECT = 0,     // all ones
  ZQ_SHAPE_CROSS = 1,    // middle row and middle column
  ZQ_SHAPE_ELLIPSE = 2,  // ellipse inscribed in the box
};

// Fills element (rows x cols, row-major) with `shape`; any other shape
// value gives a single one at (0, 0) and zeros elsewhere. Writes nothing
// for NULL or unless cols > 1 and rows > 1. `unused` is ignored.
void ZqGetStructuringElement(uint8_t *element, int32_t cols, int32_t rows, int32_t shape,
                             double unused);

// Grey dilation: dst(y, x) = the maximum over the window of kx columns
// (x - kx/2 .. x - kx/2 + kx - 1) and ky rows (likewise), the image
// reflected about its edge pixels without repeating them (an even window
// reaches one further left and up). dst may be src. `reserved` is ignored.
// 0; -1 for NULL, rows or cols below 1, kx or ky below 1; -2 when a
// scratch block cannot be had (dst unchanged).
int32_t ZqDilate(const uint8_t *src, int32_t rows, int32_t cols, int32_t reserved, int32_t kx,
                 int32_t ky, uint8_t *dst);

// ZqDilate with the minimum.
int32_t ZqErode(const uint8_t *src, int32_t rows, int32_t cols, int32_t reserved, int32_t kx,
                int32_t ky, uint8_t *dst);

// Test hook: with on != 0 dilation and erosion keep to sixteen-lane code
// even where the processor has wider lanes (the results are the same).
void ZqMorphologySixteenLanesForTest(int32_t on);

// out[x] = maximum of padded[x .. x + window - 1], x < len, keeping the
// running maximum (the last of equal maxima) and rescanning only when it
// leaves the window.
void ZqDilateInRow(const uint8_t *padded, int32_t len, int32_t window, uint8_t *out);

// ZqDilateInRow with the minimum.
void ZqErodeInRow(const uint8_t *padded, int32_t len, int32_t window, uint8_t *out);

// out[c] = maximum of rows first .. first + window - 1 (rowLen apart) in
// column c < rowLen; best and left (steps the maximum stays in the window)
// carry over to the next output row; left all 0 forces a full scan.
void ZqDilateInCol(const uint8_t *first, int32_t rowLen, int32_t window, uint8_t *out,
                   uint8_t *best, int32_t *left);

// ZqDilateInCol with the minimum.
void ZqErodeInCol(const uint8_t *first, int32_t rowLen, int32_t window, uint8_t *out, uint8_t *best,
                  int32_t *left);

// Binary dilation by a (2a + 1) x (2b + 1) window (half-width a,
// half-height b), clipped at the border: every 0 of out within the window
// of a mask pixel equal to 1 becomes 1. The caller fills out first; out may
// be mask (new pixels do not spread further). Does nothing for NULL, a
// non-positive side, or a or b negative.
void ZqDilate_v2(const uint8_t *mask, int32_t rows, int32_t cols, int32_t a, int32_t b,
                 uint8_t *out);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQMORPHOLOGY_H_
