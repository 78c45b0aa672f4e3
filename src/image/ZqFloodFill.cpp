// Flood fills with an explicit stack; see ZqFloodFill.h.
#include "src/image/ZqFloodFill.h"

#include <algorithm>

namespace {

// The 4- and 8-neighbour offsets in fill order.
constexpr int kDx4[4] = {1, 0, -1, 0};
constexpr int kDy4[4] = {0, 1, 0, -1};
constexpr int kDx8[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr int kDy8[8] = {0, 1, 1, 1, 0, -1, -1, -1};

// Shape statistics gathered while a region is filled.
struct Stats {
  int minX, maxX, minY, maxY;
  int32_t area = 0, edge = 0, zeroSum = 0, thin = 0, tip = 0;
};

// True when the arguments allow a fill that ends within the stack's room.
template <typename Pixel>
bool FillArgsOk(const Pixel *image, int32_t rows, int32_t cols, int32_t key, int32_t x, int32_t y,
                int32_t value, const ST_Point16u *stack, const int32_t *count) {
  if (image == nullptr || stack == nullptr || count == nullptr) return false;
  if (rows <= 0 || cols <= 0 || rows > 65535 || cols > 65535) return false;
  if (x < 0 || y < 0 || x >= cols || y >= rows || *count != 0) return false;
  // A filled pixel that still matches the key would be pushed again forever.
  return static_cast<Pixel>(value) != static_cast<Pixel>(key & 0xFF);
}

// The common fill: offsets dx/dy of n neighbours; stats (optional) are
// gathered per popped pixel after its neighbours were handled.
template <typename Pixel>
void Fill(Pixel *image, int32_t rows, int32_t cols, int32_t key, int32_t x, int32_t y,
          int32_t value, ST_Point16u *stack, int32_t *count, const int *dx, const int *dy, int n,
          Stats *stats) {
  const Pixel k = static_cast<Pixel>(key & 0xFF);
  const Pixel v = static_cast<Pixel>(value);
  image[static_cast<int64_t>(y) * cols + x] = v;
  stack[(*count)++] = ST_Point16u{static_cast<uint16_t>(x), static_cast<uint16_t>(y)};
  if (stats != nullptr) {
    stats->minX = stats->maxX = x;
    stats->minY = stats->maxY = y;
  }
  while (*count > 0) {
    const ST_Point16u p = stack[--(*count)];
    const int px = p.x, py = p.y;
    for (int i = 0; i < n; ++i) {
      const int nx = px + dx[i], ny = py + dy[i];
      if (nx < 0 || ny < 0 || nx >= cols || ny >= rows) continue;
      Pixel &q = image[static_cast<int64_t>(ny) * cols + nx];
      if (q != k) continue;
      q = v;
      stack[(*count)++] = ST_Point16u{static_cast<uint16_t>(nx), static_cast<uint16_t>(ny)};
    }
    if (stats == nullptr) continue;
    stats->minX = std::min(stats->minX, px);
    stats->maxX = std::max(stats->maxX, px);
    stats->minY = std::min(stats->minY, py);
    stats->maxY = std::max(stats->maxY, py);
    ++stats->area;
    bool zero[4];  // E, S, W, N
    int k0 = 0;
    for (int i = 0; i < 4; ++i) {
      const int nx = px + kDx4[i], ny = py + kDy4[i];
      zero[i] = nx < 0 || ny < 0 || nx >= cols || ny >= rows ||
                image[static_cast<int64_t>(ny) * cols + nx] == 0;
      k0 += zero[i] ? 1 : 0;
    }
    if (k0 == 0) continue;
    ++stats->edge;
    stats->zeroSum += k0;
    if (k0 >= 3) ++stats->tip;
    if (k0 == 2 && ((zero[0] && zero[2]) || (zero[1] && zero[3]))) ++stats->thin;
  }
}

// Writes the statistics into info; thin fields only when withThin.
void StoreStats(const Stats &s, bool withThin, ST_AreaInfo *info) {
  info->height = s.maxY - s.minY + 1;
  info->width = s.maxX - s.minX + 1;
  info->area = s.area;
  info->edgeCount = s.edge;
  const int32_t lo = std::min(info->width, info->height);
  const int32_t hi = std::max(info->width, info->height);
  info->aspect = static_cast<uint8_t>(lo < 1 ? 0 : hi / lo);
  info->edgePercent = static_cast<uint8_t>(s.area == 0 ? 0 : s.edge * 100 / s.area);
  info->fillPercent = static_cast<uint8_t>(static_cast<int64_t>(s.area) * 100 /
                                           (int64_t{info->width} * info->height));
  info->sidePercent = s.edge == 0 ? 0 : 100 * s.zeroSum / s.edge;
  info->tipCount = s.tip;
  info->edgePerTip = s.tip == 0 ? 0 : s.edge / s.tip;
  if (withThin) {
    info->thinCount = s.thin;
    info->thinTipCount = s.thin + s.tip;
  }
}

}  // namespace

int32_t ZqFloodFill(uint8_t *image, int32_t rows, int32_t cols, int32_t key, int32_t x, int32_t y,
                    int32_t value, ST_Point16u *stack, int32_t *count) {
  if (!FillArgsOk(image, rows, cols, key, x, y, value, stack, count)) return -1;
  Fill(image, rows, cols, key, x, y, value, stack, count, kDx4, kDy4, 4, nullptr);
  return 0;
}

int32_t ZqFloodFill_8_v2(uint8_t *image, int32_t rows, int32_t cols, int32_t key, int32_t x,
                         int32_t y, int32_t value, ST_Point16u *stack, int32_t *count) {
  if (!FillArgsOk(image, rows, cols, key, x, y, value, stack, count)) return -1;
  Fill(image, rows, cols, key, x, y, value, stack, count, kDx8, kDy8, 8, nullptr);
  return 0;
}

int32_t ZqFloodFill_v2(uint8_t *image, int32_t rows, int32_t cols, int32_t key, int32_t x,
                       int32_t y, int32_t value, ST_Point16u *stack, int32_t *count,
                       ST_AreaInfo *info) {
  if (info == nullptr || !FillArgsOk(image, rows, cols, key, x, y, value, stack, count)) return -1;
  Stats s;
  Fill(image, rows, cols, key, x, y, value, stack, count, kDx4, kDy4, 4, &s);
  StoreStats(s, false, info);
  return 0;
}

int32_t ZqFloodFill_v4(uint16_t *image, int32_t rows, int32_t cols, int32_t key, int32_t x,
                       int32_t y, int32_t value, ST_Point16u *stack, int32_t *count,
                       ST_AreaInfo *info) {
  if (info == nullptr || !FillArgsOk(image, rows, cols, key, x, y, value, stack, count)) return -1;
  Stats s;
  Fill(image, rows, cols, key, x, y, value, stack, count, kDx4, kDy4, 4, &s);
  StoreStats(s, true, info);
  return 0;
}
