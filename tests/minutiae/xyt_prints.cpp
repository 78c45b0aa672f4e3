#include "xyt_prints.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "fingers/rng.h"

namespace minutiae_test {

int WrapDegrees(int theta) {
  theta %= 360;
  if (theta > 180) theta -= 360;
  if (theta <= -180) theta += 360;
  return theta;
}

xyt_record MakeRecord(std::vector<XytPoint> points) {
  struct Row {
    int32_t x, y, theta, quality;
  };
  std::vector<Row> rows;
  for (const XytPoint &p : points) rows.push_back({p.x, p.y, p.theta, 0});
  std::qsort(rows.data(), rows.size(), sizeof(Row), bz_compare_x_y);
  xyt_record record;
  std::memset(&record, 0, sizeof record);
  record.count = static_cast<int32_t>(std::min<size_t>(rows.size(), XYT_MAX_MINUTIAE));
  for (int i = 0; i < record.count; i++) {
    record.x[i] = rows[i].x;
    record.y[i] = rows[i].y;
    record.theta[i] = rows[i].theta;
  }
  return record;
}

std::vector<XytPoint> Points(const xyt_record &record) {
  std::vector<XytPoint> points;
  for (int i = 0; i < record.count; i++)
    points.push_back({record.x[i], record.y[i], record.theta[i]});
  return points;
}

std::vector<XytPoint> SpreadPoints(uint64_t seed, int count, int width, int height,
                                   int spacing) {
  fingers::Rng rng(seed);
  std::vector<XytPoint> points;
  int attempts = 0;
  while (static_cast<int>(points.size()) < count && attempts++ < 100000) {
    const XytPoint p{static_cast<int>(rng.Below(static_cast<uint32_t>(width))),
                     static_cast<int>(rng.Below(static_cast<uint32_t>(height))),
                     static_cast<int>(rng.Below(360)) - 179};
    bool free = true;
    for (const XytPoint &q : points) {
      const int dx = p.x - q.x, dy = p.y - q.y;
      if (dx * dx + dy * dy < spacing * spacing) free = false;
    }
    if (free) points.push_back(p);
  }
  return points;
}

std::vector<XytPoint> Shifted(std::vector<XytPoint> points, int dx, int dy) {
  for (XytPoint &p : points) {
    p.x += dx;
    p.y += dy;
  }
  return points;
}

std::vector<XytPoint> QuarterTurned(std::vector<XytPoint> points, int height) {
  for (XytPoint &p : points) p = {height - p.y, p.x, WrapDegrees(p.theta + 90)};
  return points;
}

std::vector<XytPoint> Subset(std::vector<XytPoint> points, int count, uint64_t seed) {
  fingers::Rng rng(seed);
  for (size_t i = points.size(); i > 1; i--) {
    std::swap(points[i - 1], points[rng.Below(static_cast<uint32_t>(i))]);
  }
  points.resize(std::min<size_t>(points.size(), static_cast<size_t>(count)));
  return points;
}

}  // namespace minutiae_test
