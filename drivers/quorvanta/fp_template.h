// Functions the library adds to its public interface for the service
// plug-in: template import and update, the module-type query and a copy of
// the current frame.
#ifndef DRIVERS_QUORVANTA_FP_TEMPLATE_H_
#define DRIVERS_QUORVANTA_FP_TEMPLATE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct fp_dev;
struct fp_img;
struct fp_print_data;

// Loads the templates of a NULL-terminated gallery (each print's first item
// that is a quorvanta_tpl; others are skipped) into library slots 1 to 9;
// templates beyond the ninth loaded are ignored. A template the library does
// not load is skipped (logged with its gallery position) and the next takes
// its slot. 0, -12 without memory, or the library's first load error.
int fp_template_data_import(struct fp_print_data **gallery);

// The template the last verify or identify updated, as a new print of the
// open device (data type 1, one item) in *out_print, and its slot in
// *out_slot. 0; -201 without memory or arguments; the library's error.
int fp_template_data_update(struct fp_print_data **out_print, int *out_slot);

// Nothing to do: returns 0.
int fp_template_data_sync(struct fp_print_data **gallery);

// Nothing to do: returns 0.
int fp_template_data_delete(struct fp_print_data **gallery);

// Writes 0 into *count (when not NULL); returns 0.
int fp_template_registered_number(uint8_t *count);

// Returns 0.
int fp_get_module_type(struct fp_dev *dev);

// A copy of the driver's current frame (white outside a capture) as an image
// in *out. 0; -1 when no image can be made; the merge error of module type 1.
int fp_image_capture(struct fp_dev *dev, struct fp_img **out);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_QUORVANTA_FP_TEMPLATE_H_
