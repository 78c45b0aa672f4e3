#include "src/netModel/input_preprocess_tool_no_finger.h"

#include <algorithm>
#include <cmath>

#include "src/image/ZqMemoryManager.h"
#include "src/image/ZqSmooth.h"
#include "src/quorv_base/quorv_log.h"

namespace {

// Heap floats for n values, NULL when n is not positive or too large.
float *AllocFloats(int64_t n) {
  if (n <= 0 || n * 4 > INT32_MAX) return nullptr;
  return static_cast<float *>(ZqSafeAlloc(static_cast<int32_t>(n * 4)));
}

}  // namespace

extern "C" void ZqResize_8u_v3(const uint8_t *src, int32_t src_rows, int32_t src_cols,
                               uint8_t *dst, int32_t dst_rows, int32_t dst_cols) {
  ZqResize_8u(src, src_rows, src_cols, dst, dst_rows, dst_cols);
}

extern "C" int32_t input_process_tool_no_finger_resize(const uint8_t *src, int32_t rows,
                                                       int32_t cols, int32_t /*unused*/,
                                                       int32_t dst_rows, int32_t dst_cols,
                                                       float *dst) {
  if (src == nullptr || dst == nullptr || rows < 2 || cols < 2 || dst_rows < 1 || dst_cols < 1) {
    return -1;
  }
  const int64_t n = int64_t{dst_rows} * dst_cols;
  if (n > INT32_MAX) return -1;
  auto *bytes = static_cast<uint8_t *>(ZqSafeAlloc(static_cast<int32_t>(n)));
  if (bytes == nullptr) return -1;
  ZqResize_8u_v3(src, rows, cols, bytes, dst_rows, dst_cols);
  for (int64_t i = 0; i < n; ++i) dst[i] = static_cast<float>(bytes[i] / 255.0);
  ZqSafeFree(bytes);
  return 0;
}

extern "C" float *cut_white_margin(const float *image, int32_t rows, int32_t cols,
                                   ST_ImgCropInfo *info) {
  if (image == nullptr || info == nullptr || rows < 1 || cols < 1) return nullptr;
  int32_t top = -1, bottom = -1, left = -1, right = -1;
  for (int32_t y = 0; y < rows; ++y) {
    int32_t dark = 0;
    for (int32_t x = 0; x < cols; ++x) dark += image[int64_t{y} * cols + x] < 128.0f;
    if (dark > 8) {
      if (top < 0) top = y;
      bottom = y;
    }
  }
  for (int32_t x = 0; x < cols; ++x) {
    int32_t dark = 0;
    for (int32_t y = 0; y < rows; ++y) dark += image[int64_t{y} * cols + x] < 128.0f;
    if (dark > 5) {
      if (left < 0) left = x;
      right = x;
    }
  }
  if (top < 0 || left < 0) return nullptr;
  const int32_t crop_rows = bottom - top + 1, crop_cols = right - left + 1;
  float *crop = AllocFloats(int64_t{crop_rows} * crop_cols);
  if (crop == nullptr) {
    QUORV_LOGE("%s...new_img_crop malloc fail; ", __func__);
    return nullptr;
  }
  double sum = 0.0;
  for (int32_t y = 0; y < crop_rows; ++y) {
    for (int32_t x = 0; x < crop_cols; ++x) {
      const float v = image[int64_t{top + y} * cols + left + x];
      crop[int64_t{y} * crop_cols + x] = v;
      sum += v;
    }
  }
  info->cols = crop_cols;
  info->rows = crop_rows;
  info->count = crop_cols * crop_rows;
  info->sum = static_cast<float>(sum);
  return crop;
}

extern "C" int32_t img_std_deal_v2(float *values, const ST_ImgCropInfo *info) {
  if (values == nullptr || info == nullptr) return 0;
  const float n = static_cast<float>(info->count);
  if (!(n > 0.0f)) return 0;
  const float mean = info->sum / n;
  double squares = 0.0;
  for (int32_t i = 0; i < info->count; ++i) {
    values[i] -= mean;
    squares += static_cast<double>(values[i]) * values[i];
  }
  // One value has no deviation: dividing by 0 would turn it into NaN.
  if (info->count < 2) return 0;
  const float scale = static_cast<float>(std::sqrt(squares / (n - 1.0f)) + double{0.1f});
  for (int32_t i = 0; i < info->count; ++i) values[i] = values[i] / scale;
  return 0;
}

