#include "fingers/det_math.h"

#include <cmath>

namespace fingers {
namespace {

// pi/2 split in three parts (Cody-Waite) so that k * part is exact for the
// range reduction of moderate arguments.
constexpr double kPio2Hi = 1.5707963267341256e+00;
constexpr double kPio2Mid = 6.0771005065061922e-11;
constexpr double kPio2Lo = 2.0222662487959506e-21;

// Taylor polynomials on |r| <= pi/4.
double SinPoly(double r) {
  const double r2 = r * r;
  double p = 1.0 / 6227020800.0;  // 1/13!
  p = p * r2 - 1.0 / 39916800.0;
  p = p * r2 + 1.0 / 362880.0;
  p = p * r2 - 1.0 / 5040.0;
  p = p * r2 + 1.0 / 120.0;
  p = p * r2 - 1.0 / 6.0;
  return r + r * r2 * p;
}

double CosPoly(double r) {
  const double r2 = r * r;
  double p = 1.0 / 87178291200.0;  // 1/14!
  p = p * r2 - 1.0 / 479001600.0;
  p = p * r2 + 1.0 / 3628800.0;
  p = p * r2 - 1.0 / 40320.0;
  p = p * r2 + 1.0 / 720.0;
  p = p * r2 - 1.0 / 24.0;
  p = p * r2 + 0.5;
  return 1.0 - r2 * p;
}

// Reduces x to r in [-pi/4, pi/4] and the quadrant k (mod 4).
double Reduce(double x, long *quadrant) {
  const double k = std::nearbyint(x * (2.0 / kPi));
  *quadrant = static_cast<long>(k);
  return ((x - k * kPio2Hi) - k * kPio2Mid) - k * kPio2Lo;
}

// atan on |t| <= tan(pi/8) by its Maclaurin series.
double AtanSmall(double t) {
  const double t2 = t * t;
  double p = 0.0;
  for (int n = 27; n >= 3; n -= 2) p = p * t2 + ((n / 2) % 2 == 0 ? 1.0 : -1.0) / n;
  return t + t * t2 * p;
}

}  // namespace

double DetSin(double x) {
  long q = 0;
  const double r = Reduce(x, &q);
  switch (q & 3) {
    case 0: return SinPoly(r);
    case 1: return CosPoly(r);
    case 2: return -SinPoly(r);
    default: return -CosPoly(r);
  }
}

double DetCos(double x) {
  long q = 0;
  const double r = Reduce(x, &q);
  switch (q & 3) {
    case 0: return CosPoly(r);
    case 1: return -SinPoly(r);
    case 2: return -CosPoly(r);
    default: return SinPoly(r);
  }
}

double DetAtan2(double y, double x) {
  const double ax = std::fabs(x), ay = std::fabs(y);
  if (ax == 0.0 && ay == 0.0) return 0.0;
  // a = atan(min/max) in [0, pi/4].
  const bool swap = ay > ax;
  const double t = swap ? ax / ay : ay / ax;
  constexpr double kTanPi8 = 0.41421356237309503;
  double a = t <= kTanPi8 ? AtanSmall(t) : kPi / 4 + AtanSmall((t - 1.0) / (t + 1.0));
  if (swap) a = kPi / 2 - a;
  if (x < 0) a = kPi - a;
  return y < 0 ? -a : a;
}

double DetExp(double x) {
  if (x < -700.0) return 0.0;
  if (x > 700.0) x = 700.0;
  constexpr double kLn2Hi = 6.93147180369123816490e-01;
  constexpr double kLn2Lo = 1.90821492927058770002e-10;
  const double k = std::nearbyint(x * 1.4426950408889634);
  const double r = (x - k * kLn2Hi) - k * kLn2Lo;  // |r| <= 0.347
  static constexpr double kInv[15] = {0,        1.0,       1.0 / 2,  1.0 / 3,  1.0 / 4,
                                     1.0 / 5,  1.0 / 6,   1.0 / 7,  1.0 / 8,  1.0 / 9,
                                     1.0 / 10, 1.0 / 11,  1.0 / 12, 1.0 / 13, 1.0 / 14};
  double p = 1.0;
  for (int n = 14; n >= 1; --n) p = 1.0 + p * r * kInv[n];
  return std::ldexp(p, static_cast<int>(k));
}

double SmoothStep(double edge0, double edge1, double x) {
  double t = (x - edge0) / (edge1 - edge0);
  if (t <= 0.0) return 0.0;
  if (t >= 1.0) return 1.0;
  return t * t * (3.0 - 2.0 * t);
}

}  // namespace fingers
