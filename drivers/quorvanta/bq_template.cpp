// The sensor glue's template operations: saving, updating, loading and
// matching quorvanta_tpl templates through the sensor library's slots.
#include <cstring>

#include "base/bq_log.h"
#include "framework/quorvanta_ctx.h"
#include "drivers/quorvanta/quorvanta_tpl.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"

namespace {

constexpr const char *kTag = "quorvanta:sensor";

void ClearSlots() {
  for (unsigned i = 0; i < QUORV_FINGER_SLOTS; i++) quorv_DelFinger(i);
}

uint8_t *Blob(uint8_t *buf) { return buf + QUORVANTA_TPL_HEAD; }

}  // namespace

extern "C" {

int quorvanta_tpl_parse(const uint8_t *bytes, size_t length, quorvanta_tpl *out) {
  if (bytes == nullptr || out == nullptr) return -1;
  uint32_t len = 0;
  if (length >= QUORVANTA_TPL_HEAD)
    len = static_cast<uint32_t>(bytes[3]) | static_cast<uint32_t>(bytes[4]) << 8 |
          static_cast<uint32_t>(bytes[5]) << 16 | static_cast<uint32_t>(bytes[6]) << 24;
  if (length < QUORVANTA_TPL_HEAD || length - QUORVANTA_TPL_HEAD != len) {
    BQ_LOG(BQ_LOG_WARNING, "quorvanta:core",
           "[%4d]:wrong dimensions, item->length = %d, tpl size = %d.", __LINE__,
           static_cast<int>(length), static_cast<int>(len + QUORVANTA_TPL_HEAD));
    return -1;
  }
  // No template the library writes is larger; a bigger one is not read.
  if (len > QUORV_TPL_DATA_MAX) {
    BQ_LOG(BQ_LOG_WARNING, "quorvanta:core",
           "[%4d]:template too large, len = %u, largest template = %u.", __LINE__, len,
           QUORV_TPL_DATA_MAX);
    return -1;
  }
  out->slot = bytes[0];
  out->type = bytes[2];
  out->len = len;
  out->data = bytes + QUORVANTA_TPL_HEAD;
  return 0;
}

void quorvanta_tpl_write_head(uint8_t *buf, uint8_t slot, uint8_t type, uint32_t len) {
  buf[0] = slot;
  buf[1] = 0;
  buf[2] = type;
  for (int i = 0; i < 4; i++) buf[3 + i] = static_cast<uint8_t>(len >> (8 * i));
}

int bq_sensor_save_template(uint8_t *buf) {
  if (buf == nullptr) return BQ_ERROR_NULL_POINTER;
  uint8_t type = 0;
  uint32_t len = 0;
  int r = quorv_SaveAlgTplData(0, &type, &len, Blob(buf));
  if (r == 0 && len > QUORV_TPL_DATA_MAX) r = BQ_ERROR_OVERFLOW;
  if (r != 0) {
    BQ_LOG_ERRNO(kTag, r);
    return r;
  }
  quorvanta_tpl_write_head(buf, 0, type, len);
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:template saved at slot %d. type = %d, len = %d.", __LINE__, 0,
         type, static_cast<int>(len));
  return 0;
}

int bq_sensor_update_template(uint8_t *buf) {
  if (buf == nullptr || quorvanta_ctx == nullptr) return BQ_ERROR_NULL_POINTER;
  uint8_t slot = QUORV_NO_FINGER;
  int r = quorv_UpdateTemplate(quorvanta_ctx->update_tpl, &slot);
  if (r != 0) return r;
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:lazy template updating...", __LINE__);
  uint8_t type = 0;
  uint32_t len = 0;
  r = quorv_GetAlgTplData(slot, &type, &len, Blob(buf));
  if (r != 0 || len > QUORV_TPL_DATA_MAX) {
    BQ_LOG_ERROR_MSG(kTag, "quorv_GetAlgTplData(..) = %d.", r);
    return -1;
  }
  quorvanta_tpl_write_head(buf, slot, type, len);
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:template updated at slot %d. type = %d, len = %d.", __LINE__,
         slot, type, static_cast<int>(len));
  return 0;
}

int libfp_identify_by_image(const uint8_t *frame, uint8_t *fid, uint8_t *update) {
  BQ_LOG_ENTER(kTag);
  int e = quorv_IdentifyByImage(frame, 2, fid, update);
  const quorvanta_ctx_t *ctx = quorvanta_ctx;
  if (e != 0 && ctx != nullptr && ctx->module_type == 1 && frame != nullptr) {
    const size_t half = static_cast<size_t>(ctx->sensor_info.sensor.cols) *
                        ctx->sensor_info.sensor.rows / 2;
    e = quorv_IdentifyByImage(frame + half, 2, fid, update);
  }
  BQ_LOG_LEAVE(kTag);
  return e;
}

