// The three image lists. One set of list operations serves all three; each
// list brings its first number, its buffer's size and its messages.
#include "src/FpSensorLib/quorv_image_lists.h"

#include <string.h>

#include "src/FpSensorLib/quorv_config.h"
#include "src/image/ZqAlloc.h"
#include "src/quorv_base/quorv_log.h"

extern "C" {
ImageRescanNode *g_imageRescan = nullptr;
ImageRescanNode *g_enrollImage = nullptr;
ImageTplNode *tplNodeList = nullptr;
}

namespace {

// What differs between the lists: the messages of an empty list per
// operation (each follows the function's name).
struct ListTexts {
  const char *take_empty;
  const char *copy_empty;
  const char *edit_empty;  // mark invalid, delete invalid, template length
  const char *num_empty;
  const char *destroy_empty;
};

constexpr ListTexts kRescanTexts = {
    "...g_imageRescan is empty!", "...g_imageRescan is empty!", "...g_imageRescan is empty!",
    "...NO rescan image!", "...g_imageRescan is empty, do nothing!"};
constexpr ListTexts kEnrollTexts = {
    "...g_enrollImage is empty!", "......g_enrollImage is empty!",
    "......g_enrollImage is empty!", "...NO enroll image!",
    "...g_enrollImage is empty, do nothing!"};
constexpr ListTexts kTplTexts = {"...tplNodeList is empty!", "......tplNodeList is empty!",
                                 "......tplNodeList is empty!", "...NO image tpls!",
                                 "...tplNodeList is empty, do nothing!"};

void LogError(const char *func, const char *text) {
  QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s%s", func, text);
}

uint8_t *&Buffer(ImageRescanNode *node) { return node->imageRescanBuf; }
uint8_t *&Buffer(ImageTplNode *node) { return node->tplBuf; }
uint32_t StoredSize(const ImageRescanNode *node) { return node->imageLen; }
uint32_t StoredSize(const ImageTplNode *node) { return node->len; }

template <typename Node>
Node *Find(Node *head, uint8_t n, Node **prev_out) {
  Node *prev = nullptr;
  for (Node *node = head; node != nullptr; prev = node, node = node->pNext) {
    if (node->currentCnt == n) {
      if (prev_out != nullptr) *prev_out = prev;
      return node;
    }
  }
  return nullptr;
}

template <typename Node>
Node *Tail(Node *head) {
  Node *node = head;
  while (node != nullptr && node->pNext != nullptr) node = node->pNext;
  return node;
}

template <typename Node>
void FreeNode(Node *node) {
  ZqFree(Buffer(node));
  ZqFree(node);
}

// Copies `len` bytes of node's buffer into dst; a missing buffer copies
// nothing, and so does a request beyond what the node holds (the image was
// stored at a smaller sensor size), which is logged.
template <typename Node>
void CopyOut(const char *func, Node *node, uint8_t *dst, uint32_t len) {
  uint8_t *buf = Buffer(node);
  if (buf == nullptr) return;
  if (dst == nullptr) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...dst = NULL", func);
    return;
  }
  if (len > StoredSize(node)) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...len = %u is larger than the image (%u)", func,
                 static_cast<unsigned>(len), static_cast<unsigned>(StoredSize(node)));
    return;
  }
  memcpy(dst, buf, len);
}

template <typename Node>
void Destroy(const char *func, Node **head, const ListTexts &texts) {
  if (*head == nullptr) {
    QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s%s", func, texts.destroy_empty);
    return;
  }
  while (*head != nullptr) {
    Node *node = *head;
    *head = node->pNext;
    FreeNode(node);
  }
}

// len 0 means the node's own size.
template <typename Node>
void Take(const char *func, Node **head, const ListTexts &texts, uint8_t *dst, uint32_t len,
          uint8_t n) {
  if (*head == nullptr) {
    LogError(func, texts.take_empty);
    return;
  }
  Node *prev = nullptr;
  Node *node = Find(*head, n, &prev);
  if (node == nullptr) return;
  CopyOut(func, node, dst, len);
  if (prev != nullptr) {
    prev->pNext = node->pNext;
  } else {
    *head = node->pNext;
  }
  FreeNode(node);
}

template <typename Node>
void Copy(const char *func, Node *head, const ListTexts &texts, uint8_t *dst, uint32_t len,
          uint8_t n) {
  if (head == nullptr) {
    LogError(func, texts.copy_empty);
    return;
  }
  if (Node *node = Find(head, n, static_cast<Node **>(nullptr))) CopyOut(func, node, dst, len);
}

template <typename Node>
void MarkInvalid(const char *func, Node *head, const ListTexts &texts, uint8_t n) {
  if (head == nullptr) {
    LogError(func, texts.edit_empty);
    return;
  }
  Node *node = Find(head, n, static_cast<Node **>(nullptr));
  if (node != nullptr && Buffer(node) != nullptr) node->isValid = 0;
}

template <typename Node>
void DeleteInvalid(const char *func, Node **head, const ListTexts &texts) {
  if (*head == nullptr) {
    LogError(func, texts.edit_empty);
    return;
  }
  uint8_t counter = 1;
  Node *prev = nullptr;
  Node *node = *head;
  while (node != nullptr) {
    Node *next = node->pNext;
    if (node->isValid != 0) {
      node->currentCnt = counter++;
      prev = node;
    } else {
      if (prev != nullptr) {
        prev->pNext = next;
      } else {
        *head = next;
      }
      FreeNode(node);
    }
    node = next;
  }
}

