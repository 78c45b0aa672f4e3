// Internal helpers of the slide engines: a view of the saved slide images
// through g_fpImageBuf and a work image of the configured size, with
// loading, rating, the cover-area comparison and the slide pruning.
#ifndef SRC_FPSENSORLIB_QUORV_LIVE_SLIDE_H_
#define SRC_FPSENSORLIB_QUORV_LIVE_SLIDE_H_

#include <stdint.h>

#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_live_deps.h"

namespace quorv_live {

class SlideView {
 public:
  // Allocates the work image (ok() is false when that fails).
  SlideView(const QuorvConfigInfo *c, QuorvImgeBuf *b);
  ~SlideView();
  SlideView(const SlideView &) = delete;
  SlideView &operator=(const SlideView &) = delete;

  bool ok() const { return work_ != nullptr; }
  uint8_t *image() const { return buf_->g_fpImageBuf; }
  uint8_t *work() const { return work_; }
  uint16_t len() const { return len_; }

  // Copies saved image `pos` into dst (untouched when there is none).
  void Load(uint8_t pos, uint8_t *dst) const;
  // Loads image `pos` into dst and rates it: its valid area, 0 when the
  // rating fails.
  int AreaOf(uint8_t pos, uint8_t *dst) const;
  // quorv_CoverArea(a, b, rows, cols, 5).
  int Cover(const uint8_t *a, const uint8_t *b) const;

  // Prunes the slide ("2.1", "2.2", "3", then compaction) and returns the
  // images left; 0 after logging "NOT finger image". `func` names the
  // engine, `lastValidLog` adds the "3...last_valid_image" line and
  // `shortCountLog` writes the count line as "..4.." instead of "...4...".
  int Prune(const char *func, bool lastValidLog, bool shortCountLog) const;

 private:
  const QuorvConfigInfo *c_;
  QuorvImgeBuf *buf_;
  uint8_t *work_;
  uint16_t len_;
};

// Appends g_fpImageBuf-sized image `img` to the rescan list when image
// saving is on.
void SaveIfOn(const QuorvConfigInfo *c, const uint8_t *img);

}  // namespace quorv_live

#endif  // SRC_FPSENSORLIB_QUORV_LIVE_SLIDE_H_
