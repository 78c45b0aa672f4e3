// The net memory pool when the heap refuses its block.
#include <gtest/gtest.h>

#include "src/netModel/net_test_support.h"
#include "src/alloc_failure.h"
#include "src/lib_log_capture.h"

namespace {

using net_test::HasLineMessage;
using net_test::PoolState;

TEST(NetPoolHeapFailure, FailedGrowthLeavesNoPool) {
  ZqNetPoolResetForTest();
  ASSERT_EQ(ZqNetRecallMemroyPool(64), 0);
  {
    testing_support::FailHeapAfter fail(0);
    testing_support::LibLogCapture log;
    EXPECT_EQ(ZqNetRecallMemroyPool(128), -2);
    EXPECT_TRUE(HasLineMessage(log.Messages(), "ZqNetInitMemroyPool", "ZqSafeAlloc() failed!"));
  }
  EXPECT_EQ(PoolState().base, nullptr);
  EXPECT_EQ(PoolState().capacity, 0);
  int32_t slot = 0;
  EXPECT_EQ(ZqNetSafeAlloc(4, &slot), nullptr);
  EXPECT_EQ(ZqNetRecallMemroyPool(128), 0);  // the next call creates it again
  EXPECT_EQ(PoolState().capacity, 128);
  ZqNetPoolResetForTest();
}

}  // namespace
