// The sensor library's configuration record, QuorvConfigInfo: every tuning
// value the enrol, identify and template flows read, written by the setters
// of src/FpSensorLib/quorv_sensor_lib.h. The record lives on the algorithm
// heap from quorv_SensorResourceCreate to quorv_SensorResourceDestroy;
// outside that window there is none and the record setters refuse.
#ifndef SRC_FPSENSORLIB_QUORV_CONFIG_H_
#define SRC_FPSENSORLIB_QUORV_CONFIG_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Fields in record order; the comments give the defaults of a new record.
typedef struct QuorvConfigInfo {
  uint32_t sensor_cols;              // 80
  uint32_t sensor_rows;              // 64
  uint8_t module_type;               // 0
  uint8_t algo_mode;                 // 0
  uint8_t enroll_max_tpl;            // 12
  uint8_t alg_max_tpl;               // 48
  uint8_t enroll_quality;            // 30
  uint8_t verify_quality;            // 30
  uint32_t tips_mode;                // 1
  uint32_t tips_p1;                  // 40
  uint32_t tips_p2;                  // 80
  uint8_t tips_p3;                   // 0
  uint8_t tips_p4;                   // 10
  uint8_t duplicate_check;           // 0
  uint8_t verify_quickly;            // 0
  uint8_t spa_filter;                // 1
  uint8_t filter_enhance;            // 0
  uint8_t image_repeat;              // 1
  uint8_t verify_rescan_cnt;         // 2
  uint8_t normal_rescan_cnt;         // 5
  uint8_t rescan_overlap;            // 80, at most 100
  uint16_t enroll_valid_area;        // 90 (percent)
  float enroll_valid_area_scale;     // 0.9
  uint16_t phy_area;                 // 80
  uint16_t verify_valid_area;        // 30 (percent)
  float verify_valid_area_scale;     // 0.3
  uint16_t verify_small_area;        // 80
  uint16_t verify_phy_area;          // 50
  uint16_t enroll_cond;              // 20
  uint16_t verify_cond;              // 30
  uint16_t wet_cond;                 // 50
  uint32_t wet_area_percent;         // 2
  uint8_t dirty_area;                // 75
  uint8_t dirty_quality;             // 50
  uint8_t dirty_cond;                // 40
  uint8_t mcu_interrupt_mode;        // 0
  uint8_t image_bit;                 // 0
  uint8_t enroll_nonfinger;          // 0
  uint8_t identify_nonfinger;        // 0
  uint8_t nonfinger_ver;             // 0, at most 1
  uint8_t nonfinger_type;            // 0
  uint8_t enroll_nonfinger_level;    // 1
  uint8_t identify_nonfinger_level;  // 1
  uint8_t enroll_nonfinger_net;      // 0
  uint8_t identify_nonfinger_net;    // 0 or 2
  uint8_t fake_mode;                 // 0, at most 2
  uint8_t fake_level;                // 1
  uint8_t fake_second;               // 0
  uint8_t image_save;                // 0
  uint8_t slide_enroll;              // 0
  uint8_t slide_identify;            // 0
  uint8_t slide_max_tpls;            // 12
  uint8_t slide_arealap;             // 60
  uint8_t slide_enroll_speed;        // 60
  uint8_t slide_verify_speed;        // 60
  float cover_area;                  // 0.7
  uint8_t fast_slide_enroll;         // 0
  uint8_t small_area_update;         // 1
  uint8_t far_level;                 // 14
  uint8_t update_far_level;          // 15
  uint8_t noise_filter;              // 0
  uint8_t mlogo_enhance;             // 0 or 1
  uint8_t contrast_enhance;          // 0 or 1
  uint8_t contrast_p1;               // 0
  uint8_t contrast_p2;               // 0
  uint8_t force_enroll_cnt;          // 0
  uint8_t force_identify;            // 1
  uint8_t bad_pix_mode;              // 0
  uint8_t foreign_body;              // 1
  uint8_t multi_area_match;          // 0
  uint8_t template_buff;             // 0
  uint8_t template_extra;            // 1
  uint8_t update_outside;            // 1
  uint8_t image_stretch;             // 0
  uint8_t bin_image_enhance;         // 0
  uint8_t classifier;                // 0
  uint8_t improve_feature;           // 0
  uint8_t negative_template_buff;    // 0
  uint8_t mul_template_cross_check;  // 0
  uint8_t abnormal_detect_mode;      // 0
  uint8_t adjust_match;              // 1
  uint8_t debug_info;                // 0
  uint8_t log_level;                 // 6
  uint8_t func_time;                 // 0
  uint8_t memory_pool;               // 0
  uint8_t rubber_test;               // 0
} QuorvConfigInfo;

// The library's record, NULL before the first create and after destroy.
extern QuorvConfigInfo *g_pQuorvConfigInfo;

// Frees any previous record and allocates a new one holding the defaults
// (nothing is handed on); 0, or -1 when the allocation fails (no record).
int quorv_config_create(void);

// Frees the record; without one, nothing.
void quorv_config_destroy(void);

// The record, or NULL after logging that `func` was called without one.
QuorvConfigInfo *quorv_config_for(const char *func);

// Images per slide enrolment: 0 at load, written by
// quorv_SetSlideEnrollGetImageCnt, raised to the identify rescan count by the
// algorithm initialisation when that is larger.
extern uint8_t g_slideEnrollGetImageCnt;

// Settings of the live identify's optimisation, in the order of
// quorv_SetOptimizeIdentifyLevel's arguments.
typedef struct QuorvOptimizeIdentify {
  uint8_t level;           // 0 off, 1..7 a rule
  uint8_t mean_score_thr;  // mean-score threshold
  uint8_t quality_limit;   // quality limit
} QuorvOptimizeIdentify;

// 0, 5, 70 at load and after every create.
extern QuorvOptimizeIdentify g_quorvOptimizeIdentify;

// Puts g_quorvOptimizeIdentify back to 0, 5, 70.
void quorv_optimize_identify_reset(void);

// Test hook: frees the record and puts the slide-enrol image count and the
// optimisation settings back to their load values.
void quorv_ConfigResetForTest(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_CONFIG_H_