template <typename Node>
uint8_t TailNumber(const char *func, Node *head, const ListTexts &texts) {
  if (head == nullptr) {
    LogError(func, texts.num_empty);
    return 0;
  }
  return Tail(head)->currentCnt;
}

// Appends a copy of the configured cols x rows bytes of image; the first
// node of an empty list gets `first`.
void Append(const char *func, ImageRescanNode **head, uint8_t first, const uint8_t *image) {
  if (image == nullptr) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...buf = NULL", func);
    return;
  }
  const QuorvConfigInfo *config = quorv_config_for(func);
  if (config == nullptr) return;
  auto *node = static_cast<ImageRescanNode *>(ZqAlloc(static_cast<int>(sizeof(ImageRescanNode))));
  if (node == nullptr) return;
  node->pNext = nullptr;
  node->isValid = 1;
  node->index = 0;
  ImageRescanNode *tail = Tail(*head);
  node->currentCnt = tail == nullptr ? first : static_cast<uint8_t>(tail->currentCnt + 1u);
  // Both sides are bytes, so the size fits 16 bits.
  const uint32_t size = config->sensor_cols * config->sensor_rows;
  node->imageRescanBuf = static_cast<uint8_t *>(ZqAlloc(static_cast<int>(size)));
  if (node->imageRescanBuf != nullptr) {
    memcpy(node->imageRescanBuf, image, size);
    node->imageLen = static_cast<uint16_t>(size);
  } else {
    node->imageLen = 0;
  }
  if (tail == nullptr) {
    *head = node;
  } else {
    tail->pNext = node;
  }
}

template <typename Node>
void FreeAll(Node **head) {
  while (*head != nullptr) {
    Node *node = *head;
    *head = node->pNext;
    FreeNode(node);
  }
}

}  // namespace

extern "C" {

void quorv_SaveRescanImage(const uint8_t *image) { Append(__func__, &g_imageRescan, 0, image); }
void quorv_SaveEnrollImage(const uint8_t *image) { Append(__func__, &g_enrollImage, 1, image); }

void quorv_DestroyRescanImage(void) { Destroy(__func__, &g_imageRescan, kRescanTexts); }
void quorv_DestroyEnrollImage(void) { Destroy(__func__, &g_enrollImage, kEnrollTexts); }
void quorv_DestroyImageTpl(void) { Destroy(__func__, &tplNodeList, kTplTexts); }

void quorv_GetFpImageBuff(uint8_t *dst, uint16_t len, uint8_t n) {
  Take(__func__, &g_imageRescan, kRescanTexts, dst, len, n);
}
void quorv_GetEnrollImageBuff(uint8_t *dst, uint16_t len, uint8_t n) {
  Take(__func__, &g_enrollImage, kEnrollTexts, dst, len, n);
}
void quorv_GetImageTplBuff(uint8_t *dst, uint8_t n) {
  ImageTplNode *node = Find(tplNodeList, n, static_cast<ImageTplNode **>(nullptr));
  Take(__func__, &tplNodeList, kTplTexts, dst, node != nullptr ? node->len : 0u, n);
}

void quorv_GetFpImageBuffOnly(uint8_t *dst, uint16_t len, uint8_t n) {
  Copy(__func__, g_imageRescan, kRescanTexts, dst, len, n);
}
void quorv_GetEnrollImageBuffOnly(uint8_t *dst, uint16_t len, uint8_t n) {
  Copy(__func__, g_enrollImage, kEnrollTexts, dst, len, n);
}
void quorv_GetImageTplBuffOnly(uint8_t *dst, uint8_t n) {
  ImageTplNode *node = Find(tplNodeList, n, static_cast<ImageTplNode **>(nullptr));
  Copy(__func__, tplNodeList, kTplTexts, dst, node != nullptr ? node->len : 0u, n);
}

void quorv_SetEnrollImageInvalid(uint8_t n) { MarkInvalid(__func__, g_enrollImage, kEnrollTexts, n); }
void quorv_SetImageTplInvalid(uint8_t n) { MarkInvalid(__func__, tplNodeList, kTplTexts, n); }

void quorv_DeleteInvalidEnrollImage(void) { DeleteInvalid(__func__, &g_enrollImage, kEnrollTexts); }
void quorv_DeleteInvalidImageTpl(void) { DeleteInvalid(__func__, &tplNodeList, kTplTexts); }

uint8_t quorv_GetEnrollImageNum(void) { return TailNumber(__func__, g_enrollImage, kEnrollTexts); }
uint8_t quorv_GetImageTplNum(void) { return TailNumber(__func__, tplNodeList, kTplTexts); }

int quorv_GetFpImageNum(uint8_t *out) {
  if (out == nullptr) {
    QUORV_LOGE("quorv_GetFpImageNum......input error");
    return -1;
  }
  *out = 0;
  if (g_imageRescan == nullptr) {
    *out = 255;
    QUORV_LOGE("quorv_GetFpImageNum......NO rescan image!");
    return -1;
  }
  *out = Tail(g_imageRescan)->currentCnt;
  return *out;
}

uint32_t quorv_GetImageTplLen(uint8_t n) {
  if (tplNodeList == nullptr) {
    LogError(__func__, kTplTexts.edit_empty);
    return 0;
  }
  const ImageTplNode *node = Find(tplNodeList, n, static_cast<ImageTplNode **>(nullptr));
  return node != nullptr && node->tplBuf != nullptr ? node->len : 0u;
}

void quorv_ImageListsResetForTest(void) {
  FreeAll(&g_imageRescan);
  FreeAll(&g_enrollImage);
  FreeAll(&tplNodeList);
}

}  // extern "C"
