// The Validity VFS0050 swipe driver: fixed command packets initialise the
// sensor, its interrupt announces a finger, the swiped lines are read in bulk
// and assembled into an image for the generic image path. All USB work is
// asynchronous, run by state machines from the event polling.
#define FP_COMPONENT "vfs0050"

#include "drivers/vfs0050/vfs0050.h"

#include <errno.h>
#include <glib.h>
#include <libusb.h>

#include <cstring>

#include "drivers/vfs0050/vfs0050_proto.h"
#include "framework/fpi_assembling.h"
#include "framework/fpi_img.h"

namespace {

using namespace vfs0050;

// The driver's context: the priv of the fp_img_dev, allocated zeroed at
// open and released at close.
struct vfs0050_ctx {
  uint8_t active;              // 1 while an action wants captures
  const uint8_t *packet;       // the command packet the control machine sends next
  uint8_t machine_running;     // 1 while the activation machine of an action runs
  libusb_transfer *transfer;   // the transfer most recently submitted
  uint8_t report_pending;      // an activation or deactivation completion is to be reported
  uint8_t awaiting_interrupt;  // 1 while the finger interrupt is awaited
  uint8_t *lines;              // received line data
  int bytes;                   // bytes received into lines
  int size;                    // allocated size of lines
  uint8_t interrupt[kInterruptSize];  // the last interrupt message

