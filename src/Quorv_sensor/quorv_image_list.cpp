#include "src/Quorv_sensor/quorv_image_list.h"

#include <cstring>

#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/image/ZqAlloc.h"
#include "src/quorv_base/quorv_log.h"

ImageRescanNode *g_imageSave = nullptr;

namespace {

void FreeNode(ImageRescanNode *node) {
  ZqFree(node->imageRescanBuf);
  ZqFree(node);
}

// First node at position cnt, or NULL.
ImageRescanNode *FindByCount(uint8_t cnt) {
  for (ImageRescanNode *n = g_imageSave; n != nullptr; n = n->pNext) {
    if (n->currentCnt == cnt) return n;
  }
  return nullptr;
}

}  // namespace

extern "C" void quorv_SaveImage(const uint8_t *image) {
  QUORV_LOGV("%s enter.", __func__);
  if (image == nullptr) {
    QUORV_LOGE("%s......buf = NULL", __func__);
    return;
  }
  const ZqSpiObj *spi = quorv_get_ZqSpiObjHandle();
  if (spi == nullptr) {
    QUORV_LOGE("%s......ZqSpiObj is NULL", __func__);
    return;
  }
  ImageRescanNode *tail = g_imageSave;
  while (tail != nullptr && tail->pNext != nullptr) tail = tail->pNext;
  if (tail != nullptr &&
      (tail->currentCnt >= QUORV_IMAGE_LIST_MAX || tail->index >= QUORV_IMAGE_LIST_MAX)) {
    // One more would repeat a position or capture number already in use.
    QUORV_LOGE("%s......image list is full, cnt = %d, index = %d", __func__, tail->currentCnt,
               tail->index);
    return;
  }
  auto *node = static_cast<ImageRescanNode *>(ZqAlloc(sizeof(ImageRescanNode)));
  if (node == nullptr) {
    QUORV_LOGE("%s......node malloc fail", __func__);
    return;
  }
  node->pNext = nullptr;
  node->isValid = 1;
  node->currentCnt = tail != nullptr ? static_cast<uint8_t>(tail->currentCnt + 1) : 1;
  node->index = tail != nullptr ? static_cast<uint8_t>(tail->index + 1) : 1;
  if (tail != nullptr) {
    tail->pNext = node;
  } else {
    g_imageSave = node;
  }
  const uint16_t len = static_cast<uint16_t>(spi->imagewidth * spi->imageheight);
  node->imageRescanBuf = static_cast<uint8_t *>(ZqAlloc(len));
  if (node->imageRescanBuf != nullptr) {
    std::memcpy(node->imageRescanBuf, image, len);
    node->imageLen = len;
  }
  QUORV_LOGV("%s leave.....cnt = %d, index = %d", __func__, node->currentCnt, node->index);
}

extern "C" void quorv_DestroyImage(void) {
  if (g_imageSave == nullptr) {
    QUORV_LOGI("%s......g_imageSave is empty, do nothing!", __func__);
    return;
  }
  while (g_imageSave != nullptr) {
    ImageRescanNode *node = g_imageSave;
    g_imageSave = node->pNext;
    FreeNode(node);
  }
}

extern "C" void quorv_get_sensor_image_buff(uint8_t *dst, uint16_t len, uint8_t cnt) {
  if (g_imageSave == nullptr) {
    QUORV_LOGE("%s......g_imageSave is empty!", __func__);
    return;
  }
  const ImageRescanNode *node = FindByCount(cnt);
  if (node == nullptr || node->imageRescanBuf == nullptr || dst == nullptr) return;
  if (len > node->imageLen) {
    QUORV_LOGE("%s......len = %d is more than the image's %d bytes", __func__, len,
               node->imageLen);
    return;
  }
  std::memcpy(dst, node->imageRescanBuf, len);
}

extern "C" void quorv_delete_sensor_image_buff(uint8_t cnt) {
  if (g_imageSave == nullptr) {
    QUORV_LOGE("%s......g_imageSave is empty!", __func__);
    return;
  }
  ImageRescanNode *prev = nullptr;
  for (ImageRescanNode *n = g_imageSave; n != nullptr; prev = n, n = n->pNext) {
    if (n->currentCnt != cnt) continue;
    if (prev == nullptr) {
      g_imageSave = n->pNext;
    } else {
      prev->pNext = n->pNext;
    }
    FreeNode(n);
    return;
  }
}

extern "C" void quorv_set_sensor_image_invalid(uint8_t cnt) {
  if (g_imageSave == nullptr) {
    QUORV_LOGE("%s......g_imageSave is empty!", __func__);
    return;
  }
  ImageRescanNode *node = FindByCount(cnt);
  if (node != nullptr && node->imageRescanBuf != nullptr) node->isValid = 0;
}

extern "C" void quorv_delete_invalid_sensor_image(void) {
  if (g_imageSave == nullptr) {
    QUORV_LOGE("%s......g_imageSave is empty!", __func__);
    return;
  }
  uint8_t counter = 1;
  ImageRescanNode *kept = nullptr;
  ImageRescanNode *n = g_imageSave;
  while (n != nullptr) {
    ImageRescanNode *next = n->pNext;
    if (n->isValid) {
      n->currentCnt = counter++;
      kept = n;
    } else {
      if (kept == nullptr) {
        g_imageSave = next;
      } else {
        kept->pNext = next;
      }
      FreeNode(n);
    }
    n = next;
  }
}

extern "C" uint8_t quorv_get_sensor_image_num(uint8_t *out) {
  uint8_t cnt = 0;
  if (g_imageSave == nullptr) {
    QUORV_LOGE("%s......NO image!", __func__);
    if (out != nullptr) *out = 0;
    QUORV_LOGI("%s leave.....cnt is 0", __func__);
    return 0;
  }
  const ImageRescanNode *tail = g_imageSave;
  while (tail->pNext != nullptr) tail = tail->pNext;
  cnt = tail->currentCnt;
  if (out != nullptr) *out = cnt;
  QUORV_LOGI("%s leave.....cnt = %d", __func__, cnt);
  return cnt;
}

extern "C" int quorv_get_sensor_image_index(uint8_t *out) {
  if (out == nullptr) {
    QUORV_LOGE("%s......out = NULL", __func__);
    return 0;
  }
  if (g_imageSave == nullptr) {
    QUORV_LOGE("%s......NO image!", __func__);
    out[0] = 0;
    return 0;
  }
  int count = 0;
  for (const ImageRescanNode *n = g_imageSave; n != nullptr; n = n->pNext) {
    out[count] = n->index;
    ++count;
    QUORV_LOGI("%s...index %d = %d", __func__, count, n->index);
  }
  return count;
}
