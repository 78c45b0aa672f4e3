// The working keypoint of a detector and its scale-space data.
#ifndef SRC_FEATURES_ZQDETECTFEATURE_H_
#define SRC_FEATURES_ZQDETECTFEATURE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Scale-space data of one working keypoint.
typedef struct ST_DetectData {
  int32_t r;         // row in the octave image
  int32_t c;         // column in the octave image
  int32_t octv;      // octave
  int32_t intv;      // interval, 1 .. intvls
  float subintv;     // interpolated interval offset (kept, not used later)
  float scl_octv;    // scale within the octave
} ST_DetectData;

// A keypoint inside a detector. Held by value in ST_Seq sequences; the
// ddata block belongs to the copy that stays in a sequence, and whoever drops
// a record frees ddata with ZqSafeFree and clears the pointer.
typedef struct ST_DetectFeature {
  float x;               // column (detector's working grid)
  float y;               // row, same grid
  float ori;             // orientation, radians
  float contrast;        // |band-pass response|: the sort key
  int32_t kind;          // 1 bright blob (feat1), 0 otherwise (feat2)
  ST_DetectData *ddata;  // scale-space data; NULL in the fast detector
} ST_DetectFeature;

// New zeroed ST_DetectFeature from ZqSafeAlloc with a new zeroed
// ST_DetectData attached; NULL (logged, nothing left allocated) when either
// allocation fails. Free ddata, then the record, with ZqSafeFree.
ST_DetectFeature *ZqNewFeature(void);

// ZqSeqSort comparator of two ST_DetectFeature: 1 when a's contrast is
// smaller, -1 when larger, else 0 (decreasing contrast); a NULL argument is
// logged and gives 0. userdata is ignored.
int ZqFeatureCmp(const void *a, const void *b, void *userdata);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FEATURES_ZQDETECTFEATURE_H_
