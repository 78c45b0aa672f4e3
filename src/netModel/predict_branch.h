// What the two classifiers share: their net record, the per-chip branch
// that names a network and its input, the sizing of a branch and one
// prediction through it.
#ifndef SRC_NETMODEL_PREDICT_BRANCH_H_
#define SRC_NETMODEL_PREDICT_BRANCH_H_

#include <stdint.h>

#include "src/netModel/ZqCnnNetStructDef.h"
#include "src/netModel/cn_Ghostnet_chain.h"

namespace zq_net {

// A classifier's record: the host's net and the chip type (-1 unset).
struct ClassifierRecord {
  NetFunctionSt net;
  int32_t chip;
};

// The record at load: no net (netVersion -1), no chip type.
constexpr ClassifierRecord kNoClassifier = {{-1, 0, 0, nullptr, nullptr}, -1};

// How an image becomes the input tensor.
enum class InputFill {
  kResize,       // any size, resized to the input (no-finger)
  kPlain,        // exact size, every pixel / 255
  kEdgeColumns,  // exact size, columns 0 and W-1 repeat columns 1 and W-2
};

using NetRunFn = int32_t (*)(ST_CnnLayInOut *, const int16_t *, int32_t, const float *, int32_t *,
                             ST_CnnLayInOut);
using NetSizeFn = int32_t (*)(ST_CnnLayInOut *, const int16_t *, int32_t, int32_t *, int32_t,
                              ST_CnnLayInOut);

// One per-chip branch of a classifier.
struct NetBranch {
  const char *name;        // first value of the prediction's messages
  const char *size_name;   // first value of the sizing's messages
  int32_t rows, cols;      // the network's input
  InputFill fill;
  const ChainFamily *family;
  NetRunFn run;
  const char *run_fn;      // run function's name in messages
  NetSizeFn size;
  const char *size_fn;     // sizing function's name in messages
};

// Stores the host's net in *record: -1 (logged) for NULL net, -2 (logged)
// when len is not sizeof(NetFunctionSt), else 0.
int32_t StoreNet(const char *fn, ClassifierRecord *record, const NetFunctionSt *net, int32_t len);

// Sizes the branch's network for net: *net_tmp = its temporary bytes,
// *need = input + output + *net_tmp (0 when the net is not in force).
// Returns the network sizing function's code.
int32_t SizeBranch(const NetBranch &branch, const NetFunctionSt &net, int32_t *net_tmp,
                   int64_t *need);

// One prediction through the branch. Writes no_class and 0 first; a
// decision replaces them. 0 also for no decision; -1 NULL arguments; else
// the failing step's code.
int32_t PredictBranch(const NetBranch &branch, const NetFunctionSt &net, const uint8_t *image,
                      int32_t rows, int32_t cols, int32_t *cls, float *score, int32_t no_class);

}  // namespace zq_net

#endif  // SRC_NETMODEL_PREDICT_BRANCH_H_
