// Event polling: USB events through the USB library, and the framework's
// one-shot time-outs.
#define FP_COMPONENT "poll"

#include <glib.h>

#include <cerrno>
#include <list>

#include "framework/fp_internal.h"

namespace {

int RealClock(struct timespec *now) { return clock_gettime(CLOCK_MONOTONIC, now); }

fpi_clock_fn g_clock = RealClock;

// Pending time-outs, earliest first; equal expiries most recently added first.
std::list<fpi_timeout *> g_timeouts;

// A time-out whose callback is running, innermost first. Cancelling it from
// its own callback only marks it, so it is released once, by its runner.
struct Running {
  fpi_timeout *timeout;
  bool cancelled;
  Running *outer;
};
Running *g_running = nullptr;

fp_pollfd_added_cb g_app_added = nullptr;
fp_pollfd_removed_cb g_app_removed = nullptr;

bool Earlier(const timeval &a, const timeval &b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_usec < b.tv_usec);
}

// Reads the clock; on failure logs under `function` and returns the
// negative errno.
int ReadClock(struct timespec *now, const char *function) {
  if (g_clock(now) < 0) {
    int err = errno;
    fpi_log_message(FPI_LOG_LEVEL_ERROR, FP_COMPONENT, function,
                    "failed to read monotonic clock, errno=%d", err);
    return -err;
  }
  return 0;
}

// Time from now until the first pending time-out (0 when it is due).
// Needs a non-empty list. Returns 0 or the clock's error.
int get_next_timeout_expiry(timeval *relative) {
  struct timespec now_ts;
  int r = ReadClock(&now_ts, __func__);
  if (r < 0) return r;
  timeval now = {now_ts.tv_sec, static_cast<suseconds_t>(now_ts.tv_nsec / 1000)};
  const timeval &expiry = g_timeouts.front()->expiry;
  if (!Earlier(now, expiry)) {
    *relative = {0, 0};
    return 0;
  }
  relative->tv_sec = expiry.tv_sec - now.tv_sec;
  relative->tv_usec = expiry.tv_usec - now.tv_usec;
  if (relative->tv_usec < 0) {
    relative->tv_sec -= 1;
    relative->tv_usec += 1000000;
  }
  return 0;
}

// Runs `timeout`, then removes and releases that very record: the callback
// may have added time-outs ahead of it.
void RunTimeout(fpi_timeout *timeout) {
  Running running = {timeout, false, g_running};
  g_running = &running;
  timeout->callback(timeout->data);
  g_running = running.outer;
  if (!running.cancelled) g_timeouts.remove(timeout);
  g_free(timeout);
}

void LIBUSB_CALL PollfdAdded(int fd, short events, void *) {
  if (g_app_added != nullptr) g_app_added(fd, events);
}

void LIBUSB_CALL PollfdRemoved(int fd, void *) {
  if (g_app_removed != nullptr) g_app_removed(fd);
}

}  // namespace

extern "C" void fpi_poll_set_clock(fpi_clock_fn clock) { g_clock = clock ? clock : RealClock; }

extern "C" struct timeval fpi_timeout_expiry_after(const struct timespec *now, unsigned int msec) {
  timeval expiry;
  expiry.tv_sec = now->tv_sec + msec / 1000;
  expiry.tv_usec = static_cast<suseconds_t>(now->tv_nsec / 1000 + (msec % 1000) * 1000);
  if (expiry.tv_usec > 999999) {
    expiry.tv_sec += 1;
    expiry.tv_usec -= 1000000;
  }
  return expiry;
}

extern "C" struct fpi_timeout *fpi_timeout_add(unsigned int msec, fpi_timeout_fn callback,
                                               void *data) {
  struct timespec now;
  if (ReadClock(&now, __func__) < 0) return nullptr;
  fpi_timeout *timeout = g_new0(fpi_timeout, 1);
  timeout->expiry = fpi_timeout_expiry_after(&now, msec);
  timeout->callback = callback;
  timeout->data = data;
  // Ahead of the first pending one that does not fire earlier.
  auto it = g_timeouts.begin();
  while (it != g_timeouts.end() && Earlier((*it)->expiry, timeout->expiry)) ++it;
  g_timeouts.insert(it, timeout);
  return timeout;
}

extern "C" void fpi_timeout_cancel(struct fpi_timeout *timeout) {
  g_timeouts.remove(timeout);
  for (Running *r = g_running; r != nullptr; r = r->outer) {
    if (r->timeout == timeout) {
      r->cancelled = true;
      return;
    }
  }
  g_free(timeout);
}

extern "C" int fp_handle_events_timeout(struct timeval *tv) {
  if (tv == nullptr) return -EINVAL;
  timeval wait = *tv;
  if (!g_timeouts.empty()) {
    timeval next;
    int r = get_next_timeout_expiry(&next);
    if (r < 0) return r;
    if (next.tv_sec == 0 && next.tv_usec == 0) {
      RunTimeout(g_timeouts.front());
      return 0;
    }
    if (Earlier(next, wait)) wait = next;
  }

  int r = libusb_handle_events_timeout_completed(fpi_usb_ctx, &wait, nullptr);
  *tv = wait;
  if (r < 0) return r;

  if (!g_timeouts.empty()) {
    timeval next;
    r = get_next_timeout_expiry(&next);
    if (r < 0) return r;
    if (next.tv_sec == 0 && next.tv_usec == 0) RunTimeout(g_timeouts.front());
  }
  return 0;
}

extern "C" int fp_handle_events(void) {
  timeval tv = {2, 0};
  return fp_handle_events_timeout(&tv);
}

extern "C" int fp_get_next_timeout(struct timeval *tv) {
  timeval usb;
  int usb_r = libusb_get_next_timeout(fpi_usb_ctx, &usb);
  if (g_timeouts.empty()) {
    if (usb_r > 0) *tv = usb;
    return usb_r;
  }
  timeval ours;
  int r = get_next_timeout_expiry(&ours);
  if (r < 0) return r;
  // On a tie the USB library's is taken.
  *tv = (usb_r > 0 && !Earlier(ours, usb)) ? usb : ours;
  return 1;
}

extern "C" long fp_get_pollfds(struct fp_pollfd **out) {
  const libusb_pollfd **fds = libusb_get_pollfds(fpi_usb_ctx);
  if (fds == nullptr) {
    *out = nullptr;
    return -EIO;
  }
  long n = 0;
  while (fds[n] != nullptr) ++n;
  fp_pollfd *list = g_new0(fp_pollfd, n);
  for (long i = 0; i < n; ++i) {
    list[i].fd = fds[i]->fd;
    list[i].events = fds[i]->events;
  }
  libusb_free_pollfds(fds);
  *out = list;
  return n;
}

extern "C" void fp_set_pollfd_notifiers(fp_pollfd_added_cb added, fp_pollfd_removed_cb removed) {
  g_app_added = added;
  g_app_removed = removed;
}

extern "C" void fpi_poll_init(void) {
  libusb_set_pollfd_notifiers(fpi_usb_ctx, PollfdAdded, PollfdRemoved, nullptr);
}

extern "C" void fpi_poll_exit(void) {
  // A time-out whose callback is running is released by its runner.
  while (!g_timeouts.empty()) fpi_timeout_cancel(g_timeouts.front());
  g_app_added = nullptr;
  g_app_removed = nullptr;
  if (fpi_usb_ctx != nullptr) libusb_set_pollfd_notifiers(fpi_usb_ctx, nullptr, nullptr, nullptr);
}
