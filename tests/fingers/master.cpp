#include "fingers/master.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "fingers/det_math.h"
#include "fingers/rng.h"

namespace fingers {
namespace {

constexpr int kOrientationBins = 36;  // 5 degrees each
constexpr double kPeriodStep = 0.25;  // pixels between period bins
constexpr int kWarpPoints = 8;        // samples of a singular point's angle warp
constexpr double kFootprintEdge = 4;  // soft edge of the finger outline, pixels

// Stream tags of the master's random parts.
enum : uint64_t { kTagLayout = 1, kTagPeriod = 2, kTagNoise = 3 };

double WrapPi(double a) {
  a = std::fmod(a, kPi);
  return a < 0 ? a + kPi : a;
}

// Angle of a singular point as seen from (x, y), warped: the warp is a
// periodic piecewise-linear offset, so the warped angle still turns by
// exactly 2 pi around the point.
double WarpedAngle(double dx, double dy, const double *warp) {
  const double a = DetAtan2(dy, dx);  // (-pi, pi]
  const double pos = (a + kPi) / (2 * kPi) * kWarpPoints;
  int i = static_cast<int>(std::floor(pos));
  const double t = pos - i;
  i = ((i % kWarpPoints) + kWarpPoints) % kWarpPoints;
  const int j = (i + 1) % kWarpPoints;
  return a + warp[i] + (warp[j] - warp[i]) * t;
}

// Arch: ridges are the level lines of h(x, y) = y + amp * exp(-gx^2 - gy^2),
// a bump that lifts the middle ridges. Returns the ridge direction, the
// tangent (h_y, -h_x) of the level line.
double ArchDirection(const MasterFinger::Field &f, double x, double y) {
  const double gx = (x - f.arch_x) / f.arch_width;
  const double gy = (y - f.arch_top) / f.arch_span;
  const double bump = f.arch_amp * DetExp(-gx * gx - gy * gy);
  const double hx = bump * (-2.0 * gx / f.arch_width);
  const double hy = 1.0 + bump * (-2.0 * gy / f.arch_span);
  return DetAtan2(-hx, hy);
}

void Validate(const MasterParams &p) {
  if (p.width < 64 || p.width > 2048 || p.height < 64 || p.height > 2048) {
    throw std::invalid_argument("MakeMaster: size outside 64..2048");
  }
  if (!(p.period_min >= 3.0) || !(p.period_max <= 30.0) || !(p.period_min <= p.period_max)) {
    throw std::invalid_argument("MakeMaster: period range outside 3 <= min <= max <= 30");
  }
  if (p.iterations < 1 || p.iterations > 100) {
    throw std::invalid_argument("MakeMaster: iterations outside 1..100");
  }
}

// Places the singular points and draws the field's warps for the class.
void Layout(MasterFinger *m) {
  Rng rng(MixSeed(m->params.seed, kTagLayout));
  const double w = m->width, h = m->height;
  const double cx = w / 2 + rng.Uniform(-0.05, 0.05) * w;
  const double cy = h * 0.45 + rng.Uniform(-0.05, 0.05) * h;
  MasterFinger::Field &f = m->field;
  f.theta0 = rng.Uniform(-0.12, 0.12);
  switch (m->params.finger_class) {
    case FingerClass::kArch:
      f.arch_amp = rng.Uniform(0.12, 0.2) * h;
      f.arch_width = rng.Uniform(0.2, 0.3) * w;
      f.arch_x = cx;
      f.arch_top = cy + rng.Uniform(-0.05, 0.05) * h;
      f.arch_span = rng.Uniform(0.35, 0.45) * h;
      break;
    case FingerClass::kTentedArch: {
      const Point core{cx, cy - 0.05 * h};
      m->cores.push_back(core);
      m->deltas.push_back({core.x + rng.Uniform(-0.03, 0.03) * w,
                           core.y + rng.Uniform(0.12, 0.18) * h});
      break;
    }
    case FingerClass::kLeftLoop:
    case FingerClass::kRightLoop: {
      const double side = m->params.finger_class == FingerClass::kLeftLoop ? 1.0 : -1.0;
      const Point core{cx - side * rng.Uniform(0.0, 0.06) * w, cy - rng.Uniform(0.0, 0.06) * h};
      m->cores.push_back(core);
      m->deltas.push_back({core.x + side * rng.Uniform(0.22, 0.3) * w,
                           core.y + rng.Uniform(0.25, 0.33) * h});
      break;
    }
    case FingerClass::kWhorl: {
      const double gap = rng.Uniform(0.05, 0.09) * h;
      const double tilt = rng.Uniform(-0.04, 0.04) * w;
      m->cores.push_back({cx + tilt, cy - gap / 2});
      m->cores.push_back({cx - tilt, cy + gap / 2});
      const double dy = cy + rng.Uniform(0.22, 0.3) * h;
      m->deltas.push_back({cx - rng.Uniform(0.26, 0.34) * w, dy + rng.Uniform(-0.04, 0.04) * h});
      m->deltas.push_back({cx + rng.Uniform(0.26, 0.34) * w, dy + rng.Uniform(-0.04, 0.04) * h});
      break;
    }
  }
  // Warps: bounded offsets whose slope stays below 1, so the warped angle
  // keeps increasing around the point.
  auto draw_warp = [&rng](std::vector<double> *out, size_t count) {
    for (size_t i = 0; i < count * kWarpPoints; ++i) out->push_back(rng.Uniform(-0.25, 0.25));
  };
  draw_warp(&f.core_warp, m->cores.size());
  draw_warp(&f.delta_warp, m->deltas.size());
}

double EllipseFootprint(double x, double y, double w, double h) {
  const double a = 0.47 * w, b = 0.48 * h;
  const double dx = (x - w / 2) / a, dy = (y - h * 0.5) / b;
  const double rho = std::sqrt(dx * dx + dy * dy);
  return SmoothStep(0.0, kFootprintEdge, (1.0 - rho) * std::min(a, b));
}

// One bank of zero-mean oriented filters, indexed by orientation bin and
// period bin; each kernel row is padded with zeros to a multiple of 8 taps.
struct KernelBank {
  int radius = 0;
  int rows = 0;    // 2 * radius + 1
  int stride = 0;  // padded row length
  int period_bins = 0;
  double period_lo = 0;
  std::vector<float> taps;

