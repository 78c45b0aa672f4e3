// Dump sessions: a copy of the log under "/tmp/dump" and per-outcome folders
// for dumped sensor frames.
#ifndef BASE_BQ_DUMP_H_
#define BASE_BQ_DUMP_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Root of every dump session.
#define BQ_DUMP_ROOT "/tmp/dump"

// A log grows to this many bytes before the next line starts a new session.
#define BQ_DUMP_LOG_ROTATE_BYTES 524288000ULL

// Creates `path` and its missing parents with mode 0770. Returns 0, or the
// failing mkdir/access result; failures are reported on standard error.
int bq_mkdir_p(const char *path);

// Makes `path` a private dump folder: creates it with mode 0700 when it is
// missing; refuses it (-1) when it is a symbolic link, not a directory, owned
// by another user, or writable by group or others. A folder's problem is
// reported on standard error the first time only in a process. Returns 0 or a
// negative error.
int bq_dump_private_dir(const char *path);

// Creates the dump root and its logs folder (both private, see
// bq_dump_private_dir) and starts the next session.
// Returns 0 or the directory error.
int create_new_dumping_session(void);

// Appends `text` and a newline to the current session's log, starting a
// session first when none is open or the log has grown past the rotation
// size. `length` only says whether there is anything to write. Returns 0,
// -11 when no session can be created (reported once, not again until a
// session has been created), or the errno of a failed open.
int bq_dump_log_append(const char *text, size_t length);

// Writes the local time as "%04d%02d%02d%02d%02d%02d.%03d" (year to
// milliseconds, 18 characters) into out, cut to size bytes.
void bq_dump_format_stamp(char *out, size_t size);

// 1 once a session has been created in this process, else 0.
int bq_dump_session_is_open(void);

// The dump root of the current session ("" before the first one).
const char *bq_dump_root(void);

// Counts one more dumped frame and returns the new count (1 for the first).
uint32_t bq_dump_next_capture(void);

// Inspection and seams for tests: the current session number, log path and
// byte count of the current log.
uint32_t bq_dump_session_number(void);
const char *bq_dump_log_path(void);
uint64_t bq_dump_log_bytes(void);
void bq_dump_set_log_bytes(uint64_t bytes);

#ifdef __cplusplus
}
#endif

#endif  // BASE_BQ_DUMP_H_
