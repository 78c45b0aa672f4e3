// The framework's 8-bit grey image: allocation, sanity, orientation, PGM
// export and pixel statistics.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "framework/fpdev.h"
#include "framework/fp_internal.h"
#include "framework/fpi_img.h"
#include "framework/fpi_img_dev.h"

namespace {

// True when width x height pixels lie within the allocated pixel bytes.
bool PixelsFit(const struct fp_img *img) {
  return img->width >= 0 && img->height >= 0 &&
         static_cast<uint64_t>(img->width) * static_cast<uint64_t>(img->height) <=
             img->length;
}

}  // namespace

extern "C" struct fp_img *fpi_img_new(size_t length) {
  if (length > SIZE_MAX - sizeof(struct fp_img)) return nullptr;
  auto *img = static_cast<struct fp_img *>(std::calloc(1, sizeof(struct fp_img) + length));
  if (img != nullptr) img->length = length;
  return img;
}

extern "C" struct fp_img *fpi_img_new_devsize(struct fp_img_dev *imgdev) {
  struct fp_img_driver *drv = fpi_driver_to_img_driver(imgdev->dev->driver);
  if (drv->img_width <= 0 || drv->img_height <= 0) {
    fp_err("driver image size %dx%d is not fixed", drv->img_width, drv->img_height);
    return nullptr;
  }
  struct fp_img *img = fpi_img_new(static_cast<size_t>(drv->img_width) *
                                   static_cast<size_t>(drv->img_height));
  if (img == nullptr) return nullptr;
  img->width = drv->img_width;
  img->height = drv->img_height;
  return img;
}

extern "C" bool fpi_img_size_ok(struct fp_img *img) {
  if (img->length == 0 || img->width <= 0 || img->height <= 0) return false;
  uint64_t product;
  if (__builtin_mul_overflow(static_cast<uint64_t>(img->length),
                             static_cast<uint64_t>(img->height), &product))
    return false;
  return PixelsFit(img);
}

extern "C" struct fp_img *fpi_img_resize(struct fp_img *img, size_t newsize) {
  if (newsize > SIZE_MAX - sizeof(struct fp_img)) return nullptr;
  auto *resized =
      static_cast<struct fp_img *>(std::realloc(img, sizeof(struct fp_img) + newsize));
  if (resized != nullptr && resized->length > newsize) resized->length = newsize;
  return resized;
}

extern "C" void fp_img_free(struct fp_img *img) {
  if (img == nullptr) return;
  release_minutiae(img->minutiae);
  std::free(img->binarized);
  std::free(img);
}

extern "C" int fp_img_get_width(struct fp_img *img) { return img->width; }

extern "C" int fp_img_get_height(struct fp_img *img) { return img->height; }

extern "C" unsigned char *fp_img_get_data(struct fp_img *img) { return img->data; }

extern "C" int fp_img_save_to_file(struct fp_img *img, const char *path) {
  if (!PixelsFit(img)) {
    fp_err("image of %dx%d does not fit its %zu pixel bytes", img->width, img->height,
           img->length);
    return -EINVAL;
  }
  FILE *fd = std::fopen(path, "w");
  if (fd == nullptr) {
    int err = errno;
    fp_dbg("could not open '%s' for writing: %d", path, err);
    return -err;
  }
  char header[48];
  int r = std::snprintf(header, sizeof header, "P5 %d %d 255\n", img->width, img->height);
  if (r > 0 && std::fputs(header, fd) < 0) r = -EIO;
  if (r < 0) {
    fp_err("pgm header write failed, error %d", r);
    std::fclose(fd);
    return r;
  }
  size_t write_size = static_cast<size_t>(img->width) * static_cast<size_t>(img->height);
  size_t written = std::fwrite(img->data, 1, write_size, fd);
  if (written != write_size) {
    fp_err("short write (%d)", static_cast<int>(written));
    std::fclose(fd);
    return -EIO;
  }
  // Buffered bytes reach the file only now; a failure here is a lost image.
  if (std::fclose(fd) != 0) {
    fp_err("short write (%d)", static_cast<int>(written));
    return -EIO;
  }
  fp_dbg("written to '%s'", path);
  return 0;
}

extern "C" void fp_img_standardize(struct fp_img *img) {
  if (!PixelsFit(img)) {
    fp_err("image of %dx%d does not fit its %zu pixel bytes", img->width, img->height,
           img->length);
    return;
  }
  const size_t width = static_cast<size_t>(img->width);
  const size_t height = static_cast<size_t>(img->height);
  if (img->flags & FP_IMG_V_FLIPPED) {
    for (size_t i = 0; i < height / 2; i++)
      std::swap_ranges(img->data + i * width, img->data + (i + 1) * width,
                       img->data + (height - 1 - i) * width);
    img->flags &= ~FP_IMG_V_FLIPPED;
  }
  if (img->flags & FP_IMG_H_FLIPPED) {
    for (size_t i = 0; i < height; i++) {
      unsigned char *row = img->data + i * width;
      for (size_t j = 0; j < width / 2; j++) std::swap(row[j], row[width - 1 - j]);
    }
    img->flags &= ~FP_IMG_H_FLIPPED;
  }
  if (img->flags & FP_IMG_COLORS_INVERTED) {
    for (size_t i = 0; i < width * height; i++)
      img->data[i] = static_cast<unsigned char>(255 - img->data[i]);
    img->flags &= ~FP_IMG_COLORS_INVERTED;
  }
}

extern "C" int fpi_std_sq_dev(const unsigned char *buf, int size) {
  if (size > 32767) {
    fp_err("%s: we might get an overflow!", __func__);
    return -EOVERFLOW;
  }
  if (size <= 0) return 0;
  int64_t sum = 0;
  for (int i = 0; i < size; i++) sum += buf[i];
  const int64_t mean = sum / size;
  int64_t res = 0;
  for (int i = 0; i < size; i++) {
    const int64_t d = buf[i] - mean;
    res += d * d;
  }
  return static_cast<int>(res / size);
}

extern "C" int fpi_mean_square_diff(const unsigned char *buf1, const unsigned char *buf2,
                                    int size) {
  if (size <= 0) return 0;
  int64_t res = 0;
  for (int i = 0; i < size; i++) {
    const int64_t d = buf1[i] - buf2[i];
    res += d * d;
  }
  return static_cast<int>(res / size);
}