  const float *Kernel(int orientation_bin, int period_bin) const {
    return taps.data() +
           static_cast<size_t>(orientation_bin * period_bins + period_bin) * rows * stride;
  }
};

KernelBank MakeBank(double period_min, double period_max) {
  KernelBank bank;
  bank.period_lo = period_min;
  bank.period_bins = 1 + static_cast<int>(std::ceil((period_max - period_min) / kPeriodStep));
  const double sigma_max = 0.36 * 1.1 * period_max;
  bank.radius = std::min(14, static_cast<int>(2.0 * sigma_max));
  bank.rows = 2 * bank.radius + 1;
  bank.stride = (bank.rows + 7) / 8 * 8;
  bank.taps.assign(static_cast<size_t>(kOrientationBins) * bank.period_bins * bank.rows * bank.stride,
                   0.0f);
  std::vector<double> env(static_cast<size_t>(bank.rows) * bank.rows);
  std::vector<double> wave(env.size());
  for (int ob = 0; ob < kOrientationBins; ++ob) {
    const double theta = (ob + 0.5) * kPi / kOrientationBins;
    const double c = DetCos(theta), s = DetSin(theta);
    for (int pb = 0; pb < bank.period_bins; ++pb) {
      const double period = period_min + pb * kPeriodStep;
      const double sigma_across = 0.36 * period, sigma_along = 1.1 * sigma_across;
      double env_sum = 0, wave_sum = 0;
      for (int dy = -bank.radius; dy <= bank.radius; ++dy) {
        for (int dx = -bank.radius; dx <= bank.radius; ++dx) {
          const double along = dx * c + dy * s, across = -dx * s + dy * c;
          const size_t i = static_cast<size_t>(dy + bank.radius) * bank.rows + (dx + bank.radius);
          env[i] = DetExp(-0.5 * (along * along / (sigma_along * sigma_along) +
                                  across * across / (sigma_across * sigma_across)));
          wave[i] = DetCos(2 * kPi * across / period);
          env_sum += env[i];
          wave_sum += env[i] * wave[i];
        }
      }
      const double dc = wave_sum / env_sum;
      // Gain so that a matching sinusoid of amplitude 1 answers with 1.
      double response = 0;
      for (size_t i = 0; i < env.size(); ++i) response += env[i] * (wave[i] - dc) * wave[i];
      float *k = const_cast<float *>(bank.Kernel(ob, pb));
      for (int r = 0; r < bank.rows; ++r) {
        for (int col = 0; col < bank.rows; ++col) {
          const size_t i = static_cast<size_t>(r) * bank.rows + col;
          k[static_cast<size_t>(r) * bank.stride + col] =
              static_cast<float>(env[i] * (wave[i] - dc) / response);
        }
      }
    }
  }
  return bank;
}

// Grows the ridge image in place by iterated oriented filtering.
void Grow(MasterFinger *m) {
  const int w = m->width, h = m->height;
  const KernelBank bank = MakeBank(m->params.period_min, m->params.period_max);
  const int r = bank.radius;
  const int pw = w + bank.stride;  // padded row length: every tap read stays inside
  const int ph = h + bank.rows;
  const size_t npix = static_cast<size_t>(w) * h;

  std::vector<uint16_t> kernel_of(npix);
  std::vector<int32_t> active;  // pixel indices on the finger
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const size_t i = static_cast<size_t>(y) * w + x;
      int ob = static_cast<int>(m->orientation[i] / kPi * kOrientationBins);
      ob = std::clamp(ob, 0, kOrientationBins - 1);
      int pb = static_cast<int>(std::nearbyint((m->period[i] - bank.period_lo) / kPeriodStep));
      pb = std::clamp(pb, 0, bank.period_bins - 1);
      kernel_of[i] = static_cast<uint16_t>(ob * bank.period_bins + pb);
      if (m->footprint[i] > 0.0f) active.push_back(static_cast<int32_t>(i));
    }
  }

