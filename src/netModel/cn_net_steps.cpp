#include "src/netModel/cn_net_steps.h"

namespace zq_net {

int32_t FinishBlockSizing(const char *fn, ST_CnnLayInOut *out, int32_t *tmp_bytes, int64_t tmp,
                          int32_t alloc) {
  if (tmp > INT32_MAX) {
    QUORV_LOG_IN(fn, QUORV_LOG_ERROR, "%s[%05d]...param is error,ret = %d;", fn, __LINE__, -2);
    return -2;
  }
  *tmp_bytes = static_cast<int32_t>(tmp);
  if (alloc == 0) return 0;
  const int32_t ret = Zq_SafeAlloc_ST_CnnLayInOut(out);
  if (ret != 0) {
    QUORV_LOG_IN(fn, QUORV_LOG_ERROR, "%s[%05d]...Zq_SafeAlloc_ST_CnnLayInOut(),ret = %d;", fn,
                 __LINE__, ret);
  }
  return ret;
}

}  // namespace zq_net
