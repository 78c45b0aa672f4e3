#include "src/ZqAlg/ZqDescMatch.h"

#include <immintrin.h>
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

// The straightforward scan: each sample keypoint against the template
// keypoints in order, the best and second kept on the way (a later equal
// similarity never displaces an earlier one).
void ScanPlain(const ST_Feature *s, uint32_t rows, const ST_Feature *t, uint32_t tLen,
               uint32_t tFirst, uint16_t sims[][2], uint16_t idx[][2]) {
  for (uint32_t i = 0; i < rows; ++i) {
    const DescLanes f = LoadDesc(s[i]);
    uint32_t best = 0, second = 0, bestIdx = 0, secondIdx = 0;
    for (uint32_t j = 0; j < tLen; ++j) {
      const uint32_t sim = DescSim(f, t[j]);
      if (sim > best) {
        second = best;
        secondIdx = bestIdx;
        best = sim;
        bestIdx = tFirst + j;
      } else if (sim > second) {
        second = sim;
        secondIdx = tFirst + j;
      }
    }
    sims[i][0] = static_cast<uint16_t>(best);
    sims[i][1] = static_cast<uint16_t>(second);
    idx[i][0] = static_cast<uint16_t>(bestIdx);
    idx[i][1] = static_cast<uint16_t>(secondIdx);
  }
}

// Lays the descriptors of up to kLanes sample keypoints word by word across
// the lanes (word w of lane i is word w of s[i]); unused lanes stay 0.
template <uint32_t kLanes>
inline void LaneWords(const ST_Feature *s, uint32_t lanes,
                      uint32_t (&words)[ZQ_DESCR_WORDS][kLanes]) {
  memset(words, 0, sizeof(words));
  for (uint32_t i = 0; i < lanes; ++i)
    for (int w = 0; w < ZQ_DESCR_WORDS; ++w) words[w][i] = s[i].descr[w];
}

// Sample keypoints one wide pass holds, one per 32-bit lane.
constexpr uint32_t kWideLanes = 16;

// The same scan sixteen sample keypoints at a time: their descriptors are
// stored word by word across the lanes (word w of lane i is word w of
// sample i), so one template descriptor, broadcast word by word, is
// compared with all sixteen by eight XORs and bit counts, and the best and
// second of every lane are kept by masked moves in the same order of
// template keypoints as the plain scan.
__attribute__((target("avx512f,avx512vpopcntdq"))) void ScanWide(
    const ST_Feature *s, uint32_t rows, const ST_Feature *t, uint32_t tLen, uint32_t tFirst,
    uint16_t sims[][2], uint16_t idx[][2]) {
  for (uint32_t first = 0; first < rows; first += kWideLanes) {
    const uint32_t lanes = rows - first < kWideLanes ? rows - first : kWideLanes;
    alignas(64) uint32_t words[ZQ_DESCR_WORDS][kWideLanes];
    LaneWords(s + first, lanes, words);
    __m512i sw[ZQ_DESCR_WORDS];
    for (int w = 0; w < ZQ_DESCR_WORDS; ++w) sw[w] = _mm512_load_si512(words[w]);
    const __m512i all = _mm512_set1_epi32(ZQ_DESCR_BITS);
    __m512i best = _mm512_setzero_si512(), second = best, bestIdx = best, secondIdx = best;
    for (uint32_t j = 0; j < tLen; ++j) {
      const uint32_t *d = t[j].descr;
      __m512i diff = _mm512_popcnt_epi32(_mm512_xor_si512(sw[0], _mm512_set1_epi32(static_cast<int>(d[0]))));
      for (int w = 1; w < ZQ_DESCR_WORDS; ++w)
        diff = _mm512_add_epi32(
            diff, _mm512_popcnt_epi32(_mm512_xor_si512(sw[w], _mm512_set1_epi32(static_cast<int>(d[w])))));
      const __m512i sim = _mm512_sub_epi32(all, diff);
      const __m512i at = _mm512_set1_epi32(static_cast<int>(tFirst + j));
      const __mmask16 above = _mm512_cmpgt_epu32_mask(sim, best);
      const __mmask16 between = _mm512_cmpgt_epu32_mask(sim, second) & static_cast<__mmask16>(~above);
      second = _mm512_mask_mov_epi32(_mm512_mask_mov_epi32(second, above, best), between, sim);
      secondIdx = _mm512_mask_mov_epi32(_mm512_mask_mov_epi32(secondIdx, above, bestIdx), between, at);
      best = _mm512_mask_mov_epi32(best, above, sim);
      bestIdx = _mm512_mask_mov_epi32(bestIdx, above, at);
    }
    alignas(64) uint32_t b[kWideLanes], sc[kWideLanes], bi[kWideLanes], si[kWideLanes];
    _mm512_store_si512(b, best);
    _mm512_store_si512(sc, second);
    _mm512_store_si512(bi, bestIdx);
    _mm512_store_si512(si, secondIdx);
    for (uint32_t i = 0; i < lanes; ++i) {
      sims[first + i][0] = static_cast<uint16_t>(b[i]);
      sims[first + i][1] = static_cast<uint16_t>(sc[i]);
      idx[first + i][0] = static_cast<uint16_t>(bi[i]);
      idx[first + i][1] = static_cast<uint16_t>(si[i]);
    }
  }
}

