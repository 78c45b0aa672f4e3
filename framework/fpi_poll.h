// The framework's one-shot time-outs on the monotonic clock, run from
// fp_handle_events_timeout, and the poll-descriptor notifiers.
#ifndef FRAMEWORK_FPI_POLL_H_
#define FRAMEWORK_FPI_POLL_H_

#include <sys/time.h>
#include <time.h>

#ifdef __cplusplus
extern "C" {
#endif

// Called once when its time-out fires.
typedef void (*fpi_timeout_fn)(void *data);

// One pending time-out; owned by the framework from fpi_timeout_add until it
// has fired or is cancelled.
struct fpi_timeout {
  struct timeval expiry;    // when it fires, on CLOCK_MONOTONIC
  fpi_timeout_fn callback;  // called once when it fires
  void *data;               // passed to the callback
};

// Adds a time-out firing `msec` milliseconds from now; equal expiries fire
// the most recently added first. Returns the time-out, or NULL when the clock
// cannot be read ("failed to read monotonic clock, errno=%d" is logged).
struct fpi_timeout *fpi_timeout_add(unsigned int msec, fpi_timeout_fn callback, void *data);

// Removes a pending time-out and releases it. A callback should not cancel
// its own time-out; if it does, the time-out is still released only once,
// after the callback returns.
void fpi_timeout_cancel(struct fpi_timeout *timeout);

// Expiry of a time-out added `msec` milliseconds after `now`: the
// microseconds carry into the seconds.
struct timeval fpi_timeout_expiry_after(const struct timespec *now, unsigned int msec);

// Reads the monotonic clock; 0, or -1 with errno set.
typedef int (*fpi_clock_fn)(struct timespec *now);

// Replaces the clock behind the time-outs (for tests); NULL restores
// CLOCK_MONOTONIC.
void fpi_poll_set_clock(fpi_clock_fn clock);

// Installs the framework's poll-descriptor notifiers in the USB context
// (fp_init).
void fpi_poll_init(void);

// Drops pending time-outs without calling them, clears the application's
// notifiers and removes the framework's from the USB context (fp_exit).
void fpi_poll_exit(void);

#ifdef __cplusplus
}
#endif

#endif  // FRAMEWORK_FPI_POLL_H_
