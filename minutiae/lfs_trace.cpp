#include "minutiae/lfs_trace.h"

namespace {
lfs_trace_sink g_sink = nullptr;
}  // namespace

extern "C" lfs_trace_sink lfs_set_trace_sink(lfs_trace_sink sink) {
  const lfs_trace_sink old = g_sink;
  g_sink = sink;
  return old;
}

extern "C" void detector_trace(const char *text) {
  if (g_sink != nullptr) g_sink(text);
}
