#include "src/ZqAlg/ZqTplLoader.h"

#include <stddef.h>

#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqTplData.h"
#include "src/ZqAlg/ZqTplLegacy.h"
#include "src/features/ZqLittleEndian.h"
#include "src/quorv_base/quorv_log.h"

namespace {

typedef int (*Reader)(int16_t, uint8_t, uint32_t, const uint8_t *);

struct LegacyReader {
  Reader read;
  const char *kind;  // logged as "...is old <kind>"
};

// Tried in this order; the two 96-slot layouts share their image size.
const LegacyReader kLegacyReaders[] = {
    {ZqIniAlgTplData_x86, "48tpls, x86"},
    {ZqIniAlgTplData_x64, "48tpls, x64"},
    {ZqIniAlgTplData_x86_96, "96tpls, x86"},
    {ZqIniAlgTplData_x64_96, "96tpls, x64"},
};

}  // namespace

extern "C" int ZqIniAlgTplData(int16_t fingerId, uint8_t tplType, uint32_t tplSize,
                               const uint8_t *tplData) {
  QUORV_LOGI("ZqIniAlgTplData...fingerId = %d, tplType = %d, tplSize = %u", fingerId, tplType,
             tplSize);
  if (tplData == NULL || fingerId < 0 || fingerId >= MAX_FINGERS_SUPPORTED) {
    QUORV_LOGE("ZqIniAlgTplData...tplData == NULL");
    return -1;
  }
  if (tplSize < 4) {
    QUORV_LOGE("%s...tplSize(= %u) < 4, ret = -2", __func__, tplSize);
    return -2;
  }
  const uint32_t flag = zq_le::GetU32(tplData);
  QUORV_LOGD("%s...dataFlg = 0x%x, QUORV_FLG = 0x%x", __func__, flag, QUORV_FLG);
  if (flag == ZQ_TEMPLATE_FLAG_V2) {
    const int ret = ZqIniAlgTplData_v1(fingerId, tplType, tplSize, tplData);
    QUORV_LOGI("%s...is new 96tpls, ret = %d", __func__, ret);
    return ret;
  }
  if (flag != QUORV_FLG) {
    // Not a template blob: refused, so that the caller does not take it
    // for a loaded finger.
    QUORV_LOGE("%s...unknown dataFlg = 0x%x, ret = -2", __func__, flag);
    return -2;
  }
  int ret = -1;
  for (const LegacyReader &r : kLegacyReaders) {
    ret = r.read(fingerId, tplType, tplSize, tplData);
    if (ret == 0) {
      if (r.read == ZqIniAlgTplData_x64_96) {
        QUORV_LOGE("%s...is old %s", __func__, r.kind);
      } else {
        QUORV_LOGI("%s...is old %s", __func__, r.kind);
      }
      return 0;
    }
  }
  return ret;
}
