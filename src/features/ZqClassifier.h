// The matcher's table look-ups: false-accept rule tables, false-reject
// rescue lists and the full-homography false-accept lists.
#ifndef SRC_FEATURES_ZQCLASSIFIER_H_
#define SRC_FEATURES_ZQCLASSIFIER_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Writes code to *out when some row r of data (nR x nC, row-major) has
// (data[r][c] - vec[nIndex[c]]) * nSig[c] >= 0 for every column c; the first
// such row ends the scan. *out is unchanged when no row matches, nR or nC is
// not positive, or a pointer is NULL. vec must hold every nIndex element.
void ZqCheckFAR(int32_t nR, int32_t nC, const int32_t *data, const int32_t *nIndex,
                const int32_t *nSig, const int32_t *vec, int32_t code, int32_t *out);

// 1 when vec >= row on all six columns for some row of false-reject list
// `list` (0 or 1), else 0; another list or a NULL vec gives 0.
int32_t ZqCheckFrList(const int16_t vec[6], uint8_t list);

// 1 when vec <= row + offset on all six columns for some row of
// false-accept list `type` (1 .. 3), else 0; another type or a NULL vec
// gives 0. Types 2 and 3 allow one more on columns 1 and 3.
int32_t ZqCheckFaList(const int16_t vec[6], int type);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FEATURES_ZQCLASSIFIER_H_
