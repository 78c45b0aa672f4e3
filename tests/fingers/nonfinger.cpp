#include "fingers/nonfinger.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "fingers/det_math.h"
#include "fingers/rng.h"
#include "fingers/value_noise.h"

namespace fingers {
namespace {

enum : uint64_t { kTagShape = 31, kTagTexture = 32 };

std::vector<float> EdgeTouch(const NonFingerParams &p, Rng *rng, const ValueNoise &texture) {
  const int w = p.width, h = p.height;
  std::vector<float> dark(static_cast<size_t>(w) * h, 0.0f);
  const int edge = static_cast<int>(rng->Below(4));  // 0 left, 1 right, 2 top, 3 bottom
  const double extent = (edge < 2 ? w : h) * rng->Uniform(0.1, 0.22);
  const double period = rng->Uniform(8.0, 10.0), dir = rng->Uniform(0.0, kPi);
  const double kx = 2 * kPi / period * DetCos(dir), ky = 2 * kPi / period * DetSin(dir);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double depth = edge == 0 ? x : edge == 1 ? w - 1 - x : edge == 2 ? y : h - 1 - y;
      const double reach = extent * (1.0 + 0.3 * texture.At(x * 0.3, y * 0.3));
      const double contact = SmoothStep(0.0, 3.0, reach - depth);
      if (contact <= 0) continue;
      const double wave = DetCos(kx * x + ky * y + 2.0 * texture.At(x, y));
      dark[static_cast<size_t>(y) * w + x] =
          static_cast<float>(contact * SmoothStep(-0.45, 0.45, wave));
    }
  }
  return dark;
}

std::vector<float> FlatObject(const NonFingerParams &p, Rng *rng, const ValueNoise &texture) {
  const int w = p.width, h = p.height;
  std::vector<float> dark(static_cast<size_t>(w) * h, 0.0f);
  const double cx = w * rng->Uniform(0.35, 0.65), cy = h * rng->Uniform(0.35, 0.65);
  const double r = 0.5 * std::sqrt(static_cast<double>(w) * w + static_cast<double>(h) * h) *
                   rng->Uniform(0.6, 1.0);
  const double level = rng->Uniform(0.55, 0.8);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double rho = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy));
      const double contact = SmoothStep(0.0, 4.0, r - rho);
      dark[static_cast<size_t>(y) * w + x] =
          static_cast<float>(contact * (level + 0.05 * texture.At(x, y)));
    }
  }
  return dark;
}

std::vector<float> Dirty(const NonFingerParams &p, Rng *rng, const ValueNoise &texture) {
  const int w = p.width, h = p.height;
  std::vector<float> dark(static_cast<size_t>(w) * h, 0.0f);
  const int smudges = 3 + static_cast<int>(rng->Below(4));
  for (int s = 0; s < smudges; ++s) {
    const double cx = rng->Uniform(0.0, w), cy = rng->Uniform(0.0, h);
    const double r = rng->Uniform(6.0, 20.0), strength = rng->Uniform(0.2, 0.5);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const double d2 = ((x - cx) * (x - cx) + (y - cy) * (y - cy)) / (r * r);
        if (d2 > 9) continue;
        float &v = dark[static_cast<size_t>(y) * w + x];
        v = static_cast<float>(std::min(
            1.0, v + strength * DetExp(-d2) * (0.7 + 0.3 * texture.At(x * 3.0, y * 3.0))));
      }
    }
  }
  const int specks = static_cast<int>(dark.size() / 150);
  for (int s = 0; s < specks; ++s) {
    dark[rng->Below(static_cast<uint32_t>(dark.size()))] = static_cast<float>(rng->Uniform(0.3, 0.8));
  }
  return dark;
}

std::vector<float> Water(const NonFingerParams &p, Rng *rng, const ValueNoise &texture) {
  const int w = p.width, h = p.height;
  std::vector<float> dark(static_cast<size_t>(w) * h, 0.0f);
  // A thin film darkens the glass a little; drops darken more inside and
  // show a darker meniscus at their rim.
  const double film = rng->Uniform(0.0, 0.15);
  const int drops = 2 + static_cast<int>(rng->Below(7));
  struct Drop {
    double cx, cy, r, depth;
  };
  std::vector<Drop> all;
  for (int d = 0; d < drops; ++d) {
    all.push_back({rng->Uniform(0.0, w), rng->Uniform(0.0, h), rng->Uniform(5.0, 0.35 * std::min(w, h)),
                   rng->Uniform(0.25, 0.6)});
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double v = film * (1.0 + 0.5 * texture.At(x * 0.5, y * 0.5));
      for (const Drop &d : all) {
        const double rho = std::sqrt((x - d.cx) * (x - d.cx) + (y - d.cy) * (y - d.cy));
        const double inside = SmoothStep(d.r + 1.5, d.r - 1.5, rho);
        const double rim = DetExp(-(rho - d.r) * (rho - d.r) / 4.0);
        v += inside * d.depth * 0.6 + rim * d.depth * 0.5;
      }
      dark[static_cast<size_t>(y) * w + x] = static_cast<float>(std::min(1.0, v));
    }
  }
  return dark;
}

