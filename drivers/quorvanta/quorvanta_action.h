// The quorvanta driver's per-action step: what one sane, standardised image
// does for the current enrol, verify, identify or capture action, and the
// mapping of the sensor library's results to framework results. Logs under
// "quorvanta:core".
#ifndef DRIVERS_QUORVANTA_QUORVANTA_ACTION_H_
#define DRIVERS_QUORVANTA_QUORVANTA_ACTION_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct fp_img_dev;
struct fp_img;

// Runs the current action of `imgdev` on its frame (quorvanta_ctx's
// raw_image; `img` is the image kept as the acquired image) and sets its
// action result: enrolment counts stages and completes with a print of one
// quorvanta_tpl at the last one; verification matches the verify print;
// identification searches the gallery and sets the match offset (gallery
// index); capture gives 0.
void quorvanta_image_captured(struct fp_img_dev *imgdev, struct fp_img *img);

// The framework result of sensor-library result `e` for the current action
// (enrol: fp_enroll_result; otherwise fp_verify_result, or -1 / -12). A -1
// rebuilds and reconfigures the library. Sets result_reported; on the 4845
// products calls the match hook and switches the ATC off after a match.
int remap_acquired_info(int e);

// Brightness class of the first n bytes: 2 dark (mean < 60), 1 white
// (> 200), 0 normal (80 to 180), else 4; 2 for n = 0.
int image_avg_check(const uint8_t *frame, uint16_t n);

// One enrolment image at `stage`, with the move-too-slow handling; the
// library's result.
int libfp_enroll_by_image(int stage);

// Enrolment tips switch (doubled for module type 1) and parameters
// (p1, p2, 0, p4). Returns 0.
int enrollment_tips_parameter_restore(int tips, int p1, int p2, uint8_t p4);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_QUORVANTA_QUORVANTA_ACTION_H_
