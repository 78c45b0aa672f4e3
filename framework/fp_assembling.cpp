// Line and frame assembly for swipe sensors.
#define FP_COMPONENT "assembling"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "framework/fp_internal.h"
#include "framework/fpi_assembling.h"
#include "framework/fpi_img.h"

namespace fpi_assembling {

std::vector<int> LineOffsets(fpi_line_assembly_ctx *ctx, GSList *lines, size_t num_lines) {
  std::vector<int> offsets(num_lines / 2, 0);
  GSList *row1 = lines;
  for (size_t i = 0; i + 1 < num_lines && row1 != nullptr; i += 2) {
    int best_diff = 0;
    size_t best_j = i;
    GSList *row2 = g_slist_next(row1);
    for (size_t j = i + 1; j <= i + ctx->max_search_offset && j < num_lines && row2 != nullptr;
         ++j, row2 = g_slist_next(row2)) {
      int diff = ctx->get_deviation(ctx, row1, row2);
      if (j == i + 1 || diff < best_diff) {
        best_diff = diff;
        best_j = j;
      }
    }
    offsets[i / 2] = static_cast<int>(best_j - i);
    fp_dbg("%d", offsets[i / 2]);
    row1 = g_slist_next(row1);
    if (row1 != nullptr) row1 = g_slist_next(row1);
  }
  return offsets;
}

void MedianFilterOffsets(std::vector<int> *offsets, uint32_t median_filter_size) {
  // The last offset stays raw; fewer than two offsets leave nothing to filter.
  if (offsets->size() < 2) return;
  const int64_t m = static_cast<int64_t>(offsets->size()) - 1;
  // A window size of 0 is taken as 1 rather than as an unsigned wrap.
  const int64_t half = median_filter_size == 0 ? 0 : (int64_t{median_filter_size} - 1) / 2;
  std::vector<int> filtered(static_cast<size_t>(m));
  std::vector<int> window;
  for (int64_t k = 0; k < m; ++k) {
    const int64_t first = std::max<int64_t>(k - half, 0);
    const int64_t last = std::min<int64_t>(k + half, m - 1);
    window.assign(offsets->begin() + first, offsets->begin() + last + 1);
    std::sort(window.begin(), window.end());
    filtered[static_cast<size_t>(k)] = window[window.size() / 2];
  }
  std::copy(filtered.begin(), filtered.end(), offsets->begin());
}

RawImage AssembleLines(fpi_line_assembly_ctx *ctx, GSList *lines, size_t num_lines) {
  const size_t width = ctx->line_width;
  std::vector<uint8_t> output(width * ctx->max_height);
  fp_dbg("%llu", static_cast<unsigned long long>(g_get_real_time()));
  std::vector<int> offsets = LineOffsets(ctx, lines, num_lines);
  MedianFilterOffsets(&offsets, ctx->median_filter_size);
  fp_dbg("offsets_filtered: %llu", static_cast<unsigned long long>(g_get_real_time()));
  for (int o : offsets) fp_dbg("%d", o);

  float y = 0.0f;
  uint32_t row = 0;
  GSList *row1 = lines;
  for (size_t i = 0; i + 1 < num_lines && row1 != nullptr; ++i, row1 = g_slist_next(row1)) {
    GSList *row2 = g_slist_next(row1);
    const int offset = offsets[i / 2];
    if (offset <= 0) continue;
    // Float division: a slow swipe (offsets above the resolution) still
    // yields its fraction of a row per line.
    const float y1 = y + static_cast<float>(ctx->resolution) / static_cast<float>(offset);
    while (static_cast<float>(row) < y1) {
      if (row >= ctx->max_height) goto done;
      if (row2 != nullptr) {
        const float t = (static_cast<float>(row) - y) / (y1 - y);
        uint8_t *dst = &output[row * width];
        for (unsigned x = 0; x < width; ++x) {
          const float p1 = ctx->get_pixel(ctx, row1, x);
          const float p2 = ctx->get_pixel(ctx, row2, x);
          dst[x] = static_cast<uint8_t>(static_cast<int>(p1 + t * (p2 - p1)));
        }
      }
      ++row;
    }
    y = y1;
  }
done:
  RawImage img;
  img.width = static_cast<int>(width);
  img.height = static_cast<int>(row);
  img.flags = FP_IMG_V_FLIPPED;
  img.pixels.assign(output.begin(), output.begin() + static_cast<ptrdiff_t>(width * row));
  return img;
}

namespace {

// Best displacement of `second` against `first`: stores it in second's
// deltas and returns its error (INT_MAX-like limit when nothing beat it).
unsigned int FindOverlap(fpi_frame_assembly_ctx *ctx, fpi_assembly_frame *first,
                         fpi_assembly_frame *second) {
  const uint32_t w = ctx->frame_width;
  const uint32_t h = ctx->frame_height;
  uint64_t min_error = uint64_t{h} * w * 255;
  for (uint32_t dy = 2; dy < h; ++dy) {
    for (int dx = 8; dx >= -7; --dx) {
      const uint32_t adx = static_cast<uint32_t>(std::abs(dx));
      // A shift as wide as the frame leaves nothing to compare.
      if (adx >= w) continue;
      uint64_t err = 0;
      for (uint32_t yy = 0; yy < h - dy; ++yy) {
        for (uint32_t xx = 0; xx < w - adx; ++xx) {
          const int a = ctx->get_pixel(ctx, first, xx + (dx <= 0 ? adx : 0), yy);
          const int b = ctx->get_pixel(ctx, second, xx + (dx > 0 ? adx : 0), yy + dy);
          err += static_cast<uint64_t>(std::abs(a - b));
        }
      }
      // 64 bits: the sum times the frame area does not fit 32 bits for
      // frames of realistic size.
      err = err * w * h / (uint64_t{w - adx} * (h - dy));
      // A perfect overlap is taken for a blank frame: the worst match.
      if (err == 0 || err > INT_MAX) err = INT_MAX;
      if (err < min_error) {
        min_error = err;
        second->delta_x = dx;
        second->delta_y = static_cast<int>(dy);
      }
    }
  }
  return static_cast<unsigned int>(std::min<uint64_t>(min_error, UINT_MAX));
}

// One estimation pass; returns the mean of the pairs' minimal errors.
unsigned int DoMovementEstimation(fpi_frame_assembly_ctx *ctx, GSList *frames, size_t num_frames,
                                  bool reverse) {
  const gint64 start = g_get_monotonic_time();
  uint64_t total = 0;
  GSList *prev = frames;
  for (GSList *cur = frames == nullptr ? nullptr : g_slist_next(frames); cur != nullptr;
       prev = cur, cur = g_slist_next(cur)) {
    auto *prev_frame = static_cast<fpi_assembly_frame *>(prev->data);
    auto *cur_frame = static_cast<fpi_assembly_frame *>(cur->data);
    if (!reverse) {
      total += FindOverlap(ctx, cur_frame, prev_frame);
    } else {
      total += FindOverlap(ctx, prev_frame, cur_frame);
      prev_frame->delta_x = -prev_frame->delta_x;
      prev_frame->delta_y = -prev_frame->delta_y;
    }
  }
  fp_dbg("calc delta completed in %f secs",
         static_cast<double>(g_get_monotonic_time() - start) / 1e6);
  return num_frames == 0 ? 0 : static_cast<unsigned int>(total / num_frames);
}

}  // namespace

RawImage AssembleFrames(fpi_frame_assembly_ctx *ctx, GSList *frames, size_t num_frames) {
  BUG_ON(num_frames == 0);
  BUG_ON(ctx->image_width < ctx->frame_width);
  int height = 0;
  if (frames != nullptr) {
    auto *first = static_cast<fpi_assembly_frame *>(frames->data);
    first->delta_x = 0;
    first->delta_y = 0;
  }
  for (GSList *l = frames; l != nullptr; l = g_slist_next(l)) {
    height += static_cast<fpi_assembly_frame *>(l->data)->delta_y;
  }
  fp_dbg("height is %d", height);

  RawImage img;
  img.width = static_cast<int>(ctx->image_width);
  int y = 0;
  if (height < 0) {
    img.height = static_cast<int>(ctx->frame_height) - height;
    img.flags = FP_IMG_COLORS_INVERTED;
    y = -height;
  } else {
    img.height = static_cast<int>(ctx->frame_height) + height;
    img.flags = FP_IMG_V_FLIPPED | FP_IMG_H_FLIPPED | FP_IMG_COLORS_INVERTED;
  }
  img.pixels.assign(static_cast<size_t>(img.width) * img.height, 0);

  int x = (static_cast<int>(ctx->image_width) - static_cast<int>(ctx->frame_width)) / 2;
  for (GSList *l = frames; l != nullptr; l = g_slist_next(l)) {
    auto *frame = static_cast<fpi_assembly_frame *>(l->data);
    y += frame->delta_y;
    x += frame->delta_x;
    for (uint32_t fy = 0; fy < ctx->frame_height; ++fy) {
      const int iy = y + static_cast<int>(fy);
      if (iy < 0 || iy >= img.height) continue;
      for (uint32_t fx = 0; fx < ctx->frame_width; ++fx) {
        const int ix = x + static_cast<int>(fx);
        if (ix < 0 || ix >= img.width) continue;
        img.pixels[static_cast<size_t>(iy) * img.width + ix] = ctx->get_pixel(ctx, frame, fx, fy);
      }
    }
  }
  return img;
}

}  // namespace fpi_assembling

