// The image's bridge to the minutiae detector and the Bozorth3 matcher:
// detection, print records and print comparison.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "framework/fpdev.h"
#include "framework/fp_internal.h"
#include "framework/fpi_img.h"
#include "framework/fpi_img_dev.h"
#include "framework/fpi_print_data.h"
#include "framework/fpi_xyt.h"
#include "minutiae/bozorth.h"
#include "minutiae/lfs.h"

namespace {

// 500 pixels per inch.
constexpr double kPixelsPerMm = 19.68503937007874;

// Reads the item's record; logs and returns false for a malformed one.
bool ItemRecord(const struct fp_print_data_item *item, xyt_record *xyt) {
  if (fpi_xyt_from_bytes(item->data, item->length, xyt)) return true;
  fp_err("print item of %zu bytes holds no valid minutiae record", item->length);
  return false;
}

// Reads the probe record of a print that must hold exactly one item.
int ProbeRecord(struct fp_print_data *print, xyt_record *probe) {
  if (g_slist_length(print->prints) != 1) {
    fp_err("new_print contains more than one sample, is it enrolled print?");
    return -EINVAL;
  }
  if (!ItemRecord(static_cast<struct fp_print_data_item *>(print->prints->data), probe))
    return -EINVAL;
  return 0;
}

}  // namespace

extern "C" int fpi_img_detect_minutiae(struct fp_img *img) {
  if (img->flags & FP_IMG_STANDARDIZATION_FLAGS) {
    fp_err("cant detect minutiae for non-standardized image");
    return -EINVAL;
  }
  if (!fpi_img_size_ok(img)) {
    fp_err("image of %dx%d does not fit its %zu pixel bytes", img->width, img->height,
           img->length);
    return -EINVAL;
  }
  // Detecting again would only leak the first result.
  if (img->minutiae != nullptr) return img->minutiae->count;

  lfs_params_V2.remove_perimeter_minutiae = (img->flags & FP_IMG_PARTIAL) ? 1 : 0;

  lfs_minutiae *minutiae = nullptr;
  int *quality_map = nullptr, *direction_map = nullptr, *low_contrast_map = nullptr;
  int *low_flow_map = nullptr, *high_curve_map = nullptr;
  int map_w = 0, map_h = 0;
  unsigned char *bdata = nullptr;
  int bw = 0, bh = 0, bd = 0;
  int r = get_minutiae(&minutiae, &quality_map, &direction_map, &low_contrast_map,
                       &low_flow_map, &high_curve_map, &map_w, &map_h, &bdata, &bw, &bh, &bd,
                       img->data, img->width, img->height, 8, kPixelsPerMm, &lfs_params_V2);
  if (r != 0) {
    fp_err("get minutiae failed, code %d", r);
    return r;
  }
  std::free(quality_map);
  std::free(direction_map);
  std::free(low_contrast_map);
  std::free(low_flow_map);
  std::free(high_curve_map);
  if (bw != img->width || bh != img->height) {
    fp_err("binarized image of %dx%d for an image of %dx%d", bw, bh, img->width,
           img->height);
    release_minutiae(minutiae);
    std::free(bdata);
    return -EIO;
  }
  img->minutiae = minutiae;
  img->binarized = bdata;
  return minutiae->count;
}

extern "C" int fpi_img_to_print_data(struct fp_img_dev *imgdev, struct fp_img *img,
                                     struct fp_print_data **ret) {
  if (img->minutiae == nullptr) {
    int r = fpi_img_detect_minutiae(img);
    if (r < 0) return r;
    if (img->minutiae == nullptr) {
      fp_err("no minutiae after successful detection?");
      return -ENOENT;
    }
  }
  struct fp_print_data_item *item = fpi_print_data_item_new(XYT_RECORD_SIZE);
  if (item == nullptr) return -ENOMEM;
  xyt_record xyt;
  fpi_minutiae_to_xyt(img->minutiae, img->width, img->height, &xyt);
  fpi_xyt_to_bytes(&xyt, item->data);

  struct fp_print_data *print = fpi_print_data_new(imgdev->dev);
  print->type = FP_PRINT_DATA_MINUTIAE;
  print->prints = g_slist_prepend(print->prints, item);
  *ret = print;
  return 0;
}

