// Swipe rendering: the finger slides over a one-line sensor, which returns
// one line of samples per read. Line k sees the master along a straight row,
// placed `line_pos[k]` pixels along the swipe from the start.
#pragma once

#include <cstdint>
#include <vector>

#include "fingers/image.h"
#include "fingers/impression.h"
#include "fingers/master.h"

namespace fingers {

// One swipe.
struct SwipeParams {
  uint64_t seed = 1;          // speed changes, noise, skin
  int width = 100;            // pixels per line, 8..1024
  int lines = 400;            // lines read, 1..20000
  Point start{128, 40};       // master point under the line's middle at line 0
  double rotation = 0;        // radians, the swipe's direction turned as for impressions
  double speed = 0.5;         // mean master pixels travelled per line, > 0 and <= 8
  double speed_jitter = 0.3;  // relative slow speed change, 0..0.9
  SkinParams skin;
  SensorParams sensor;
};

// The lines of a swipe in reading order, with their true positions.
struct Swipe {
  SwipeParams params;
  Frame frame;                   // width x lines; row k is line k
  std::vector<double> line_pos;  // travel along the swipe at each line, master pixels

  // Master point seen at pixel x of a line at travel t.
  Point ToMaster(double x, double t) const;
};

// Renders a swipe. Lines that leave the finger read as the empty sensor.
// Throws std::invalid_argument for parameters outside their ranges.
Swipe RenderSwipe(const MasterFinger &master, const SwipeParams &params);

}  // namespace fingers