int bq_sensor_verify_by_template(const quorvanta_tpl *t) {
  quorvanta_ctx_t *ctx = quorvanta_ctx;
  if (t == nullptr || ctx == nullptr) {
    BQ_LOG_ERRNO(kTag, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  // The slot byte comes from a stored print: only the library's ten slots
  // are valid.
  if (t->slot >= QUORV_FINGER_SLOTS) {
    BQ_LOG_ERROR_MSG(kTag, "template slot %d out of range.", t->slot);
    return BQ_ERROR_BAD_PARAMS;
  }
  ClearSlots();
  int r = quorv_InitAlgTplData(t->slot, t->type, t->len, t->data);
  if (r != 0) {
    // A stored print that does not load cannot match; its code is no
    // result of the sensor (a -1 would rebuild the library).
    BQ_LOG_ERROR_MSG(kTag, "quorv_InitAlgTplData(..) = %d: template not loaded.", r);
    return QUORV_ERR_ALGORITHM;
  }
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:new template loaded at slot %d. type = %d, len = %d.",
         __LINE__, t->slot, t->type, static_cast<int>(t->len));
  uint8_t fid = QUORV_NO_FINGER, update = 0;
  int e = libfp_identify_by_image(ctx->raw_image, &fid, &update);
  ctx->update_tpl = update != 0;
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:quorv_Identify err = %d, updateTpl = %d, fid = %d.", __LINE__,
         e, ctx->update_tpl, fid);
  return e;
}

int bq_sensor_identify_by_gallery(const quorvanta_tpl *const *list, const size_t *positions,
                                  uint32_t *fid) {
  quorvanta_ctx_t *ctx = quorvanta_ctx;
  if (list == nullptr || list[0] == nullptr || fid == nullptr || ctx == nullptr) {
    BQ_LOG_ERRNO(kTag, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  size_t next = 0;  // index of the next template to load
  uint8_t update = 0;
  // Until a batch is identified: no stored template could answer.
  int e = QUORV_ERR_ALGORITHM;
  // Every batch matches the same frame: the library extracts it once and
  // gives each batch the same sample.
  quorv_HoldIdentifySamples(1);
  while (list[next] != nullptr) {
    // Each batch starts from empty slots, so a template of an earlier batch
    // (or an import or enrolment) can never answer for this one.
    ClearSlots();
    size_t held[QUORV_FINGER_SLOTS];  // the list index each slot holds
    unsigned filled = 0;
    for (; filled < QUORV_FINGER_SLOTS && list[next] != nullptr; next++) {
      const quorvanta_tpl *t = list[next];
      const size_t position = positions != nullptr ? positions[next] : next;
      // A stored print that cannot be used is skipped: the other prints of
      // the gallery still answer. A refused load leaves its slot empty, so
      // the next template takes it.
      if (t->slot >= QUORV_FINGER_SLOTS) {
        BQ_LOG_ERROR_MSG(kTag, "gallery print %zu skipped: template slot %d out of range.",
                         position, t->slot);
        continue;
      }
      int r = quorv_InitAlgTplData(static_cast<uint8_t>(filled), t->type, t->len, t->data);
      if (r != 0) {
        BQ_LOG_ERROR_MSG(kTag, "gallery print %zu skipped: quorv_InitAlgTplData(..) = %d.",
                         position, r);
        continue;
      }
      BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:new template loaded at slot %d. type = %d, len = %d.",
             __LINE__, static_cast<int>(next), t->type, static_cast<int>(t->len));
      held[filled++] = next;
    }
    if (filled == 0) continue;
    uint8_t f = QUORV_NO_FINGER;
    e = libfp_identify_by_image(ctx->raw_image, &f, &update);
    if (e == 0) {
      if (f >= filled) {
        // A slot this batch did not fill cannot match.
        BQ_LOG_ERROR_MSG(kTag, "match in empty slot %d.", f);
        e = QUORV_ERR_ALGORITHM;
        update = 0;
        break;
      }
      *fid = static_cast<uint32_t>(held[f]);
      break;
    }
  }
  quorv_HoldIdentifySamples(0);
  ctx->update_tpl = update != 0;
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:quorv_Identify err = %d, updateTpl = %d, fid = %d.", __LINE__,
         e, ctx->update_tpl, static_cast<int>(e == 0 ? *fid : QUORV_NO_FINGER));
  return e;
}

int bq_sensor_identify_by_templates(const quorvanta_tpl *const *list, uint32_t *fid) {
  return bq_sensor_identify_by_gallery(list, nullptr, fid);
}

int bq_sensor_template_import_gallery(const quorvanta_tpl *const *list, const size_t *positions) {
  ClearSlots();
  if (list == nullptr) return 0;
  int first_error = 0;
  unsigned slot = 1;
  for (size_t i = 0; slot < QUORV_FINGER_SLOTS && list[i] != nullptr; i++) {
    const quorvanta_tpl *t = list[i];
    int r = quorv_InitAlgTplData(static_cast<uint8_t>(slot), t->type, t->len, t->data);
    if (r != 0) {
      // A damaged print must not hide the prints after it from the
      // enrolment's duplicate check: the next template takes its slot.
      BQ_LOG_ERROR_MSG(kTag, "gallery print %zu skipped: quorv_InitAlgTplData(..) = %d.",
                       positions != nullptr ? positions[i] : i, r);
      if (first_error == 0) first_error = r;
      continue;
    }
    BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:new template loaded at slot %d. type = %d, len = %d.",
           __LINE__, slot, t->type, static_cast<int>(t->len));
    slot++;
  }
  return first_error;
}

int bq_sensor_template_import(const quorvanta_tpl *const *list) {
  return bq_sensor_template_import_gallery(list, nullptr);
}

}  // extern "C"