extern "C" int fpi_img_compare_print_data(struct fp_print_data *enrolled_print,
                                          struct fp_print_data *new_print) {
  if (enrolled_print->type != FP_PRINT_DATA_MINUTIAE ||
      new_print->type != FP_PRINT_DATA_MINUTIAE) {
    fp_err("invalid print format");
    return -EINVAL;
  }
  xyt_record probe, gallery;
  int r = ProbeRecord(new_print, &probe);
  if (r < 0) return r;

  const int probe_len = bz_prepare_probe(&probe);
  int max_score = 0;
  for (GSList *l = enrolled_print->prints; l != nullptr; l = l->next) {
    if (!ItemRecord(static_cast<struct fp_print_data_item *>(l->data), &gallery)) continue;
    r = bz_score_gallery(probe_len, &probe, &gallery);
    fp_dbg("score %d", r);
    if (r > max_score) max_score = r;
  }
  return max_score;
}

extern "C" int fpi_img_compare_print_data_to_gallery(struct fp_print_data *print,
                                                     struct fp_print_data **gallery,
                                                     int match_threshold,
                                                     size_t *match_offset) {
  if (print->type != FP_PRINT_DATA_MINUTIAE) {
    fp_err("invalid print format");
    return -EINVAL;
  }
  xyt_record probe, candidate;
  int r = ProbeRecord(print, &probe);
  if (r < 0) return r;

  const int probe_len = bz_prepare_probe(&probe);
  for (size_t i = 0; gallery[i] != nullptr; i++) {
    if (gallery[i]->type != FP_PRINT_DATA_MINUTIAE) {
      fp_dbg("gallery print %zu is not a minutiae print", i);
      continue;
    }
    for (GSList *l = gallery[i]->prints; l != nullptr; l = l->next) {
      if (!ItemRecord(static_cast<struct fp_print_data_item *>(l->data), &candidate))
        continue;
      r = bz_score_gallery(probe_len, &probe, &candidate);
      fp_dbg("score %d", r);
      if (r >= match_threshold) {
        *match_offset = i;
        return 1;
      }
    }
  }
  return 0;
}

extern "C" struct fp_img *fp_img_binarize(struct fp_img *img) {
  if (img->flags & FP_IMG_BINARIZED_FORM) {
    fp_err("image already binarized");
    return nullptr;
  }
  if (img->binarized == nullptr) {
    if (fpi_img_detect_minutiae(img) < 0) return nullptr;
    if (img->binarized == nullptr) {
      fp_err("no minutiae after successful detection?");
      return nullptr;
    }
  }
  const size_t size = static_cast<size_t>(img->width) * static_cast<size_t>(img->height);
  struct fp_img *ret = fpi_img_new(size);
  if (ret == nullptr) return nullptr;
  ret->flags |= FP_IMG_BINARIZED_FORM;
  ret->width = img->width;
  ret->height = img->height;
  std::memcpy(ret->data, img->binarized, size);
  return ret;
}

extern "C" struct lfs_minutia **fp_img_get_minutiae(struct fp_img *img, int *nr_minutiae) {
  if (img->flags & FP_IMG_BINARIZED_FORM) {
    fp_err("image is binarized");
    return nullptr;
  }
  if (img->minutiae == nullptr) {
    if (fpi_img_detect_minutiae(img) < 0) return nullptr;
    if (img->minutiae == nullptr) {
      fp_err("no minutiae after successful detection?");
      return nullptr;
    }
  }
  *nr_minutiae = img->minutiae->count;
  return img->minutiae->list;
}
