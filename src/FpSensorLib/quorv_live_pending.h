// Building and releasing the live flows' buffers until the library's
// resource functions make them: the image work buffers at the configured
// size and the per-image information buffer (slide-enrol image count,
// raised to the identify rescan count, times 16 plus 5 bytes).
#ifndef SRC_FPSENSORLIB_QUORV_LIVE_PENDING_H_
#define SRC_FPSENSORLIB_QUORV_LIVE_PENDING_H_

#ifdef __cplusplus
extern "C" {
#endif

// 0, or -1 without a configuration record or when an allocation fails.
int quorv_LiveBuffersCreate(void);
// Frees the buffers, template_cur and the handler; resets gEnrollInfo.
void quorv_LiveBuffersDestroy(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_LIVE_PENDING_H_
