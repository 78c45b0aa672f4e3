// The detector's trace hook: progress texts of the pipeline and the removal
// passes go to a sink when one is set, and nowhere otherwise.
#ifndef MINUTIAE_LFS_TRACE_H_
#define MINUTIAE_LFS_TRACE_H_

#ifdef __cplusplus
extern "C" {
#endif

// Receives each trace text as it is written.
typedef void (*lfs_trace_sink)(const char *text);

// Sets the sink (NULL turns tracing off); returns the previous one.
lfs_trace_sink lfs_set_trace_sink(lfs_trace_sink sink);

// Hands `text` to the sink, if any.
void detector_trace(const char *text);

#ifdef __cplusplus
}
#endif

#endif  // MINUTIAE_LFS_TRACE_H_
