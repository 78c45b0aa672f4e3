#include "base/bq_image.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/bq_log.h"

namespace {

constexpr const char *kTag = "quorvanta:image";

// Bytes of an image block, or 0 when the size cannot be represented.
size_t BlockSize(int width, int height) {
  if (width < 0 || height < 0) return 0;
  uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (pixels > SIZE_MAX - sizeof(bq_image)) return 0;
  return sizeof(bq_image) + static_cast<size_t>(pixels);
}

}  // namespace

extern "C" bq_image *bq_image_new(int width, int height) {
  BQ_LOG_ENTER(kTag);
  size_t size = BlockSize(width, height);
  auto *img = size == 0 ? nullptr : static_cast<bq_image *>(std::calloc(1, size));
  if (img == nullptr) {
    BQ_LOG_ERRNO(kTag, BQ_ERROR_NOMEM);
    return nullptr;
  }
  img->width = width;
  img->height = height;
  BQ_LOG_LEAVE(kTag);
  return img;
}

extern "C" void bq_image_destroy(bq_image **img) {
  if (img == nullptr || *img == nullptr) return;
  // The block was sized from these dimensions, so they are in range.
  std::memset(*img, 0, BlockSize((*img)->width, (*img)->height));
  std::free(*img);
  *img = nullptr;
}

extern "C" int bq_image_save_bmp(bq_image *img, const char *path, int flags) {
  (void)img;
  (void)path;
  (void)flags;
  return 0;
}
