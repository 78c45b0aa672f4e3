#include "fingers/impression.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "fingers/det_math.h"
#include "fingers/rng.h"
#include "fingers/skin.h"

namespace fingers {
namespace {

// Stream tags of an impression's random parts.
enum : uint64_t {
  kTagDistortion = 11,
  kTagBlob = 12,
  kTagSensor = 15,
  kTagPlacement = 16,
};

constexpr double kContactEdge = 3.0;  // soft rim of the contact blob, pixels

void Validate(const ImpressionParams &p) {
  if (p.width < 8 || p.width > 1024 || p.height < 8 || p.height > 1024) {
    throw std::invalid_argument("Render: window size outside 8..1024");
  }
  if (!(p.distortion >= 0 && p.distortion <= 2)) {
    throw std::invalid_argument("Render: distortion outside 0..2");
  }
  if (!(p.contact.radius >= 0) || !(p.contact.irregularity >= 0 && p.contact.irregularity <= 0.4) ||
      !(p.contact.aspect > 0.2 && p.contact.aspect < 5)) {
    throw std::invalid_argument("Render: contact blob out of range");
  }
  const SkinParams &s = p.skin;
  if (!(s.pressure >= 0 && s.pressure <= 1) || !(s.dryness >= 0 && s.dryness <= 1) ||
      !(s.wetness >= 0 && s.wetness <= 1)) {
    throw std::invalid_argument("Render: skin parameters outside 0..1");
  }
  const SensorParams &n = p.sensor;
  if (n.bad_pixels < 0 || n.bad_pixels > 1000 || !(n.noise >= 0) || n.raw_max < 1 ||
      n.raw_max > 65535) {
    throw std::invalid_argument("Render: sensor parameters out of range");
  }
}

}  // namespace

Point Impression::Distort(double x, double y) const {
  const Distortion &d = distortion;
  const double dx = x - d.cx, dy = y - d.cy;
  const double b = SmoothStep(d.inner, d.outer, std::sqrt(dx * dx + dy * dy));
  if (b == 0.0) return {x, y};
  const double c = DetCos(d.angle), s = DetSin(d.angle);
  double ox = d.tx + (c * dx - s * dy - dx), oy = d.ty + (s * dx + c * dy - dy);
  for (int k = 0; k < 4; ++k) {
    const double v = d.wave_amp[k] * DetCos(d.wave_kx[k] * x + d.wave_ky[k] * y + d.wave_phase[k]);
    if (k % 2 == 0) ox += v; else oy += v;
  }
  return {x + b * ox, y + b * oy};
}

Point Impression::ToMaster(double x, double y) const {
  const Point q = Distort(x, y);
  const double u = q.x - (params.width - 1) * 0.5, v = q.y - (params.height - 1) * 0.5;
  const double c = DetCos(params.rotation), s = DetSin(params.rotation);
  return {params.center.x + c * u - s * v, params.center.y + s * u + c * v};
}

Point Impression::FromMaster(Point m) const {
  // Undo the pose exactly, then solve q = Distort(p) by Newton steps with a
  // numerical Jacobian (the distortion is smooth and small).
  const double c = DetCos(params.rotation), s = DetSin(params.rotation);
  const double u = m.x - params.center.x, v = m.y - params.center.y;
  const Point q{c * u + s * v + (params.width - 1) * 0.5, -s * u + c * v + (params.height - 1) * 0.5};
  Point p = q;
  for (int it = 0; it < 20; ++it) {
    const Point f = Distort(p.x, p.y);
    const double rx = f.x - q.x, ry = f.y - q.y;
    if (rx * rx + ry * ry < 1e-6) break;
    constexpr double e = 1e-3;
    const Point fx = Distort(p.x + e, p.y), fy = Distort(p.x, p.y + e);
    const double a = (fx.x - f.x) / e, b = (fy.x - f.x) / e;
    const double cc = (fx.y - f.y) / e, d = (fy.y - f.y) / e;
    const double det = a * d - b * cc;
    if (std::fabs(det) < 1e-9) break;
    p.x -= (d * rx - b * ry) / det;
    p.y -= (-cc * rx + a * ry) / det;
  }
  return p;
}

void SenseFrame(const SensorParams &sensor, const std::vector<float> &darkness, uint64_t seed,
                Frame *frame, std::vector<int> *bad_pixels) {
  if (frame->width <= 0 || frame->height <= 0 ||
      darkness.size() != static_cast<size_t>(frame->width) * static_cast<size_t>(frame->height)) {
    throw std::invalid_argument("SenseFrame: darkness map does not match the frame size");
  }
  const size_t n = darkness.size();
  frame->gray.assign(n, 0);
  if (sensor.raw16) frame->raw.assign(n, 0); else frame->raw.clear();
  Rng rng(MixSeed(seed, kTagSensor));
  const double swing8 = sensor.gain * (sensor.ridge_level - sensor.background);
  const double base8 = sensor.background + sensor.offset;
  const double swing_raw = sensor.gain * sensor.raw_span;
  const double base_raw = sensor.raw_base + 16.0 * sensor.offset;
  for (size_t i = 0; i < n; ++i) {
    const double noise = sensor.noise * rng.Normal();
    const double d = darkness[i];
    const double v8 = std::nearbyint(base8 + swing8 * d + noise);
    frame->gray[i] = static_cast<uint8_t>(std::clamp(v8, 0.0, 255.0));
    if (sensor.raw16) {
      const double vr = std::nearbyint(base_raw + swing_raw * d + 16.0 * noise);
      frame->raw[i] = static_cast<uint16_t>(std::clamp(vr, 0.0, static_cast<double>(sensor.raw_max)));
    }
  }
  std::vector<int> stuck;
  for (int k = 0; k < sensor.bad_pixels && stuck.size() < n; ++k) {
    int idx = static_cast<int>(rng.Below(static_cast<uint32_t>(n)));
    while (std::find(stuck.begin(), stuck.end(), idx) != stuck.end()) {
      idx = static_cast<int>((idx + 1) % n);
    }
    stuck.push_back(idx);
    const bool high = rng.Chance(0.5);
    frame->gray[idx] = high ? 255 : 0;
    if (sensor.raw16) frame->raw[idx] = high ? static_cast<uint16_t>(sensor.raw_max) : 0;
  }
  std::sort(stuck.begin(), stuck.end());
  if (bad_pixels != nullptr) *bad_pixels = std::move(stuck);
}

Impression Render(const MasterFinger &master, const ImpressionParams &params) {
  Validate(params);
  Impression imp;
  imp.params = params;
  const int w = params.width, h = params.height;
  const double half_diag = 0.5 * std::sqrt(static_cast<double>(w) * w + static_cast<double>(h) * h);

  // Contact blob and pressure centre.
  const ContactParams &cp = params.contact;
  const double bx = cp.center_x * w, by = cp.center_y * h;
  const double blob_r = cp.radius * half_diag;
  Rng blob_rng(MixSeed(params.seed, kTagBlob));
  double harm_amp[3], harm_phase[3];
  for (int k = 0; k < 3; ++k) {
    harm_amp[k] = cp.irregularity * blob_rng.Uniform(-1.0, 1.0) / 2.0;
    harm_phase[k] = blob_rng.Uniform(0.0, 2 * kPi);
  }

  // Elastic distortion.
  Impression::Distortion &dist = imp.distortion;
  Rng drng(MixSeed(params.seed, kTagDistortion));
  const double strength = params.distortion;
  dist.cx = bx;
  dist.cy = by;
  dist.inner = 0.2 * half_diag;
  dist.outer = 1.3 * half_diag;
  const double shift = 4.0 * strength * std::sqrt(drng.Uniform()), shift_dir = drng.Uniform(0.0, 2 * kPi);
  dist.tx = shift * DetCos(shift_dir);
  dist.ty = shift * DetSin(shift_dir);
  dist.angle = strength * drng.Uniform(-0.05, 0.05);
  for (int k = 0; k < 4; ++k) {
    // Local stretch of the skin stays within about 10 percent.
    const double len = drng.Uniform(60.0, 140.0), dir = drng.Uniform(0.0, 2 * kPi);
    dist.wave_amp[k] = strength * drng.Uniform(0.4, 0.9);
    dist.wave_kx[k] = 2 * kPi / len * DetCos(dir);
    dist.wave_ky[k] = 2 * kPi / len * DetSin(dir);
    dist.wave_phase[k] = drng.Uniform(0.0, 2 * kPi);
  }

  const SkinModel skin(params.skin, params.seed, master.params.seed);

  const size_t n = static_cast<size_t>(w) * h;
  imp.contact.assign(n, 0.0f);
  imp.darkness.assign(n, 0.0f);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const size_t i = static_cast<size_t>(y) * w + x;
      // Blob: radius varies with the direction from the blob centre.
      const double dx = x - bx, dy = (y - by) / cp.aspect;
      const double rho = std::sqrt(dx * dx + dy * dy);
      double reach = blob_r;
      if (rho > 0 && cp.irregularity > 0) {
        const double phi = DetAtan2(dy, dx);
        double wobble = 1.0;
        for (int k = 0; k < 3; ++k) wobble += harm_amp[k] * DetCos((k + 2) * phi + harm_phase[k]);
        reach *= wobble;
      }
      double contact = SmoothStep(0.0, kContactEdge, reach - rho) *
                       (0.7 + 0.3 * SmoothStep(0.0, 0.35 * blob_r + 1.0, reach - rho));
      if (contact <= 0.0) continue;
      const Point m = imp.ToMaster(x, y);
      contact *= master.FootprintAt(m.x, m.y);
      if (contact <= 0.0) continue;

      const double ridge = skin.Darkness(master.RidgeAt(m.x, m.y), m, x, y);
      imp.contact[i] = static_cast<float>(contact);
      imp.darkness[i] = static_cast<float>(contact * ridge);
    }
  }
  imp.frame.width = w;
  imp.frame.height = h;
  SenseFrame(params.sensor, imp.darkness, params.seed, &imp.frame, &imp.bad_pixels);
  return imp;
}

