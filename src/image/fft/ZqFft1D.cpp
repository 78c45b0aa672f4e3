// One-dimensional mixed-radix FFT: factors, tables and butterflies.
#include <math.h>

#include "src/image/fft/ZqFftCore.h"

namespace zq_fft {

namespace {

inline ST_Complex32f Mul(ST_Complex32f a, ST_Complex32f b) {
  return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}
inline ST_Complex32f Add(ST_Complex32f a, ST_Complex32f b) { return {a.re + b.re, a.im + b.im}; }
inline ST_Complex32f Sub(ST_Complex32f a, ST_Complex32f b) { return {a.re - b.re, a.im - b.im}; }
// a * (-i)
inline ST_Complex32f MulNegI(ST_Complex32f a) { return {a.im, -a.re}; }

// Forward radix-2 butterfly on x[0], x[s].
inline void Radix2(ST_Complex32f *x, int s) {
  const ST_Complex32f a = x[0], b = x[s];
  x[0] = Add(a, b);
  x[s] = Sub(a, b);
}

// Forward radix-4 butterfly on x[0], x[s], x[2s], x[3s].
inline void Radix4(ST_Complex32f *x, int s) {
  const ST_Complex32f a0 = x[0], a1 = x[s], a2 = x[2 * s], a3 = x[3 * s];
  const ST_Complex32f t0 = Add(a0, a2), t1 = Sub(a0, a2);
  const ST_Complex32f t2 = Add(a1, a3), t3 = MulNegI(Sub(a1, a3));
  x[0] = Add(t0, t2);
  x[s] = Add(t1, t3);
  x[2 * s] = Sub(t0, t2);
  x[3 * s] = Sub(t1, t3);
}

// Forward radix-3 butterfly.
inline void Radix3(ST_Complex32f *x, int s) {
  const float c = -0.5f, sn = 0.866025403784438647f;  // exp(-2 pi i / 3) = c - i sn
  const ST_Complex32f a0 = x[0], a1 = x[s], a2 = x[2 * s];
  const ST_Complex32f sum = Add(a1, a2), dif = Sub(a1, a2);
  const ST_Complex32f m = {a0.re + c * sum.re, a0.im + c * sum.im};
  // -i sn (a1 - a2)
  const ST_Complex32f r = {sn * dif.im, -sn * dif.re};
  x[0] = Add(a0, sum);
  x[s] = Add(m, r);
  x[2 * s] = Sub(m, r);
}

// Forward radix-5 butterfly.
inline void Radix5(ST_Complex32f *x, int s) {
  const float c1 = 0.309016994374947424f, c2 = -0.809016994374947424f;
  const float s1 = 0.951056516295153572f, s2 = 0.587785252292473129f;
  const ST_Complex32f a0 = x[0], a1 = x[s], a2 = x[2 * s], a3 = x[3 * s], a4 = x[4 * s];
  const ST_Complex32f b1 = Add(a1, a4), b2 = Add(a2, a3), d1 = Sub(a1, a4), d2 = Sub(a2, a3);
  const ST_Complex32f m1 = {a0.re + c1 * b1.re + c2 * b2.re, a0.im + c1 * b1.im + c2 * b2.im};
  const ST_Complex32f m2 = {a0.re + c2 * b1.re + c1 * b2.re, a0.im + c2 * b1.im + c1 * b2.im};
  // -i (s1 d1 + s2 d2) and -i (s2 d1 - s1 d2)
  const ST_Complex32f r1 = {s1 * d1.im + s2 * d2.im, -(s1 * d1.re + s2 * d2.re)};
  const ST_Complex32f r2 = {s2 * d1.im - s1 * d2.im, -(s2 * d1.re - s1 * d2.re)};
  x[0] = {a0.re + b1.re + b2.re, a0.im + b1.im + b2.im};
  x[s] = Add(m1, r1);
  x[4 * s] = Sub(m1, r1);
  x[2 * s] = Add(m2, r2);
  x[3 * s] = Sub(m2, r2);
}

// Forward radix-p butterfly for any p, with w_p^k = tw[k * (n / p)].
void RadixGeneric(ST_Complex32f *x, int s, int p, int n, const ST_Complex32f *tw,
                  ST_Complex32f *tmp) {
  const int step = n / p;
  for (int q = 0; q < p; ++q) {
    ST_Complex32f acc = {0, 0};
    for (int r = 0; r < p; ++r) acc = Add(acc, Mul(x[r * s], tw[((r * q) % p) * step]));
    tmp[q] = acc;
  }
  for (int q = 0; q < p; ++q) x[q * s] = tmp[q];
}

}  // namespace

int fftFactorize(int n, int *factors) {
  int nf = 0;
  int pow2 = 1;
  while (n % 2 == 0) {
    n /= 2;
    pow2 *= 2;
  }
  if (pow2 > 1) factors[nf++] = pow2;
  const int firstOdd = nf;
  for (int d = 3; d * d <= n; d += 2) {
    while (n % d == 0) {
      factors[nf++] = d;
      n /= d;
    }
  }
  if (n > 1) factors[nf++] = n;
  for (int i = firstOdd, j = nf - 1; i < j; ++i, --j) {
    const int t = factors[i];
    factors[i] = factors[j];
    factors[j] = t;
  }
  return nf;
}

int fftStages(int n, int *stages) {
  if (n <= 5) {
    stages[0] = n;
    return 1;
  }
  int factors[kMaxFactors];
  const int nf = fftFactorize(n, factors);
  int ns = 0;
  for (int i = 0; i < nf; ++i) {
    int f = factors[i];
    if (f % 2 != 0) {
      stages[ns++] = f;
      continue;
    }
    int e = 0;
    while ((1 << e) < f) ++e;
    if (e % 2 != 0) stages[ns++] = 2;
    for (int k = 0; k < e / 2; ++k) stages[ns++] = 4;
  }
  return ns;
}

void fftInitTables(int n, int nstages, const int *stages, int *perm, ST_Complex32f *tw) {
  // Digit reversal: the last stage is the outermost split.
  perm[0] = 0;
  int len = 1;
  for (int s = 0; s < nstages; ++s) {
    const int p = stages[s];
    for (int r = p - 1; r >= 0; --r)
      for (int i = len - 1; i >= 0; --i) perm[r * len + i] = r + p * perm[i];
    len *= p;
  }
  // Twiddles w[k] = exp(-2 pi i k / n).
  tw[0] = {1.0f, 0.0f};
  if (n == 1) return;
  ST_Complex32f w1;
  if ((n & (n - 1)) == 0) {
    w1 = {static_cast<float>(cos(2.0 * M_PI / n)), static_cast<float>(-sin(2.0 * M_PI / n))};
  } else {
    const float s = sinf(-6.2831855f / static_cast<float>(n));
    const float c = sqrtf(1.0f - s * s);
    w1 = {n < 4 ? -c : c, s};  // the cosine is negative only for n = 3
  }
  double re = 1.0, im = 0.0;
  for (int k = 1; k <= n / 2; ++k) {
    const double nr = re * w1.re - im * w1.im, ni = re * w1.im + im * w1.re;
    re = nr;
    im = ni;
    tw[k] = {static_cast<float>(re), static_cast<float>(im)};
    tw[n - k] = {static_cast<float>(re), static_cast<float>(-im)};
  }
  if (n % 2 == 0) tw[n / 2] = {-1.0f, 0.0f};
}

void fftTransform1D(ST_Complex32f *line, int n, int nstages, const int *stages, const int *perm,
                    const ST_Complex32f *tw, ST_Complex32f *scratch, int direction, float scale) {
  if (n <= 1) {
    if (n == 1 && scale != 1.0f) line[0] = {line[0].re * scale, line[0].im * scale};
    return;
  }
  const bool inverse = direction != 0;
  ST_Complex32f *tmp = scratch;
  for (int i = 0; i < n; ++i) {
    ST_Complex32f v = line[perm[i]];
    if (inverse) v.im = -v.im;
    tmp[i] = v;
  }
  for (int i = 0; i < n; ++i) line[i] = tmp[i];

  int L = 1;
  for (int s = 0; s < nstages; ++s) {
    const int p = stages[s];
    const int len = L * p;
    const int twStep = n / len;
    for (int b = 0; b < n; b += len) {
      for (int j = 0; j < L; ++j) {
        ST_Complex32f *x = line + b + j;
        if (j != 0) {
          for (int r = 1; r < p; ++r) x[r * L] = Mul(x[r * L], tw[(r * j * twStep) % n]);
        }
        switch (p) {
          case 2:
            Radix2(x, L);
            break;
          case 3:
            Radix3(x, L);
            break;
          case 4:
            Radix4(x, L);
            break;
          case 5:
            Radix5(x, L);
            break;
          default:
            RadixGeneric(x, L, p, n, tw, tmp);
            break;
        }
      }
    }
    L = len;
  }
  const float sim = inverse ? -scale : scale;
  if (scale != 1.0f || inverse) {
    for (int i = 0; i < n; ++i) line[i] = {line[i].re * scale, line[i].im * sim};
  }
}

}  // namespace zq_fft
