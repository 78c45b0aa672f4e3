// Checks of captured 8-bit images built on binarisation and skeletons:
// bright-column count, minutia count, stripe similarity and the
// eraser-head (rubber stamp) judgement.
#ifndef SRC_ZQIMAGECHECKS_H_
#define SRC_ZQIMAGECHECKS_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Counts bright columns: over the pixels of value <= 250 inside margins of
// round(rows * 0.1) rows and round(cols * 0.1) columns (plus the quirk
// pixel at linear index rows), each column's integer mean; *count = the
// columns from the first to before the last column with a mean whose mean
// is >= threshold (0 when there are fewer than two such columns). Any
// width. 0; -1 for NULL image or count or a side <= 0; -2.
int32_t ZqWhiteLineDetect(const uint8_t *image, int32_t rows, int32_t cols, int32_t threshold,
                          int32_t *count);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQIMAGECHECKS_H_
