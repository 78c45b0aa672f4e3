// The 2-D transform in blocks of W lines. Column pass: W neighbouring
// columns at a time, point i read from row perm[i]; the results of every W
// rows are transposed and stored, column after column, W lanes each, over
// those rows (the "T" layout). Row pass: W rows at a time from that layout,
// results transposed back into rows.
#include "src/image/fft/ZqFftBlocks.h"

#include "src/image/ZqScratch.h"
#include "src/image/fft/ZqFftLaneKernels.h"

#pragma GCC diagnostic ignored "-Wpsabi"  // see ZqFftLaneKernels.h

namespace zq_fft {

namespace {

using lanes::C;
using lanes::F4;
using lanes::F8;
using lanes::kWidth;
using lanes::Load;
using lanes::Splat;
using lanes::Store;

int gLanesLimit = 8;

// Tables of one line length.
struct Tables {
  int n = 0, nstages = 0;
  int stages[kMaxFactors];
  int *perm = nullptr;
  ST_Complex32f *tw = nullptr;
  bool generic = false;  // a stage of an odd radix above 5
  explicit Tables(int len) : n(len), nstages(fftStages(len, stages)) {
    for (int s = 0; s < nstages; ++s) generic = generic || stages[s] > 5;
  }
};

// Tables and line buffers of one 2-D transform.
struct Work {
  zq::ScratchStack heap{zq::ScratchSource::kHeap};
  Tables colTables, rowTables;
  void *line = nullptr, *tmp = nullptr;  // 32-byte aligned

