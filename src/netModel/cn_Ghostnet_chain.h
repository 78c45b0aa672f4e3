// The four layer chains behind the nine networks, and the run and sizing
// passes that every network's pair of functions hands to.
#ifndef SRC_NETMODEL_CN_GHOSTNET_CHAIN_H_
#define SRC_NETMODEL_CN_GHOSTNET_CHAIN_H_

#include <stdint.h>

#include "src/netModel/ZqCnnNetStructDef.h"

namespace zq_net {

// The layer of one chain step.
enum class ChainLayer {
  kConv2d,
  kBatchNorm2d,  // no row
  kLeakyReLU,    // no row
  kBottleneck,
  kBottleneckV1,
  kMaxPool2d,
  kLinear,
  kBatchNorm1d,  // no row
};

// One step: its layer and its position in the layer table (int16 units);
// a step without a row gets the position of the next row.
struct ChainStep {
  ChainLayer layer;
  int16_t pos;
};

// A chain family: its steps in order (the last is the output Linear) and
// the table length they read.
struct ChainFamily {
  const ChainStep *steps;
  int32_t count;
  int32_t table_len;
};

extern const ChainFamily kOneStemChain;    // 40 x 40 no-finger net
extern const ChainFamily kTwoStemChain;    // SiderFinger, 4853/4854 fake, fake
extern const ChainFamily kThreeStemChain;  // 4845/4849 fake, fake_4851
extern const ChainFamily kShortBodyChain;  // 228kflops 4843 fake

// Level-1 trace of a sizing pass, as two of the networks write it.
enum class SizeTrace {
  kNone,
  kSteps,         // a line per sized step and one for the total
  kStepsAndCode,  // the same and a line with the result on every exit
};

// Runs the chain as network fn. The table must be table_len values long and
// table_len must be the family's length (else -2, before anything runs).
// *weights_used is set on success only. 0 or the failing step's code.
int32_t ChainRun(const char *fn, const ChainFamily &family, ST_CnnLayInOut *out,
                 const int16_t *layer_table, int32_t table_len, const float *weights,
                 int32_t *weights_used, const ST_CnnLayInOut &in);

// Sizes the chain as network fn: out's shape, *tmp_bytes = working block +
// largest step temporary, and with alloc out's block. -1 NULL layer_table,
// tmp_bytes or out; -2 table_len is not the family's length.
int32_t ChainSize(const char *fn, const ChainFamily &family, SizeTrace trace,
                  ST_CnnLayInOut *out, const int16_t *layer_table, int32_t table_len,
                  int32_t *tmp_bytes, int32_t alloc, const ST_CnnLayInOut &in);

// Floats a run of the chain consumes, read from the table alone (every
// share follows from the rows); -1 for a NULL table or a table_len that is
// not the family's length.
int64_t ChainWeightCount(const ChainFamily &family, const int16_t *layer_table,
                         int32_t table_len);

}  // namespace zq_net

#endif  // SRC_NETMODEL_CN_GHOSTNET_CHAIN_H_
