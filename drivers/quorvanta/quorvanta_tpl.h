// quorvanta_tpl: a template as it travels between the sensor library and the
// prints, and the sensor glue's template operations. Byte layout (packed,
// little-endian): slot u8, 0, type u8, len u32, then len bytes of the
// library's template blob. In a print it is the only item, of len + 7 bytes.
#ifndef DRIVERS_QUORVANTA_QUORVANTA_TPL_H_
#define DRIVERS_QUORVANTA_QUORVANTA_TPL_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Bytes before the blob.
#define QUORVANTA_TPL_HEAD 7
// Working buffer for one template: the head and 1 MiB of blob.
#define QUORVANTA_TPL_BUF_SIZE 1048583u

// A template: its head fields and a pointer to its blob (borrowed).
typedef struct quorvanta_tpl {
  uint8_t slot;         // library finger slot it came from or goes to
  uint8_t type;         // library template type
  uint32_t len;         // blob bytes
  const uint8_t *data;  // the blob
} quorvanta_tpl;

// Reads a template from `bytes` of `length` bytes (a print item). 0 when the
// length is len + 7 and len is at most QUORV_TPL_DATA_MAX; otherwise logs
// and returns -1.
int quorvanta_tpl_parse(const uint8_t *bytes, size_t length, quorvanta_tpl *out);

// Writes the 7-byte head (slot, 0, type, len little-endian) at `buf`.
void quorvanta_tpl_write_head(uint8_t *buf, uint8_t slot, uint8_t type, uint32_t len);

// The finished enrolment's template from finger 0 into `buf`
// (QUORVANTA_TPL_BUF_SIZE bytes): head at 0, blob at 7. 0 or the library's
// error.
int bq_sensor_save_template(uint8_t *buf);

// The template updated after the last match, as above with its slot. The
// library's update error, or -1 when the updated template cannot be read.
int bq_sensor_update_template(uint8_t *buf);

// Verifies the current frame against one template: clears slots 0 to 9,
// loads it into its slot (slots 0 to 9 only: -200 otherwise), identifies.
// Sets update_tpl. -201 for NULL, -2 (no match) when the template does not
// load, or the identify result.
int bq_sensor_verify_by_template(const quorvanta_tpl *t);

// Identifies the current frame against a NULL-terminated list in batches of
// ten slots, each batch loaded into emptied slots; *fid = the list index of
// the match. A template with a slot byte beyond 9, or one the library does
// not load, is skipped with a log line naming its gallery position
// (positions[i] for list[i]; the list index when positions is NULL). Sets
// update_tpl. -201 for an empty list; -2 when no template loaded; else the
// identify result of the last batch identified.
int bq_sensor_identify_by_gallery(const quorvanta_tpl *const *list, const size_t *positions,
                                  uint32_t *fid);

// bq_sensor_identify_by_gallery with the list indices as positions.
int bq_sensor_identify_by_templates(const quorvanta_tpl *const *list, uint32_t *fid);

// Clears slots 0 to 9 and loads the templates of a NULL-terminated list, in
// order, into slots 1 to 9; templates beyond the ninth loaded are ignored. A
// template the library does not load is skipped with a log line naming its
// gallery position (positions[i] for list[i]; the list index when positions
// is NULL), and the next one takes its slot. 0, or the first load error once
// the rest is loaded.
int bq_sensor_template_import_gallery(const quorvanta_tpl *const *list, const size_t *positions);

// bq_sensor_template_import_gallery with the list indices as positions.
int bq_sensor_template_import(const quorvanta_tpl *const *list);

// Identifies a frame of width x height (module type 1: each half in turn)
// against the loaded slots.
int libfp_identify_by_image(const uint8_t *frame, uint8_t *fid, uint8_t *update);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_QUORVANTA_QUORVANTA_TPL_H_
