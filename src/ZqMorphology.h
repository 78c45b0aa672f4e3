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
