// The public template and frame functions of the library.
#include "drivers/quorvanta/fp_template.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/bq_log.h"
#include "framework/quorvanta_ctx.h"
#include "drivers/quorvanta/quorvanta_tpl.h"
#include "drivers/quorvanta/zq_sensor.h"
#include "framework/fp_internal.h"
#include "framework/fpi_img.h"

namespace {

constexpr const char *kTag = "quorvanta:core";

const fp_print_data_item *FirstItem(const fp_print_data *print) {
  return print != nullptr && print->prints != nullptr
             ? static_cast<const fp_print_data_item *>(print->prints->data)
             : nullptr;
}

}  // namespace

extern "C" {

int fp_template_data_import(struct fp_print_data **gallery) {
  size_t count = 0;
  while (gallery != nullptr && gallery[count] != nullptr) count++;
  std::vector<quorvanta_tpl> tpls;
  std::vector<size_t> positions;  // the gallery position of each template
  std::vector<const quorvanta_tpl *> list;
  try {
    tpls.reserve(count);
    positions.reserve(count);
    list.reserve(count + 1);
  } catch (const std::bad_alloc &) {
    BQ_LOG_ERROR_MSG(kTag, "template_manager_new(%u) = '%s'.", static_cast<unsigned>(count + 1),
                     bq_strerror(BQ_ERROR_NOMEM));
    return BQ_ERROR_NOMEM;
  }
  for (size_t i = 0; i < count; i++) {
    const fp_print_data_item *item = FirstItem(gallery[i]);
    quorvanta_tpl t{};
    if (item == nullptr || quorvanta_tpl_parse(item->data, item->length, &t) != 0) continue;
    tpls.push_back(t);
    positions.push_back(i);
  }
  for (const auto &t : tpls) list.push_back(&t);
  list.push_back(nullptr);
  return bq_sensor_template_import_gallery(list.data(), positions.data());
}

int fp_template_data_update(struct fp_print_data **out_print, int *out_slot) {
  quorvanta_ctx_t *ctx = quorvanta_ctx;
  if (out_print == nullptr || out_slot == nullptr || ctx == nullptr || ctx->imgdev == nullptr) {
    BQ_LOG_ERRNO(kTag, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  uint8_t *buf = static_cast<uint8_t *>(std::calloc(1, QUORVANTA_TPL_BUF_SIZE));
  if (buf == nullptr) {
    BQ_LOG_ERRNO(kTag, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  int r = bq_sensor_update_template(buf);
  if (r == 0) {
    quorvanta_tpl t{};
    const size_t len = static_cast<size_t>(buf[3]) | static_cast<size_t>(buf[4]) << 8 |
                       static_cast<size_t>(buf[5]) << 16 | static_cast<size_t>(buf[6]) << 24;
    const size_t item_len = len + QUORVANTA_TPL_HEAD;
    fp_print_data *print = fpi_print_data_new(ctx->imgdev->dev);
    fp_print_data_item *item = fpi_print_data_item_new(item_len);
    if (print == nullptr || item == nullptr || quorvanta_tpl_parse(buf, item_len, &t) != 0) {
      g_free(item);
      fp_print_data_free(print);
      r = BQ_ERROR_NOMEM;
    } else {
      std::memcpy(item->data, buf, item_len);
      print->type = FP_PRINT_DATA_MINUTIAE;
      print->prints = g_slist_prepend(print->prints, item);
      *out_print = print;
      *out_slot = t.slot;
    }
  }
  std::free(buf);
  return r;
}

int fp_template_data_sync(struct fp_print_data **) { return 0; }

int fp_template_data_delete(struct fp_print_data **) { return 0; }

int fp_template_registered_number(uint8_t *count) {
  if (count != nullptr) *count = 0;
  return 0;
}

int fp_get_module_type(struct fp_dev *) { return 0; }

int fp_image_capture(struct fp_dev *, struct fp_img **out) {
  quorvanta_ctx_t *ctx = quorvanta_ctx;
  fp_img *img = ctx != nullptr && ctx->imgdev != nullptr ? fpi_img_new_devsize(ctx->imgdev)
                                                         : nullptr;
  if (img == nullptr || ctx->raw_image == nullptr || out == nullptr) {
    BQ_LOG_ERROR_MSG(kTag, "failed to create image.");
    fp_img_free(img);
    return -1;
  }
  const size_t frame = static_cast<size_t>(ctx->sensor_info.sensor.cols) *
                       ctx->sensor_info.sensor.rows;
  std::memcpy(img->data, ctx->raw_image, frame < img->length ? frame : img->length);
  int r = bq_sensor_merge_image(img->data);
  if (r != 0) {
    fp_img_free(img);
    return r;
  }
  *out = img;
  return 0;
}

}  // extern "C"