ImpressionParams RandomImpression(const MasterFinger &master, uint64_t seed, SensorSize size,
                                  const Variation &variation) {
  Rng rng(MixSeed(seed, kTagPlacement));
  ImpressionParams p;
  p.seed = seed;
  p.width = size.width;
  p.height = size.height;
  // Placement: the window's centre region must lie on the skin.
  const double margin = 0.3 * std::min(size.width, size.height);
  auto on_finger = [&master, margin](Point c) {
    return master.FootprintAt(c.x - margin, c.y) >= 1 && master.FootprintAt(c.x + margin, c.y) >= 1 &&
           master.FootprintAt(c.x, c.y - margin) >= 1 && master.FootprintAt(c.x, c.y + margin) >= 1;
  };
  const Point pattern = master.PatternCenter();
  p.center = on_finger(pattern) ? pattern : Point{master.width / 2.0, master.height / 2.0};
  for (int attempt = 0; attempt < 200; ++attempt) {
    const Point c = variation.anywhere
                        ? Point{rng.Uniform(0.0, master.width), rng.Uniform(0.0, master.height)}
                        : Point{pattern.x + variation.spread * rng.Normal(),
                                pattern.y + variation.spread * rng.Normal()};
    if (on_finger(c)) {
      p.center = c;
      break;
    }
  }
  p.rotation = rng.Uniform(-variation.max_rotation, variation.max_rotation);
  p.distortion = rng.Uniform(0.2, 1.0);
  p.contact.radius = rng.Uniform(variation.min_contact, variation.max_contact);
  p.contact.center_x = 0.5 + rng.Uniform(-variation.max_contact_shift, variation.max_contact_shift);
  p.contact.center_y = 0.5 + rng.Uniform(-variation.max_contact_shift, variation.max_contact_shift);
  p.contact.irregularity = rng.Uniform(0.05, 0.3);
  p.contact.aspect = rng.Uniform(1.0, 1.4);
  p.skin.pressure = rng.Uniform(0.3, 0.7);
  p.skin.dry_gaps_on_skin = variation.dry_gaps_on_skin;
  p.skin.capacitive = variation.capacitive_skin;
  const double wet_change = variation.wet_change < 0 ? variation.skin_change : variation.wet_change;
  const double skin_draw = rng.Uniform();
  if (skin_draw < variation.skin_change) {
    p.skin.dryness = rng.Uniform(variation.min_dryness, variation.max_dryness);
  } else if (skin_draw < variation.skin_change + wet_change) {
    p.skin.wetness = rng.Uniform(variation.min_wetness, variation.max_wetness);
  }
  p.sensor.gain = rng.Uniform(0.85, 1.15);
  p.sensor.offset = rng.Uniform(-12.0, 12.0);
  p.sensor.noise = rng.Uniform(1.5, 5.0);
  p.sensor.bad_pixels = static_cast<int>(rng.Below(4));
  p.sensor.raw16 = variation.raw16;
  return p;
}

}  // namespace fingers
