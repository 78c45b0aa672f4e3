// The skin model shared by impressions and swipes: how a ridge signal of the
// master becomes darkness under given pressure, dryness and wetness.
#pragma once

#include <cstdint>

#include "fingers/impression.h"
#include "fingers/value_noise.h"

namespace fingers {

class SkinModel {
 public:
  // A model for one press of the finger grown from finger_seed; seed
  // selects the press's dry gaps and wet puddles.
  SkinModel(const SkinParams &skin, uint64_t seed, uint64_t finger_seed);
  // Darkness 0..1 of full contact at a point whose master ridge signal is
  // ridge_signal; master_pt locates dry gaps on the skin, (wx, wy) wet
  // puddles on the sensor window.
  double Darkness(double ridge_signal, Point master_pt, double wx, double wy) const;

 private:
  SkinParams skin_;
  double bias_;
  double gap_threshold_;
  ValueNoise dry_gaps_;
  ValueNoise skin_gaps_;  // the finger's own dry places
  ValueNoise wet_puddles_;
  ValueNoise texture_;
  // Capacitive look: the finger's dry breaks and the press's, ridge width,
  // speckle in the gaps, and where water fills the valleys.
  ValueNoise skin_dashes_;
  ValueNoise press_dashes_;
  ValueNoise width_;
  ValueNoise speckle_;
  ValueNoise wet_fill_;

  double CapacitiveDarkness(double ridge_signal, Point master_pt, double wx, double wy) const;
};

}  // namespace fingers
