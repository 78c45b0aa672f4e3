#include "src/ZqAlg/ZqDescMatch.h"

#include <string.h>

#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/features/ZqAlgMode.h"

// Equal bits of each byte value: 8 minus its set bits, built by doubling
// the range covered at each step (00, 01, 10, 11 two bits at a time).
#define ZQ_EQ2(n) (n), (n) - 1, (n) - 1, (n) - 2
#define ZQ_EQ4(n) ZQ_EQ2(n), ZQ_EQ2((n) - 1), ZQ_EQ2((n) - 1), ZQ_EQ2((n) - 2)
#define ZQ_EQ6(n) ZQ_EQ4(n), ZQ_EQ4((n) - 1), ZQ_EQ4((n) - 1), ZQ_EQ4((n) - 2)
extern "C" const uint8_t invHMTableAlg[256] = {ZQ_EQ6(8), ZQ_EQ6(7), ZQ_EQ6(7), ZQ_EQ6(6)};
#undef ZQ_EQ6
#undef ZQ_EQ4
#undef ZQ_EQ2

namespace {

// Two 64-bit lanes; plain vector arithmetic that any target lowers, with
// no population-count instruction.
typedef uint64_t Lanes __attribute__((vector_size(16)));

inline Lanes Splat(uint64_t v) { return Lanes{v, v}; }

// A descriptor as two lanes.
struct DescLanes {
  Lanes lo, hi;
};

inline DescLanes LoadDesc(const ST_Feature &f) {
  DescLanes d;
  memcpy(&d.lo, &f.descr[0], sizeof(d.lo));
  memcpy(&d.hi, &f.descr[4], sizeof(d.hi));
  return d;
}

// Descriptor similarity: 256 minus the differing bits, counted by halving
// sums in the lanes (2-bit, 4-bit, 8-bit fields, then 16-bit ones). It
// equals the sum of invHMTableAlg over the 32 bytes of the XOR, about four
// times faster than the 32 table look-ups.
inline uint32_t DescSim(const DescLanes &a, const ST_Feature &fb) {
  const DescLanes b = LoadDesc(fb);
  Lanes x = a.lo ^ b.lo, y = a.hi ^ b.hi;
  x = x - ((x >> 1) & Splat(0x5555555555555555ull));
  y = y - ((y >> 1) & Splat(0x5555555555555555ull));
  x = (x & Splat(0x3333333333333333ull)) + ((x >> 2) & Splat(0x3333333333333333ull));
  y = (y & Splat(0x3333333333333333ull)) + ((y >> 2) & Splat(0x3333333333333333ull));
  x = (x + (x >> 4)) & Splat(0x0F0F0F0F0F0F0F0Full);
  y = (y + (y >> 4)) & Splat(0x0F0F0F0F0F0F0F0Full);
  Lanes s = x + y;  // bytes of at most 16
  s = (s & Splat(0x00FF00FF00FF00FFull)) + ((s >> 8) & Splat(0x00FF00FF00FF00FFull));
  const uint64_t t = s[0] + s[1];  // 16-bit fields of at most 64
  const uint32_t differing = static_cast<uint32_t>((t * 0x0001000100010001ull) >> 48);
  return ZQ_DESCR_BITS - differing;
}

// Keypoint groups a record holds: classNum, at most the two it counts.
inline uint32_t Groups(const ST_SubTemplate &t) { return t.classNum < 2 ? t.classNum : 2u; }

// First index and length of group k of t; empty without a feature array.
inline void GroupRange(const ST_SubTemplate &t, uint32_t k, uint32_t *first, uint32_t *len) {
  *first = k == 0 ? 0u : t.nFeatureNum[0];
  *len = t.pTemplateFeature == nullptr ? 0u : t.nFeatureNum[k];
}

// Same position as compared by the pair de-duplication.
inline bool SamePosition(const ST_Feature &a, const ST_Feature &b) {
  const double dx = static_cast<double>(a.x) - static_cast<double>(b.x);
  const double dy = static_cast<double>(a.y) - static_cast<double>(b.y);
  return (dx < 0 ? -dx : dx) < 1e-6 && (dy < 0 ? -dy : dy) < 1e-6;
}

}  // namespace

