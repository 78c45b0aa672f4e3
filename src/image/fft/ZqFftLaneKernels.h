// Butterflies and transform stages on lines carried in the lanes of a float
// vector, one line per lane. Each lane goes through exactly the operations
// of fftTransform1D in the same order, so it gets the scalar bits; a wider
// vector only carries more lines. Everything here is inlined into its
// caller, whose target picks the instructions. C++ only, internal.
#ifndef SRC_FFT_ZQFFTLANEKERNELS_H_
#define SRC_FFT_ZQFFTLANEKERNELS_H_

#include <stdint.h>
#include <string.h>

#include "src/image/fft/ZqFftCore.h"

// The helpers pass eight-float vectors by value but are always inlined, so
// no call ever uses the vector ABI the warning is about.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

#define ZQ_LANES_INLINE inline __attribute__((always_inline))

namespace zq_fft {
namespace lanes {

typedef float F4 __attribute__((vector_size(16)));
typedef float F8 __attribute__((vector_size(32)));

// Lines carried by a vector type.
template <class V>
constexpr int kWidth = static_cast<int>(sizeof(V) / sizeof(float));

// One complex value per line.
template <class V>
struct C {
  V re, im;
};

template <class V>
ZQ_LANES_INLINE V Splat(float v) {
  if constexpr (kWidth<V> == 4) {
    return V{v, v, v, v};
  } else {
    // Widened from four lanes: GCC builds the eight-lane list on the stack.
    const F4 x = {v, v, v, v};
    return __builtin_shufflevector(x, x, 0, 1, 2, 3, 4, 5, 6, 7);
  }
}

// Unaligned load and store of one vector.
template <class V>
ZQ_LANES_INLINE V Load(const float *p) {
  V v;
  memcpy(&v, p, sizeof v);
  return v;
}
template <class V>
ZQ_LANES_INLINE void Store(float *p, V v) {
  memcpy(p, &v, sizeof v);
}

// a * b with b = (br, bi) in every lane.
template <class V>
ZQ_LANES_INLINE C<V> Mul(C<V> a, V br, V bi) {
  return {a.re * br - a.im * bi, a.re * bi + a.im * br};
}
template <class V>
ZQ_LANES_INLINE C<V> Mul(C<V> a, ST_Complex32f b) {
  return Mul(a, Splat<V>(b.re), Splat<V>(b.im));
}
template <class V>
ZQ_LANES_INLINE C<V> Add(C<V> a, C<V> b) {
  return {a.re + b.re, a.im + b.im};
}
template <class V>
ZQ_LANES_INLINE C<V> Sub(C<V> a, C<V> b) {
  return {a.re - b.re, a.im - b.im};
}
// a * (-i)
template <class V>
ZQ_LANES_INLINE C<V> MulNegI(C<V> a) {
  return {a.im, -a.re};
}

template <class V>
ZQ_LANES_INLINE void Radix2(C<V> *x, int s) {
  const C<V> a = x[0], b = x[s];
  x[0] = Add(a, b);
  x[s] = Sub(a, b);
}

template <class V>
ZQ_LANES_INLINE void Radix4(C<V> *x, int s) {
  const C<V> a0 = x[0], a1 = x[s], a2 = x[2 * s], a3 = x[3 * s];
  const C<V> t0 = Add(a0, a2), t1 = Sub(a0, a2);
  const C<V> t2 = Add(a1, a3), t3 = MulNegI(Sub(a1, a3));
  x[0] = Add(t0, t2);
  x[s] = Add(t1, t3);
  x[2 * s] = Sub(t0, t2);
  x[3 * s] = Sub(t1, t3);
}

template <class V>
ZQ_LANES_INLINE void Radix3(C<V> *x, int s) {
  const V c = Splat<V>(-0.5f), sn = Splat<V>(0.866025403784438647f);
  const C<V> a0 = x[0], a1 = x[s], a2 = x[2 * s];
  const C<V> sum = Add(a1, a2), dif = Sub(a1, a2);
  const C<V> m = {a0.re + c * sum.re, a0.im + c * sum.im};
  const C<V> r = {sn * dif.im, -(sn * dif.re)};
  x[0] = Add(a0, sum);
  x[s] = Add(m, r);
  x[2 * s] = Sub(m, r);
}

template <class V>
ZQ_LANES_INLINE void Radix5(C<V> *x, int s) {
  const V c1 = Splat<V>(0.309016994374947424f), c2 = Splat<V>(-0.809016994374947424f);
  const V s1 = Splat<V>(0.951056516295153572f), s2 = Splat<V>(0.587785252292473129f);
  const C<V> a0 = x[0], a1 = x[s], a2 = x[2 * s], a3 = x[3 * s], a4 = x[4 * s];
  const C<V> b1 = Add(a1, a4), b2 = Add(a2, a3), d1 = Sub(a1, a4), d2 = Sub(a2, a3);
  const C<V> m1 = {a0.re + c1 * b1.re + c2 * b2.re, a0.im + c1 * b1.im + c2 * b2.im};
  const C<V> m2 = {a0.re + c2 * b1.re + c1 * b2.re, a0.im + c2 * b1.im + c1 * b2.im};
  const C<V> r1 = {s1 * d1.im + s2 * d2.im, -(s1 * d1.re + s2 * d2.re)};
  const C<V> r2 = {s2 * d1.im - s1 * d2.im, -(s2 * d1.re - s1 * d2.re)};
  x[0] = {a0.re + b1.re + b2.re, a0.im + b1.im + b2.im};
  x[s] = Add(m1, r1);
  x[4 * s] = Sub(m1, r1);
  x[2 * s] = Add(m2, r2);
  x[3 * s] = Sub(m2, r2);
}

template <class V>
ZQ_LANES_INLINE void RadixGeneric(C<V> *x, int s, int p, int n, const ST_Complex32f *tw,
                                  C<V> *tmp) {
  const int step = n / p;
  for (int q = 0; q < p; ++q) {
    C<V> acc = {Splat<V>(0), Splat<V>(0)};
    for (int r = 0; r < p; ++r) acc = Add(acc, Mul(x[r * s], tw[((r * q) % p) * step]));
    tmp[q] = acc;
  }
  for (int q = 0; q < p; ++q) x[q * s] = tmp[q];
}

// One stage of radix P (2, 3, 4 or 5) over sub-transforms of length L: the
// butterflies without twiddles (j = 0) first, then for each j the twiddles
// w^(r j n / (L P)) taken once for every block. The butterflies of a stage
// are independent, so their order does not change a result.
template <class V, int P>
ZQ_LANES_INLINE void Stage(C<V> *line, int n, int L, const ST_Complex32f *tw) {
  const int len = L * P;
  const int twStep = n / len;
  for (int b = 0; b < n; b += len) {
    if constexpr (P == 2) Radix2(line + b, L);
    if constexpr (P == 3) Radix3(line + b, L);
    if constexpr (P == 4) Radix4(line + b, L);
    if constexpr (P == 5) Radix5(line + b, L);
  }
  for (int j = 1; j < L; ++j) {
    V wr[P], wi[P];
#pragma GCC unroll 8
    for (int r = 1; r < P; ++r) {
      const ST_Complex32f w = tw[r * j * twStep];  // r j twStep < n
      wr[r] = Splat<V>(w.re);
      wi[r] = Splat<V>(w.im);
    }
    for (int b = j; b < n; b += len) {
      C<V> *x = line + b;
#pragma GCC unroll 8
      for (int r = 1; r < P; ++r) x[r * L] = Mul(x[r * L], wr[r], wi[r]);
      if constexpr (P == 2) Radix2(x, L);
      if constexpr (P == 3) Radix3(x, L);
      if constexpr (P == 4) Radix4(x, L);
      if constexpr (P == 5) Radix5(x, L);
    }
  }
}

// A stage of an odd radix p above 5.
template <class V>
ZQ_LANES_INLINE void StageGeneric(C<V> *line, int n, int L, int p, const ST_Complex32f *tw,
                                  C<V> *tmp) {
  const int len = L * p;
  const int twStep = n / len;
  for (int b = 0; b < n; b += len) {
    for (int j = 0; j < L; ++j) {
      C<V> *x = line + b + j;
      if (j != 0) {
        for (int r = 1; r < p; ++r) x[r * L] = Mul(x[r * L], tw[r * j * twStep]);
      }
      RadixGeneric(x, L, p, n, tw, tmp);
    }
  }
}

// The butterflies of fftTransform1D on a permuted (and, for the inverse,
// conjugated) line; tmp holds n values for the odd radices above 5.
template <class V>
ZQ_LANES_INLINE void Stages(C<V> *line, int n, int nstages, const int *stages,
                            const ST_Complex32f *tw, C<V> *tmp) {
  int L = 1;
  for (int s = 0; s < nstages; ++s) {
    const int p = stages[s];
    switch (p) {
      case 2: Stage<V, 2>(line, n, L, tw); break;
      case 3: Stage<V, 3>(line, n, L, tw); break;
      case 4: Stage<V, 4>(line, n, L, tw); break;
      case 5: Stage<V, 5>(line, n, L, tw); break;
      default: StageGeneric(line, n, L, p, tw, tmp); break;
    }
    L *= p;
  }
}

// The final step of fftTransform1D on the whole line: every value times
// (scale, scale), or (scale, -scale) for the inverse, unless the scale is 1
// in the forward direction.
template <class V>
ZQ_LANES_INLINE void Finish(C<V> *line, int n, int direction, float scale) {
  const bool inverse = direction != 0;
  if (scale == 1.0f && !inverse) return;
  const V sre = Splat<V>(scale), sim = Splat<V>(inverse ? -scale : scale);
  for (int i = 0; i < n; ++i) line[i] = {line[i].re * sre, line[i].im * sim};
}

// Transposes a square of vectors in place: v[k][l] <- v[l][k].
ZQ_LANES_INLINE void Transpose(F4 *v) {
  const F4 t0 = __builtin_shufflevector(v[0], v[1], 0, 4, 1, 5);
  const F4 t1 = __builtin_shufflevector(v[0], v[1], 2, 6, 3, 7);
  const F4 t2 = __builtin_shufflevector(v[2], v[3], 0, 4, 1, 5);
  const F4 t3 = __builtin_shufflevector(v[2], v[3], 2, 6, 3, 7);
  v[0] = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
  v[1] = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
  v[2] = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
  v[3] = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}
ZQ_LANES_INLINE void Transpose(F8 *v) {
  F8 t[8], u[8];
#pragma GCC unroll 8
  for (int k = 0; k < 8; k += 2) {
    t[k] = __builtin_shufflevector(v[k], v[k + 1], 0, 8, 1, 9, 4, 12, 5, 13);
    t[k + 1] = __builtin_shufflevector(v[k], v[k + 1], 2, 10, 3, 11, 6, 14, 7, 15);
  }
#pragma GCC unroll 8
  for (int k = 0; k < 8; k += 4) {
    u[k] = __builtin_shufflevector(t[k], t[k + 2], 0, 1, 8, 9, 4, 5, 12, 13);
    u[k + 1] = __builtin_shufflevector(t[k], t[k + 2], 2, 3, 10, 11, 6, 7, 14, 15);
    u[k + 2] = __builtin_shufflevector(t[k + 1], t[k + 3], 0, 1, 8, 9, 4, 5, 12, 13);
    u[k + 3] = __builtin_shufflevector(t[k + 1], t[k + 3], 2, 3, 10, 11, 6, 7, 14, 15);
  }
#pragma GCC unroll 8
  for (int k = 0; k < 4; ++k) {
    v[k] = __builtin_shufflevector(u[k], u[k + 4], 0, 1, 2, 3, 8, 9, 10, 11);
    v[k + 4] = __builtin_shufflevector(u[k], u[k + 4], 4, 5, 6, 7, 12, 13, 14, 15);
  }
}

// Stores the lanes of (re, im) as consecutive complex values at out.
ZQ_LANES_INLINE void StoreComplex(ST_Complex32f *out, F4 re, F4 im) {
  float *p = &out->re;
  Store(p, __builtin_shufflevector(re, im, 0, 4, 1, 5));
  Store(p + 4, __builtin_shufflevector(re, im, 2, 6, 3, 7));
}
ZQ_LANES_INLINE void StoreComplex(ST_Complex32f *out, F8 re, F8 im) {
  const F8 lo = __builtin_shufflevector(re, im, 0, 8, 1, 9, 4, 12, 5, 13);
  const F8 hi = __builtin_shufflevector(re, im, 2, 10, 3, 11, 6, 14, 7, 15);
  float *p = &out->re;
  Store(p, __builtin_shufflevector(lo, hi, 0, 1, 2, 3, 8, 9, 10, 11));
  Store(p + 8, __builtin_shufflevector(lo, hi, 4, 5, 6, 7, 12, 13, 14, 15));
}

// Loads consecutive complex values at in into the lanes of (re, im).
ZQ_LANES_INLINE C<F4> LoadComplex(const ST_Complex32f *in, F4) {
  const F4 a = Load<F4>(&in->re), b = Load<F4>(&in->re + 4);
  return {__builtin_shufflevector(a, b, 0, 2, 4, 6), __builtin_shufflevector(a, b, 1, 3, 5, 7)};
}
ZQ_LANES_INLINE C<F8> LoadComplex(const ST_Complex32f *in, F8) {
  const F8 a = Load<F8>(&in->re), b = Load<F8>(&in->re + 8);
  const F8 lo = __builtin_shufflevector(a, b, 0, 1, 2, 3, 8, 9, 10, 11);
  const F8 hi = __builtin_shufflevector(a, b, 4, 5, 6, 7, 12, 13, 14, 15);
  return {__builtin_shufflevector(lo, hi, 0, 2, 8, 10, 4, 6, 12, 14),
          __builtin_shufflevector(lo, hi, 1, 3, 9, 11, 5, 7, 13, 15)};
}

}  // namespace lanes
}  // namespace zq_fft

#pragma GCC diagnostic pop

#endif  // SRC_FFT_ZQFFTLANEKERNELS_H_
