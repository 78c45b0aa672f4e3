// Conventions shared by every file of the image foundation: result codes
// and the level-5 "Function...condition" error message.
//
// - A failed argument or allocation check is logged at level 5 as the
//   function's name, three dots and the failed condition written as an
//   expression ("ZqCreateImage...pSize == NULL"); use ZQ_CHECK when the
//   source expression is the message, ZQ_LOG_FAIL for any other text.
// - int results: ZQ_OK, ZQ_ERR_PARAM, ZQ_ERR_ALLOC, ZQ_ERR_STEP.
// - Memory: ZqSafeAlloc/ZqSafeFree or ZqSafeAllocInMemBlock/
//   ZqSafeFreeInMemBlock (pool blocks released in reverse order);
//   images through ZqCreateImage/ZqReleaseImage (src/ZqImage.h).
// - Images are passed as a pointer with rows and columns unless a function
//   takes an ST_Image; borders reflect about the edge pixel without
//   repeating it; fixed-point kernels are 16.16.
#ifndef SRC_ZQCOMMON_H_
#define SRC_ZQCOMMON_H_

#include <stddef.h>
#include <stdint.h>

#include "src/quorv_base/quorv_log.h"

// Results of the image-foundation functions that return an int.
enum {
  ZQ_OK = 0,          // success
  ZQ_ERR_PARAM = -1,  // bad argument (NULL pointer, size out of range)
  ZQ_ERR_ALLOC = -2,  // an allocation failed
  ZQ_ERR_STEP = -3,   // an inner step failed
};

// Logs "<name>...<condition>" at level 5; both are string expressions, e.g.
// ZQ_LOG_FAIL("ZqCreateImage", "pSize == NULL").
#define ZQ_LOG_FAIL(name, cond_text) QUORV_LOGE("%s...%s", (name), (cond_text))

// ZQ_LOG_FAIL on behalf of the function `func` (a shared helper's caller).
#define ZQ_LOG_FAIL_IN(func, name, cond_text) \
  QUORV_LOG_IN((func), QUORV_LOG_ERROR, "%s...%s", (name), (cond_text))

// Logs "<enclosing function>...<cond as written>" at level 5 and returns
// `ret` when `cond` holds, e.g. ZQ_CHECK(src == NULL, ZQ_ERR_PARAM);
// the message is then "ZqFoo...src == NULL". Use ZQ_LOG_FAIL when the
// message text must differ from the source expression.
#define ZQ_CHECK(cond, ret)                   \
  do {                                        \
    if (cond) {                               \
      ZQ_LOG_FAIL(__func__, #cond);           \
      return ret;                             \
    }                                         \
  } while (0)

// Same as ZQ_CHECK for functions that return nothing.
#define ZQ_CHECK_VOID(cond)                   \
  do {                                        \
    if (cond) {                               \
      ZQ_LOG_FAIL(__func__, #cond);           \
      return;                                 \
    }                                         \
  } while (0)

#endif  // SRC_ZQCOMMON_H_