extern "C" {

uint32_t ZqCalcDescSim(const ST_Feature *a, const ST_Feature *b) {
  if (a == nullptr || b == nullptr) return 0;
  uint32_t sim = 0;
  for (int w = 0; w < ZQ_DESCR_WORDS; ++w) {
    const uint32_t x = a->descr[w] ^ b->descr[w];
    sim += invHMTableAlg[x & 0xFFu] + invHMTableAlg[(x >> 8) & 0xFFu] +
           invHMTableAlg[(x >> 16) & 0xFFu] + invHMTableAlg[x >> 24];
  }
  return sim;
}

uint16_t ZqCalcHanmDistance(const ST_SubTemplate *sample, const ST_SubTemplate *tpl,
                            uint16_t sims[][2], uint16_t idx[][2], uint16_t *count) {
  if (count != nullptr) *count = 0;
  if (sample == nullptr || tpl == nullptr || sims == nullptr || idx == nullptr) return 0;
  uint32_t n = 0;
  for (uint32_t k = 0; k < Groups(*sample); ++k) {
    uint32_t sFirst, sLen, tFirst, tLen;
    GroupRange(*sample, k, &sFirst, &sLen);
    GroupRange(*tpl, k, &tFirst, &tLen);
    for (uint32_t s = sFirst; s < sFirst + sLen && n < ZQ_MATCH_MAX_SAMPLE_KP; ++s, ++n) {
      const DescLanes f = LoadDesc(sample->pTemplateFeature[s]);
      uint32_t best = 0, second = 0, bestIdx = 0, secondIdx = 0;
      for (uint32_t t = tFirst; t < tFirst + tLen; ++t) {
        const uint32_t sim = DescSim(f, tpl->pTemplateFeature[t]);
        if (sim > best) {
          second = best;
          secondIdx = bestIdx;
          best = sim;
          bestIdx = t;
        } else if (sim > second) {
          second = sim;
          secondIdx = t;
        }
      }
      sims[n][0] = static_cast<uint16_t>(best);
      sims[n][1] = static_cast<uint16_t>(second);
      idx[n][0] = static_cast<uint16_t>(bestIdx);
      idx[n][1] = static_cast<uint16_t>(secondIdx);
    }
  }
  if (count != nullptr) *count = static_cast<uint16_t>(n);
  return static_cast<uint16_t>(n);
}

void ZqGetMatchPairs(const ST_SubTemplate *sample, const ST_SubTemplate *tpl,
                     const uint16_t sims[][2], const uint16_t idx[][2], uint16_t count,
                     ST_MatchPair pairs[ZQ_MATCH_MAX_PAIRS], uint16_t *pairCount) {
  (void)tpl;
  if (pairCount == nullptr) return;
  *pairCount = 0;
  if (sample == nullptr || sims == nullptr || idx == nullptr || pairs == nullptr ||
      sample->pTemplateFeature == nullptr)
    return;
  // The table rows are the sample's keypoints: never read past them.
  const uint32_t kpNum = static_cast<uint32_t>(sample->nFeatureNum[0]) + sample->nFeatureNum[1];
  const uint32_t rows = count < kpNum ? count : kpNum;
  const uint32_t b =
      (gSensorInfor.algoMode == 5 && ZqSensorTypeGet() == 16) ? 50u : 60u;
  const ST_Feature *kp = sample->pTemplateFeature;
  uint32_t held = 0;
  for (uint32_t i = 0; i < rows; ++i) {
    const uint32_t best = sims[i][0], second = sims[i][1];
    if (!(best > ZQ_MATCH_MIN_BEST_SIM && best * (b - 1) > second * b)) continue;
    const ST_MatchPair own = {static_cast<uint16_t>(i), idx[i][0], sims[i][0], sims[i][1]};
    bool seen = false;
    for (uint32_t p = 0; p < held; ++p) {
      if (!SamePosition(kp[pairs[p].sampleIdx], kp[i])) continue;
      seen = true;
      if (pairs[p].bestSim < own.bestSim) pairs[p] = own;
    }
    if (seen) continue;
    if (held < ZQ_MATCH_MAX_PAIRS) {
      pairs[held++] = own;
      continue;
    }
    uint32_t lowest = 0;
    for (uint32_t p = 1; p < held; ++p)
      if (pairs[p].bestSim < pairs[lowest].bestSim) lowest = p;
    if (own.bestSim > pairs[lowest].bestSim) pairs[lowest] = own;
  }
  // Stable exchange sort, highest bestSim first.
  for (uint32_t pass = 1; pass < held; ++pass) {
    for (uint32_t p = 0; p + pass < held; ++p) {
      if (pairs[p].bestSim < pairs[p + 1].bestSim) {
        const ST_MatchPair t = pairs[p];
        pairs[p] = pairs[p + 1];
        pairs[p + 1] = t;
      }
    }
  }
  *pairCount = static_cast<uint16_t>(held);
}

}  // extern "C"
