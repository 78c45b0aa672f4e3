// Master fingers: the whole ridge pattern of one synthetic finger, from which
// impressions are taken.
//
// A master is grown the way published synthetic-fingerprint methods do it:
// an orientation field from the class's core and delta positions (zero-pole
// model with per-finger warps of each singular point's angle), a smoothly
// varying ridge-period map, and a ridge image grown from random noise by
// iterated, space-variant oriented (Gabor-like) filtering. Minutiae appear
// wherever the growing ridges meet with a defect.
//
// Geometry: pixel (x, y) has x to the right and y downwards, at 500 dpi.
// Angles are in radians in that frame; a ridge direction theta means the
// ridge runs along (cos theta, sin theta), theta in [0, pi).
#pragma once

#include <cstdint>
#include <vector>

namespace fingers {

// Pattern classes. In a left loop the ridges enter and leave on the left and
// the delta lies right of the core (as seen in the image); a right loop is
// its mirror.
enum class FingerClass { kArch, kTentedArch, kLeftLoop, kRightLoop, kWhorl };

// Name of a class ("arch", "tented_arch", "left_loop", "right_loop", "whorl").
const char *FingerClassName(FingerClass c);

// What to grow.
struct MasterParams {
  uint64_t seed = 1;                              // everything random derives from it
  FingerClass finger_class = FingerClass::kRightLoop;
  int width = 256;                                // master size in pixels, 64..2048
  int height = 320;
  double period_min = 8.0;                        // ridge period range in pixels,
  double period_max = 10.0;                       // 3 <= min <= max <= 30
  int iterations = 10;                            // growth passes, 1..100
};

// A point of the master, in master pixels.
struct Point {
  double x = 0;
  double y = 0;
};

// One grown master finger.
struct MasterFinger {
  MasterParams params;
  int width = 0;
  int height = 0;
  std::vector<float> ridge;        // ridge signal in [-1, 1], +1 on a ridge crest
  std::vector<float> orientation;  // ridge direction per pixel, [0, pi)
  std::vector<float> period;       // ridge period per pixel, in pixels
  std::vector<float> footprint;    // 1 on the finger's skin, 0 off it, soft edge
  std::vector<Point> cores;        // singular points of the orientation field
  std::vector<Point> deltas;

  // Bilinear ridge signal at (x, y); 0 outside the master.
  double RidgeAt(double x, double y) const;
  // Bilinear footprint at (x, y); 0 outside the master.
  double FootprintAt(double x, double y) const;
  // Ridge direction of the model field at (x, y) (evaluated exactly, not
  // interpolated), in [0, pi).
  double OrientationAt(double x, double y) const;
  // Ridge period at the nearest pixel (clamped to the master).
  double PeriodAt(double x, double y) const;
  // Centre of the pattern: the mean of the cores, or the top of the arch.
  Point PatternCenter() const;

  // Model parameters of the orientation field (filled by MakeMaster).
  struct Field {
    double theta0 = 0;                   // base direction far from singular points
    std::vector<double> core_warp;       // per core: 8 warp offsets of its angle
    std::vector<double> delta_warp;      // per delta: 8 warp offsets
    double arch_amp = 0, arch_width = 0, arch_x = 0, arch_top = 0, arch_span = 0;
  } field;
};

// Grows a master finger. Throws std::invalid_argument for parameters outside
// the ranges documented in MasterParams. Deterministic for given parameters.
MasterFinger MakeMaster(const MasterParams &params);

}  // namespace fingers
