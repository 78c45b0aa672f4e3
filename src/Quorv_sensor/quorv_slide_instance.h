// The slide-capture parameters of the sensor access layer (one per process).
#ifndef SRC_QUORV_SENSOR_QUORV_SLIDE_INSTANCE_H_
#define SRC_QUORV_SENSOR_QUORV_SLIDE_INSTANCE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Fields in this order; defaults as set by quorv_get_slide_enroll_instance.
typedef struct ZqSlideEnrollObj {
  uint8_t slide_enroll_enable;    // default 0
  uint8_t slide_identify_enable;  // default 0
  uint8_t slide_enroll_cont;      // images per slide enrolment, default 50
  uint8_t verify_rescan_cont;     // images per slide verification, default 3
  int32_t StandardDeviation_thr;  // variance a usable slide image reaches, default 225
  uint8_t noValidImageCnts_thr;   // unusable images in a row that end an enrolment, default 3
} ZqSlideEnrollObj;

// Frees any previous instance and allocates a new one with the defaults.
// Returns it, or NULL (logged "%s  FAIL!") when the allocation fails.
ZqSlideEnrollObj *quorv_get_slide_enroll_instance(void);

// Frees the instance; the handle is NULL afterwards.
void quorv_destroy_slide_enroll_instance(void);

// The current instance, or NULL before creation.
ZqSlideEnrollObj *quorv_get_ZqSlideEnrollObjHandle(void);

// Setters: each writes one field of the current instance; with no
// instance they log an error and write nothing.
void quorv_set_slide_enroll_enable(uint8_t enable);
void quorv_set_slide_identify_enable(uint8_t enable);
void quorv_set_slide_enroll_cont(uint8_t count);
void quorv_set_verify_rescan_cont(uint8_t count);
void quorv_set_StandardDeviation_thr(int32_t threshold);
void quorv_set_noValidImageCnts_thr(uint8_t threshold);

#ifdef __cplusplus
}
#endif

#endif  // SRC_QUORV_SENSOR_QUORV_SLIDE_INSTANCE_H_
