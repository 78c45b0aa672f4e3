#include "src/netModel/synth_net.h"

#include <gtest/gtest.h>

namespace net_test {

namespace {

void Append(std::vector<int16_t> *table, const Row &row) {
  table->insert(table->end(), row.begin(), row.end());
}
void Append(std::vector<int16_t> *table, const std::vector<int16_t> &rows) {
  table->insert(table->end(), rows.begin(), rows.end());
}

int64_t ConvShare(const int16_t *r) {
  return int64_t{r[0]} * r[1] * r[2] * r[3] / r[10] + (r[11] ? r[3] : 0);
}
int64_t LinearShare(const int16_t *r) { return int64_t{r[0]} * r[3] + (r[11] ? r[3] : 0); }

// Plane size after a k x k window with stride s and pad p.
int Out(int in, int k, int s, int p) { return (in + 2 * p - k) / s + 1; }

}  // namespace

std::vector<int16_t> GhostModuleRows(int in_c, int primary, int stride) {
  std::vector<int16_t> t;
  Append(&t, ConvRow(in_c, 1, 1, primary, stride, stride));
  // Cheap branch: depth-wise 3 x 3, same plane.
  Append(&t, ConvRow(primary, 3, 3, primary, 1, 1, 1, 1, 1, 1, primary, 0));
  return t;
}

std::vector<int16_t> SERows(int c, int mid) {
  std::vector<int16_t> t;
  Append(&t, AdaptiveRow(1, 1));
  Append(&t, LinearRow(c, mid, 1));
  Append(&t, LinearRow(mid, c, 1));
  return t;
}

std::vector<int16_t> BottleneckRows(int in_c) {
  std::vector<int16_t> t = GhostModuleRows(in_c, 2);
  Append(&t, SERows(4, 2));
  Append(&t, GhostModuleRows(4, 2));
  return t;
}

std::vector<int16_t> BottleneckV1Rows(int in_c) {
  std::vector<int16_t> t = GhostModuleRows(in_c, 2);
  Append(&t, ConvRow(4, 3, 3, 4, 2, 2, 1, 1, 1, 1, 4, 0));  // depth-wise, stride 2
  Append(&t, SERows(4, 2));
  Append(&t, GhostModuleRows(4, 2));
  return t;
}

int64_t GhostModuleShare(const int16_t *r) {
  return ConvShare(r) + 3 * r[3] + ConvShare(r + 12) + 3 * r[15];
}

int64_t SEShare(const int16_t *r) { return LinearShare(r + 12) + LinearShare(r + 24); }

int64_t BottleneckShare(const int16_t *r, bool v1) {
  if (!v1) return GhostModuleShare(r) + SEShare(r + 24) + GhostModuleShare(r + 60);
  return GhostModuleShare(r) + ConvShare(r + 24) + 3 * r[27] + SEShare(r + 36) +
         GhostModuleShare(r + 72);
}

namespace {

// One run of consecutive weights: a layer's share, or a batch norm of
// `norm` channels (m, s, b).
struct Segment {
  int64_t n;
  int norm;
};

void Conv(const int16_t *r, std::vector<Segment> *s) { s->push_back({ConvShare(r), 0}); }
void Norm(int c, std::vector<Segment> *s) { s->push_back({3 * int64_t{c}, c}); }
void Linear(const int16_t *r, std::vector<Segment> *s) { s->push_back({LinearShare(r), 0}); }
void Ghost(const int16_t *r, std::vector<Segment> *s) {
  Conv(r, s);
  Norm(r[3], s);
  Conv(r + 12, s);
  Norm(r[15], s);
}
void SE(const int16_t *r, std::vector<Segment> *s) {
  Linear(r + 12, s);
  Linear(r + 24, s);
}
void Bottleneck(const int16_t *r, bool v1, std::vector<Segment> *s) {
  Ghost(r, s);
  if (v1) {
    Conv(r + 24, s);
    Norm(r[27], s);
  }
  SE(r + (v1 ? 36 : 24), s);
  Ghost(r + (v1 ? 72 : 60), s);
}

}  // namespace

SynthNet BuildNet(Family family, int rows, int cols, Fill fill, const std::vector<float> &biases,
                  uint32_t seed, float spread) {
  SynthNet net;
  net.classes = static_cast<int>(biases.size());
  std::vector<int16_t> &t = net.table;
  std::vector<Segment> segs;
  int h = rows, w = cols;
  const int stems = family == Family::kOneStem ? 1 : family == Family::kThreeStem ? 3 : 2;
  for (int i = 0; i < stems; ++i) {
    const int stride = i < 2 ? 2 : 1;
    Append(&t, ConvRow(i == 0 ? 1 : 4, 3, 3, 4, stride, stride, 1, 1, 1, 1, 1, 0));
    Conv(&t[t.size() - 12], &segs);
    h = Out(h, 3, stride, 1);
    w = Out(w, 3, stride, 1);
  }
  Norm(4, &segs);  // stem batch norm
  auto bottleneck = [&](bool v1) {
    const size_t at = t.size();
    Append(&t, v1 ? BottleneckV1Rows(4) : BottleneckRows(4));
    Bottleneck(&t[at], v1, &segs);
    if (v1) {
      h = Out(h, 3, 2, 1);
      w = Out(w, 3, 2, 1);
    }
  };
  auto max_pool = [&]() {
    Append(&t, PoolRow(2, 2, 2, 2));
    h = Out(h, 2, 2, 0);
    w = Out(w, 2, 2, 0);
  };
  bottleneck(false);
  if (family == Family::kShortBody) {
    max_pool();
    bottleneck(true);
  } else {
    bottleneck(true);
    bottleneck(true);
  }
  max_pool();
  net.features = 4 * h * w;
  const int head[] = {net.features, 8, 8, net.classes};
  for (int i = 0; i < 3; ++i) {
    Append(&t, LinearRow(head[i], head[i + 1], 1));
    Linear(&t[t.size() - 12], &segs);
    if (i < 2) Norm(head[i + 1], &segs);  // batch norm of the features
  }
  for (const Segment &s : segs) net.expected_total += s.n;
  if (fill == Fill::kBiasOnly) {
    net.weights.assign(static_cast<size_t>(net.expected_total), 0.0f);
  } else {
    net.weights = Seeded(static_cast<size_t>(net.expected_total), seed, -spread, spread);
  }
  if (fill == Fill::kUnitNorm) {
    size_t at = 0;
    for (const Segment &s : segs) {
      for (int k = 0; k < 3 * s.norm; ++k) net.weights[at + k] = k / s.norm == 1 ? 1.0f : 0.0f;
      at += static_cast<size_t>(s.n);
    }
  }
  // The output Linear's biases close the array.
  for (size_t i = 0; i < biases.size(); ++i) {
    net.weights[net.weights.size() - biases.size() + i] = biases[i];
  }
  return net;
}

}  // namespace net_test
