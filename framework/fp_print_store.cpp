// The print store: one FP2 file per finger under
// <home>/.fpdev/prints/<driver %04x>/<devtype %08x>/<finger %x>.
#include "framework/fpi_print_store.h"

#include <fcntl.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "framework/fpdev.h"
#include "framework/fp_internal.h"
#include "framework/fpi_print_data.h"

namespace {

constexpr int kDirMode = 0700;
constexpr int kFileMode = 0600;

// The store's base directory; process-wide, set on first use.
gchar *g_base_path = nullptr;

// -errno for a GLib file error, so that every failure is negative.
int NegativeErrno(const GError *error) {
  if (error == nullptr || error->domain != G_FILE_ERROR) return -EIO;
  static const struct {
    int code;
    int err;
  } table[] = {
      {G_FILE_ERROR_EXIST, EEXIST},   {G_FILE_ERROR_ISDIR, EISDIR},
      {G_FILE_ERROR_ACCES, EACCES},   {G_FILE_ERROR_NAMETOOLONG, ENAMETOOLONG},
      {G_FILE_ERROR_NOENT, ENOENT},   {G_FILE_ERROR_NOTDIR, ENOTDIR},
      {G_FILE_ERROR_NXIO, ENXIO},     {G_FILE_ERROR_NODEV, ENODEV},
      {G_FILE_ERROR_ROFS, EROFS},     {G_FILE_ERROR_TXTBSY, ETXTBSY},
      {G_FILE_ERROR_FAULT, EFAULT},   {G_FILE_ERROR_LOOP, ELOOP},
      {G_FILE_ERROR_NOSPC, ENOSPC},   {G_FILE_ERROR_NOMEM, ENOMEM},
      {G_FILE_ERROR_MFILE, EMFILE},   {G_FILE_ERROR_NFILE, ENFILE},
      {G_FILE_ERROR_BADF, EBADF},     {G_FILE_ERROR_INVAL, EINVAL},
      {G_FILE_ERROR_PIPE, EPIPE},     {G_FILE_ERROR_AGAIN, EAGAIN},
      {G_FILE_ERROR_INTR, EINTR},     {G_FILE_ERROR_IO, EIO},
      {G_FILE_ERROR_PERM, EPERM},     {G_FILE_ERROR_NOSYS, ENOSYS},
  };
  for (const auto &row : table)
    if (row.code == error->code) return -row.err;
  return -EIO;
}

// The home directory: HOME, else the system's record of the user.
const char *UserHome() {
  const char *home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return home;
  return g_get_home_dir();
}

// Tightens an existing folder of the store to kDirMode; links and folders
// of other users are left alone.
void MakePrivate(const char *dir) {
  struct stat st;
  if (lstat(dir, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) return;
  if ((st.st_mode & 07777) != kDirMode && chmod(dir, kDirMode) != 0)
    fp_err("couldn't make %s private: %s", dir, g_strerror(errno));
}

int SetBase(const char *home) {
  g_free(g_base_path);
  g_base_path = g_build_filename(home, ".fpdev", "prints", nullptr);
  int r = g_mkdir_with_parents(g_base_path, kDirMode);
  gchar *fpdev = g_path_get_dirname(g_base_path);
  MakePrivate(fpdev);
  g_free(fpdev);
  MakePrivate(g_base_path);
  return r;
}

void EnsureBase() {
  if (g_base_path != nullptr) return;
  const char *home = UserHome();
  if (home != nullptr) SetBase(home);
}

gchar *FingerPath(uint16_t driver_id, uint32_t devtype, int finger) {
  char drv[5], type[9], file[9];
  g_snprintf(drv, sizeof drv, "%04x", driver_id);
  g_snprintf(type, sizeof type, "%08x", devtype);
  g_snprintf(file, sizeof file, "%x", static_cast<unsigned>(finger));
  return g_build_filename(g_base_path, drv, type, file, nullptr);
}

// Value of `name` when it is wholly hexadecimal digits (at most 8); false
// for any other name.
bool AllHex(const char *name, uint32_t *value) {
  if (name[0] == '\0') return false;
  uint32_t v = 0;
  for (const char *p = name; *p != '\0'; p++) {
    if (!g_ascii_isxdigit(*p) || p - name >= 8) return false;
    v = v * 16 + static_cast<uint32_t>(g_ascii_xdigit_value(*p));
  }
  *value = v;
  return true;
}

// Reads the print file at `path` into *contents (g_free) and *length: only
// a regular file of at most FP_PRINT_FILE_MAX bytes. 0 or a negative errno.
int ReadPrintFile(const char *path, gchar **contents, gsize *length) {
  // Non-blocking, so that a FIFO under a print's name cannot stall the caller.
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    int r = -errno;
    fp_err("%s load failed: %s", path, g_strerror(errno));
    return r;
  }
  struct stat st;
  int r = 0;
  if (fstat(fd, &st) != 0) {
    r = -errno;
    fp_err("%s load failed: %s", path, g_strerror(errno));
  } else if (S_ISDIR(st.st_mode)) {
    r = -EISDIR;
    fp_err("%s load failed: %s", path, g_strerror(EISDIR));
  } else if (!S_ISREG(st.st_mode)) {
    r = -EINVAL;
    fp_err("%s load failed: not a regular file", path);
  } else if (st.st_size > static_cast<off_t>(FP_PRINT_FILE_MAX)) {
    r = -EFBIG;
    fp_err("%s load failed: %lld bytes, larger than any print", path,
           static_cast<long long>(st.st_size));
  }
  if (r != 0) {
    close(fd);
    return r;
  }
  // One byte of room shows a file that grew since fstat.
  gsize room = static_cast<gsize>(st.st_size) + 1;
  gchar *buf = static_cast<gchar *>(g_malloc(room));
  gsize got = 0;
  while (got < room) {
    ssize_t n = read(fd, buf + got, room - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      r = -errno;
      break;
    }
    if (n == 0) break;
    got += static_cast<gsize>(n);
  }
  close(fd);
  if (r == 0 && got > FP_PRINT_FILE_MAX) r = -EFBIG;
  if (r != 0) {
    fp_err("%s load failed: %s", path, g_strerror(-r));
    g_free(buf);
    return r;
  }
  *contents = buf;
  *length = got;
  return 0;
}

}  // namespace

