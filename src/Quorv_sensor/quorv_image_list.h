// The image list of slide captures: a process-wide singly linked list of
// image copies, read back by position, invalidated, compacted and counted.
#ifndef SRC_QUORV_SENSOR_QUORV_IMAGE_LIST_H_
#define SRC_QUORV_SENSOR_QUORV_IMAGE_LIST_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Most images the list holds: positions and capture numbers are bytes.
#define QUORV_IMAGE_LIST_MAX 255

// One node (a ZqAlloc block); fields in this order.
typedef struct ImageRescanNode {
  struct ImageRescanNode *pNext;  // next node, NULL at the tail
  uint8_t *imageRescanBuf;        // the node's own image copy, or NULL
  uint8_t currentCnt;             // 1-based position; compaction renumbers 1..n
  uint8_t isValid;                // 1 when appended, 0 once marked invalid
  uint8_t index;                  // 1-based capture number, never changed
  uint16_t imageLen;              // bytes of imageRescanBuf (0 without an image)
} ImageRescanNode;

// Head of the list, NULL when empty. The list owns its nodes and images.
extern ImageRescanNode *g_imageSave;

// Appends a copy of imagewidth x imageheight bytes (the SPI instance's size)
// of image, with position and capture number one past the tail's. Nothing is
// appended for a NULL image, without an SPI instance, when the tail's
// position or capture number is already QUORV_IMAGE_LIST_MAX, or when the
// node cannot be allocated (all logged); a failed image allocation appends a
// node without an image.
void quorv_SaveImage(const uint8_t *image);

// Frees every node and image; the list is empty afterwards.
void quorv_DestroyImage(void);

// Copies len bytes of the image at position cnt into dst. dst is untouched
// when the position is absent, its node has no image, or len is larger than
// the stored image (logged).
void quorv_get_sensor_image_buff(uint8_t *dst, uint16_t len, uint8_t cnt);

// Removes the first node at position cnt; the others keep their numbers.
void quorv_delete_sensor_image_buff(uint8_t cnt);

// Marks the first node at position cnt invalid, if it holds an image.
void quorv_set_sensor_image_invalid(uint8_t cnt);

// Removes every invalid node and renumbers the rest 1..n in list order.
void quorv_delete_invalid_sensor_image(void);

// The tail's position (0 for an empty list), also written to *out.
uint8_t quorv_get_sensor_image_num(uint8_t *out);

// Writes every node's capture number, in list order, to out[0], out[1], ...
// (room for QUORV_IMAGE_LIST_MAX bytes suffices) and returns the number of
// nodes; an empty list writes 0 to out[0] and returns 0.
int quorv_get_sensor_image_index(uint8_t *out);

#ifdef __cplusplus
}
#endif

#endif  // SRC_QUORV_SENSOR_QUORV_IMAGE_LIST_H_
