#include "src/FpSensorLib/quorv_sample_hold.h"

#include <string.h>

#include <memory>
#include <vector>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqMatchRecords.h"

namespace quorv {
namespace {

// Extractions one frame can need: the first, the re-identification and the
// enhanced one, for each half of a module-type-1 frame.
constexpr size_t kMaxHeld = 8;

struct SampleDeleter {
  void operator()(ST_SubTemplate *s) const { ZqReleaseTemp(s); }
};

// One kept extraction: what it was given and what it left.
struct Held {
  std::vector<uint8_t> before, after;
  bool hasQuality = false;
  uint8_t quality[kHoldQualityBytes] = {};
  uint8_t improveFrr = 0;
  uint32_t actionMode = 0;
  std::unique_ptr<ST_SubTemplate, SampleDeleter> sample;
  int32_t maxNum = 0, minNum = 0;
  bool hasArea = false;
  uint16_t imageArea = 0;
};

bool gHoldOn = false;
std::vector<Held> gHeld;

bool SameKey(const Held &h, const uint8_t *img, size_t n, const uint8_t *quality) {
  return h.before.size() == n && h.hasQuality == (quality != nullptr) &&
         (quality == nullptr || memcmp(h.quality, quality, kHoldQualityBytes) == 0) &&
         h.improveFrr == ZqGetImproveFRRFlag() && h.actionMode == gQuorvActionMode &&
         memcmp(h.before.data(), img, n) == 0;
}

}  // namespace

bool SampleHoldOn() { return gHoldOn; }

bool SampleHoldFind(uint8_t *img, size_t n, const uint8_t *quality, ST_SubTemplate *sample) {
  if (!gHoldOn || img == nullptr || sample == nullptr) return false;
  for (const Held &h : gHeld) {
    if (!SameKey(h, img, n, quality)) continue;
    if (ZqSubTemplateCopy(sample, h.sample.get()) != 0) return false;
    memcpy(img, h.after.data(), n);
    maxNum = h.maxNum;
    minNum = h.minNum;
    if (h.hasArea && gQuorvTempupdateInfor != nullptr) gQuorvTempupdateInfor->imageArea = h.imageArea;
    return true;
  }
  return false;
}

void SampleHoldKeep(const uint8_t *before, const uint8_t *after, size_t n,
                    const uint8_t *quality, const ST_SubTemplate *sample) {
  if (!gHoldOn || gHeld.size() >= kMaxHeld || sample == nullptr) return;
  Held h;
  h.sample.reset(ZqCreateTemp());
  if (h.sample == nullptr || ZqSubTemplateCopy(h.sample.get(), sample) != 0) return;
  h.before.assign(before, before + n);
  h.after.assign(after, after + n);
  h.hasQuality = quality != nullptr;
  if (quality != nullptr) memcpy(h.quality, quality, kHoldQualityBytes);
  h.improveFrr = ZqGetImproveFRRFlag();
  h.actionMode = gQuorvActionMode;
  h.maxNum = maxNum;
  h.minNum = minNum;
  h.hasArea = gQuorvTempupdateInfor != nullptr;
  if (h.hasArea) h.imageArea = gQuorvTempupdateInfor->imageArea;
  gHeld.push_back(std::move(h));
}

}  // namespace quorv

extern "C" void quorv_HoldIdentifySamples(int on) {
  quorv::gHoldOn = on != 0;
  quorv::gHeld.clear();
}
