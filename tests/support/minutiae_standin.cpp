#include "support/minutiae_standin.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace minutiae_standin {

struct State {
  std::vector<Minutia> minutiae;
  int result = 0;
  std::vector<int> scores;
  size_t next_score = 0;
  std::vector<DetectCall> detect_calls;
  std::vector<xyt_record> probes;
  std::vector<ScoreCall> score_calls;
  std::map<const lfs_minutia *, int> theta;  // scripted theta of each live minutia
  int live_lists = 0;
};

State &S() {
  static State state;
  return state;
}

int *NewMap() { return static_cast<int *>(std::calloc(4, sizeof(int))); }

void Reset() { S() = State(); }

void ScriptDetection(std::vector<Minutia> minutiae, int result) {
  S().minutiae = std::move(minutiae);
  S().result = result;
}

void ScriptScores(std::vector<int> scores) {
  S().scores = std::move(scores);
  S().next_score = 0;
}

int PairsFor(int n) { return 1000 + n; }

const std::vector<DetectCall> &DetectCalls() { return S().detect_calls; }
const std::vector<xyt_record> &PreparedProbes() { return S().probes; }
const std::vector<ScoreCall> &ScoreCalls() { return S().score_calls; }
int LiveLists() { return S().live_lists; }

}  // namespace minutiae_standin

using minutiae_standin::S;
using minutiae_standin::NewMap;

extern "C" int get_minutiae(lfs_minutiae **ominutiae, int **oquality_map, int **odirection_map,
                            int **olow_contrast_map, int **olow_flow_map,
                            int **ohigh_curve_map, int *omw, int *omh, unsigned char **obdata,
                            int *obw, int *obh, int *obd, const unsigned char *idata, int iw,
                            int ih, int id, double ppmm, const lfs_params *params) {
  S().detect_calls.push_back({iw, ih, id, ppmm, params, params->remove_perimeter_minutiae});
  if (id != 8) {
    std::fputs("ERROR : get_minutiae : input image pixel ", stderr);
    dprintf(STDERR_FILENO, "depth = %d != 8.\n", id);
    return -2;
  }
  if (S().result != 0) return S().result;

  auto *list = static_cast<lfs_minutiae *>(std::calloc(1, sizeof(lfs_minutiae)));
  list->count = list->capacity = static_cast<int32_t>(S().minutiae.size());
  list->list = static_cast<lfs_minutia **>(
      std::calloc(S().minutiae.size() + 1, sizeof(lfs_minutia *)));
  for (size_t i = 0; i < S().minutiae.size(); i++) {
    const minutiae_standin::Minutia &m = S().minutiae[i];
    auto *out = static_cast<lfs_minutia *>(std::calloc(1, sizeof(lfs_minutia)));
    out->x = m.x;
    out->y = ih - m.y;  // a row; lfs_minutia_to_xyt turns it back
    out->reliability = m.reliability;
    out->neighbors = static_cast<int32_t *>(std::calloc(1, sizeof(int32_t)));
    out->ridge_counts = static_cast<int32_t *>(std::calloc(1, sizeof(int32_t)));
    list->list[i] = out;
    S().theta[out] = m.theta;
  }
  S().live_lists++;

  // Dark pixels are ridges: 0, the rest 255.
  auto *bdata = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(iw) * ih));
  for (size_t i = 0; i < static_cast<size_t>(iw) * ih; i++) bdata[i] = idata[i] < 128 ? 0 : 255;

  *ominutiae = list;
  *oquality_map = NewMap();
  *odirection_map = NewMap();
  *olow_contrast_map = NewMap();
  *olow_flow_map = NewMap();
  *ohigh_curve_map = NewMap();
  *omw = *omh = 2;
  *obdata = bdata;
  *obw = iw;
  *obh = ih;
  *obd = 8;
  return 0;
}

extern "C" int lfs_minutia_to_xyt(int *x, int *y, int *theta, const lfs_minutia *minutia,
                                  int, int ih) {
  *x = minutia->x;
  *y = ih - minutia->y;
  *theta = S().theta.at(minutia);
  return 0;
}

extern "C" void release_minutiae(lfs_minutiae *minutiae) {
  if (minutiae == nullptr) return;
  for (int i = 0; i < minutiae->count; i++) {
    S().theta.erase(minutiae->list[i]);
    std::free(minutiae->list[i]->neighbors);
    std::free(minutiae->list[i]->ridge_counts);
    std::free(minutiae->list[i]);
  }
  std::free(minutiae->list);
  std::free(minutiae);
  S().live_lists--;
}

extern "C" int bz_compare_x_y(const void *a, const void *b) {
  const int *ra = static_cast<const int *>(a);
  const int *rb = static_cast<const int *>(b);
  if (ra[0] != rb[0]) return ra[0] < rb[0] ? -1 : 1;
  if (ra[1] != rb[1]) return ra[1] < rb[1] ? -1 : 1;
  return 0;
}

extern "C" int bz_prepare_probe(const xyt_record *probe) {
  S().probes.push_back(*probe);
  return minutiae_standin::PairsFor(probe->count);
}

extern "C" int bz_score_gallery(int probe_pairs, const xyt_record *probe,
                                const xyt_record *gallery) {
  S().score_calls.push_back({probe_pairs, *probe, *gallery});
  if (S().next_score < S().scores.size()) return S().scores[S().next_score++];
  return 0;
}
