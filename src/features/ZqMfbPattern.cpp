#include "src/features/ZqMfbPattern.h"

#include <array>
#include <cmath>

namespace {

// Second point of each pair, grouped by the first point (list of i ends with
// 0xff).
struct PairGroup {
  uint8_t i;
  uint8_t j[15];
};
constexpr uint8_t E = 0xff;
constexpr PairGroup kGroups[] = {
    {0, {5, 15, 20, 29, 31, 33, 34, 35, 36, 37, 39, 41, E}},
    {1, {4, 5, 6, 9, 13, 14, 21, 22, 31, 34, 35, 36, 39, E}},
    {2, {3, 7, 8, 21, 30, 40, E}},
    {3, {7, 8, 30, 40, E}},
    {4, {6, 9, 13, 14, 20, 21, 22, 31, 34, 35, 36, 39, E}},
    {5, {9, 13, 22, 29, 31, 34, 35, 36, 39, 41, E}},
    {6, {9, 13, 14, 15, 21, 22, 31, 34, 35, 36, 39, E}},
    {7, {8, 14, 30, 40, E}},
    {8, {14, 30, 40, E}},
    {9, {13, 14, 15, 21, 22, 31, 34, 35, 36, 39, E}},
    {10, {27, E}},
    {11, {24, 27, 28, 42, 43, E}},
    {12, {16, 19, 20, 23, 25, 26, 27, 31, 32, 33, 37, 38, 39, 44, E}},
    {13, {21, 22, 34, 35, 36, 39, E}},
    {14, {21, 22, 34, 35, 36, 40, E}},
    {15, {20, 23, 25, 26, 29, 31, 33, 34, 36, 37, 39, 44, E}},
    {16, {17, 18, 19, 23, 25, 26, 38, 39, 44, E}},
    {17, {18, 19, 26, 27, 28, 32, 38, 42, 43, 44, E}},
    {18, {19, 26, 27, 28, 32, 38, 42, 43, 44, E}},
    {19, {23, 25, 26, 31, 32, 44, E}},
    {20, {25, 31, 33, 34, 37, 39, 41, 44, E}},
    {21, {30, 31, 34, 35, 36, E}},
    {22, {31, 34, 35, 36, 39, E}},
    {23, {25, 26, 31, 32, 33, 37, 38, 39, 44, E}},
    {24, {27, 28, 38, 42, 43, E}},
    {25, {26, 31, 33, 37, 38, 39, 44, E}},
    {26, {31, 32, 33, 37, 38, 39, 43, 44, E}},
    {27, {28, 32, 38, 42, 43, E}},
    {28, {32, 38, 42, 43, E}},
    {29, {31, 33, 34, 35, 36, 39, 41, E}},
    {30, {40, E}},
    {31, {33, 34, 35, 36, 37, 39, 41, E}},
    {32, {38, 42, 43, 44, E}},
    {33, {37, 39, 44, E}},
    {34, {36, 39, 41, E}},
    {35, {39, 41, E}},
    {36, {39, 41, E}},
    {37, {39, 44, E}},
    {38, {42, 43, 44, E}},
    {39, {41, 44, E}},
    {42, {43, E}},
};

constexpr std::array<ST_MfbPair, ZQ_MFB_PAIRS> FlattenPairs() {
  std::array<ST_MfbPair, ZQ_MFB_PAIRS> out{};
  int k = 0;
  for (const PairGroup &g : kGroups) {
    for (int n = 0; n < 15 && g.j[n] != E; ++n) {
      if (k < ZQ_MFB_PAIRS) out[k] = ST_MfbPair{g.i, g.j[n]};
      ++k;
    }
  }
  // A list of the wrong length does not compile.
  if (k != ZQ_MFB_PAIRS) throw "gMfbPairs needs exactly 256 pairs";
  return out;
}
constexpr std::array<ST_MfbPair, ZQ_MFB_PAIRS> kPairs = FlattenPairs();

// The rings: point count, radius.
struct Ring {
  int count;
  double radius;
};
constexpr Ring kRings[] = {{10, 4.0}, {15, 8.0}, {20, 13.0}};

ST_MfbPoint gRingStore[ZQ_MFB_POINTS];

// Fills gRingStore before main: R cos(a), R sin(a) rounded to float.
struct RingFiller {
  RingFiller() {
    const double kPi = 3.14159265358979323846;
    int k = 0;
    for (const Ring &ring : kRings) {
      for (int n = 0; n < ring.count; ++n, ++k) {
        const double a = 2.0 * kPi * n / ring.count;
        gRingStore[k].px = static_cast<float>(ring.radius * std::cos(a));
        gRingStore[k].py = static_cast<float>(ring.radius * std::sin(a));
      }
    }
  }
};
const RingFiller kRingFiller;

}  // namespace

extern "C" {
const ST_MfbPoint *const gMfbRingPts = gRingStore;
const ST_MfbPair *const gMfbPairs = kPairs.data();
}