  Work(int rows, int cols) : colTables(rows), rowTables(cols) {}
  bool Take(int width) {
    if (!Fill(&colTables)) return false;
    if (rowTables.n != colTables.n) {
      if (!Fill(&rowTables)) return false;
    } else {
      rowTables.perm = colTables.perm;
      rowTables.tw = colTables.tw;
    }
    const int n = colTables.n > rowTables.n ? colTables.n : rowTables.n;
    const int64_t bytes = int64_t{n} * 2 * width * static_cast<int64_t>(sizeof(float));
    line = Aligned(heap.Take<uint8_t>(bytes + 32));
    if (line == nullptr) return false;
    if (colTables.generic || rowTables.generic) {
      tmp = Aligned(heap.Take<uint8_t>(bytes + 32));
      if (tmp == nullptr) return false;
    }
    return true;
  }
  bool Fill(Tables *t) {
    t->perm = heap.Take<int>(t->n);
    t->tw = heap.Take<ST_Complex32f>(t->n);
    if (t->perm == nullptr || t->tw == nullptr) return false;
    fftInitTables(t->n, t->nstages, t->stages, t->perm, t->tw);
    return true;
  }
  static void *Aligned(uint8_t *p) {
    if (p == nullptr) return nullptr;
    return p + (32 - reinterpret_cast<uintptr_t>(p) % 32) % 32;
  }
};

// Column sources: the W columns from x0 of one row as complex lanes.
template <class V>
struct FloatRows {
  const float *img;
  int32_t cols;
  ZQ_LANES_INLINE C<V> Point(int32_t row, int32_t x0) const {
    return {Load<V>(img + int64_t{row} * cols + x0), Splat<V>(0.0f)};
  }
};

template <class V>
struct ByteRows {
  typedef uint8_t Bytes __attribute__((vector_size(kWidth<V>)));
  const uint8_t *img;
  int32_t cols;
  ZQ_LANES_INLINE C<V> Point(int32_t row, int32_t x0) const {
    Bytes b;
    memcpy(&b, img + int64_t{row} * cols + x0, sizeof b);
    return {__builtin_convertvector(b, V), Splat<V>(0.0f)};
  }
};

template <class V>
struct ComplexRows {
  const ST_Complex32f *src;
  int32_t cols;
  ZQ_LANES_INLINE C<V> Point(int32_t row, int32_t x0) const {
    return lanes::LoadComplex(src + int64_t{row} * cols + x0, V{});
  }
};

// Row sinks: W values of one row from column x0.
struct ComplexSink {
  ST_Complex32f *dst;
  int32_t cols;
  template <class V>
  ZQ_LANES_INLINE void Put(int32_t row, int32_t x0, V re, V im) const {
    lanes::StoreComplex(dst + int64_t{row} * cols + x0, re, im);
  }
};

struct RealSink {
  float *dst;
  int32_t cols;
  template <class V>
  ZQ_LANES_INLINE void Put(int32_t row, int32_t x0, V re, V) const {
    Store(dst + int64_t{row} * cols + x0, re);
  }
};

// fft2D from source to sink through t (rows x cols values, the T layout),
// which may be the sink's memory.
template <class V, class Source, class Sink>
ZQ_LANES_INLINE void Run(const Source &source, const Sink &sink, int32_t rows, int32_t cols,
                         int32_t direction, ST_Complex32f *t, const Work &work) {
  constexpr int W = kWidth<V>;
  C<V> *line = static_cast<C<V> *>(work.line);
  C<V> *tmp = static_cast<C<V> *>(work.tmp);
  const bool inverse = direction != 0;

  const Tables &ct = work.colTables;
  for (int32_t x0 = 0; x0 < cols; x0 += W) {
    for (int i = 0; i < rows; ++i) {
      C<V> v = source.Point(ct.perm[i], x0);
      if (inverse) v.im = -v.im;
      line[i] = v;
    }
    lanes::Stages(line, rows, ct.nstages, ct.stages, ct.tw, tmp);
    lanes::Finish(line, rows, direction, 1.0f);
    for (int32_t y0 = 0; y0 < rows; y0 += W) {
      V re[W], im[W];
#pragma GCC unroll 8
      for (int l = 0; l < W; ++l) {
        re[l] = line[y0 + l].re;
        im[l] = line[y0 + l].im;
      }
      lanes::Transpose(re);
      lanes::Transpose(im);
      float *block = &t[int64_t{y0} * cols].re + int64_t{x0} * 2 * W;
#pragma GCC unroll 8
      for (int k = 0; k < W; ++k) {
        Store(block + k * 2 * W, re[k]);
        Store(block + k * 2 * W + W, im[k]);
      }
    }
  }

  const Tables &rt = work.rowTables;
  const float scale =
      direction == 0 ? 1.0f : 1.0f / static_cast<float>(int64_t{rows} * cols);
  for (int32_t y0 = 0; y0 < rows; y0 += W) {
    const float *block = &t[int64_t{y0} * cols].re;
    for (int i = 0; i < cols; ++i) {
      const float *p = block + int64_t{rt.perm[i]} * 2 * W;
      C<V> v = {Load<V>(p), Load<V>(p + W)};
      if (inverse) v.im = -v.im;
      line[i] = v;
    }
    lanes::Stages(line, cols, rt.nstages, rt.stages, rt.tw, tmp);
    lanes::Finish(line, cols, direction, scale);
    for (int32_t x0 = 0; x0 < cols; x0 += W) {
      V re[W], im[W];
#pragma GCC unroll 8
      for (int k = 0; k < W; ++k) {
        re[k] = line[x0 + k].re;
        im[k] = line[x0 + k].im;
      }
      lanes::Transpose(re);
      lanes::Transpose(im);
#pragma GCC unroll 8
      for (int l = 0; l < W; ++l) sink.Put(y0 + l, x0, re[l], im[l]);
    }
  }
}

// Entries per vector width.
template <class V, class Pixel>
ZQ_LANES_INLINE void ForwardWith(const Pixel *img, int32_t rows, int32_t cols,
                                 ST_Complex32f *spectrum, const Work &work) {
  const ComplexSink sink{spectrum, cols};
  if constexpr (sizeof(Pixel) == 1) {
    Run<V>(ByteRows<V>{img, cols}, sink, rows, cols, 0, spectrum, work);
  } else {
    Run<V>(FloatRows<V>{img, cols}, sink, rows, cols, 0, spectrum, work);
  }
}

template <class Pixel>
__attribute__((target("avx"))) void Forward8(const Pixel *img, int32_t rows, int32_t cols,
                                             ST_Complex32f *spectrum, const Work &work) {
  ForwardWith<F8>(img, rows, cols, spectrum, work);
}

template <class Pixel>
void Forward4(const Pixel *img, int32_t rows, int32_t cols, ST_Complex32f *spectrum,
              const Work &work) {
  ForwardWith<F4>(img, rows, cols, spectrum, work);
}

__attribute__((target("avx"))) void Inverse8(const ST_Complex32f *spectrum, int32_t rows,
                                             int32_t cols, ST_Complex32f *t, float *out,
                                             const Work &work) {
  Run<F8>(ComplexRows<F8>{spectrum, cols}, RealSink{out, cols}, rows, cols, 1, t, work);
}

void Inverse4(const ST_Complex32f *spectrum, int32_t rows, int32_t cols, ST_Complex32f *t,
              float *out, const Work &work) {
  Run<F4>(ComplexRows<F4>{spectrum, cols}, RealSink{out, cols}, rows, cols, 1, t, work);
}

__attribute__((target("avx"))) void Complex8(const ST_Complex32f *src, int32_t rows,
                                             int32_t cols, int32_t direction, ST_Complex32f *dst,
                                             const Work &work) {
  Run<F8>(ComplexRows<F8>{src, cols}, ComplexSink{dst, cols}, rows, cols, direction, dst, work);
}

void Complex4(const ST_Complex32f *src, int32_t rows, int32_t cols, int32_t direction,
              ST_Complex32f *dst, const Work &work) {
  Run<F4>(ComplexRows<F4>{src, cols}, ComplexSink{dst, cols}, rows, cols, direction, dst, work);
}

// Lines per block for these sizes, or 0 when no block width divides both.
int Width(int32_t rows, int32_t cols) {
  if (rows <= 0 || cols <= 0 || rows > 65535 || cols > 65535) return 0;
  if (gLanesLimit >= 8 && rows % 8 == 0 && cols % 8 == 0 && __builtin_cpu_supports("avx"))
    return 8;
  if (gLanesLimit >= 4 && rows % 4 == 0 && cols % 4 == 0) return 4;
  return 0;
}

// Whether rows x cols values of types A and B at a and b share no byte (the
// column pass writes the destination while it still reads the source).
template <class A, class B>
bool Apart(const A *a, const B *b, int32_t rows, int32_t cols) {
  const uint64_t n = static_cast<uint64_t>(rows) * static_cast<uint64_t>(cols);
  const uintptr_t pa = reinterpret_cast<uintptr_t>(a), pb = reinterpret_cast<uintptr_t>(b);
  return pa >= pb + n * sizeof(B) || pb >= pa + n * sizeof(A);
}

template <class Pixel>
int32_t ForwardAny(const Pixel *img, int32_t rows, int32_t cols, ST_Complex32f *spectrum) {
  const int width = Width(rows, cols);
  if (width == 0 || !Apart(img, spectrum, rows, cols)) return 1;
  Work work(rows, cols);
  if (!work.Take(width)) return -2;
  if (width == 8)
    Forward8(img, rows, cols, spectrum, work);
  else
    Forward4(img, rows, cols, spectrum, work);
  return 0;
}

}  // namespace

int32_t fftBlocksForward(const float *img, int32_t rows, int32_t cols, ST_Complex32f *spectrum) {
  return ForwardAny(img, rows, cols, spectrum);
}

int32_t fftBlocksForward(const uint8_t *img, int32_t rows, int32_t cols,
                         ST_Complex32f *spectrum) {
  return ForwardAny(img, rows, cols, spectrum);
}

int32_t fftBlocks2D(const ST_Complex32f *src, int32_t rows, int32_t cols, int32_t direction,
                    ST_Complex32f *dst) {
  const int width = Width(rows, cols);
  if (width == 0 || !Apart(src, dst, rows, cols)) return 1;
  Work work(rows, cols);
  if (!work.Take(width)) return -2;
  if (width == 8)
    Complex8(src, rows, cols, direction, dst, work);
  else
    Complex4(src, rows, cols, direction, dst, work);
  return 0;
}

int32_t fftBlocksInverseReal(const ST_Complex32f *spectrum, int32_t rows, int32_t cols,
                             float *out) {
  const int width = Width(rows, cols);
  if (width == 0) return 1;
  Work work(rows, cols);
  if (!work.Take(width)) return -2;
  ST_Complex32f *t = work.heap.Take<ST_Complex32f>(int64_t{rows} * cols);
  if (t == nullptr) return -2;
  if (width == 8)
    Inverse8(spectrum, rows, cols, t, out, work);
  else
    Inverse4(spectrum, rows, cols, t, out, work);
  return 0;
}

bool fftBlocksSuit(int32_t rows, int32_t cols) { return Width(rows, cols) != 0; }

int fftLanesLimit() { return gLanesLimit; }

}  // namespace zq_fft

extern "C" void ZqFftLanesForTest(int32_t lanes) { zq_fft::gLanesLimit = lanes; }