extern "C" void fpi_do_movement_estimation(struct fpi_frame_assembly_ctx *ctx, GSList *frames,
                                           size_t num_frames) {
  using fpi_assembling::DoMovementEstimation;
  const unsigned int err = DoMovementEstimation(ctx, frames, num_frames, false);
  const unsigned int rev_err = DoMovementEstimation(ctx, frames, num_frames, true);
  fp_dbg("errors: %d rev: %d", static_cast<int>(err), static_cast<int>(rev_err));
  if (err < rev_err) DoMovementEstimation(ctx, frames, num_frames, false);
}

namespace {

// The image record of an assembled image; NULL when it cannot be allocated.
fp_img *ToImage(const fpi_assembling::RawImage &raw) {
  fp_img *img = fpi_img_new(raw.pixels.size());
  if (img == nullptr) return nullptr;
  img->width = raw.width;
  img->height = raw.height;
  img->flags = raw.flags;
  if (!raw.pixels.empty()) std::copy(raw.pixels.begin(), raw.pixels.end(), img->data);
  return img;
}

}  // namespace

extern "C" struct fp_img *fpi_assemble_lines(struct fpi_line_assembly_ctx *ctx, GSList *lines,
                                             size_t num_lines) {
  return ToImage(fpi_assembling::AssembleLines(ctx, lines, num_lines));
}

extern "C" struct fp_img *fpi_assemble_frames(struct fpi_frame_assembly_ctx *ctx, GSList *frames,
                                              size_t num_frames) {
  return ToImage(fpi_assembling::AssembleFrames(ctx, frames, num_frames));
}
