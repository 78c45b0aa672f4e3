#include "accuracy/corpus_press.h"

#include <cmath>

namespace accuracy {

fingers::ImpressionParams CorpusPress(const fingers::MasterFinger &m, int k,
                                      fingers::SensorSize size, double max_rotation_deg,
                                      double max_shift) {
  fingers::Variation v;
  v.max_rotation = max_rotation_deg * M_PI / 180.0;
  v.spread = max_shift / 2;
  v.dry_gaps_on_skin = true;
  fingers::ImpressionParams p = fingers::RandomImpression(m, fingers::PressSeed(m, k), size, v);
  const fingers::Point c = m.PatternCenter();
  const double dx = p.center.x - c.x, dy = p.center.y - c.y;
  const double d = std::hypot(dx, dy);
  if (d > max_shift) p.center = {c.x + dx * max_shift / d, c.y + dy * max_shift / d};
  return p;
}

}  // namespace accuracy
