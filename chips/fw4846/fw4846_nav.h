// Navigation (gesture) mode of the fw4846 chip: ten image rows scanned
// repeatedly, binarised against the image base, reduced to a centroid
// track and turned into a direction.
#ifndef CHIPS_FW4846_FW4846_NAV_H_
#define CHIPS_FW4846_FW4846_NAV_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Direction codes; 0 while undecided.
enum {
  FW4846_NAV_LEFT = 1,
  FW4846_NAV_RIGHT = 2,
  FW4846_NAV_UP = 4,
  FW4846_NAV_DOWN = 8,
  FW4846_NAV_CLICK = 32,
};

// Image row of navigation row `index` (0..9): 8, 9, 24, 25, ... 72, 73.
int fw4846_nav_image_row(int index);
// One-time navigation registers, then SFR 0x9A = 0.
void fw4846_nav_mode_init(void);
// One FIFO read of 1280 bytes into nav_frame.
void fw4846_nav_read_frame(void);
// Fills nav_reference from the image base of the navigation rows plus 4000.
void fw4846_nav_load_reference(void);
// Binarises nav_frame against nav_reference into nav_set; the touch count.
int fw4846_nav_binarize(void);
// Centroid of nav_set: row weighted by image row, column; both 0 when empty.
void fw4846_nav_centroid(int *row, int *col);
// Starts a gesture: 0 when a finger covers the navigation rows, else -1.
int fw4846_GestureStart(void);
// Three first frames into the track; the touch count of frame 0.
int fw4846_GestureDetectFirst(void);
// Follows the gesture to its end; the direction code (0 without an end).
int fw4846_GestureDetect(void);
// Direction of the track up to frame `last`, ended at `end`, with `cover`
// covered frames.
int fw4846_GestureDirection(int last, int end, int cover);

#ifdef __cplusplus
}
#endif

#endif  // CHIPS_FW4846_FW4846_NAV_H_
