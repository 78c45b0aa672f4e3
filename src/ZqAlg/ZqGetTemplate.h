// Sample extraction: one sensor image becomes a sample sub-template
// (keypoints, valid mask, bit image and quality bytes).
#ifndef SRC_ZQALG_ZQGETTEMPLATE_H_
#define SRC_ZQALG_ZQGETTEMPLATE_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"

#ifdef __cplusplus
extern "C" {
#endif

// Result when a keypoint group exceeds the 255 a sample can record.
#define ZQ_ERR_FEATURE_COUNT (-4)

// Extracts the sample of img (configured cols x rows, modified in place)
// into the set-up sample; quality (4 bytes, may be NULL) replaces a fresh
// measurement. 0; -1 NULL img or sample; -2 allocation; -3 no keypoints;
// -4 a keypoint group above 255; else a step's or the detector's code.
int32_t ZqGetTemplate(uint8_t *img, ST_SubTemplate *sample, const uint8_t *quality);

// Slide-enrolment extraction: smoothing, the detector with fixed thresholds
// and a cap of 50, bit image, and the contact mask (pixels below 251 of the
// image as given) as the full extraction stores it. The detector's result; -1 NULL argument,
// image creation or no keypoints; -2 feature buffer; -4 as above.
int32_t ZqGetTemplateForEnroll(uint8_t *img, ST_SubTemplate *sample);

// The next extractions in modes 4 and 5 skip the column normalisation
// while flag is non-zero.
void ZqSetImproveFRRFlag(uint8_t flag);
// The flag ZqSetImproveFRRFlag set last.
uint8_t ZqGetImproveFRRFlag(void);

// 1 when the algorithm mode is 4 or 5, else 0.
uint8_t ZqJudgeIsNeedToReIdentify(void);

// Test hook: the improve-FRR flag back to 0.
void ZqGetTemplateResetForTest(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQGETTEMPLATE_H_
