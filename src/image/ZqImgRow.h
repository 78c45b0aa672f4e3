// Row access to the pixels of an ST_Image for the image-foundation sources
// (C++ only, not part of the library's C interface).
#ifndef SRC_ZQIMGROW_H_
#define SRC_ZQIMGROW_H_

#include <stddef.h>

#include "src/image/ZqImage.h"

// Row y of img as pixels of type T (rows are rowBytes apart).
template <typename T>
inline T *ZqImgRow(const ST_Image *img, int y) {
  return reinterpret_cast<T *>(img->imageData + static_cast<size_t>(y) * img->rowBytes);
}

// True when img has pixel data and the given depth.
inline bool ZqImgIs(const ST_Image *img, int depth) {
  return img != nullptr && img->imageData != nullptr && img->depth == depth;
}

#endif  // SRC_ZQIMGROW_H_
