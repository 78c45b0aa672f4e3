// Step plumbing shared by the Ghost blocks and the networks: each step is a
// layer or block call whose failure ends the caller with the step's code and
// one "<caller>[<line>]...<step>(),ret = <code>;" line.
#ifndef SRC_NETMODEL_CN_NET_STEPS_H_
#define SRC_NETMODEL_CN_NET_STEPS_H_

#include <stdint.h>

#include "src/netModel/ZqCnnNetStructDef.h"
#include "src/quorv_base/quorv_log.h"

namespace zq_net {

// Progress of a run: the caller's name, the weight cursor and the first
// failing code (0 while every step succeeded).
struct RunSteps {
  const char *fn;
  const float *cursor;
  int32_t ret;
};

// Progress of a sizing pass: the caller's name and the first failing code.
struct SizeSteps {
  const char *fn;
  int32_t ret;
};

// A temporary byte count that counts only when positive.
inline int64_t Positive(int64_t bytes) { return bytes > 0 ? bytes : 0; }

// Bytes of t's shape, 0 when not positive.
inline int64_t ShapeOrZero(const ST_CnnLayInOut &t) {
  return Positive(ZqCompute_InOutBuffers(&t));
}

// Common end of a block or network sizing function: stores `tmp` at
// *tmp_bytes (-2 when it does not fit an int32) and, with alloc, gives out
// its block. Returns 0 or the failing code.
int32_t FinishBlockSizing(const char *fn, ST_CnnLayInOut *out, int32_t *tmp_bytes, int64_t tmp,
                          int32_t alloc);

}  // namespace zq_net

// Logs the failure of step `step` on behalf of `fn`.
#define ZQ_NET_STEP_FAIL(fn, step, ret)                                                   \
  QUORV_LOG_IN((fn), QUORV_LOG_ERROR, "%s[%05d]...%s(),ret = %d;", (fn), __LINE__, (step), \
               (ret))

// Runs `func(out, row, row_len, cursor, &used, inputs...)` unless an earlier
// step failed; on success moves the cursor past the floats it consumed.
#define ZQ_NET_RUN(st, func, out, row, row_len, ...)                                      \
  do {                                                                                    \
    if ((st).ret == 0) {                                                                  \
      int32_t used_ = 0;                                                                  \
      (st).ret = func((out), (row), (row_len), (st).cursor, &used_, __VA_ARGS__);         \
      if ((st).ret != 0) {                                                                \
        ZQ_NET_STEP_FAIL((st).fn, #func, (st).ret);                                       \
      } else {                                                                            \
        (st).cursor += used_;                                                             \
      }                                                                                   \
    }                                                                                     \
  } while (0)

// Runs the sizing form `func(out, row, row_len, &tmp, alloc, inputs...)`
// unless an earlier step failed.
#define ZQ_NET_SIZE(st, tmp, func, out, row, row_len, alloc, ...)                         \
  do {                                                                                    \
    if ((st).ret == 0) {                                                                  \
      (st).ret = func((out), (row), (row_len), &(tmp), (alloc), __VA_ARGS__);             \
      if ((st).ret != 0) ZQ_NET_STEP_FAIL((st).fn, #func, (st).ret);                      \
    }                                                                                     \
  } while (0)

// The NULL refusal of a block or network sizing function.
#define ZQ_NET_SIZE_INPUT_ERROR(fn)                                                          \
  QUORV_LOG_IN((fn), QUORV_LOG_ERROR, "%s[%05d]...input is erorr,ret = %d;\n", (fn), __LINE__, \
               -1)

#endif  // SRC_NETMODEL_CN_NET_STEPS_H_
