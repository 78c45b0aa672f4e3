// Ownership of the samples tests and tools make with ZqCreateTemp.
#ifndef TESTS_SUPPORT_ZQ_SAMPLE_PTR_H_
#define TESTS_SUPPORT_ZQ_SAMPLE_PTR_H_

#include <memory>

#include "src/ZqAlg/ZqSubTemplate.h"

namespace testing_support {

// Releases a sample made by ZqCreateTemp.
struct SampleDeleter {
  void operator()(ST_SubTemplate *s) const { ZqReleaseTemp(s); }
};
// A sample released with its owner.
using SamplePtr = std::unique_ptr<ST_SubTemplate, SampleDeleter>;

}  // namespace testing_support

#endif  // TESTS_SUPPORT_ZQ_SAMPLE_PTR_H_
