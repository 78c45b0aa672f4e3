// Dumping of captured sensor frames into per-outcome folders of the dump
// session.
#ifndef DRIVERS_QUORVANTA_BQ_DUMP_FRAME_H_
#define DRIVERS_QUORVANTA_BQ_DUMP_FRAME_H_

#ifdef __cplusplus
extern "C" {
#endif

// Saves frame `image_index` of the driver's raw frame buffer (quorvanta_ctx)
// below the dump root, in enroll_success/enroll_failure, verify_success/
// verify_failure or raw_samples according to the imaging device's action and
// result, under the name "<time>-<count>-I<result>-<letter><number>.bmp".
// Creates a session first when none is open. Returns 0, -11 when no session
// can be created, -201 when there is no context, frame buffer or image,
// -200 when the frame lies outside the frame buffer, the directory error, or
// the image writer's result.
int dump_fingerprint_data(int image_index);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_QUORVANTA_BQ_DUMP_FRAME_H_
