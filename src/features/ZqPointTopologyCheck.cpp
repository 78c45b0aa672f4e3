#include "src/features/ZqPointTopologyCheck.h"

#include <math.h>
#include <stdint.h>

#include "src/features/ZqGeomMath.h"
#include "src/image/ZqCommon.h"

namespace {

// Mode flags: set when a check fails, cleared by a walk that starts at 0.
int16_t gTopologyMode32f = 0;
int16_t gTopologyMode16s = 0;

float Dist(const ST_MatchPoint &a, const ST_MatchPoint &b) {
  const float dx = a.x - b.x, dy = a.y - b.y;
  return sqrtf(dx * dx + dy * dy);
}
float Dist(const ST_Point16s &a, const ST_Point16s &b) {
  const float dx = static_cast<float>(a.x - b.x), dy = static_cast<float>(a.y - b.y);
  return sqrtf(dx * dx + dy * dy);
}
float Angle(const ST_MatchPoint &f, const ST_MatchPoint &v, const ST_MatchPoint &s) {
  return ZqGetAngle_32f(f, v, s);
}
float Angle(const ST_Point16s &f, const ST_Point16s &v, const ST_Point16s &s) {
  return ZqGetAngle(f, v, s);
}

template <class Point>
int Check(const Point *A, const Point *B, uint16_t count, const uint16_t *list,
          const int16_t *state, uint32_t m, int cur, int16_t *mode, const char *func) {
  if (cur == 0) *mode = 0;
  if (count == 0) return 1;
  if (A == nullptr || B == nullptr || list == nullptr || state == nullptr) {
    ZQ_LOG_FAIL_IN(func, func, "NULL argument");
    return 0;
  }
  if (cur < 0 || cur >= count) {
    ZQ_LOG_FAIL_IN(func, func, "cur out of the list");
    return 0;
  }
  const uint32_t thr = m / 2 < 2 ? 2 : m / 2;
  const uint16_t c = list[cur];
  uint32_t tested = 0, longer = 0, notLonger = 0;
  for (int l = 0; l < count; ++l) {
    if (l == cur) continue;
    const uint16_t b = list[l];
    if (state[b] == 1) continue;
    const float eB = Dist(B[b], B[c]);
    const float eA = Dist(A[b], A[c]);
    if (!(fabsf(eB - eA) < 5.0f)) continue;
    int t = -1;
    if (*mode != 0) {
      for (int q = cur - 1; q >= 0; --q) {
        if (state[list[q]] == 0) {
          t = list[q];
          break;
        }
      }
    } else if (l < count - 1) {
      t = list[l + 1];
    }
    if (t < 0) continue;
    if (fabsf(Angle(B[b], B[c], B[t]) - Angle(A[b], A[c], A[t])) > 5.0f) continue;
    bool duplicate = false;
    for (int q = 0; q < l && !duplicate; ++q) {
      const Point &o = B[list[q]];
      duplicate = o.x == B[b].x && o.y == B[b].y;
    }
    if (duplicate) continue;
    ++tested;
    if (eB > eA) {
      ++longer;
    } else {
      ++notLonger;
    }
    const uint32_t gap = longer > notLonger ? longer - notLonger : notLonger - longer;
    const uint32_t most = longer > notLonger ? longer : notLonger;
    if (tested >= thr && gap >= most / 2) {
      *mode = 1;
      return 0;
    }
  }
  return 1;
}

}  // namespace

extern "C" int ZqPointTopologyCheck_32f(const ST_MatchPoint *setA, const ST_MatchPoint *setB,
                                        uint16_t count, const uint16_t *list,
                                        const int16_t *state, uint32_t m, int cur) {
  return Check(setA, setB, count, list, state, m, cur, &gTopologyMode32f, __func__);
}

extern "C" int ZqPointTopologyCheck(const ST_Point16s *setA, const ST_Point16s *setB,
                                    uint16_t count, const uint16_t *list, const int16_t *state,
                                    uint32_t m, int cur) {
  return Check(setA, setB, count, list, state, m, cur, &gTopologyMode16s, __func__);
}

extern "C" void ZqPointTopologyCheckResetForTest(void) {
  gTopologyMode32f = 0;
  gTopologyMode16s = 0;
}
