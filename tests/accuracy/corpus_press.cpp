#include "accuracy/corpus_press.h"

#include <cmath>
#include <cstdio>
#include <sstream>

namespace accuracy {

bool ParseCorpusSkin(const std::string &text, CorpusSkin *skin) {
  CorpusSkin s;
  s.dry_share = s.wet_share = 0;
  bool seen_dry = false, seen_wet = false;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, ',')) {
    double share = 0, lo = -1, hi = -1;
    char name[4] = {};
    int used = 0;
    const int n = std::sscanf(part.c_str(), "%3[a-z]=%lf%n:%lf-%lf%n", name, &share, &used, &lo,
                              &hi, &used);
    if ((n != 2 && n != 4) || static_cast<size_t>(used) != part.size()) return false;
    if (!(share >= 0 && share <= 100)) return false;
    if (n == 4 && !(lo >= 0 && lo <= hi && hi <= 1)) return false;
    const std::string what = name;
    if (what == "dry" && !seen_dry) {
      seen_dry = true;
      s.dry_share = share / 100;
      if (n == 4) s.min_dryness = lo, s.max_dryness = hi;
    } else if (what == "wet" && !seen_wet) {
      seen_wet = true;
      s.wet_share = share / 100;
      if (n == 4) s.min_wetness = lo, s.max_wetness = hi;
    } else {
      return false;
    }
  }
  if (!seen_dry && !seen_wet) return false;
  if (s.dry_share + s.wet_share > 1.0 + 1e-9) return false;
  *skin = s;
  return true;
}

fingers::ImpressionParams CorpusPress(const fingers::MasterFinger &m, int k,
                                      fingers::SensorSize size, double max_rotation_deg,
                                      double max_shift, const CorpusSkin *skin) {
  fingers::Variation v;
  if (skin != nullptr) {
    v.capacitive_skin = true;
    v.skin_change = skin->dry_share;
    v.wet_change = skin->wet_share;
    v.min_dryness = skin->min_dryness;
    v.max_dryness = skin->max_dryness;
    v.min_wetness = skin->min_wetness;
    v.max_wetness = skin->max_wetness;
  }
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
