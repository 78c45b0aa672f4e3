// Records that identification keeps and hands on: the match history that
// orders the search, the weak-match pool of one identification and the
// update record that carries an accepted sample to the template update.
#ifndef SRC_ZQALG_ZQMATCHRECORDS_H_
#define SRC_ZQALG_ZQMATCHRECORDS_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/image/ZqGeomTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define ZQ_FINGER_RING_SIZE 50    // entries of the finger ring
#define ZQ_SUBTEMP_RING_SIZE 20   // entries of each finger's sub-template ring
#define ZQ_PRIORITY_FINGERS 10    // fingers with a sub-template ring
#define ZQ_AREA_POINTS_MAX 15     // point pairs of one pooled area
#define ZQ_AREAS_MAX 20           // pooled areas
#define ZQ_RING_EMPTY 0xFFFFFFFFu // value of a ring entry never written

// Match history, 261 uint32 words. Ring entries that are not a valid finger
// id or sub-template index count as empty.
typedef struct ST_QuorvMatchPriority {
  uint32_t fingerRing[ZQ_FINGER_RING_SIZE];  // fingers of the last 50 matches
  uint32_t subTempRing[ZQ_PRIORITY_FINGERS][ZQ_SUBTEMP_RING_SIZE];  // per finger, last 20
  uint32_t subTempRingPos[ZQ_PRIORITY_FINGERS];  // next write position of each row, 0..19
  uint32_t fingerRingPos;                        // next write position, 0..49
} ST_QuorvMatchPriority;

// One pooled weak-match area.
typedef struct ST_QuorvMatchArea {
  int32_t fingerId;
  int32_t pointNum;
  ST_Point32f tempPoints[ZQ_AREA_POINTS_MAX];    // template inliers in sample coordinates
  ST_Point32f samplePoints[ZQ_AREA_POINTS_MAX];  // their sample points
  int32_t usedFlg;                               // 0 or 1
  float ratio;
} ST_QuorvMatchArea;

// Weak-match pool of one identification.
typedef struct ST_QuorvAreaMatchToplogy {
  int32_t pointNum;  // qualifying pairs of the last comparison (0..15)
  ST_Point32f tempPoints[ZQ_AREA_POINTS_MAX];
  ST_Point32f samplePoints[ZQ_AREA_POINTS_MAX];
  uint8_t areaNum;        // pooled areas, 0..20
  int32_t totalPointNum;  // sum of pointNum over the pooled areas
  ST_QuorvMatchArea areas[ZQ_AREAS_MAX];
  float lastRatio;
} ST_QuorvAreaMatchToplogy;

// Update record: the sample an identification accepted, for the next
// template update.
typedef struct ST_QuorvTempupdateInfor {
  ST_SubTemplate updateVerifyTemplate;  // the kept sample
  uint16_t updateFingerId;              // its finger; 255 after a failed identification
  uint16_t updateTag;                   // best score or the caller's index; not read
  uint16_t updateFlag;                  // 1 when the sample may update its finger
  uint16_t updateReserved;              // not read
  uint16_t imageArea;                   // area of the sample's image
} ST_QuorvTempupdateInfor;

extern ST_QuorvMatchPriority *gQuorvMatchPriority;
extern ST_QuorvAreaMatchToplogy *gQuorvAreaMatchToplogy;
extern ST_QuorvTempupdateInfor *gQuorvTempupdateInfor;

// Both rings all-ones (empty), the eleven positions 0.
void ZqResetMatchPriority(ST_QuorvMatchPriority *p);

// Makes gQuorvTempupdateInfor (releasing an earlier one): a zeroed record
// with its sample set up. 0; -1 when the record, -2 when the sample cannot
// be allocated (nothing is kept then).
int ZqCreateTempupdateInfor(void);
// Makes gQuorvMatchPriority (releasing an earlier one), reset as above.
// 0; -1 when it cannot be allocated.
int ZqCreateMatchPriority(void);
// Makes a zeroed gQuorvAreaMatchToplogy (releasing an earlier one). 0; -1
// when it cannot be allocated.
int ZqCreateAreaMatchToplogy(void);
// Releases whichever of the three records exist; the pointers become NULL.
void ZqReleaseMatchRecords(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQMATCHRECORDS_H_