  std::vector<float> src(static_cast<size_t>(pw) * ph, 0.0f), dst(src.size(), 0.0f);
  Rng rng(MixSeed(m->params.seed, kTagNoise));
  for (int32_t i : active) {
    const int x = i % w, y = i / w;
    src[static_cast<size_t>(y + r) * pw + x + r] = static_cast<float>(rng.Uniform(-1.0, 1.0));
  }

  const size_t kernel_size = static_cast<size_t>(bank.rows) * bank.stride;
  for (int it = 0; it <= m->params.iterations; ++it) {
    const bool last = it == m->params.iterations;
    const float gain = last ? 1.3f : 2.0f;
    for (int32_t i : active) {
      const int x = i % w, y = i / w;
      const float *k = bank.taps.data() + kernel_of[i] * kernel_size;
      const float *s = src.data() + static_cast<size_t>(y) * pw + x;  // window's top-left
      float lane[8] = {0, 0, 0, 0, 0, 0, 0, 0};
      for (int ky = 0; ky < bank.rows; ++ky) {
        const float *kr = k + static_cast<size_t>(ky) * bank.stride;
        const float *sr = s + static_cast<size_t>(ky) * pw;
        for (int kx = 0; kx < bank.stride; kx += 8) {
          for (int l = 0; l < 8; ++l) lane[l] += kr[kx + l] * sr[kx + l];
        }
      }
      const float acc = ((lane[0] + lane[1]) + (lane[2] + lane[3])) +
                        ((lane[4] + lane[5]) + (lane[6] + lane[7]));
      dst[static_cast<size_t>(y + r) * pw + x + r] = std::clamp(gain * acc, -1.0f, 1.0f);
    }
    src.swap(dst);
  }
  m->ridge.assign(npix, 0.0f);
  for (int32_t i : active) {
    const int x = i % w, y = i / w;
    m->ridge[i] = src[static_cast<size_t>(y + r) * pw + x + r];
  }
}

double Bilinear(const std::vector<float> &v, int w, int h, double x, double y) {
  if (!(x >= 0) || !(y >= 0) || x > w - 1 || y > h - 1) return 0.0;
  const int x0 = std::min(static_cast<int>(x), w - 2), y0 = std::min(static_cast<int>(y), h - 2);
  const double tx = x - x0, ty = y - y0;
  const float *p = v.data() + static_cast<size_t>(y0) * w + x0;
  const double top = p[0] + (p[1] - p[0]) * tx;
  const double bottom = p[w] + (p[w + 1] - p[w]) * tx;
  return top + (bottom - top) * ty;
}

}  // namespace

