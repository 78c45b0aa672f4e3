// The byte images the scorers compare in: the template's and the sample's
// binarised images and valid masks unpacked to one byte per pixel, taken
// from the algorithm's pool. C++ only.
#ifndef SRC_ZQALG_ZQMATCHIMAGES_H_
#define SRC_ZQALG_ZQMATCHIMAGES_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"

namespace zq_alg {

// Four cols x rows byte images, released in reverse order of taking.
class MatchImages {
 public:
  MatchImages() = default;
  ~MatchImages();
  MatchImages(const MatchImages &) = delete;
  MatchImages &operator=(const MatchImages &) = delete;

  // Takes the four images; false (none kept) when the pool is short.
  bool Take(int32_t cols, int32_t rows);
  // Unpacks tpl's and sample's bits and masks (their buffers must cover the
  // sensor: see CoversSensor).
  void Unpack(const ST_SubTemplate &sample, const ST_SubTemplate &tpl);

  uint8_t *tplBin = nullptr;
  uint8_t *smpBin = nullptr;
  uint8_t *tplMask = nullptr;
  uint8_t *smpMask = nullptr;

 private:
  void Release();
  int32_t cols_ = 0, rows_ = 0;
};

// t's binarised image and mask exist and are long enough for cols x rows.
bool CoversSensor(const ST_SubTemplate &t, uint32_t cols, uint32_t rows);

}  // namespace zq_alg

#endif  // SRC_ZQALG_ZQMATCHIMAGES_H_
