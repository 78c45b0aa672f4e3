#include "base/bq_dump.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>
#include <string>

#include "base/bq_error.h"
#include "base/bq_log.h"

namespace {

constexpr const char *kTag = "quorvanta:dump";
constexpr size_t kPathMax = 4096;

// Process-wide and unguarded; appends come from whichever thread logs.
struct DumpState {
  char root[kPathMax];
  bool session_open;
  uint32_t session_counter;
  char session_stamp[32];
  char log_path[kPathMax];
  uint64_t log_bytes;
  uint32_t capture_counter;
  // Set while a session is being created: a failure there is logged, and with
  // dumping on that log line would come back here and try again forever.
  bool creating;
  // Set once a failed session has been reported; every log line asks for a
  // session again, and the same failure is not reported on each of them.
  bool failure_reported;
};

DumpState g_dump = {};

// Formats a path into a kPathMax buffer; longer paths are cut at 4095
// characters.
__attribute__((format(printf, 2, 3))) void FormatPath(char *out, const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(out, kPathMax, fmt, ap);
  va_end(ap);
}

// Writes a formatted diagnostic straight to standard error: the logger itself
// depends on this file, so it cannot report through bq_log.
__attribute__((format(printf, 1, 2))) void ReportToStderr(const char *fmt, ...) {
  char text[kPathMax + 256];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(text, sizeof text, fmt, ap);
  va_end(ap);
  std::fputs(text, stderr);
}

// mkdir of one prefix, with the failure line on standard error.
int MakeOne(const char *path, int line) {
  int rc = mkdir(path, 0770);
  if (rc != 0) {
    ReportToStderr("%s: [%4d]:mkdir('%s', ..) = '%s'.\n", kTag, line, path,
                 std::strerror(errno));
  }
  return rc;
}

}  // namespace

