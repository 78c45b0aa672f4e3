#include "framework/capture_flags.h"

// The sleep detector and the caller's thread share these words without a lock.
static_assert(std::atomic<int>::is_always_lock_free, "capture flags must be lock-free words");

std::atomic<int> isNeedClearImgFirst{1};
std::atomic<int> g_resumed_from_sleep{1};
std::atomic<int> g_identify_error{0};
