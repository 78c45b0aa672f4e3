// Checks of captured 8-bit images built on binarisation and skeletons
// (nothing here logs):
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

// dst = 1 where src is above its rounded 11 x 11 box mean (borders
// mirrored without repeating the edge), else 0. dst may be src. 0; -1 for
// NULL; -2; -3 when the box filter fails (a side of 11 or less).
int32_t ZqBinarizeLocalMean(const uint8_t *src, int32_t rows, int32_t cols, uint8_t *dst);

// Branch points of the binarised image's bright phase plus those of its
// dark phase, each skeleton taken inside margins of round(rows * 0.1)
// rows and round(cols * 0.1) columns. 0; -1 for NULL; -2; -3 when the
// binarisation fails (a side of 11 or less).
int32_t ZqMinutiaDetect(const uint8_t *image, int32_t rows, int32_t cols, int32_t *count);

// Best ZqCalcSimScore of the blurred, binarised images over rotations of
// -180 .. 180 degrees about the centre and shifts 0 .. shift in x and y,
// inside the same margins. 0; -1 for NULL or a negative shift; -2; -3 when
// the blur fails; -4 when the binarisation fails.
int32_t ZqCalcStripeSimilarity(const uint8_t *reference, const uint8_t *image, int32_t rows,
                               int32_t cols, int32_t shift, float *similarity);

// Eraser-head check: 1 when fewer than 60 % of the pixels are below 251;
// 2 when the minutia count is above minutiaLimit; 3 when a reference is
// given and the stripe similarity is below simThreshold; otherwise 0.
// -1 for NULL image; -2 when the minutia count fails; -3 when the stripe
// similarity fails.
int32_t ZqJudgeAbnormalErasehead(const uint8_t *reference, const uint8_t *image, int32_t rows,
                                 int32_t cols, int32_t shift, int32_t minutiaLimit,
                                 float simThreshold);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQIMAGECHECKS_H_