  // Storage the answers are read into; not examined.
  uint8_t answer[kAnswerSize];
  uint8_t setup_answer[kSetupAnswerSize];
  // The pending re-check of the finger wait and the pending step delay;
  // cancelled when the activation machine ends or the device closes.
  fpi_timeout *wait_timeout;
  fpi_timeout *step_timeout;
};

// Line data beyond this many bytes is not read: the swipe is processed as it
// stands (a sensor that never stops sending cannot exhaust memory).
constexpr int kMaxLineBytes = 1 << 28;

enum ActivateState {
  kDrainEp1,
  kDrainEp2,
  kDrainEp3,
  kClear,
  kSendPacket0,
  kArm,
  kWaitInterruptStart,
  kWaitInterrupt,
  kReceiveLines,
  kProcessLines,
  kSendPacket2,
  kRearmDelay,
  kActivateStates,
};

enum ClearState { kClearWrite, kClearAnswer, kClearDrain, kClearStates };

enum ControlState {
  kControlWrite,
  kControlAnswer,
  kControlSetup,
  kControlSetupAnswer,
  kControlInterrupt,
  kControlCheckInterrupt,
  kControlClear,
  kControlStates,
};

fp_img_dev *ImgDev(fpi_ssm *ssm) { return static_cast<fp_img_dev *>(ssm->priv); }
vfs0050_ctx *Ctx(fp_img_dev *imgdev) { return static_cast<vfs0050_ctx *>(imgdev->priv); }
vfs0050_ctx *Ctx(fpi_ssm *ssm) { return Ctx(ImgDev(ssm)); }

// Every failure: the current action learns of it, the machine is aborted.
// While no action runs (during open) there is no one to tell but the
// machine's own completion.
void Fail(fpi_ssm *ssm) {
  fp_img_dev *imgdev = ImgDev(ssm);
  if (imgdev->action != IMG_ACTION_NONE) fpi_imgdev_session_error(imgdev, -EIO);
  fpi_ssm_mark_aborted(ssm, -EIO);
}

// Submits a transfer made by the callers below; a failed submit fails the
// machine.
void Submit(fpi_ssm *ssm, libusb_transfer *transfer) {
  Ctx(ssm)->transfer = transfer;
  int r = libusb_submit_transfer(transfer);
  if (r != 0) {
    fp_err("could not submit transfer: %s", libusb_error_name(r));
    libusb_free_transfer(transfer);
    Ctx(ssm)->transfer = nullptr;
    Fail(ssm);
  }
}

// Allocates a transfer, or fails the machine.
libusb_transfer *NewTransfer(fpi_ssm *ssm) {
  libusb_transfer *t = libusb_alloc_transfer(0);
  if (t == nullptr) {
    fp_err("could not allocate transfer");
    Fail(ssm);
  }
  return t;
}

void async_write_callback(libusb_transfer *transfer) {
  auto *ssm = static_cast<fpi_ssm *>(transfer->user_data);
  if (transfer->status != LIBUSB_TRANSFER_COMPLETED) {
    fp_err("USB write transfer: %s", libusb_error_name(transfer->status));
    Fail(ssm);
  } else if (transfer->actual_length != transfer->length) {
    fp_err("Written only %d of %d bytes", transfer->actual_length, transfer->length);
    Fail(ssm);
  } else {
    fpi_ssm_next_state(ssm);
  }
}

// Writes `length` bytes to endpoint 0x01; the machine moves on when done.
void vfs_bulk_write(fpi_ssm *ssm, const uint8_t *data, int length) {
  libusb_transfer *t = NewTransfer(ssm);
  if (t == nullptr) return;
  libusb_fill_bulk_transfer(t, ImgDev(ssm)->usb_handle, kEpOut, const_cast<uint8_t *>(data),
                            length, async_write_callback, ssm, kBulkTimeoutMs);
  t->flags = LIBUSB_TRANSFER_FREE_TRANSFER;
  Submit(ssm, t);
}

void async_read_callback(libusb_transfer *transfer) {
  auto *ssm = static_cast<fpi_ssm *>(transfer->user_data);
  const int ep = transfer->endpoint & 0x7f;
  if (transfer->status != LIBUSB_TRANSFER_COMPLETED) {
    fp_err("USB read transfer on endpoint %d: %s", ep, libusb_error_name(transfer->status));
    Fail(ssm);
  } else if (transfer->actual_length != transfer->length) {
    fp_err("Received %d instead of %d bytes", transfer->actual_length, transfer->length);
    Fail(ssm);
  } else {
    fpi_ssm_next_state(ssm);
  }
}

// Fills a read of endpoint number `ep`: 3 is the interrupt endpoint 0x83,
// any other n the bulk endpoint 0x80 | n.
void FillRead(libusb_transfer *t, fp_img_dev *imgdev, int ep, uint8_t *buffer, int length,
              libusb_transfer_cb_fn callback, void *data, unsigned timeout) {
  if (ep == 3) {
    libusb_fill_interrupt_transfer(t, imgdev->usb_handle, kEpInterrupt, buffer, length, callback,
                                   data, timeout);
  } else {
    libusb_fill_bulk_transfer(t, imgdev->usb_handle, static_cast<unsigned char>(0x80 | ep),
                              buffer, length, callback, data, timeout);
  }
}

// Reads exactly `length` bytes from endpoint number `ep` into `buffer`,
// which stays valid until the transfer completes.
void vfs_bulk_read(fpi_ssm *ssm, int ep, uint8_t *buffer, int length) {
  libusb_transfer *t = NewTransfer(ssm);
  if (t == nullptr) return;
  FillRead(t, ImgDev(ssm), ep, buffer, length, async_read_callback, ssm, kBulkTimeoutMs);
  t->flags = LIBUSB_TRANSFER_FREE_TRANSFER;
  Submit(ssm, t);
}

void async_abort_callback(libusb_transfer *transfer) {
  auto *ssm = static_cast<fpi_ssm *>(transfer->user_data);
  const int ep = transfer->endpoint & 0x7f;
  const bool answered = transfer->status == LIBUSB_TRANSFER_COMPLETED ||
                        transfer->status == LIBUSB_TRANSFER_TIMED_OUT;
  if (!answered) {
    fp_err("USB read transfer on endpoint %d: %s", ep, libusb_error_name(transfer->status));
    Fail(ssm);
  } else if (transfer->actual_length > 0) {
    fp_warn("Endpoint %d had extra %d bytes", ep, transfer->actual_length);
    fpi_ssm_jump_to_state(ssm, ssm->cur_state);
  } else {
    fpi_ssm_next_state(ssm);
  }
}

// Reads whatever endpoint number `ep` still holds, until a read times out.
void vfs_drain_endpoint(fpi_ssm *ssm, int ep) {
  libusb_transfer *t = NewTransfer(ssm);
  if (t == nullptr) return;
  auto *buffer = static_cast<uint8_t *>(g_malloc(kReadChunk));
  FillRead(t, ImgDev(ssm), ep, buffer, static_cast<int>(kReadChunk), async_abort_callback, ssm,
           kDrainTimeoutMs);
  t->flags = LIBUSB_TRANSFER_FREE_TRANSFER | LIBUSB_TRANSFER_FREE_BUFFER;
  Submit(ssm, t);
}

// ---------------------------------------------------------------------------
// The clear machine: empties the sensor's line buffer.

void clear_ep2_ssm(fpi_ssm *ssm) {
  vfs0050_ctx *ctx = Ctx(ssm);
  switch (ssm->cur_state) {
    case kClearWrite:
      vfs_bulk_write(ssm, &kClearCommand, 1);
      break;
    case kClearAnswer:
      vfs_bulk_read(ssm, kEpIn & 0x7f, ctx->answer, kAnswerSize);
      break;
    case kClearDrain:
      vfs_drain_endpoint(ssm, kEpLines & 0x7f);
      break;
    default:
      fp_err("Unknown SUBSM1 state");
      Fail(ssm);
  }
}

fpi_ssm *NewChild(fpi_ssm *parent, fpi_ssm_handler_fn handler, int states) {
  fpi_ssm *child = fpi_ssm_new(parent->dev, handler, states);
  child->priv = parent->priv;
  return child;
}

// ---------------------------------------------------------------------------
// The control machine: sends the current packet (packet 2 is followed by
// packet 3), the set-up blob, and checks the empty interrupt.

void send_control_packet_ssm(fpi_ssm *ssm) {
  vfs0050_ctx *ctx = Ctx(ssm);
  switch (ssm->cur_state) {
    case kControlWrite:
      vfs_bulk_write(ssm, ctx->packet, kPacketSize);
      break;
    case kControlAnswer:
      vfs_bulk_read(ssm, kEpIn & 0x7f, ctx->answer, kAnswerSize);
      break;
    case kControlSetup:
      if (ctx->packet == kPacket2) {
        ctx->packet = kPacket3;
        fpi_ssm_jump_to_state(ssm, kControlWrite);
        break;
      }
      vfs_bulk_write(ssm, kSetup, kSetupSize);
      break;
    case kControlSetupAnswer:
      vfs_bulk_read(ssm, kEpIn & 0x7f, ctx->setup_answer, kSetupAnswerSize);
      break;
    case kControlInterrupt:
      vfs_bulk_read(ssm, kEpInterrupt & 0x7f, ctx->interrupt, kInterruptSize);
      break;
    case kControlCheckInterrupt:
      if (std::memcmp(ctx->interrupt, kInterruptEmpty, kInterruptSize) != 0) {
        fp_err("Unknown SUBSM2 state");
        Fail(ssm);
        break;
      }
      vfs_drain_endpoint(ssm, kEpInterrupt & 0x7f);
      break;
    case kControlClear:
      if (ctx->packet == kPacket1) {
        fpi_ssm_mark_completed(ssm);
        break;
      }
      fpi_ssm_start_child(ssm, NewChild(ssm, clear_ep2_ssm, kClearStates));
      break;
    default:
      fp_err("Unknown SUBSM2 state");
      Fail(ssm);
  }
}

// ---------------------------------------------------------------------------
// Lines and their assembly.

int LineDeviationOf(fpi_line_assembly_ctx *, GSList *a, GSList *b) {
  return LineDeviation(static_cast<const uint8_t *>(a->data),
                       static_cast<const uint8_t *>(b->data));
}

unsigned char LinePixelOf(fpi_line_assembly_ctx *, GSList *line, unsigned int x) {
  return LinePixel(static_cast<const uint8_t *>(line->data), x);
}

fpi_line_assembly_ctx g_assembly = {
    .line_width = kLineWidth,
    .max_height = 3000,
    .resolution = 10,
    .median_filter_size = 25,
    .max_search_offset = 100,
    .get_deviation = LineDeviationOf,
    .get_pixel = LinePixelOf,
};

// Drops the received line data.
void DropLines(vfs0050_ctx *ctx) {
  g_free(ctx->lines);
  ctx->lines = nullptr;
  ctx->bytes = 0;
  ctx->size = 0;
}

// Ends the capture with the swipe received: too short a swipe is retried,
// otherwise the assembled image goes to the generic image path. Returns
// false when the image cannot be made.
bool ProcessLines(fp_img_dev *imgdev) {
  vfs0050_ctx *ctx = Ctx(imgdev);
  const size_t n = ctx->lines == nullptr ? 0 : UsableLines(ctx->lines, static_cast<size_t>(ctx->bytes));
  if (n < kMinLines) {
    fpi_imgdev_end_action(imgdev, FP_ENROLL_RETRY_TOO_SHORT);
    fpi_imgdev_report_finger_status(imgdev, false);
    return true;
  }
  GSList *list = nullptr;
  for (size_t k = n; k-- > 0;) list = g_slist_prepend(list, ctx->lines + k * kLineSize);
  fp_img *img = fpi_assemble_lines(&g_assembly, list, n);
  g_slist_free(list);
  if (img == nullptr) return false;
  fpi_imgdev_image_captured(imgdev, img);
  fpi_imgdev_report_finger_status(imgdev, false);
  return true;
}

// ---------------------------------------------------------------------------
// The activation machine.

void receive_callback(libusb_transfer *transfer) {
  auto *ssm = static_cast<fpi_ssm *>(transfer->user_data);
  vfs0050_ctx *ctx = Ctx(ssm);
  if (transfer->status != LIBUSB_TRANSFER_COMPLETED &&
      transfer->status != LIBUSB_TRANSFER_TIMED_OUT) {
    fp_err("USB read transfer: %s", libusb_error_name(transfer->status));
    Fail(ssm);
  } else if (transfer->actual_length == 0) {
    fpi_ssm_next_state(ssm);
  } else {
    ctx->bytes += transfer->actual_length;
    fpi_ssm_jump_to_state(ssm, kReceiveLines);
  }
}

void interrupt_callback(libusb_transfer *transfer) {
  auto *ssm = static_cast<fpi_ssm *>(transfer->user_data);
  vfs0050_ctx *ctx = Ctx(ssm);
  ctx->awaiting_interrupt = 0;
  if (transfer->status == LIBUSB_TRANSFER_CANCELLED && !ctx->active) return;
  if (transfer->status != LIBUSB_TRANSFER_COMPLETED) {
    fp_err("USB read interrupt transfer: %s", libusb_error_name(transfer->status));
    Fail(ssm);
    return;
  }
  if (transfer->actual_length != static_cast<int>(kInterruptSize)) {
    fp_err("Unknown interrupt size %d", transfer->actual_length);
    Fail(ssm);
    return;
  }
  switch (ClassifyInterrupt(ctx->interrupt)) {
    case 1:
      fpi_ssm_next_state(ssm);
      return;
    case 2:
      fp_warn("Finger is already on the scanner");
      fpi_ssm_next_state(ssm);
      return;
    default:
      fp_err("Unknown interrupt '%02x:%02x:%02x:%02x:%02x'!", ctx->interrupt[0],
             ctx->interrupt[1], ctx->interrupt[2], ctx->interrupt[3], ctx->interrupt[4]);
      Fail(ssm);
  }
}

// Re-checks the finger wait: only while the interrupt is still awaited.
void wait_interrupt_timeout(void *data) {
  auto *ssm = static_cast<fpi_ssm *>(data);
  vfs0050_ctx *ctx = Ctx(ssm);
  ctx->wait_timeout = nullptr;
  if (ctx->awaiting_interrupt) fpi_ssm_jump_to_state(ssm, ssm->cur_state);
}

void next_state_timeout(void *data) {
  auto *ssm = static_cast<fpi_ssm *>(data);
  Ctx(ssm)->step_timeout = nullptr;
  fpi_ssm_next_state(ssm);
}

void rearm_timeout(void *data) {
  auto *ssm = static_cast<fpi_ssm *>(data);
  Ctx(ssm)->step_timeout = nullptr;
  fpi_ssm_jump_to_state(ssm, kArm);
}

void CancelTimeouts(vfs0050_ctx *ctx) {
  if (ctx->wait_timeout != nullptr) fpi_timeout_cancel(ctx->wait_timeout);
  if (ctx->step_timeout != nullptr) fpi_timeout_cancel(ctx->step_timeout);
  ctx->wait_timeout = nullptr;
  ctx->step_timeout = nullptr;
}

void activate_ssm(fpi_ssm *ssm) {
  fp_img_dev *imgdev = ImgDev(ssm);
  vfs0050_ctx *ctx = Ctx(imgdev);
  switch (ssm->cur_state) {
    case kDrainEp1:
    case kDrainEp2:
    case kDrainEp3:
      vfs_drain_endpoint(ssm, ssm->cur_state - kDrainEp1 + 1);
      break;
    case kClear:
      fpi_ssm_start_child(ssm, NewChild(ssm, clear_ep2_ssm, kClearStates));
      break;
    case kSendPacket0:
      ctx->packet = kPacket0;
      fpi_ssm_start_child(ssm, NewChild(ssm, send_control_packet_ssm, kControlStates));
      break;
    case kArm:
      if (ctx->active) {
        ctx->packet = kPacket1;
        fpi_ssm_start_child(ssm, NewChild(ssm, send_control_packet_ssm, kControlStates));
        break;
      }
      // The machine may be released by its completion.
      fpi_ssm_mark_completed(ssm);
      if (ctx->report_pending) {
        ctx->report_pending = 0;
        fpi_imgdev_deactivate_complete(imgdev);
      }
      break;
    case kWaitInterruptStart: {
      // A report pending while inactive is a deactivation that arrived
      // during the arming: it is reported when the machine ends.
      if (ctx->report_pending && ctx->active) {
        ctx->report_pending = 0;
        fpi_imgdev_activate_complete(imgdev, 0);
      }
      libusb_transfer *t = NewTransfer(ssm);
      if (t == nullptr) break;
      libusb_fill_interrupt_transfer(t, imgdev->usb_handle, kEpInterrupt, ctx->interrupt,
                                     kInterruptSize, interrupt_callback, ssm, 0);
      t->flags = LIBUSB_TRANSFER_FREE_TRANSFER;
      ctx->transfer = t;
      int r = libusb_submit_transfer(t);
      if (r != 0) {
        fp_err("could not submit transfer: %s", libusb_error_name(r));
        libusb_free_transfer(t);
        ctx->transfer = nullptr;
        Fail(ssm);
        break;
      }
      ctx->awaiting_interrupt = 1;
      DropLines(ctx);
      fpi_ssm_next_state(ssm);
      break;
    }
    case kWaitInterrupt:
      if (ctx->active) {
        if (ctx->awaiting_interrupt) {
          ctx->wait_timeout = fpi_timeout_add(100, wait_interrupt_timeout, ssm);
        }
        // Otherwise the interrupt has moved the machine on.
        break;
      }
      if (ctx->awaiting_interrupt && ctx->transfer != nullptr) {
        libusb_cancel_transfer(ctx->transfer);
      }
      fpi_ssm_jump_to_state(ssm, kClear);
      break;
    case kReceiveLines: {
      if (ctx->size == 0) {
        ctx->lines = static_cast<uint8_t *>(g_malloc(kReadChunk));
        ctx->size = static_cast<int>(kReadChunk);
        ctx->bytes = 0;
        fpi_imgdev_report_finger_status(imgdev, true);
      }
      if (ctx->bytes >= kMaxLineBytes) {
        fp_warn("more than %d bytes of lines; the rest is not read", kMaxLineBytes);
        fpi_ssm_next_state(ssm);
        break;
      }
      while (ctx->bytes + static_cast<int>(kReadChunk) - 1 >= ctx->size) {
        ctx->size *= 2;
        ctx->lines = static_cast<uint8_t *>(g_realloc(ctx->lines, static_cast<size_t>(ctx->size)));
      }
      libusb_transfer *t = NewTransfer(ssm);
      if (t == nullptr) break;
      libusb_fill_bulk_transfer(t, imgdev->usb_handle, kEpLines, ctx->lines + ctx->bytes,
                                static_cast<int>(kReadChunk), receive_callback, ssm,
                                kBulkTimeoutMs);
      t->flags = LIBUSB_TRANSFER_FREE_TRANSFER;
      Submit(ssm, t);
      break;
    }
    case kProcessLines:
      if (ctx->active && !ProcessLines(imgdev)) {
        DropLines(ctx);
        Fail(ssm);
        break;
      }
      DropLines(ctx);
      ctx->step_timeout = fpi_timeout_add(100, next_state_timeout, ssm);
      break;
    case kSendPacket2:
      if (!ctx->active) {
        fpi_ssm_jump_to_state(ssm, kClear);
        break;
      }
      ctx->packet = kPacket2;
      fpi_ssm_start_child(ssm, NewChild(ssm, send_control_packet_ssm, kControlStates));
      break;
    case kRearmDelay:
      ctx->step_timeout = fpi_timeout_add(400, rearm_timeout, ssm);
      break;
    default:
      fp_err("Unknown state");
      Fail(ssm);
  }
}

// ---------------------------------------------------------------------------
// The imaging operations.

void open_complete(fpi_ssm *ssm) {
  fp_img_dev *imgdev = ImgDev(ssm);
  const int error = ssm->error;
  CancelTimeouts(Ctx(imgdev));
  fpi_ssm_free(ssm);
  // A failed initialisation is reported as such.
  fpi_imgdev_open_complete(imgdev, error);
}

int dev_open(fp_img_dev *imgdev, unsigned long driver_data) {
  (void)driver_data;
  int r = libusb_claim_interface(imgdev->usb_handle, 0);
  if (r < 0) {
    fp_err("could not claim interface 0");
    return r;
  }
  imgdev->priv = g_new0(vfs0050_ctx, 1);
  fpi_ssm *ssm = fpi_ssm_new(imgdev->dev, activate_ssm, kActivateStates);
  ssm->priv = imgdev;
  fpi_ssm_start(ssm, open_complete);
  return 0;
}

void activate_complete(fpi_ssm *ssm) {
  vfs0050_ctx *ctx = Ctx(ssm);
  CancelTimeouts(ctx);
  ctx->machine_running = 0;
  fpi_ssm_free(ssm);
}

int vfs0050_dev_activate(fp_img_dev *imgdev, enum fp_imgdev_state state) {
  (void)state;
  vfs0050_ctx *ctx = Ctx(imgdev);
  ctx->active = 1;
  ctx->report_pending = 1;
  ctx->machine_running = 1;
  fpi_ssm *ssm = fpi_ssm_new(imgdev->dev, activate_ssm, kActivateStates);
  ssm->priv = imgdev;
  fpi_ssm_start(ssm, activate_complete);
  return 0;
}

void vfs0050_dev_deactivate(fp_img_dev *imgdev) {
  vfs0050_ctx *ctx = Ctx(imgdev);
  if (!ctx->machine_running) {
    fpi_imgdev_deactivate_complete(imgdev);
    return;
  }
  ctx->active = 0;
  ctx->report_pending = 1;
}

void vfs0050_dev_close(fp_img_dev *imgdev) {
  auto *ctx = Ctx(imgdev);
  if (ctx != nullptr) {
    CancelTimeouts(ctx);
    g_free(ctx->lines);
    g_free(ctx);
    imgdev->priv = nullptr;
  }
  libusb_release_interface(imgdev->usb_handle, 0);
  fpi_imgdev_close_complete(imgdev);
}

const struct usb_id kIdTable[] = {
    {0x138a, 0x0050, 0},
    {0, 0, 0},
};

}  // namespace

struct fp_img_driver vfs0050_driver = {
    .driver =
        {
            .id = 20,
            .name = "vfs0050",
            .full_name = "Validity VFS0050",
            .id_table = kIdTable,
            .type = DRIVER_IMAGING,
            .scan_type = FP_SCAN_TYPE_SWIPE,
            .priv = nullptr,
            .discover = nullptr,
            // The generic slots are filled at registration.
            .open = nullptr,
            .close = nullptr,
            .enroll_start = nullptr,
            .enroll_stop = nullptr,
            .verify_start = nullptr,
            .verify_stop = nullptr,
            .identify_start = nullptr,
            .identify_stop = nullptr,
            .capture_start = nullptr,
            .capture_stop = nullptr,
        },
    .flags = 0,
    .img_width = 100,
    .img_height = -1,
    .bz3_threshold = 24,
    .open = dev_open,
    .close = vfs0050_dev_close,
    .activate = vfs0050_dev_activate,
    .change_state = nullptr,
    .deactivate = vfs0050_dev_deactivate,
};
