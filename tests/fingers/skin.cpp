#include "fingers/skin.h"

#include <algorithm>

#include "fingers/det_math.h"
#include "fingers/rng.h"

namespace fingers {
namespace {
enum : uint64_t { kTagDry = 13, kTagWet = 14, kTagTexture = 17, kTagSkinDry = 18 };
// Share of a ridge's darkness a dry gap on the skin takes away.
constexpr double kGapFade = 0.65;
}  // namespace

SkinModel::SkinModel(const SkinParams &skin, uint64_t seed, uint64_t finger_seed)
    : skin_(skin),
      // Harder presses and wet skin widen the ridges; dry skin thins them.
      bias_((skin.pressure - 0.5) * 0.5 + 0.9 * skin.wetness - 0.55 * skin.dryness),
      gap_threshold_(1.0 - 1.1 * skin.dryness),
      dry_gaps_(MixSeed(seed, kTagDry), 3.5),
      skin_gaps_(MixSeed(finger_seed, kTagSkinDry), 6.0),
      wet_puddles_(MixSeed(seed, kTagWet), 9.0),
      texture_(MixSeed(finger_seed, kTagTexture), 2.5) {}

double SkinModel::Darkness(double ridge_signal, Point master_pt, double wx, double wy) const {
  double level = ridge_signal + bias_;
  if (skin_.wetness > 0) level += 0.8 * skin_.wetness * std::max(0.0, wet_puddles_.At(wx, wy));
  double ridge = SmoothStep(-0.45, 0.45, level);
  if (skin_.dryness > 0) {
    // Dry skin touches in patches: ridges break where the gap field is high.
    // Skin that is dry in places breaks mostly at the same places in every
    // press; the press adds a little of its own.
    if (skin_.dry_gaps_on_skin) {
      const double g = 0.8 * skin_gaps_.At(master_pt.x, master_pt.y) +
                       0.2 * dry_gaps_.At(master_pt.x, master_pt.y);
      // A capacitive pixel still senses skin a few microns away: a gap
      // fades the ridge rather than erasing it.
      ridge *= 1.0 - kGapFade * SmoothStep(gap_threshold_ - 0.12, gap_threshold_ + 0.12, g);
    } else {
      ridge *= SmoothStep(gap_threshold_ + 0.12, gap_threshold_ - 0.12, dry_gaps_.At(master_pt.x, master_pt.y));
    }
  }
  // The finger's own fine texture (pores, ridge-width changes) moves with
  // the skin, the same in every press.
  return ridge * (0.92 - 0.08 * texture_.At(master_pt.x, master_pt.y));
}

}  // namespace fingers