static int load_from_file(const char *path, struct fp_print_data **data) {
  fp_dbg("from %s", path);
  gchar *contents = nullptr;
  gsize length = 0;
  int r = ReadPrintFile(path, &contents, &length);
  if (r != 0) return r;
  struct fp_print_data *fdata =
      fp_print_data_from_data(reinterpret_cast<const unsigned char *>(contents), length);
  g_free(contents);
  if (fdata == nullptr) return -EIO;
  *data = fdata;
  return 0;
}

extern "C" void fpi_print_store_exit(void) {
  g_free(g_base_path);
  g_base_path = nullptr;
}

extern "C" int fp_storage_setup(const char *home) {
  if (home == nullptr) home = UserHome();
  if (home == nullptr) return -1;
  if (std::strcmp(home, ".") == 0) home = "./";
  return SetBase(home);
}

extern "C" int fp_print_data_save(struct fp_print_data *data, int finger) {
  EnsureBase();
  if (g_base_path == nullptr) {
    fp_err("no home directory for the print store");
    return -ENOENT;
  }
  if (finger < LEFT_THUMB || finger > RIGHT_LITTLE) {
    fp_err("finger %d is not a finger number 1..10", finger);
    return -EINVAL;
  }
  fp_dbg("save %s print from driver %04x", fpi_finger_name(finger), data->driver_id);
  unsigned char *buf = nullptr;
  size_t len = fp_print_data_get_data(data, &buf);
  if (buf == nullptr) return -EINVAL;

  gchar *path = FingerPath(data->driver_id, data->devtype, finger);
  gchar *dirpath = g_path_get_dirname(path);
  int r = g_mkdir_with_parents(dirpath, kDirMode);
  if (r == 0) {
    // The driver and device-type folders, even when they already existed.
    gchar *drvpath = g_path_get_dirname(dirpath);
    MakePrivate(drvpath);
    MakePrivate(dirpath);
    g_free(drvpath);
  }
  g_free(dirpath);
  if (r < 0) {
    fp_err("couldn't create storage directory");
    std::free(buf);
    g_free(path);
    return r;
  }

  fp_dbg("saving to %s", path);
  GError *error = nullptr;
  // A temporary file renamed over the print: a crash never leaves a torn one.
  gboolean ok = g_file_set_contents_full(path, reinterpret_cast<const gchar *>(buf),
                                         static_cast<gssize>(len),
                                         G_FILE_SET_CONTENTS_CONSISTENT, kFileMode, &error);
  std::free(buf);
  g_free(path);
  if (!ok) {
    fp_err("save failed: %s", error->message);
    r = NegativeErrno(error);
    g_error_free(error);
    return r;
  }
  return 0;
}

extern "C" int fp_print_data_load(struct fp_dev *dev, int finger,
                                  struct fp_print_data **data) {
  EnsureBase();
  if (g_base_path == nullptr) return -ENOENT;
  gchar *path = FingerPath(dev->driver->id, dev->devtype, finger);
  struct fp_print_data *fdata = nullptr;
  int r = load_from_file(path, &fdata);
  g_free(path);
  if (r != 0) return r;
  if (!fp_dev_supports_print_data(dev, fdata)) {
    fp_err("print data is not compatible!");
    fp_print_data_free(fdata);
    return -EINVAL;
  }
  *data = fdata;
  return 0;
}