// The same scan eight sample keypoints at a time with 256-bit registers,
// which have no bit count: the bits of each byte are counted by two
// 16-entry table look-ups (one per half byte), summed over the eight words
// in the bytes (at most 64 each), then the four bytes of each lane summed.
__attribute__((target("avx2"))) void ScanEight(const ST_Feature *s, uint32_t rows,
                                               const ST_Feature *t, uint32_t tLen, uint32_t tFirst,
                                               uint16_t sims[][2], uint16_t idx[][2]) {
  constexpr uint32_t kLanes = 8;
  const __m256i nibbleBits = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4, 0, 1,
                                              1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4);
  const __m256i lowNibbles = _mm256_set1_epi8(0x0F);
  const __m256i onesU8 = _mm256_set1_epi8(1), onesI16 = _mm256_set1_epi16(1);
  const __m256i all = _mm256_set1_epi32(ZQ_DESCR_BITS);
  for (uint32_t first = 0; first < rows; first += kLanes) {
    const uint32_t lanes = rows - first < kLanes ? rows - first : kLanes;
    alignas(32) uint32_t words[ZQ_DESCR_WORDS][kLanes];
    LaneWords(s + first, lanes, words);
    __m256i sw[ZQ_DESCR_WORDS];
    for (int w = 0; w < ZQ_DESCR_WORDS; ++w)
      sw[w] = _mm256_load_si256(reinterpret_cast<const __m256i *>(words[w]));
    __m256i best = _mm256_setzero_si256(), second = best, bestIdx = best, secondIdx = best;
    for (uint32_t j = 0; j < tLen; ++j) {
      const uint32_t *d = t[j].descr;
      __m256i bytes = _mm256_setzero_si256();
      for (int w = 0; w < ZQ_DESCR_WORDS; ++w) {
        const __m256i x = _mm256_xor_si256(sw[w], _mm256_set1_epi32(static_cast<int>(d[w])));
        bytes = _mm256_add_epi8(
            bytes, _mm256_add_epi8(
                       _mm256_shuffle_epi8(nibbleBits, _mm256_and_si256(x, lowNibbles)),
                       _mm256_shuffle_epi8(nibbleBits,
                                           _mm256_and_si256(_mm256_srli_epi16(x, 4), lowNibbles))));
      }
      const __m256i diff = _mm256_madd_epi16(_mm256_maddubs_epi16(bytes, onesU8), onesI16);
      const __m256i sim = _mm256_sub_epi32(all, diff);  // 0 .. 256: signed compares hold
      const __m256i at = _mm256_set1_epi32(static_cast<int>(tFirst + j));
      const __m256i above = _mm256_cmpgt_epi32(sim, best);
      const __m256i between = _mm256_andnot_si256(above, _mm256_cmpgt_epi32(sim, second));
      second = _mm256_blendv_epi8(_mm256_blendv_epi8(second, best, above), sim, between);
      secondIdx = _mm256_blendv_epi8(_mm256_blendv_epi8(secondIdx, bestIdx, above), at, between);
      best = _mm256_blendv_epi8(best, sim, above);
      bestIdx = _mm256_blendv_epi8(bestIdx, at, above);
    }
    alignas(32) uint32_t b[kLanes], sc[kLanes], bi[kLanes], si[kLanes];
    _mm256_store_si256(reinterpret_cast<__m256i *>(b), best);
    _mm256_store_si256(reinterpret_cast<__m256i *>(sc), second);
    _mm256_store_si256(reinterpret_cast<__m256i *>(bi), bestIdx);
    _mm256_store_si256(reinterpret_cast<__m256i *>(si), secondIdx);
    for (uint32_t i = 0; i < lanes; ++i) {
      sims[first + i][0] = static_cast<uint16_t>(b[i]);
      sims[first + i][1] = static_cast<uint16_t>(sc[i]);
      idx[first + i][0] = static_cast<uint16_t>(bi[i]);
      idx[first + i][1] = static_cast<uint16_t>(si[i]);
    }
  }
}

typedef void (*ScanFunc)(const ST_Feature *, uint32_t, const ST_Feature *, uint32_t, uint32_t,
                         uint16_t[][2], uint16_t[][2]);

bool HasSixteenLanes() {
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vpopcntdq");
}
bool HasEightLanes() { return __builtin_cpu_supports("avx2"); }

// Lanes a test asked for (1: the plain scan), 0 for the widest the
// processor has.
int32_t gScanLanes = 0;

ScanFunc ChosenScan() {
  if (gScanLanes == 1) return ScanPlain;
  if ((gScanLanes == 0 || gScanLanes == 16) && HasSixteenLanes()) return ScanWide;
  if ((gScanLanes == 0 || gScanLanes == 8) && HasEightLanes()) return ScanEight;
  return ScanPlain;
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
  const ScanFunc scan = ChosenScan();
  uint32_t n = 0;
  for (uint32_t k = 0; k < Groups(*sample); ++k) {
    uint32_t sFirst, sLen, tFirst, tLen;
    GroupRange(*sample, k, &sFirst, &sLen);
    GroupRange(*tpl, k, &tFirst, &tLen);
    const uint32_t rows = sLen < ZQ_MATCH_MAX_SAMPLE_KP - n ? sLen : ZQ_MATCH_MAX_SAMPLE_KP - n;
    if (rows == 0) continue;
    const ST_Feature *s = sample->pTemplateFeature + sFirst;
    const ST_Feature *t = tLen == 0 ? nullptr : tpl->pTemplateFeature + tFirst;
    scan(s, rows, t, tLen, tFirst, sims + n, idx + n);
    n += rows;
  }
  if (count != nullptr) *count = static_cast<uint16_t>(n);
  return static_cast<uint16_t>(n);
}

int32_t ZqCalcHanmDistanceLanesForTest(int32_t lanes) {
  const bool have = lanes == 0 || lanes == 1 || (lanes == 8 && HasEightLanes()) ||
                    (lanes == 16 && HasSixteenLanes());
  gScanLanes = have ? lanes : 0;
  return have ? 1 : 0;
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