extern "C" void bq_dump_format_stamp(char *out, size_t size) {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  struct tm local;
  time_t secs = tv.tv_sec;
  localtime_r(&secs, &local);
  std::snprintf(out, size, "%04d%02d%02d%02d%02d%02d.%03d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(tv.tv_usec / 1000));
}

namespace {

int MakeDumpDir(const char *path) {
  int rc = bq_dump_private_dir(path);
  if (rc != 0 && rc != BQ_ERROR_AGAIN && !g_dump.failure_reported) {
    if (g_base_log_level <= 5) {
      bq_log(BQ_LOG_ERROR, kTag, "error at %s[%s:%d]: '%s'.", "create_new_dumping_session",
             bq_basename(__FILE__), __LINE__, bq_strerror(rc));
    }
  }
  return rc;
}

// True the first time a problem with folder `path` is to be reported in this
// process: a folder that is refused once is refused on every log line.
bool FirstReportFor(const char *path) {
  static std::mutex mutex;
  static std::set<std::string> *reported = new std::set<std::string>;
  std::lock_guard<std::mutex> lock(mutex);
  return reported->insert(path).second;
}

}  // namespace

extern "C" int bq_dump_private_dir(const char *path) {
  if (path == nullptr) return BQ_ERROR_NULL_POINTER;
  struct stat st;
  if (lstat(path, &st) != 0) {
    if (errno != ENOENT) {
      if (FirstReportFor(path)) {
        ReportToStderr("%s: [%4d]:lstat('%s', ..) = '%s'.\n", kTag, __LINE__, path,
                       std::strerror(errno));
      }
      return BQ_ERROR_INTERNAL;
    }
    if (mkdir(path, 0700) != 0) {
      if (FirstReportFor(path)) {
        ReportToStderr("%s: [%4d]:mkdir('%s', ..) = '%s'.\n", kTag, __LINE__, path,
                       std::strerror(errno));
      }
      return BQ_ERROR_INTERNAL;
    }
    // Whatever the umask left, the folder is the owner's alone; checked again
    // below in case another user raced the mkdir.
    if (lstat(path, &st) != 0 || chmod(path, 0700) != 0 || lstat(path, &st) != 0) {
      if (FirstReportFor(path)) {
        ReportToStderr("%s: [%4d]:chmod('%s', ..) = '%s'.\n", kTag, __LINE__, path,
                       std::strerror(errno));
      }
      return BQ_ERROR_INTERNAL;
    }
  }
  const char *why = nullptr;
  if (S_ISLNK(st.st_mode))
    why = "it is a symbolic link";
  else if (!S_ISDIR(st.st_mode))
    why = "it is not a directory";
  else if (st.st_uid != geteuid())
    why = "it is owned by another user";
  else if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    why = "it is writable by group or others";
  if (why != nullptr) {
    if (FirstReportFor(path)) {
      ReportToStderr("%s: [%4d]:refusing dump folder '%s': %s; nothing is dumped.\n", kTag,
                     __LINE__, path, why);
    }
    return BQ_ERROR_INTERNAL;
  }
  return 0;
}

extern "C" int bq_mkdir_p(const char *path) {
  if (path == nullptr) return -1;
  char buf[kPathMax];
  FormatPath(buf, "%s", path);
  for (char *p = buf + 1; *p != '\0'; ++p) {
    if (*p != '/') continue;
    *p = '\0';
    if (access(buf, F_OK) != 0 && errno == ENOENT) {
      int rc = MakeOne(buf, __LINE__);
      if (rc != 0) return rc;
    }
    *p = '/';
  }
  if (access(buf, F_OK) == 0) return 0;
  if (errno != ENOENT) {
    int rc = -1;
    ReportToStderr("%s: [%4d]:access('%s', ..) = '%s'.\n", kTag, __LINE__, buf,
                 std::strerror(errno));
    return rc;
  }
  return MakeOne(buf, __LINE__);
}

namespace {

int CreateSession() {
  std::snprintf(g_dump.root, sizeof g_dump.root, "%s", BQ_DUMP_ROOT);
  int rc = MakeDumpDir(g_dump.root);
  if (rc != 0) return rc;

  char logs[kPathMax];
  FormatPath(logs, "%s/logs", g_dump.root);
  rc = MakeDumpDir(logs);
  if (rc != 0) return rc;

  bq_dump_format_stamp(g_dump.session_stamp, sizeof g_dump.session_stamp);
  ++g_dump.session_counter;
  FormatPath(g_dump.log_path, "%s/%02u-%s.log", logs, g_dump.session_counter,
             g_dump.session_stamp);
  g_dump.session_open = true;
  return 0;
}

}  // namespace

extern "C" int create_new_dumping_session(void) {
  g_dump.creating = true;
  int rc = CreateSession();
  g_dump.creating = false;
  return rc;
}

extern "C" int bq_dump_log_append(const char *text, size_t length) {
  if (!g_dump.session_open || g_dump.log_bytes > BQ_DUMP_LOG_ROTATE_BYTES) {
    if (g_dump.creating) return BQ_ERROR_AGAIN;  // a line logged by the creation itself
    g_dump.log_bytes = 0;
    if (create_new_dumping_session() != 0) {
      if (!g_dump.failure_reported) {
        ReportToStderr("%s: [%4d]:create_new_dumping_session(..) = '%s'.\n", kTag, __LINE__,
                       bq_strerror(BQ_ERROR_AGAIN));
      }
      g_dump.failure_reported = true;
      return BQ_ERROR_AGAIN;
    }
    g_dump.failure_reported = false;
  }
  // Owner-only, never through a link, and never blocking on a planted FIFO.
  int fd = open(g_dump.log_path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                0600);
  struct stat st;
  if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    close(fd);
    fd = -1;
    errno = EINVAL;
  }
  FILE *f = fd >= 0 ? fdopen(fd, "ab") : nullptr;
  if (f == nullptr) {
    int err = errno;
    if (fd >= 0) close(fd);
    ReportToStderr("%s: [%4d]:fopen('%s', ..) = '%s'.\n", kTag, __LINE__, g_dump.log_path,
                 std::strerror(err));
    return err;
  }
  if (text != nullptr && length != 0) {
    int n = std::fputs(text, f) >= 0 && std::fputc('\n', f) != EOF
                ? static_cast<int>(std::strlen(text) + 1)
                : -1;
    std::fflush(f);
    if (n > 0) g_dump.log_bytes += static_cast<uint64_t>(n);
  }
  std::fclose(f);
  return 0;
}

extern "C" uint32_t bq_dump_session_number(void) { return g_dump.session_counter; }
extern "C" const char *bq_dump_log_path(void) { return g_dump.log_path; }
extern "C" uint64_t bq_dump_log_bytes(void) { return g_dump.log_bytes; }
extern "C" void bq_dump_set_log_bytes(uint64_t bytes) { g_dump.log_bytes = bytes; }
extern "C" int bq_dump_session_is_open(void) { return g_dump.session_open ? 1 : 0; }
extern "C" const char *bq_dump_root(void) { return g_dump.root; }
extern "C" uint32_t bq_dump_next_capture(void) { return ++g_dump.capture_counter; }