extern "C" int fp_print_data_delete(struct fp_dev *dev, int finger) {
  EnsureBase();
  if (g_base_path == nullptr) return -1;
  gchar *path = FingerPath(dev->driver->id, dev->devtype, finger);
  fp_dbg("remove finger %d at %s", finger, path);
  int r = g_unlink(path);
  if (r < 0) fp_err("unlink failed with error %d", r);
  g_free(path);
  return r;
}

extern "C" int fp_print_data_from_dscv_print(struct fp_dscv_print *print,
                                             struct fp_print_data **data) {
  return load_from_file(print->path, data);
}

// Adds the finger files of one device-type directory to *list.
static void scan_dev_store_dir(const char *devpath, uint16_t driver_id, uint32_t devtype,
                               GSList **list) {
  GError *error = nullptr;
  GDir *dir = g_dir_open(devpath, 0, &error);
  if (dir == nullptr) {
    fp_err("opendir %s failed: %s", devpath, error->message);
    g_error_free(error);
    return;
  }
  while (const gchar *ent = g_dir_read_name(dir)) {
    if (std::strlen(ent) != 1) continue;
    uint32_t finger = 0;
    if (!AllHex(ent, &finger) || finger < LEFT_THUMB || finger > RIGHT_LITTLE) {
      fp_dbg("skipping print file %s", ent);
      continue;
    }
    auto *print = g_new0(struct fp_dscv_print, 1);
    print->driver_id = driver_id;
    print->devtype = devtype;
    print->finger = static_cast<int>(finger);
    print->path = g_build_filename(devpath, ent, nullptr);
    *list = g_slist_prepend(*list, print);
  }
  g_dir_close(dir);
}

// Adds the finger files of every device-type directory of one driver.
static void scan_driver_store_dir(const char *drvpath, uint16_t driver_id, GSList **list) {
  GError *error = nullptr;
  GDir *dir = g_dir_open(drvpath, 0, &error);
  if (dir == nullptr) {
    fp_err("opendir %s failed: %s", drvpath, error->message);
    g_error_free(error);
    return;
  }
  while (const gchar *ent = g_dir_read_name(dir)) {
    if (std::strlen(ent) != 8) continue;
    uint32_t devtype = 0;
    if (!AllHex(ent, &devtype)) {
      fp_dbg("skipping devtype %s", ent);
      continue;
    }
    gchar *path = g_build_filename(drvpath, ent, nullptr);
    scan_dev_store_dir(path, driver_id, devtype, list);
    g_free(path);
  }
  g_dir_close(dir);
}

extern "C" struct fp_dscv_print **fp_discover_prints(void) {
  EnsureBase();
  if (g_base_path == nullptr) return nullptr;
  GError *error = nullptr;
  GDir *dir = g_dir_open(g_base_path, 0, &error);
  if (dir == nullptr) {
    fp_err("opendir %s failed: %s", g_base_path, error->message);
    g_error_free(error);
    return nullptr;
  }
  GSList *list = nullptr;
  while (const gchar *ent = g_dir_read_name(dir)) {
    if (std::strlen(ent) != 4) continue;
    uint32_t driver_id = 0;
    if (!AllHex(ent, &driver_id)) {
      fp_dbg("skipping drv id %s", ent);
      continue;
    }
    gchar *path = g_build_filename(g_base_path, ent, nullptr);
    scan_driver_store_dir(path, static_cast<uint16_t>(driver_id), &list);
    g_free(path);
  }
  g_dir_close(dir);

  guint n = g_slist_length(list);
  auto **prints = g_new0(struct fp_dscv_print *, n + 1);
  guint i = 0;
  for (GSList *l = list; l != nullptr; l = l->next)
    prints[i++] = static_cast<struct fp_dscv_print *>(l->data);
  g_slist_free(list);
  return prints;
}

extern "C" void fp_dscv_prints_free(struct fp_dscv_print **prints) {
  if (prints == nullptr) return;
  for (struct fp_dscv_print **p = prints; *p != nullptr; p++) {
    g_free((*p)->path);
    g_free(*p);
  }
  g_free(prints);
}

extern "C" uint16_t fp_dscv_print_get_driver_id(struct fp_dscv_print *print) {
  return print->driver_id;
}

extern "C" uint32_t fp_dscv_print_get_devtype(struct fp_dscv_print *print) {
  return print->devtype;
}

extern "C" int fp_dscv_print_get_finger(struct fp_dscv_print *print) {
  return print->finger;
}

extern "C" int fp_dscv_print_delete(struct fp_dscv_print *print) {
  fp_dbg("remove at %s", print->path);
  int r = g_unlink(print->path);
  if (r < 0) fp_err("unlink failed with error %d", r);
  return r;
}
