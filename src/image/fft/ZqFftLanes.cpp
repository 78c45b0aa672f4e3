// Four lines of the 1-D transform at once: each lane of a four-float
// vector carries one line through exactly the operations of
// fftTransform1D, in the same order, so every lane gets the scalar bits.
#include "src/image/fft/ZqFftLanes.h"

namespace zq_fft {

namespace {

typedef float F4 __attribute__((vector_size(16)));

// Four complex values, one per line.
struct C4 {
  F4 re, im;
};

inline F4 Splat(float v) { return F4{v, v, v, v}; }

inline C4 Mul(C4 a, ST_Complex32f b) {
  const F4 br = Splat(b.re), bi = Splat(b.im);
  return {a.re * br - a.im * bi, a.re * bi + a.im * br};
}
inline C4 Add(C4 a, C4 b) { return {a.re + b.re, a.im + b.im}; }
inline C4 Sub(C4 a, C4 b) { return {a.re - b.re, a.im - b.im}; }
inline C4 MulNegI(C4 a) { return {a.im, -a.re}; }

inline void Radix2(C4 *x, int s) {
  const C4 a = x[0], b = x[s];
  x[0] = Add(a, b);
  x[s] = Sub(a, b);
}

inline void Radix4(C4 *x, int s) {
  const C4 a0 = x[0], a1 = x[s], a2 = x[2 * s], a3 = x[3 * s];
  const C4 t0 = Add(a0, a2), t1 = Sub(a0, a2);
  const C4 t2 = Add(a1, a3), t3 = MulNegI(Sub(a1, a3));
  x[0] = Add(t0, t2);
  x[s] = Add(t1, t3);
  x[2 * s] = Sub(t0, t2);
  x[3 * s] = Sub(t1, t3);
}

inline void Radix3(C4 *x, int s) {
  const F4 c = Splat(-0.5f), sn = Splat(0.866025403784438647f);
  const C4 a0 = x[0], a1 = x[s], a2 = x[2 * s];
  const C4 sum = Add(a1, a2), dif = Sub(a1, a2);
  const C4 m = {a0.re + c * sum.re, a0.im + c * sum.im};
  const C4 r = {sn * dif.im, -(sn * dif.re)};
  x[0] = Add(a0, sum);
  x[s] = Add(m, r);
  x[2 * s] = Sub(m, r);
}

inline void Radix5(C4 *x, int s) {
  const F4 c1 = Splat(0.309016994374947424f), c2 = Splat(-0.809016994374947424f);
  const F4 s1 = Splat(0.951056516295153572f), s2 = Splat(0.587785252292473129f);
  const C4 a0 = x[0], a1 = x[s], a2 = x[2 * s], a3 = x[3 * s], a4 = x[4 * s];
  const C4 b1 = Add(a1, a4), b2 = Add(a2, a3), d1 = Sub(a1, a4), d2 = Sub(a2, a3);
  const C4 m1 = {a0.re + c1 * b1.re + c2 * b2.re, a0.im + c1 * b1.im + c2 * b2.im};
  const C4 m2 = {a0.re + c2 * b1.re + c1 * b2.re, a0.im + c2 * b1.im + c1 * b2.im};
  const C4 r1 = {s1 * d1.im + s2 * d2.im, -(s1 * d1.re + s2 * d2.re)};
  const C4 r2 = {s2 * d1.im - s1 * d2.im, -(s2 * d1.re - s1 * d2.re)};
  x[0] = {a0.re + b1.re + b2.re, a0.im + b1.im + b2.im};
  x[s] = Add(m1, r1);
  x[4 * s] = Sub(m1, r1);
  x[2 * s] = Add(m2, r2);
  x[3 * s] = Sub(m2, r2);
}

void RadixGeneric(C4 *x, int s, int p, int n, const ST_Complex32f *tw, C4 *tmp) {
  const int step = n / p;
  for (int q = 0; q < p; ++q) {
    C4 acc = {Splat(0), Splat(0)};
    for (int r = 0; r < p; ++r) acc = Add(acc, Mul(x[r * s], tw[((r * q) % p) * step]));
    tmp[q] = acc;
  }
  for (int q = 0; q < p; ++q) x[q * s] = tmp[q];
}

}  // namespace

void fftTransform1DLanes4(const ST_Complex32f *in, ST_Complex32f *out, int64_t lineStep,
                          int64_t pointStep, int n,
                          int nstages, const int *stages, const int *perm,
                          const ST_Complex32f *tw, void *scratch, int direction, float scale) {
  C4 *line = static_cast<C4 *>(scratch);
  C4 *tmp = line + n;
  const bool inverse = direction != 0;
  // Gather in the input permutation, conjugated for the inverse.
  for (int i = 0; i < n; ++i) {
    const ST_Complex32f *p = in + perm[i] * pointStep;
    C4 v = {F4{p[0].re, p[lineStep].re, p[2 * lineStep].re, p[3 * lineStep].re},
            F4{p[0].im, p[lineStep].im, p[2 * lineStep].im, p[3 * lineStep].im}};
    if (inverse) v.im = -v.im;
    line[i] = v;
  }
  int L = 1;
  for (int s = 0; s < nstages; ++s) {
    const int p = stages[s];
    const int len = L * p;
    const int twStep = n / len;
    for (int b = 0; b < n; b += len) {
      for (int j = 0; j < L; ++j) {
        C4 *x = line + b + j;
        if (j != 0) {
          for (int r = 1; r < p; ++r) x[r * L] = Mul(x[r * L], tw[(r * j * twStep) % n]);
        }
        switch (p) {
          case 2: Radix2(x, L); break;
          case 3: Radix3(x, L); break;
          case 4: Radix4(x, L); break;
          case 5: Radix5(x, L); break;
          default: RadixGeneric(x, L, p, n, tw, tmp); break;
        }
      }
    }
    L = len;
  }
  const F4 sre = Splat(scale), sim = Splat(inverse ? -scale : scale);
  const bool rescale = scale != 1.0f || inverse;
  for (int i = 0; i < n; ++i) {
    C4 v = line[i];
    if (rescale) v = {v.re * sre, v.im * sim};
    ST_Complex32f *p = out + i * pointStep;
    for (int l = 0; l < 4; ++l) p[l * lineStep] = {v.re[l], v.im[l]};
  }
}

}  // namespace zq_fft