std::vector<float> Fabric(const NonFingerParams &p, Rng *rng, const ValueNoise &texture) {
  const int w = p.width, h = p.height;
  std::vector<float> dark(static_cast<size_t>(w) * h, 0.0f);
  // Warp and weft threads 3 to 5 pixels apart, crossing at a right angle,
  // under a broad contact that covers most of the window.
  const double period = rng->Uniform(3.0, 5.0), dir = rng->Uniform(0.0, kPi);
  const double k = 2 * kPi / period, c = DetCos(dir), s = DetSin(dir);
  const double level = rng->Uniform(0.35, 0.7), weave = rng->Uniform(0.3, 0.6);
  const double cx = w * rng->Uniform(0.3, 0.7), cy = h * rng->Uniform(0.3, 0.7);
  const double r = 0.5 * std::sqrt(static_cast<double>(w) * w + static_cast<double>(h) * h) *
                   rng->Uniform(0.7, 1.2);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double u = k * (c * x + s * y), v = k * (-s * x + c * y);
      const double threads = 0.5 * (DetCos(u) + DetCos(v));
      const double rho = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy));
      const double contact = SmoothStep(0.0, 4.0, r - rho) * (0.85 + 0.15 * texture.At(x, y));
      dark[static_cast<size_t>(y) * w + x] =
          static_cast<float>(std::clamp(contact * (level + weave * 0.5 * threads), 0.0, 1.0));
    }
  }
  return dark;
}

std::vector<float> Interference(const NonFingerParams &p, Rng *rng) {
  const int w = p.width, h = p.height;
  std::vector<float> dark(static_cast<size_t>(w) * h, 0.0f);
  // Row bands from a noisy supply (a fast ripple or a slow drift, never at
  // ridge spacing), plus a few column offsets.
  const double period = rng->Chance(0.5) ? rng->Uniform(2.0, 5.5) : rng->Uniform(14.0, 30.0);
  const double amp = rng->Uniform(0.05, 0.25);
  const double phase = rng->Uniform(0.0, 2 * kPi);
  std::vector<double> column(static_cast<size_t>(w), 0.0);
  for (double &v : column) v = rng->Chance(0.15) ? rng->Uniform(-0.15, 0.15) : 0.0;
  for (int y = 0; y < h; ++y) {
    const double band = amp * (1.0 + DetSin(2 * kPi * y / period + phase));
    for (int x = 0; x < w; ++x) {
      dark[static_cast<size_t>(y) * w + x] =
          static_cast<float>(std::clamp(0.05 + band + column[static_cast<size_t>(x)], 0.0, 1.0));
    }
  }
  return dark;
}

}  // namespace

const char *NonFingerKindName(NonFingerKind kind) {
  switch (kind) {
    case NonFingerKind::kEmpty: return "empty";
    case NonFingerKind::kEdgeTouch: return "edge_touch";
    case NonFingerKind::kFlatObject: return "flat_object";
    case NonFingerKind::kDirty: return "dirty";
    case NonFingerKind::kWhite: return "white";
    case NonFingerKind::kWater: return "water";
    case NonFingerKind::kFabric: return "fabric";
    case NonFingerKind::kInterference: return "interference";
    case NonFingerKind::kDark: return "dark";
  }
  return "unknown";
}

Frame RenderNonFinger(const NonFingerParams &params) {
  if (params.width < 8 || params.width > 1024 || params.height < 8 || params.height > 1024) {
    throw std::invalid_argument("RenderNonFinger: size outside 8..1024");
  }
  Rng rng(MixSeed(params.seed, kTagShape));
  const ValueNoise texture(MixSeed(params.seed, kTagTexture), 12.0);
  const size_t n = static_cast<size_t>(params.width) * params.height;
  std::vector<float> dark(n, 0.0f);
  SensorParams sensor = params.sensor;
  switch (params.kind) {
    case NonFingerKind::kEmpty:
      // Faint shading of the bare sensor, a few levels at most.
      for (int y = 0; y < params.height; ++y) {
        for (int x = 0; x < params.width; ++x) {
          dark[static_cast<size_t>(y) * params.width + x] =
              static_cast<float>(0.015 * (1.0 + texture.At(x * 0.3, y * 0.3)));
        }
      }
      break;
    case NonFingerKind::kEdgeTouch: dark = EdgeTouch(params, &rng, texture); break;
    case NonFingerKind::kFlatObject: dark = FlatObject(params, &rng, texture); break;
    case NonFingerKind::kDirty: dark = Dirty(params, &rng, texture); break;
    case NonFingerKind::kWhite:
      // Overdriven front end: every sample pinned at the top of the 8-bit
      // range (noise dips a few levels) and at the bottom of the raw range.
      sensor.background = 258;
      sensor.offset = 0;
      sensor.gain = 1;
      sensor.noise = std::min(sensor.noise, 2.0);
      sensor.raw_base = -200;
      break;
    case NonFingerKind::kWater: dark = Water(params, &rng, texture); break;
    case NonFingerKind::kFabric: dark = Fabric(params, &rng, texture); break;
    case NonFingerKind::kInterference:
      dark = Interference(params, &rng);
      sensor.noise = std::max(sensor.noise, 8.0);
      break;
    case NonFingerKind::kDark:
      // Front end pinned at the bottom: 8-bit samples at or near 0, raw at
      // full scale.
      sensor.background = -3;
      sensor.offset = 0;
      sensor.gain = 1;
      sensor.noise = std::min(sensor.noise, 2.0);
      sensor.raw_base = sensor.raw_max + 200.0;
      break;
  }
  Frame frame;
  frame.width = params.width;
  frame.height = params.height;
  SenseFrame(sensor, dark, params.seed, &frame, nullptr);
  return frame;
}

}  // namespace fingers
