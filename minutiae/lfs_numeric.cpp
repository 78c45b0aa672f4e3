#include "minutiae/lfs_numeric.h"

#include <cmath>
#include <cstdlib>

namespace {
constexpr double kPi = 3.14159265358979323846;
}  // namespace

extern "C" int nearest_int(double v) {
  return v >= 0.0 ? static_cast<int>(v + 0.5) : static_cast<int>(v - 0.5);
}

extern "C" double snap14(double v) { return nearest_int(v * 16384.0) / 16384.0; }

extern "C" double squared_distance(int x1, int y1, int x2, int y2) {
  const double dx = static_cast<double>(x1) - x2;
  const double dy = static_cast<double>(y1) - y2;
  return dx * dx + dy * dy;
}

extern "C" double distance(int x1, int y1, int x2, int y2) {
  return std::sqrt(squared_distance(x1, y1, x2, y2));
}

extern "C" double angle_to_line(int fx, int fy, int tx, int ty) {
  const double dx = static_cast<double>(tx) - fx;
  const double dy = static_cast<double>(fy) - ty;
  if (std::fabs(dx) < 0.5 && std::fabs(dy) < 0.5) return 0.0;
  return std::atan2(dy, dx);
}

extern "C" int line_to_direction(int fx, int fy, int tx, int ty, int n) {
  // Swapped coordinates measure the angle from "up", clockwise.
  double theta = angle_to_line(ty, tx, fy, fx);
  theta = std::fmod(theta + 2.0 * kPi, 2.0 * kPi);
  const int full = 2 * n;
  return nearest_int(snap14(theta * full / (2.0 * kPi))) % full;
}

extern "C" int direction_gap(int a, int b, int n) {
  if (a < 0 || b < 0) return -1;
  const int d = std::abs(a - b);
  return d < n - d ? d : n - d;
}
