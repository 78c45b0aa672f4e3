// Counted-heap work blocks of the template store's calls: a byte block and
// a table of transform records, each released with its owner.
#ifndef SRC_ZQALG_ZQWORKBLOCKS_H_
#define SRC_ZQALG_ZQWORKBLOCKS_H_

#include <stdint.h>

#include "src/features/ZqFullHMatrix.h"
#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_log.h"

namespace zq_work {

// n zeroed transform records behind an array of n pointers, all from the
// counted heap and released together.
class HmatrixTable {
 public:
  HmatrixTable() = default;
  HmatrixTable(const HmatrixTable &) = delete;
  HmatrixTable &operator=(const HmatrixTable &) = delete;
  ~HmatrixTable() { Release(); }

  // Allocates the pointer array; false (logged for func) when it fails.
  bool AllocateArray(uint32_t n, const char *func) {
    p_ = static_cast<ST_FullHMatrix **>(ZqSafeAlloc(static_cast<int32_t>(n * sizeof *p_)));
    if (p_ == nullptr) {
      QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...pTempMatchHmatrix == NULL", func);
      return false;
    }
    n_ = n;
    return true;
  }
  // Allocates the n records; false (logged for func) at the first failure.
  bool AllocateRecords(const char *func) {
    for (uint32_t i = 0; i < n_; ++i) {
      p_[i] = static_cast<ST_FullHMatrix *>(ZqSafeAlloc(sizeof(ST_FullHMatrix)));
      if (p_[i] == nullptr) {
        QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...pTempMatchHmatrix[%d] == NULL", func,
                     static_cast<int>(i));
        return false;
      }
    }
    return true;
  }
  // Frees the records and the array; the table is empty again.
  void Release() {
    if (p_ == nullptr) return;
    for (uint32_t i = 0; i < n_; ++i) ZqSafeFree(p_[i]);
    ZqSafeFree(p_);
    p_ = nullptr;
    n_ = 0;
  }
  // Record i (i below n, records allocated).
  ST_FullHMatrix &operator[](uint32_t i) { return *p_[i]; }
  // The pointer array, NULL before AllocateArray.
  ST_FullHMatrix *const *data() const { return p_; }

 private:
  ST_FullHMatrix **p_ = nullptr;
  uint32_t n_ = 0;
};

// A counted-heap byte block released with its owner.
class ByteBlock {
 public:
  explicit ByteBlock(uint32_t n) : p_(static_cast<uint8_t *>(ZqSafeAlloc(static_cast<int32_t>(n)))) {}
  ByteBlock(const ByteBlock &) = delete;
  ByteBlock &operator=(const ByteBlock &) = delete;
  ~ByteBlock() { ZqSafeFree(p_); }
  // The block, NULL when its allocation failed.
  uint8_t *get() const { return p_; }

 private:
  uint8_t *p_;
};

}  // namespace zq_work

#endif  // SRC_ZQALG_ZQWORKBLOCKS_H_
