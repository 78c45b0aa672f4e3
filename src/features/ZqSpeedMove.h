// Finger movement between two consecutive images of one size: still,
// pressed or lifted (covered area changed), or moved too far, judged from
// the covered areas, the finger decisions and the best-matching pair of
// strong gradient peaks.
#ifndef SRC_FEATURES_ZQSPEEDMOVE_H_
#define SRC_FEATURES_ZQSPEEDMOVE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Most gradient peaks kept per image.
#define ZQ_MV_MAX_POINTS 50

// Side of the square patch compared around a peak.
#define ZQ_MV_PATCH_SIDE 15

// Results of ZqSpeedFastJustifyExampProcess and ZqSpeedFastJusitfy.
enum {
  ZQ_SPEED_FAIL = -1,     // NULL image, zero side or refused memory
  ZQ_SPEED_STILL = 0,     // the finger stood still
  ZQ_SPEED_PRESSED = 1,   // in place, but the covered area changed
  ZQ_SPEED_MOVED = 2,     // moved, or changed too much
};

// A list of gradient peaks: count (0..50) packed points, each the column x
// in the low 16 bits and the row y in the high 16 bits.
typedef struct ST_MvKeyPoints {
  int32_t count;
  uint32_t *points;  // ZQ_MV_MAX_POINTS entries
} ST_MvKeyPoints;

// One pair of peaks: patch cost, the peak in the first image, the peak in
// the second image.
typedef struct ST_SpeedFeat {
  float cost;
  int16_t x1, y1;
  int16_t x2, y2;
} ST_SpeedFeat;

// Largest change of covered area in percentage points between still
// images (20 at load).
void ZqSetMoveSpeedAreaDiver(float v);

// Largest displacement in pixels of the best peak pair (15 at load).
void ZqSetMoveSpeedDstDiver(float v);

// Largest patch cost for which the best pair counts as one place (30 at
// load).
void ZqSetMoveSpeedHistDiverLimit(float v);

// Restores the three settings to their values at load.
void ZqSpeedMoveResetForTest(void);

// Allocates the list's point buffer and sets its count to 0: 0; -1 NULL
// list; -2 allocation.
int32_t ZqMvKeyPointsInit(ST_MvKeyPoints *list);

// Frees the list's point buffer and clears the pointer: 0; -1 NULL list.
int32_t ZQMvKeyPointsUnInit(ST_MvKeyPoints *list);

// min(n, max) zeroed pairs (free with ZqSafeFree), or NULL when that is 0
// or less or the allocation fails.
ST_SpeedFeat *ZqSpeedFeatCreate(int32_t n, int32_t max);

// patch = the 15 x 15 grey values around the packed point, row by row from
// (y - 7, x - 7); positions outside the rows x cols image hold -1.
void zq_search_feat_pair_helper(const uint8_t *img, int32_t rows, int32_t cols, uint32_t point,
                                int16_t *patch);

// Up to 50 peaks of the Sobel magnitude of the 5 x 5 mean, in scan order
// over rows and columns 7 .. side - 8: magnitude at least 2 and nothing
// strictly larger within 10 pixels either way. 0; -1 NULL image or list
// buffer; -2, -3 allocation; -4 box-mean failure.
int32_t ZqCalculateMagnitudePoint(const uint8_t *img, int32_t rows, int32_t cols,
                                  ST_MvKeyPoints *list);

// Pairs the peaks greedily by the cheapest patch cost (deviation of the
// patch difference over the shared positions / their count), writing
// min(count1, count2) pairs. 0 (nothing written when a count is 0 or less);
// -2 a NULL image, point list or output, or a work buffer refused.
int32_t ZqSearchFeatPair(const uint8_t *img1, const uint8_t *img2, int32_t rows, int32_t cols,
                         int16_t count1, const uint32_t *points1, int16_t count2,
                         const uint32_t *points2, ST_SpeedFeat *out);

// Judges the first (best) pair; s1 and s2 hold each image's covered area in
// percent in the upper 32 bits and 1 in the low byte for a finger. No
// pairs: 2 when the area changed by more than the area setting, else 0.
int32_t ZqSpeedFastJusitfy(const ST_SpeedFeat *pairs, int32_t count, uint64_t s1, uint64_t s2);

// ZQ_SPEED_STILL, _PRESSED or _MOVED for two width x height images;
// ZQ_SPEED_FAIL for a NULL image, a zero side or refused memory. A failed
// pair search is logged and judged on the zeroed pairs (a match in place).
int32_t ZqSpeedFastJustifyExampProcess(const uint8_t *img1, const uint8_t *img2, uint16_t width,
                                       uint16_t height);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FEATURES_ZQSPEEDMOVE_H_
