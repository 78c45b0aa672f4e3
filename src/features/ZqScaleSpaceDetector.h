// The two scale-space keypoint detectors: gradient-histogram descriptors
// (ZqGetMfsFeatures, with a fast mode) and ring-comparison descriptors
// (ZqGetMfbFeatures).
#ifndef SRC_FEATURES_ZQSCALESPACEDETECTOR_H_
#define SRC_FEATURES_ZQSCALESPACEDETECTOR_H_

#include <stdint.h>

#include "src/features/ZqFeatExtractPara.h"
#include "src/features/ZqFeature.h"

#ifdef __cplusplus
extern "C" {
#endif

// Keypoints kept before the orientation stage (Mfs; Mfb drops one past it).
#define ZQ_SCALE_SPACE_PRE_CAP 262

// Extracts the keypoints of para.img: *feat1 gets the bright-blob records
// (count in pextremumNum[0]), *feat2 the others (pextremumNum[1]); both from
// ZqSafeAlloc, owned by the caller. Writes imageMode (and, by
// descrVariantSel, histToDescrVariant; in fast mode kpNum = 170) of
// gAlgMode. 0 ok; -1 a required pointer is NULL; -2 an allocation failed or
// no keypoint was found (the log says which).
int32_t ZqGetMfsFeatures(ST_Feature **feat1, ST_Feature **feat2, uint32_t pextremumNum[2],
                         ST_FeatExtractPara para);

// The same with unweighted atan2f orientations and ring-comparison
// descriptors on Gaussian level 4; no fast mode.
int32_t ZqGetMfbFeatures(ST_Feature **feat1, ST_Feature **feat2, uint32_t pextremumNum[2],
                         ST_FeatExtractPara para);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FEATURES_ZQSCALESPACEDETECTOR_H_