const char *FingerClassName(FingerClass c) {
  switch (c) {
    case FingerClass::kArch: return "arch";
    case FingerClass::kTentedArch: return "tented_arch";
    case FingerClass::kLeftLoop: return "left_loop";
    case FingerClass::kRightLoop: return "right_loop";
    case FingerClass::kWhorl: return "whorl";
  }
  return "unknown";
}

double MasterFinger::OrientationAt(double x, double y) const {
  if (params.finger_class == FingerClass::kArch) {
    return WrapPi(ArchDirection(field, x, y) + field.theta0);
  }
  double theta = field.theta0;
  for (size_t k = 0; k < deltas.size(); ++k) {
    theta -= 0.5 * WarpedAngle(x - deltas[k].x, y - deltas[k].y, &field.delta_warp[k * kWarpPoints]);
  }
  for (size_t k = 0; k < cores.size(); ++k) {
    theta += 0.5 * WarpedAngle(x - cores[k].x, y - cores[k].y, &field.core_warp[k * kWarpPoints]);
  }
  return WrapPi(theta);
}

double MasterFinger::RidgeAt(double x, double y) const { return Bilinear(ridge, width, height, x, y); }

double MasterFinger::FootprintAt(double x, double y) const {
  return Bilinear(footprint, width, height, x, y);
}

double MasterFinger::PeriodAt(double x, double y) const {
  const int ix = std::clamp(static_cast<int>(std::nearbyint(x)), 0, width - 1);
  const int iy = std::clamp(static_cast<int>(std::nearbyint(y)), 0, height - 1);
  return period[static_cast<size_t>(iy) * width + ix];
}

Point MasterFinger::PatternCenter() const {
  if (cores.empty()) return {field.arch_x, field.arch_top};
  Point c;
  for (const Point &p : cores) {
    c.x += p.x / cores.size();
    c.y += p.y / cores.size();
  }
  return c;
}

MasterFinger MakeMaster(const MasterParams &params) {
  Validate(params);
  MasterFinger m;
  m.params = params;
  m.width = params.width;
  m.height = params.height;
  Layout(&m);

  const size_t npix = static_cast<size_t>(m.width) * m.height;
  m.orientation.resize(npix);
  m.period.resize(npix);
  m.footprint.resize(npix);

  // Period map: a mean near the middle of the range plus a few slow waves,
  // keeping a tenth of the range free at either end for the stretch of
  // elastic distortion in impressions.
  Rng prng(MixSeed(params.seed, kTagPeriod));
  const double span = params.period_max - params.period_min;
  const double mean = params.period_min + span * prng.Uniform(0.4, 0.6);
  struct Wave {
    double kx, ky, phase, amp;
  } waves[3];
  double amp_sum = 0;
  for (Wave &wv : waves) {
    const double len = prng.Uniform(90.0, 260.0), dir = prng.Uniform(0.0, kPi);
    wv = {2 * kPi / len * DetCos(dir), 2 * kPi / len * DetSin(dir), prng.Uniform(0.0, 2 * kPi),
          prng.Uniform(0.5, 1.0)};
    amp_sum += wv.amp;
  }
  const double swing = 0.3 * span;

  for (int y = 0; y < m.height; ++y) {
    for (int x = 0; x < m.width; ++x) {
      const size_t i = static_cast<size_t>(y) * m.width + x;
      m.orientation[i] = static_cast<float>(m.OrientationAt(x, y));
      double wsum = 0;
      for (const Wave &wv : waves) wsum += wv.amp * DetCos(wv.kx * x + wv.ky * y + wv.phase);
      m.period[i] = static_cast<float>(
          std::clamp(mean + swing * wsum / amp_sum, params.period_min, params.period_max));
      m.footprint[i] = static_cast<float>(EllipseFootprint(x, y, m.width, m.height));
    }
  }
  Grow(&m);
  return m;
}

}  // namespace fingers