extern "C" float *fill_margin(const float *values, ST_ImgCropInfo *info, int32_t target_rows,
                              int32_t target_cols) {
  if (values == nullptr || info == nullptr) return nullptr;
  if (info->rows >= target_rows && info->cols >= target_cols) return nullptr;
  const int32_t rows = std::max(info->rows, target_rows);
  const int32_t cols = std::max(info->cols, target_cols);
  float *fill = AllocFloats(int64_t{rows} * cols);
  if (fill == nullptr) {
    QUORV_LOGE("%s...new_fill malloc fail ;", __func__);
    return nullptr;
  }
  for (int32_t y = 0; y + 1 < info->rows; ++y) {
    for (int32_t x = 0; x + 1 < info->cols; ++x) {
      fill[int64_t{y} * cols + x] = values[int64_t{y} * info->cols + x];
    }
  }
  info->cols = cols;
  info->rows = rows;
  info->count = rows * cols;
  return fill;
}

extern "C" int32_t input_process_tool_no_finger(const float *image, int32_t rows, int32_t cols,
                                                int32_t /*unused*/, int32_t target_rows,
                                                int32_t target_cols, float *dst) {
  if (dst == nullptr || target_rows < 1 || target_cols < 1) return -1;
  ST_ImgCropInfo info = {0, 0, 0, 0.0f};
  float *crop = cut_white_margin(image, rows, cols, &info);
  if (crop == nullptr) return -1;
  img_std_deal_v2(crop, &info);
  float *fill = fill_margin(crop, &info, target_rows, target_cols);
  // Without the filled copy a crop smaller than the target has no window
  // to take.
  if (fill == nullptr && (info.rows < target_rows || info.cols < target_cols)) {
    ZqSafeFree(crop);
    return -1;
  }
  const float *src = fill != nullptr ? fill : crop;
  const int32_t oy = (info.rows - target_rows) / 2, ox = (info.cols - target_cols) / 2;
  for (int32_t y = 0; y < target_rows; ++y) {
    for (int32_t x = 0; x < target_cols; ++x) {
      dst[int64_t{y} * target_cols + x] = src[int64_t{oy + y} * info.cols + ox + x];
    }
  }
  ZqSafeFree(fill);
  ZqSafeFree(crop);
  return 0;
}

extern "C" int32_t get_valid_range(const float *image, int32_t rows, int32_t cols, int32_t *top,
                                   int32_t *bottom, int32_t *left, int32_t *right) {
  if (top == nullptr || bottom == nullptr || left == nullptr || right == nullptr) return -1;
  *top = *bottom = *left = *right = -1;
  if (image == nullptr || rows < 1 || cols < 1) return -1;
  float *row_sums = AllocFloats(rows);
  float *col_sums = AllocFloats(cols);
  if (row_sums == nullptr || col_sums == nullptr) {
    ZqSafeFree(col_sums);
    ZqSafeFree(row_sums);
    return -1;
  }
  for (int32_t y = 0; y < rows; ++y) {
    for (int32_t x = 0; x < cols; ++x) {
      const float v = image[int64_t{y} * cols + x];
      row_sums[y] += v;
      col_sums[x] += v;
    }
  }
  // A NaN sum counts as not 0.
  for (int32_t y = 0; y < rows; ++y) {
    if (!(row_sums[y] == 0.0f)) {
      if (*top < 0) *top = y;
      *bottom = y;
    }
  }
  for (int32_t x = 0; x < cols; ++x) {
    if (!(col_sums[x] == 0.0f)) {
      if (*left < 0) *left = x;
      *right = x;
    }
  }
  ZqSafeFree(col_sums);
  ZqSafeFree(row_sums);
  return 0;
}

extern "C" int32_t get_big_img_to_small_img_FP32(const float *src, int32_t src_stride,
                                                 float *dst, int32_t dst_stride, int32_t dst_row,
                                                 int32_t dst_col, const int32_t *rect) {
  if (src == nullptr || dst == nullptr || rect == nullptr) return -1;
  const int32_t left = rect[0], right = rect[1], top = rect[2], bottom = rect[3];
  for (int32_t y = top; y <= bottom; ++y) {
    for (int32_t x = left; x <= right; ++x) {
      dst[int64_t{dst_row + y - top} * dst_stride + dst_col + x - left] =
          src[int64_t{y} * src_stride + x];
    }
  }
  return 0;
}
