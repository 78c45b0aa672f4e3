// The sensor library's image lists: the rescan list g_imageRescan (images of
// one live operation, numbered from 0), the enrol-image list g_enrollImage
// (images kept for decisions over several images, numbered from 1) and the
// image-template list tplNodeList (which nothing fills). Each is a singly
// linked list that owns its nodes and their buffers (ZqAlloc blocks). A node
// gets the tail's number plus 1 in 8 bits, so 255 is followed by 0; lookups
// by number find the first node from the head that carries it.
#ifndef SRC_FPSENSORLIB_QUORV_IMAGE_LISTS_H_
#define SRC_FPSENSORLIB_QUORV_IMAGE_LISTS_H_

#include <stdint.h>

#include "src/Quorv_sensor/quorv_image_list.h"  // ImageRescanNode

#ifdef __cplusplus
extern "C" {
#endif

// Node of tplNodeList; fields in this order.
typedef struct ImageTplNode {
  struct ImageTplNode *pNext;  // next node, NULL at the tail
  uint8_t *tplBuf;             // the node's own buffer, or NULL
  uint32_t len;                // bytes of tplBuf
  uint8_t currentCnt;          // number in the list
  uint8_t isValid;             // 1 valid, 0 marked invalid
} ImageTplNode;

// Heads of the three lists; NULL when empty. Nodes of the image lists hold
// cols x rows bytes of the configuration at the time of the append, and keep
// that size in imageLen.
extern ImageRescanNode *g_imageRescan;
extern ImageRescanNode *g_enrollImage;
extern ImageTplNode *tplNodeList;

// Append a copy of cols x rows bytes of image (the configured sensor size).
// NULL image or no configuration: logged, nothing appended. A failed node
// allocation appends nothing; a failed image allocation appends a node
// without an image. Neither is reported.
void quorv_SaveRescanImage(const uint8_t *image);
void quorv_SaveEnrollImage(const uint8_t *image);

// Free every node and its buffer; an empty list is only logged.
void quorv_DestroyRescanImage(void);
void quorv_DestroyEnrollImage(void);
void quorv_DestroyImageTpl(void);

// Take node n: copy len bytes of its image into dst (the node's own len for
// the template list), then unlink and free it. No node n: nothing changes.
// A node without an image, or whose image is shorter than len (logged), is
// removed without a copy.
void quorv_GetFpImageBuff(uint8_t *dst, uint16_t len, uint8_t n);
void quorv_GetEnrollImageBuff(uint8_t *dst, uint16_t len, uint8_t n);
void quorv_GetImageTplBuff(uint8_t *dst, uint8_t n);

// Copy node n's image as above without changing the list; a missing node, a
// missing image or one shorter than len (logged) copies nothing.
void quorv_GetFpImageBuffOnly(uint8_t *dst, uint16_t len, uint8_t n);
void quorv_GetEnrollImageBuffOnly(uint8_t *dst, uint16_t len, uint8_t n);
void quorv_GetImageTplBuffOnly(uint8_t *dst, uint8_t n);

// Mark the first node numbered n invalid, when it holds an image.
void quorv_SetEnrollImageInvalid(uint8_t n);
void quorv_SetImageTplInvalid(uint8_t n);

// Remove every invalid node and renumber the rest 1, 2, 3, ... in order.
void quorv_DeleteInvalidEnrollImage(void);
void quorv_DeleteInvalidImageTpl(void);

// The tail node's number; 0 (logged) for an empty list.
uint8_t quorv_GetEnrollImageNum(void);
uint8_t quorv_GetImageTplNum(void);

// The rescan list's tail number, also stored in *out. Empty list: *out =
// 255 and -1; NULL out: -1. Both logged.
int quorv_GetFpImageNum(uint8_t *out);

// len of the template node numbered n when it has a buffer, else 0.
uint32_t quorv_GetImageTplLen(uint8_t n);

// Test hook: empties the three lists without logging.
void quorv_ImageListsResetForTest(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_IMAGE_LISTS_H_
