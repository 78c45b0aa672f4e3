// Detected minutiae to xyt records, and the records' byte form.
#include "framework/fpi_xyt.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// One row as the matcher's comparator sees it.
struct XytRow {
  int32_t x, y, theta, quality;
};
static_assert(sizeof(XytRow) == 16, "bz_compare_x_y sorts 16-byte rows");

constexpr size_t kXOffset = 4;
constexpr size_t kYOffset = kXOffset + 4 * XYT_MAX_MINUTIAE;
constexpr size_t kThetaOffset = kYOffset + 4 * XYT_MAX_MINUTIAE;
static_assert(kThetaOffset + 4 * XYT_MAX_MINUTIAE == XYT_RECORD_SIZE);

void PutLe32(unsigned char *out, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; i++) out[i] = static_cast<unsigned char>(v >> (8 * i));
}

int32_t GetLe32(const unsigned char *in) {
  uint32_t v = 0;
  for (int i = 0; i < 4; i++) v |= static_cast<uint32_t>(in[i]) << (8 * i);
  return static_cast<int32_t>(v);
}

}  // namespace

extern "C" void fpi_minutiae_to_xyt(const lfs_minutiae *minutiae, int iw, int ih,
                                    xyt_record *xyt) {
  XytRow rows[FPI_XYT_MAX_CANDIDATES];
  const int n = std::clamp(minutiae->count, 0, FPI_XYT_MAX_CANDIDATES);
  for (int i = 0; i < n; i++) {
    const lfs_minutia *minutia = minutiae->list[i];
    int x, y, theta;
    lfs_minutia_to_xyt(&x, &y, &theta, minutia, iw, ih);
    if (theta > 180) theta -= 360;
    rows[i] = {x, y, theta, static_cast<int32_t>(std::lround(minutia->reliability * 100.0))};
  }
  std::qsort(rows, static_cast<size_t>(n), sizeof(XytRow), bz_compare_x_y);

  std::memset(xyt, 0, sizeof *xyt);
  xyt->count = std::min(n, XYT_MAX_MINUTIAE);
  for (int i = 0; i < xyt->count; i++) {
    xyt->x[i] = rows[i].x;
    xyt->y[i] = rows[i].y;
    xyt->theta[i] = rows[i].theta;
  }
}

extern "C" void fpi_xyt_to_bytes(const xyt_record *xyt, unsigned char out[XYT_RECORD_SIZE]) {
  PutLe32(out, xyt->count);
  for (int i = 0; i < XYT_MAX_MINUTIAE; i++) {
    PutLe32(out + kXOffset + 4 * i, xyt->x[i]);
    PutLe32(out + kYOffset + 4 * i, xyt->y[i]);
    PutLe32(out + kThetaOffset + 4 * i, xyt->theta[i]);
  }
}

extern "C" bool fpi_xyt_from_bytes(const unsigned char *bytes, size_t length,
                                   xyt_record *xyt) {
  if (length < XYT_RECORD_SIZE) return false;
  const int32_t count = GetLe32(bytes);
  if (count < 0 || count > XYT_MAX_MINUTIAE) return false;
  xyt->count = count;
  for (int i = 0; i < XYT_MAX_MINUTIAE; i++) {
    xyt->x[i] = GetLe32(bytes + kXOffset + 4 * i);
    xyt->y[i] = GetLe32(bytes + kYOffset + 4 * i);
    xyt->theta[i] = GetLe32(bytes + kThetaOffset + 4 * i);
  }
  return true;
}
