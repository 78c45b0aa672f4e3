// Synthetic networks for the classifier tests: a consistent layer table for
// each chain family with small channel counts, weights, and the weight
// total worked out from the rows by the layer shares (conv: in*kh*kw*out/
// groups + biases; batch norm: 3 per channel; Linear: in*out + biases).
#ifndef TESTS_SRC_NETMODEL_SYNTH_NET_H_
#define TESTS_SRC_NETMODEL_SYNTH_NET_H_

#include <cstdint>
#include <vector>

#include "src/netModel/ZqCnnNetStructDef.h"
#include "src/netModel/net_layer_runner.h"

namespace net_test {

enum class Family { kOneStem, kTwoStem, kThreeStem, kShortBody };

// How the weights are filled.
enum class Fill {
  kSeeded,    // seeded values in [-spread, spread)
  kBiasOnly,  // all 0 except the output Linear's biases
  kUnitNorm,  // seeded, every batch norm the identity (m 0, s 1, b 0)
};

struct SynthNet {
  std::vector<int16_t> table;
  std::vector<float> weights;
  int64_t expected_total = 0;  // floats a run must consume
  int features = 0;            // in_features of the first head Linear
  int classes = 2;

  // The record a host would hand in.
  NetFunctionSt Record(int32_t version = 1) const {
    return NetFunctionSt{version, static_cast<int32_t>(weights.size()),
                         static_cast<int32_t>(table.size()), weights.data(), table.data()};
  }
};

// A net of `family` for a rows x cols x 1 input; `biases` are the output
// Linear's biases (one per class).
SynthNet BuildNet(Family family, int rows, int cols, Fill fill,
                  const std::vector<float> &biases = {0.0f, 0.0f}, uint32_t seed = 7,
                  float spread = 0.5f);

// Rows of the blocks as the builder makes them (c input channels).
std::vector<int16_t> GhostModuleRows(int in_c, int primary, int stride = 1);  // primary stride
std::vector<int16_t> SERows(int c, int mid);
std::vector<int16_t> BottleneckRows(int in_c);    // c -> 4 channels, same plane
std::vector<int16_t> BottleneckV1Rows(int in_c);  // c -> 4 channels, plane halved

// Weight share of a Ghost module, SE layer or bottleneck row set.
int64_t GhostModuleShare(const int16_t *rows);
int64_t SEShare(const int16_t *rows);
int64_t BottleneckShare(const int16_t *rows, bool v1);

}  // namespace net_test

#endif  // TESTS_SRC_NETMODEL_SYNTH_NET_H_
