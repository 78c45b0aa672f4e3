// Live enrolment: the press enrolment, the dispatcher by slide-enrol mode,
// the slide engines V1 to V5 with their bulk enrolment, the cover-area
// comparison and the pruning of saved slide images. Results are
// quorv_result_t codes; V1, V2 and V5 and the bulk enrolment return a
// positive count on success.
#ifndef SRC_FPSENSORLIB_QUORV_LIVE_ENROLL_H_
#define SRC_FPSENSORLIB_QUORV_LIVE_ENROLL_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Enrols one live image (or slide) by the slide-enrol mode: 1..7 the slide
// engines, anything else the press enrolment; fills gEnrollInfo. -1 for a
// NULL out (nothing else touched).
int quorv_Enroll(uint16_t fingerId, uint8_t enrollIndex, uint8_t *out);
// Press enrolment of one captured image into sub-template enrollIndex.
int quorv_NoneSlideEnroll(uint16_t fingerId, uint8_t enrollIndex, uint8_t *out);
// Does nothing; 0.
int quorv_EnrollFactory(void);
// Prunes the saved slide images (leading blanks, unmoved neighbours,
// trailing small areas) and returns how many remain, or -1.
int quorv_GetSlideEnrollImageCnt(void);

// Slide engines: V1 and V2 enrol an evenly sampled slide (count enrolled),
// V3 one press (0), V4 collects one press and V5 one slide (count
// collected) into the enrol-image list for quorv_SlideEnrollAllImage.
int quorv_SlideEnroll_V1(uint16_t fingerId, uint8_t enrollIndex, uint8_t *out);
int quorv_SlideEnroll_V2(uint16_t fingerId, uint8_t enrollIndex, uint8_t *out);
int quorv_SlideEnroll_V3(uint16_t fingerId, uint8_t enrollIndex, uint8_t *out);
int quorv_SlideEnroll_V4(uint16_t fingerId, uint8_t enrollIndex, uint8_t *out);
int quorv_SlideEnroll_V5(uint16_t fingerId, uint8_t enrollIndex, uint8_t *out);
// Enrols the enrol-image list from sub-template 0, then empties it and
// drops template_cur; the number enrolled, or a negative code.
int quorv_SlideEnrollAllImage(uint16_t fingerId);

// 1 when the centred windows of a and b correlate above the configured
// cover-area threshold, 0 when not, -1 for a NULL image, window 0 or no
// configuration.
int quorv_CoverArea(const uint8_t *a, const uint8_t *b, uint16_t len, uint16_t stride,
                    uint16_t window);

// Sampling positions (1-based, 8-bit) of m images under limit: step m/limit
// in single precision when m > limit, else every image; returns the count.
// positions needs room for min(m, limit) entries.
int quorv_SlideSamplePositions(uint32_t m, uint32_t limit, uint8_t *positions);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_LIVE_ENROLL_H_
