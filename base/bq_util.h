// Small services of the base library: hex dump, clock, sleeps, allocation
// wrappers, unbounded formatting and the XOR checksum of command frames.
#ifndef BASE_BQ_UTIL_H_
#define BASE_BQ_UTIL_H_

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Formats into buf, which must hold the whole result (no length is passed).
// Returns the length written.
int bq_sprintf(char *buf, const char *fmt, ...) __attribute__((format(printf, 2, 3)));

// Logs `len` bytes as rows of 8 ("offset  hex...  |ascii|") at debug level
// under "quorvanta:util". Long dumps keep their first and last rows only, with
// one "...." line between. Nothing happens for len <= 0.
void bq_hexdump(const char *data, int len);

// The monotonic clock in milliseconds. With elapsed false the value is also
// stored as the process-wide mark; with true the result is the milliseconds
// since that mark (the mark starts at 0).
uint64_t bq_timer_ms(bool elapsed);

// bq_timer_ms(false); the driver hands it to the sensor library as its clock.
uint64_t bq_timer_start(void);

// Sleeps `ms` milliseconds. Returns the sleep's result (0 on success).
int bq_msleep(int ms);

// Sleeps `us` microseconds. Returns the sleep's result (0 on success).
int bq_usleep(int us);

// malloc, free and realloc.
void *bq_malloc(unsigned size);
void bq_free(void *ptr);
void *bq_realloc(void *ptr, unsigned size);

// XOR of the `len` bytes at `data`; 0 for len 0.
char bq_checksum_xor(const char *data, unsigned len);

// Time sources behind the clock and the sleeps. Production uses
// CLOCK_MONOTONIC and usleep; tests may install a virtual clock so that no
// real time passes.
typedef struct bq_time_source {
  uint64_t (*monotonic_ms)(void);  // current monotonic time in milliseconds
  int (*sleep_us)(unsigned us);    // sleeps, returns 0 on success
} bq_time_source;

// Installs `source`, or restores the real clock for NULL.
void bq_set_time_source(const bq_time_source *source);

#ifdef __cplusplus
}
#endif

#endif  // BASE_BQ_UTIL_H_
