// Two-dimensional transform and the spectrum shifts.
#include <string.h>

#include "src/image/ZqScratch.h"
#include "src/image/fft/ZqFftBlocks.h"
#include "src/image/fft/ZqFftCore.h"
#include "src/image/fft/ZqFftLanes.h"

namespace zq_fft {

namespace {

// Tables and buffers of one pass (one line length).
struct Pass {
  int n = 0, nstages = 0;
  int stages[kMaxFactors];
  zq::ScratchStack heap{zq::ScratchSource::kHeap};
  int *perm;
  ST_Complex32f *tw, *scratch, *line;
  uint8_t *lanes;  // scratch of the four-line transform, 16-byte aligned inside
  explicit Pass(int len)
      : n(len),
        perm(heap.Take<int>(len)),
        tw(heap.Take<ST_Complex32f>(len)),
        scratch(heap.Take<ST_Complex32f>(len)),
        line(heap.Take<ST_Complex32f>(len)),
        lanes(heap.Take<uint8_t>(fftLanes4ScratchBytes(len) + 16)) {
    if (!ok()) return;
    nstages = fftStages(n, stages);
    fftInitTables(n, nstages, stages, perm, tw);
  }
  bool ok() const {
    return perm != nullptr && tw != nullptr && scratch != nullptr && line != nullptr &&
           lanes != nullptr;
  }
  void Run(ST_Complex32f *x, int direction, float scale) {
    fftTransform1D(x, n, nstages, stages, perm, tw, scratch, direction, scale);
  }
  // Four lines at once: line l at in + l * lineStep, points pointStep
  // apart, results to the same places in out.
  void Run4(const ST_Complex32f *in, ST_Complex32f *out, int64_t lineStep, int64_t pointStep,
            int direction, float scale) {
    void *aligned = lanes + ((16 - reinterpret_cast<uintptr_t>(lanes) % 16) % 16);
    fftTransform1DLanes4(in, out, lineStep, pointStep, n, nstages, stages, perm, tw, aligned,
                         direction, scale);
  }
};

}  // namespace

int32_t fft2D(const ST_Complex32f *src, int32_t rows, int32_t cols, int32_t direction,
              ST_Complex32f *dst) {
  if (src == nullptr || dst == nullptr || rows <= 0 || cols <= 0 || rows > 65535 || cols > 65535 ||
      direction < 0 || direction > 1)
    return -1;
  const int32_t blocks = fftBlocks2D(src, rows, cols, direction, dst);
  if (blocks != 1) return blocks;
  const int64_t total = int64_t{rows} * cols;
  const float scale = direction == 0 ? 1.0f : 1.0f / static_cast<float>(total);
  const bool fourLines = fftLanesLimit() >= 4;

  if (rows >= 2) {
    Pass pass(rows);
    if (!pass.ok()) return -2;
    ST_Complex32f *line = pass.line;
    int32_t x = 0;
    for (; fourLines && x + 4 <= cols; x += 4)
      pass.Run4(src + x, dst + x, 1, cols, direction, 1.0f);
    for (; x < cols; ++x) {
      for (int32_t y = 0; y < rows; ++y) line[y] = src[int64_t{y} * cols + x];
      pass.Run(line, direction, 1.0f);
      for (int32_t y = 0; y < rows; ++y) dst[int64_t{y} * cols + x] = line[y];
    }
  } else if (dst != src) {
    memcpy(dst, src, static_cast<size_t>(total) * sizeof(ST_Complex32f));
  }

  if (cols >= 2) {
    Pass pass(cols);
    if (!pass.ok()) return -2;
    int32_t y = 0;
    for (; fourLines && y + 4 <= rows; y += 4)
      pass.Run4(dst + int64_t{y} * cols, dst + int64_t{y} * cols, cols, 1, direction, scale);
    for (; y < rows; ++y) pass.Run(dst + int64_t{y} * cols, direction, scale);
  } else if (scale != 1.0f) {
    for (int64_t i = 0; i < total; ++i) dst[i] = {dst[i].re * scale, dst[i].im * scale};
  }
  return 0;
}

namespace {

// Moves (y, x) to ((y + dy) mod rows, (x + dx) mod cols).
int32_t Roll(ST_Complex32f *spectrum, int32_t rows, int32_t cols, int32_t dy, int32_t dx) {
  const int64_t total = int64_t{rows} * cols;
  zq::ScratchStack heap(zq::ScratchSource::kHeap);
  ST_Complex32f *copy = heap.Take<ST_Complex32f>(total);
  if (copy == nullptr) return -2;
  memcpy(copy, spectrum, static_cast<size_t>(total) * sizeof(ST_Complex32f));
  for (int32_t y = 0; y < rows; ++y) {
    const int64_t ty = (y + dy) % rows;
    for (int32_t x = 0; x < cols; ++x)
      spectrum[ty * cols + (x + dx) % cols] = copy[int64_t{y} * cols + x];
  }
  return 0;
}

}  // namespace

int32_t fftShiftCenter(ST_Complex32f *spectrum, int32_t rows, int32_t cols) {
  return Roll(spectrum, rows, cols, rows / 2, cols / 2);
}

int32_t fftShiftBack(ST_Complex32f *spectrum, int32_t rows, int32_t cols) {
  return Roll(spectrum, rows, cols, rows - rows / 2, cols - cols / 2);
}

}  // namespace zq_fft
