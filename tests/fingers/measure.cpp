#include "fingers/measure.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace fingers_test {
namespace {

constexpr double kPi = 3.14159265358979323846;

void Fft(std::vector<std::complex<double>> &a) {
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const double ang = -2 * kPi / static_cast<double>(len);
    const std::complex<double> wl(std::cos(ang), std::sin(ang));
    for (size_t i = 0; i < n; i += len) {
      std::complex<double> w(1);
      for (size_t k = 0; k < len / 2; ++k) {
        const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
        w *= wl;
      }
    }
  }
}

}  // namespace

Plane FromBytes(int width, int height, const std::vector<unsigned char> &bytes) {
  Plane p{width, height, std::vector<double>(bytes.begin(), bytes.end())};
  return p;
}

Plane FromFloats(int width, int height, const std::vector<float> &values) {
  Plane p{width, height, std::vector<double>(values.begin(), values.end())};
  return p;
}

RadialSpectrum Spectrum(const Plane &p, const std::vector<double> &weight) {
  int n = 64;
  while (n < 2 * std::max(p.width, p.height)) n *= 2;
  auto wt = [&](size_t i) { return weight.empty() ? 1.0 : weight[i]; };
  double sum = 0, wsum = 0;
  for (size_t i = 0; i < p.v.size(); ++i) {
    sum += wt(i) * p.v[i];
    wsum += wt(i);
  }
  const double mean = wsum > 0 ? sum / wsum : 0;
  std::vector<std::vector<std::complex<double>>> rows(n, std::vector<std::complex<double>>(n));
  for (int y = 0; y < p.height; ++y) {
    const double hy = 0.5 - 0.5 * std::cos(2 * kPi * (y + 0.5) / p.height);
    for (int x = 0; x < p.width; ++x) {
      const double hx = 0.5 - 0.5 * std::cos(2 * kPi * (x + 0.5) / p.width);
      const size_t i = static_cast<size_t>(y) * p.width + x;
      rows[y][x] = (p.v[i] - mean) * wt(i) * hx * hy;
    }
  }
  for (auto &r : rows) Fft(r);
  std::vector<std::complex<double>> col(n);
  RadialSpectrum s;
  s.size = n;
  s.energy.assign(n / 2 + 1, 0.0);
  for (int x = 0; x < n; ++x) {
    for (int y = 0; y < n; ++y) col[y] = rows[y][x];
    Fft(col);
    const int fx = x <= n / 2 ? x : x - n;
    for (int y = 0; y < n; ++y) {
      const int fy = y <= n / 2 ? y : y - n;
      const int r = static_cast<int>(std::lround(std::sqrt(double(fx * fx + fy * fy))));
      if (r <= n / 2) s.energy[r] += std::norm(col[y]);
    }
  }
  return s;
}

double DominantPeriod(const RadialSpectrum &s) {
  const int lo = static_cast<int>(std::ceil(s.size / 30.0));
  const int hi = static_cast<int>(std::floor(s.size / 4.0));
  int best = lo;
  for (int r = lo; r <= hi; ++r) {
    if (s.energy[r] > s.energy[best]) best = r;
  }
  double num = 0, den = 0;
  for (int r = std::max(1, best - 2); r <= std::min(hi + 2, best + 2); ++r) {
    num += r * s.energy[r];
    den += s.energy[r];
  }
  return s.size / (num / den);
}

double BandShare(const RadialSpectrum &s, double lo, double hi) {
  double band = 0, total = 0;
  for (size_t r = 1; r < s.energy.size(); ++r) {
    total += s.energy[r];
    const double period = static_cast<double>(s.size) / static_cast<double>(r);
    if (period >= lo && period <= hi) band += s.energy[r];
  }
  return total > 0 ? band / total : 0;
}

BlockOrientation MeasureOrientation(const Plane &p, int x0, int y0, int size) {
  double gxx = 0, gyy = 0, gxy = 0;
  for (int y = std::max(1, y0); y < std::min(p.height - 1, y0 + size); ++y) {
    for (int x = std::max(1, x0); x < std::min(p.width - 1, x0 + size); ++x) {
      const double gx = p.At(x + 1, y) - p.At(x - 1, y);
      const double gy = p.At(x, y + 1) - p.At(x, y - 1);
      gxx += gx * gx;
      gyy += gy * gy;
      gxy += gx * gy;
    }
  }
  BlockOrientation b;
  const double gradient = 0.5 * std::atan2(2 * gxy, gxx - gyy);
  b.direction = std::fmod(gradient + kPi / 2 + kPi, kPi);
  const double sum = gxx + gyy;
  b.coherence = sum > 0 ? std::sqrt((gxx - gyy) * (gxx - gyy) + 4 * gxy * gxy) / sum : 0;
  return b;
}

double AngleDifference(double a, double b) {
  double d = std::fmod(std::fabs(a - b), kPi);
  return d > kPi / 2 ? kPi - d : d;
}

double Correlation(const std::vector<double> &a, const std::vector<double> &b) {
  const size_t n = std::min(a.size(), b.size());
  if (n == 0) return 0;
  double ma = 0, mb = 0;
  for (size_t i = 0; i < n; ++i) {
    ma += a[i];
    mb += b[i];
  }
  ma /= n;
  mb /= n;
  double sab = 0, saa = 0, sbb = 0;
  for (size_t i = 0; i < n; ++i) {
    sab += (a[i] - ma) * (b[i] - mb);
    saa += (a[i] - ma) * (a[i] - ma);
    sbb += (b[i] - mb) * (b[i] - mb);
  }
  return saa > 0 && sbb > 0 ? sab / std::sqrt(saa * sbb) : 0;
}

double Sample(const Plane &p, double x, double y) {
  const int x0 = std::clamp(static_cast<int>(x), 0, p.width - 2);
  const int y0 = std::clamp(static_cast<int>(y), 0, p.height - 2);
  const double tx = x - x0, ty = y - y0;
  const double top = p.At(x0, y0) + (p.At(x0 + 1, y0) - p.At(x0, y0)) * tx;
  const double bottom = p.At(x0, y0 + 1) + (p.At(x0 + 1, y0 + 1) - p.At(x0, y0 + 1)) * tx;
  return top + (bottom - top) * ty;
}

}  // namespace fingers_test
