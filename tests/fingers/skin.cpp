#include "fingers/skin.h"

#include <algorithm>

#include "fingers/det_math.h"
#include "fingers/rng.h"

namespace fingers {
namespace {
enum : uint64_t {
  kTagDry = 13, kTagWet = 14, kTagTexture = 17, kTagSkinDry = 18,
  kTagSkinDashes = 19, kTagPressDashes = 20, kTagWidth = 21, kTagSpeckle = 22, kTagWetFill = 23
};
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
      texture_(MixSeed(finger_seed, kTagTexture), 2.5),
      skin_dashes_(MixSeed(finger_seed, kTagSkinDashes), 2.6),
      press_dashes_(MixSeed(seed, kTagPressDashes), 2.6),
      width_(MixSeed(finger_seed, kTagWidth), 4.0),
      speckle_(MixSeed(seed, kTagSpeckle), 0.9),
      wet_fill_(MixSeed(seed, kTagWetFill), 12.0) {}

double SkinModel::CapacitiveDarkness(double ridge_signal, Point m, double wx, double wy) const {
  const double d = skin_.dryness, w = skin_.wetness;
  double level = ridge_signal + (skin_.pressure - 0.5) * 0.5;
  // Dry skin: thinner ridges whose width changes along them.
  if (d > 0) level += -0.45 * d + 0.35 * d * width_.At(m.x, m.y);
  // Wet skin: wider ridges, widest where water pools.
  if (w > 0) level += 0.7 * w + 0.9 * w * std::max(0.0, wet_puddles_.At(wx, wy));
  double ridge = SmoothStep(-0.45, 0.45, level);
  if (d > 0) {
    // Dry ridges touch in short dashes: breaks a ridge period or less
    // long, mostly the finger's own, more of them the drier the skin.
    const double g = 0.75 * skin_dashes_.At(m.x, m.y) + 0.25 * press_dashes_.At(m.x, m.y);
    const double at = 0.6 - d;
    const double gap = SmoothStep(at - 0.1, at + 0.1, g);
    // A gap is pale but not empty: flakes and partial contact leave specks.
    const double speck = SmoothStep(0.25, 0.75, speckle_.At(m.x, m.y));
    ridge = ridge * (1.0 - 0.9 * gap) + gap * 0.45 * d * speck * SmoothStep(-0.6, 0.2, level);
  }
  if (w > 0) {
    // Water fills the valleys: grey everywhere, close to ridge darkness
    // where it pools, so that neighbouring ridges merge.
    const double fill = w * (0.25 + 0.75 * SmoothStep(-0.3, 0.5, wet_fill_.At(wx, wy)));
    ridge += (1.0 - ridge) * 0.85 * fill;
  }
  return std::min(1.0, ridge) * (0.92 - 0.08 * texture_.At(m.x, m.y));
}

double SkinModel::Darkness(double ridge_signal, Point master_pt, double wx, double wy) const {
  if (skin_.capacitive) return CapacitiveDarkness(ridge_signal, master_pt, wx, wy);
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
