// Bit layouts of the per-sample images that go into templates:
// - ST_BinImg, the binarised image: uint64 words, pixel i = y * w + x is
//   bit (i % 64) of word i / 64, bit 0 the least significant; bits past
//   pixel w * h - 1 in the last word are not part of the image.
// - ST_PixBitMap, the valid mask: pixel i is bit (i % 8) of byte i / 8,
//   least significant bit first.
// Pixel indices and word counts are 16-bit: an image has at most 65535
// pixels. Words are stored little-endian, one by one.
#ifndef SRC_FEATURES_ZQBINIMG_H_
#define SRC_FEATURES_ZQBINIMG_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Largest pixel count of a bit image (the 16-bit pixel index).
#define ZQ_BINIMG_MAX_PIXELS 65535u

// Bits per word of ST_BinImg.
#define ZQ_BINIMG_WORD_BITS 64u

// Bytes of one ST_BinImg word in a stored blob.
#define ZQ_BINIMG_WORD_BYTES 8u

// A binarised image: `wordCount` words at `words`.
typedef struct ST_BinImg {
  uint64_t *words;     // bit i of the image: bit i % 64 of words[i / 64]
  uint16_t wordCount;  // ceil(w * h / 64)
} ST_BinImg;

// A valid mask: one bit per pixel, bit i % 8 of bits[i / 8].
typedef struct ST_PixBitMap {
  uint8_t *bits;
} ST_PixBitMap;

// ceil(cols * rows / 64); 0 when either side is 0 or cols * rows exceeds
// ZQ_BINIMG_MAX_PIXELS (such images do not fit the 16-bit index).
uint16_t ZqBinImgWordCount(uint32_t cols, uint32_t rows);

// Bit i of a word array: 0 or 1. No bounds check.
static inline uint32_t ZqBinImgBit(const uint64_t *words, uint32_t i) {
  return (uint32_t)((words[i / 64u] >> (i % 64u)) & 1u);
}

// Bit i of a valid mask: 0 or 1. No bounds check.
static inline uint32_t ZqPixBitMapBit(const uint8_t *bits, uint32_t i) {
  return (uint32_t)((bits[i / 8u] >> (i % 8u)) & 1u);
}

// Sets bit i of a valid mask to (value != 0). No bounds check.
static inline void ZqPixBitMapSetBit(uint8_t *bits, uint32_t i, uint32_t value) {
  const uint8_t m = (uint8_t)(1u << (i % 8u));
  if (value) {
    bits[i / 8u] = (uint8_t)(bits[i / 8u] | m);
  } else {
    bits[i / 8u] = (uint8_t)(bits[i / 8u] & (uint8_t)~m);
  }
}

// Writes words[0 .. wordCount-1] little-endian into out[0 .. 8 * wordCount - 1].
void ZqBinImgStore(const uint64_t *words, uint16_t wordCount, uint8_t *out);

// Reads wordCount little-endian words from in[0 .. 8 * wordCount - 1].
void ZqBinImgLoad(const uint8_t *in, uint16_t wordCount, uint64_t *words);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(uint64_t) == ZQ_BINIMG_WORD_BYTES, "ST_BinImg words are 8 bytes");
static_assert(offsetof(ST_BinImg, words) == 0 && offsetof(ST_BinImg, wordCount) == sizeof(void *),
              "ST_BinImg field offsets");
static_assert((ZQ_BINIMG_MAX_PIXELS + 63u) / 64u <= UINT16_MAX, "word count fits 16 bits");
#endif

#endif  // SRC_FEATURES_ZQBINIMG_H_
