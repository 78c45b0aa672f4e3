// Internal: the valid and ridge masks shared by the ZE4850-family scorers.
#ifndef SRC_ENHANCE_ZQIMGQUALITYMASKS_H_
#define SRC_ENHANCE_ZQIMGQUALITYMASKS_H_

#include <stdint.h>

namespace zq {

// Fills the N-byte masks: valid = pixel <= 250 with the first and last six
// rows and the two outer columns on each side cleared; ridge and strong =
// ZqDynThreshold_v2 (window 11, offsets 5 and 25) cleared where not valid;
// then valid is closed (dilated 2 x 2, eroded 5 x 5). *nValid receives the
// count of pixels <= 250 over the whole image and *contrast (written even
// when the closing fails) 100 x strong / ridge. 0; -3 a step failed.
int32_t Ze4850Masks(const uint8_t *image, int32_t width, int32_t height, uint8_t *valid,
                    uint8_t *ridge, uint8_t *strong, int64_t *nValid, uint8_t *contrast);

// Sets bit i of map for every i < n with mask[i] != 0.
void SetMapBits(const uint8_t *mask, int64_t n, uint8_t *map);

}  // namespace zq

#endif  // SRC_ENHANCE_ZQIMGQUALITYMASKS_H_
