#include "fingers/swipe.h"

#include <stdexcept>

#include "fingers/det_math.h"
#include "fingers/rng.h"
#include "fingers/skin.h"
#include "fingers/value_noise.h"

namespace fingers {
namespace {
enum : uint64_t { kTagSpeed = 21 };
}  // namespace

Point Swipe::ToMaster(double x, double t) const {
  const double u = x - (params.width - 1) * 0.5;
  const double c = DetCos(params.rotation), s = DetSin(params.rotation);
  return {params.start.x + c * u - s * t, params.start.y + s * u + c * t};
}

Swipe RenderSwipe(const MasterFinger &master, const SwipeParams &params) {
  if (params.width < 8 || params.width > 1024 || params.lines < 1 || params.lines > 20000) {
    throw std::invalid_argument("RenderSwipe: size out of range");
  }
  if (!(params.speed > 0 && params.speed <= 8) ||
      !(params.speed_jitter >= 0 && params.speed_jitter <= 0.9)) {
    throw std::invalid_argument("RenderSwipe: speed out of range");
  }
  Swipe sw;
  sw.params = params;
  sw.line_pos.resize(params.lines);
  const ValueNoise speed_change(MixSeed(params.seed, kTagSpeed), 60.0);
  double travel = 0;
  for (int k = 0; k < params.lines; ++k) {
    sw.line_pos[k] = travel;
    travel += params.speed * (1.0 + params.speed_jitter * speed_change.At(k, 0.5));
  }
  const SkinModel skin(params.skin, params.seed, master.params.seed);
  const size_t n = static_cast<size_t>(params.width) * params.lines;
  std::vector<float> darkness(n, 0.0f);
  for (int k = 0; k < params.lines; ++k) {
    for (int x = 0; x < params.width; ++x) {
      const Point m = sw.ToMaster(x, sw.line_pos[k]);
      const double contact = master.FootprintAt(m.x, m.y);
      if (contact <= 0) continue;
      darkness[static_cast<size_t>(k) * params.width + x] =
          static_cast<float>(contact * skin.Darkness(master.RidgeAt(m.x, m.y), m, x, k));
    }
  }
  sw.frame.width = params.width;
  sw.frame.height = params.lines;
  SenseFrame(params.sensor, darkness, params.seed, &sw.frame, nullptr);
  return sw;
}

}  // namespace fingers
