// Helpers of the blob tests: sub-templates with known content, an
// initialised algorithm state, byte readers and writers for hand-made blobs,
// and a view of heap bytes that ASan refuses to read past a given length.
#ifndef TESTS_SRC_ZQALG_TPL_BLOB_FIXTURE_H_
#define TESTS_SRC_ZQALG_TPL_BLOB_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "src/ZqAlg/ZqSubTemplate.h"

namespace tpl_fixture {

// Fills a set-up, empty record with n0 + n1 keypoints whose values derive
// from `seed`, and with recognisable header bytes, transforms and pixels.
void FillSample(ST_SubTemplate *t, int n0, int n1, int seed);

// Puts keypoint counts[i] split into two groups into slots 0..k-1 of the
// finger and sets count k and coverage; the finger must be empty.
void FillFinger(int fingerId, const std::vector<int> &counts, int seed);

// The finger's blob as ZqGetTplData writes it (empty when that fails).
std::vector<uint8_t> SaveFinger(int fingerId);

// Little-endian access to blob bytes.
uint32_t U32(const std::vector<uint8_t> &b, size_t off);
uint16_t U16(const std::vector<uint8_t> &b, size_t off);
void PutU32(std::vector<uint8_t> *b, size_t off, uint32_t v);
void PutU16(std::vector<uint8_t> *b, size_t off, uint16_t v);

// Rewrites the last two bytes as the CRC-16/ARC of the bytes before them
// (computed here bit by bit, independently of the library).
void FixCrc(std::vector<uint8_t> *b);
uint16_t ReferenceCrc(const uint8_t *p, size_t n);

// Sets the sensor size and runs ZqInitAlgorithm; the tear-down destroys the
// state, restores the settings and checks that no heap block is left.
class AlgStateTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  virtual int Cols() const { return 96; }
  virtual int Rows() const { return 96; }
  int32_t baseline_ = 0;
};

// A heap copy of `bytes` whose bytes from `len` on are poisoned for ASan
// (without ASan it is a plain copy).
class GuardedBytes {
 public:
  explicit GuardedBytes(const std::vector<uint8_t> &bytes);
  ~GuardedBytes();
  GuardedBytes(const GuardedBytes &) = delete;
  GuardedBytes &operator=(const GuardedBytes &) = delete;
  // Readable bytes are data()[0..len-1].
  const uint8_t *Limit(size_t len);
  const uint8_t *data() const { return buf_; }

 private:
  uint8_t *buf_;
  size_t size_;
};

}  // namespace tpl_fixture

#endif  // TESTS_SRC_ZQALG_TPL_BLOB_FIXTURE_H_
