// Impressions: one press of a master finger on a sensor window.
//
// The window's pixel (x, y) maps to the master in three steps: an elastic
// skin distortion inside the window (smooth, zero near the pressure centre,
// growing towards the rim), then the rigid pose (rotation about the window
// centre, window centre placed on `center` of the master). ToMaster() and
// FromMaster() give that mapping and its inverse, so tests can align two
// impressions of one finger exactly.
#pragma once

#include <cstdint>
#include <vector>

#include "fingers/image.h"
#include "fingers/master.h"

namespace fingers {

// A sensor window size, width x height.
struct SensorSize {
  int width;
  int height;
};

// The window sizes of the drivers' sensors.
inline constexpr SensorSize kSensorSizes[] = {{88, 88},  {96, 96},  {64, 80}, {64, 128},
                                             {128, 80}, {80, 128}, {80, 64}};

// How the sensor turns skin contact into samples (shared by impressions,
// swipes and non-finger frames).
struct SensorParams {
  double background = 215;  // 8-bit level of the empty sensor
  double ridge_level = 35;  // 8-bit level under full ridge contact
  double gain = 1.0;        // multiplies the signal (1 = nominal)
  double offset = 0;        // added, in 8-bit levels (x 16 for raw samples)
  double noise = 3.0;       // standard deviation of the sensor noise, 8-bit levels
  int bad_pixels = 0;       // pixels stuck at 0 or full scale, 0..1000
  bool raw16 = false;       // also fill Frame::raw
  double raw_base = 900;    // raw count of the empty sensor
  double raw_span = 2400;   // raw counts added by full ridge contact
  int raw_max = 4095;       // raw full scale (<= 65535)
};

// Skin condition of one press.
struct SkinParams {
  double pressure = 0.5;  // 0 light .. 1 hard: harder gives wider ridges
  double dryness = 0;     // 0..1: thin, broken ridges
  double wetness = 0;     // 0..1: thick ridges merging across valleys
  // Dry gaps where the skin itself is dry (pores, flakes: the same places
  // in every press of the finger, with a little of the press's own) instead
  // of a field of the press alone.
  bool dry_gaps_on_skin = false;
  // Dry and wet skin as small capacitive sensors show them: dry ridges
  // broken into short dashes with pale, speckled gaps and uneven width
  // (mostly at the same places in every press of the finger); wet valleys
  // filling and ridges merging, most where water pools. dryness and
  // wetness 0.2 are mild, 0.9 severe. Off: the generator's original skin.
  bool capacitive = false;
};

// The partial-contact blob: an irregular disc, in window coordinates.
struct ContactParams {
  double center_x = 0.5;  // blob centre as fractions of the window size
  double center_y = 0.5;
  double radius = 1.0;    // blob radius relative to half the window diagonal
  double irregularity = 0.15;  // 0 = ellipse; up to 0.4: wobbly outline
  double aspect = 1.2;    // height / width of the blob
};

// Everything that makes one impression.
struct ImpressionParams {
  uint64_t seed = 1;          // noise, blob outline, distortion field, dryness gaps
  int width = 96;             // window size, 8..1024 each
  int height = 96;
  Point center{128, 160};     // master point under the window centre
  double rotation = 0;        // radians; the finger turned counter-clockwise on the image
  double distortion = 0.5;    // 0 rigid .. 1 strong elastic distortion (a few pixels)
  ContactParams contact;
  SkinParams skin;
  SensorParams sensor;
};

// One rendered impression with its ground truth.
struct Impression {
  ImpressionParams params;
  Frame frame;
  std::vector<float> contact;     // per pixel, 0 no contact .. 1 firm contact
  std::vector<float> darkness;    // per pixel, ridge signal before the sensor, 0..1
  std::vector<int> bad_pixels;    // indices of stuck pixels (row-major)

  // Master point seen at window pixel (x, y) (pixel centres at integers).
  Point ToMaster(double x, double y) const;
  // Window position of master point m (inverse of ToMaster, iterated to
  // below 0.01 pixel).
  Point FromMaster(Point m) const;

  // Elastic part of the mapping (filled by Render).
  struct Distortion {
    double cx = 0, cy = 0;     // pressure centre (window pixels), no distortion near it
    double inner = 0, outer = 0;  // radii where distortion starts and is complete
    double tx = 0, ty = 0;     // translation of the rim
    double angle = 0;          // rotation of the rim
    double wave_amp[4] = {0, 0, 0, 0};
    double wave_kx[4] = {0, 0, 0, 0};
    double wave_ky[4] = {0, 0, 0, 0};
    double wave_phase[4] = {0, 0, 0, 0};
  } distortion;

 private:
  Point Distort(double x, double y) const;
};

// Renders an impression of master. Throws std::invalid_argument for
// parameters outside their documented ranges. Deterministic.
Impression Render(const MasterFinger &master, const ImpressionParams &params);

// Limits for RandomImpression.
struct Variation {
  bool anywhere = false;       // place the window anywhere on the finger's inner part;
  double spread = 18;          // else around the pattern's centre, this standard
                               // deviation in pixels (presses of one finger overlap)
  double max_rotation = 0.6;   // radians (about 34 degrees) either way
  double min_contact = 0.7;    // blob radius range (see ContactParams::radius)
  double max_contact = 1.1;
  double max_contact_shift = 0.2;  // blob centre shift, fraction of the window
  double skin_change = 0.25;   // probability of a dry press, and of a wet one
  bool dry_gaps_on_skin = false;  // SkinParams::dry_gaps_on_skin of every press
  double wet_change = -1;      // probability of a wet press; negative: skin_change
  double min_dryness = 0.3, max_dryness = 0.8;  // dryness of a dry press
  double min_wetness = 0.15, max_wetness = 0.45;  // wetness of a wet press
  bool capacitive_skin = false;  // SkinParams::capacitive of every press
  bool raw16 = false;          // also fill raw samples
};

// A plausible random press of master at the given window size: placement
// (around the pattern's centre, or anywhere), rotation, distortion, contact blob,
// skin, noise, gain, offset, a few bad pixels. Deterministic for its inputs.
ImpressionParams RandomImpression(const MasterFinger &master, uint64_t seed, SensorSize size,
                                  const Variation &variation = {});

// Turns a darkness map (0..1 per pixel, row-major, frame->width x
// frame->height) into the frame's samples: levels, gain, offset, noise drawn
// from seed, stuck pixels (their indices go to *bad_pixels when not null).
// Shared by every renderer. Throws std::invalid_argument when the map's size
// does not match the frame's.
void SenseFrame(const SensorParams &sensor, const std::vector<float> &darkness, uint64_t seed,
                Frame *frame, std::vector<int> *bad_pixels);

}  // namespace fingers
