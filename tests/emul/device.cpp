#include "emul/device.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/usb/ch9.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <stdexcept>

#include "emul/scheduler.h"

namespace usb_emul {

struct Device::Urb {
  UMockdevIoctlClient *client = nullptr;  // compared only, never dereferenced
  UMockdevIoctlData *data = nullptr;      // the client's struct usbdevfs_urb (owned reference)
  UMockdevIoctlData *buffer = nullptr;    // its data buffer (owned reference), may be null
  uint8_t type = 0;
  uint8_t endpoint = 0;
  unsigned flags = 0;
  int length = 0;
  SetupPacket setup;
  std::vector<uint8_t> out;  // OUT payload (control data stage or bulk/interrupt data)
  bool finished = false;
  int status = 0;            // set when finished
  int actual = 0;
  std::vector<uint8_t> in;   // IN data delivered

  ~Urb() {
    if (buffer != nullptr) g_object_unref(buffer);
    if (data != nullptr) g_object_unref(data);
  }
  bool is_in() const {
    return type == USBDEVFS_URB_TYPE_CONTROL ? setup.is_in() : (endpoint & USB_DIR_IN) != 0;
  }
  usbdevfs_urb *raw() const { return reinterpret_cast<usbdevfs_urb *>(data->data); }
};

namespace {

using Clock = std::chrono::steady_clock;

// Finishes the ioctl with `res`, or -1 and `err`.
void Complete(UMockdevIoctlClient *client, long res, int err = 0) {
  umockdev_ioctl_client_complete(client, res, err);
}

// Reads the unsigned int the ioctl argument points to.
bool ReadArgUint(UMockdevIoctlClient *client, unsigned *out, size_t offset = 0,
                 size_t size = sizeof(unsigned)) {
  GError *error = nullptr;
  UMockdevIoctlData *d =
      umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, size, &error);
  if (d == nullptr) {
    g_clear_error(&error);
    return false;
  }
  std::memcpy(out, d->data + offset, sizeof(unsigned));
  g_object_unref(d);
  return true;
}

Event EventOf(uint8_t urb_type) {
  switch (urb_type) {
    case USBDEVFS_URB_TYPE_CONTROL: return Event::kControl;
    case USBDEVFS_URB_TYPE_INTERRUPT: return Event::kInterrupt;
    default: return Event::kBulk;
  }
}

}  // namespace

Device::Device(const DeviceDesc &desc, std::shared_ptr<DeviceModel> model, Scheduler *scheduler)
    : desc_(desc), devnode_(DevNode(desc)), model_(std::move(model)), scheduler_(scheduler) {
  if (!model_) throw std::invalid_argument("usb_emul: a device needs a model");
  handler_ = umockdev_ioctl_base_new();
  g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&Device::OnIoctl), this);
}

Device::~Device() {
  g_signal_handlers_disconnect_by_data(handler_, this);
  g_object_unref(handler_);
  if (fifo_fd_ >= 0) close(fifo_fd_);
}

void Device::OpenReadinessFifo(const std::string &path) {
  // usbfs reports POLLOUT while an URB can be reaped. A FIFO with a single
  // one-page slot gives the same: writable while empty, not writable while it
  // holds one byte. libusb polls POLLOUT only, so the byte is never seen.
  std::string dir = path.substr(0, path.rfind('/'));
  if (g_mkdir_with_parents(dir.c_str(), 0755) != 0 || (unlink(path.c_str()) != 0 && errno != ENOENT) ||
      mkfifo(path.c_str(), 0666) != 0)
    throw std::runtime_error("usb_emul: cannot make the FIFO node " + path + ": " + strerror(errno));
  fifo_fd_ = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fifo_fd_ < 0 || fcntl(fifo_fd_, F_SETPIPE_SZ, 4096) < 0)
    throw std::runtime_error("usb_emul: cannot open the FIFO node " + path + ": " + strerror(errno));
  std::lock_guard<std::mutex> lock(mu_);
  fifo_ready_ = true;
  UpdateReadinessLocked();
}

void Device::UpdateReadinessLocked() {
  bool want = !finished_.empty();
  if (fifo_fd_ < 0 || want == fifo_ready_) return;
  char byte = 0;
  ssize_t n = want ? read(fifo_fd_, &byte, 1) : write(fifo_fd_, &byte, 1);
  if (n == 1) fifo_ready_ = want;
}

int Device::OnIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, void *self) {
  static_cast<Device *>(self)->Dispatch(client);
  return TRUE;
}

void Device::Dispatch(UMockdevIoctlClient *client) {
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  // As in usbfs, reaping still works after a disconnect; nothing else does.
  if (request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB) return ReapUrb(client);
  if (!Connected()) return Complete(client, -1, ENODEV);
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      GError *error = nullptr;
      UMockdevIoctlData *d = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0,
                                                         sizeof(uint32_t), &error);
      if (d == nullptr) {
        g_clear_error(&error);
        return Complete(client, -1, EFAULT);
      }
      std::memcpy(d->data, &desc_.capabilities, sizeof(uint32_t));
      g_object_unref(d);
      return Complete(client, 0);
    }
    case USBDEVFS_SUBMITURB: return SubmitUrb(client);
    case USBDEVFS_DISCARDURB: return DiscardUrb(client);
    case USBDEVFS_CLAIMINTERFACE: return Claim(client, false);
    case USBDEVFS_DISCONNECT_CLAIM: return Claim(client, true);
    case USBDEVFS_RELEASEINTERFACE: return ReleaseInterface(client);
    case USBDEVFS_SETINTERFACE: return SetInterface(client);
    case USBDEVFS_CLEAR_HALT: return ClearHalt(client, true);
    case USBDEVFS_RESETEP: return ClearHalt(client, false);
    case USBDEVFS_RESET: return ResetDevice(client);
    case USBDEVFS_GET_SPEED: return Complete(client, SpeedCode(desc_.speed));
    case USBDEVFS_GETDRIVER:
    case USBDEVFS_IOCTL:
      // No kernel driver is ever bound to an emulated interface.
      return Complete(client, -1, ENODATA);
    case USBDEVFS_SETCONFIGURATION: {
      unsigned value = 0;
      if (!ReadArgUint(client, &value)) return Complete(client, -1, EFAULT);
      bool known = static_cast<int>(value) == -1 ||
                   std::any_of(desc_.configurations.begin(), desc_.configurations.end(),
                               [&](const ConfigDesc &c) { return c.value == value; });
      return known ? Complete(client, 0) : Complete(client, -1, EINVAL);
    }
    default: return Complete(client, -1, ENOTTY);
  }
}

bool Device::EndpointExistsLocked(uint8_t endpoint) const { return InterfaceOfLocked(endpoint) >= 0; }

int Device::InterfaceOfLocked(uint8_t endpoint) const {
  for (const InterfaceDesc &i : desc_.configurations.front().interfaces)
    for (const EndpointDesc &e : i.endpoints)
      if (e.address == endpoint) return i.number;
  return -1;
}

void Device::SubmitUrb(UMockdevIoctlClient *client) {
  GError *error = nullptr;
  auto urb = std::make_shared<Urb>();
  urb->client = client;
  urb->data = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0,
                                          sizeof(usbdevfs_urb), &error);
  if (urb->data == nullptr) {
    g_clear_error(&error);
    return Complete(client, -1, EFAULT);
  }
  const usbdevfs_urb *raw = urb->raw();
  urb->type = raw->type;
  urb->endpoint = raw->endpoint;
  urb->flags = raw->flags;
  urb->length = raw->buffer_length;
  if (urb->length < 0 || (urb->length > 0 && raw->buffer == nullptr))
    return Complete(client, -1, EINVAL);
  if (urb->length > 0) {
    urb->buffer = umockdev_ioctl_data_resolve(urb->data, offsetof(usbdevfs_urb, buffer),
                                              static_cast<size_t>(urb->length), &error);
    if (urb->buffer == nullptr) {
      g_clear_error(&error);
      return Complete(client, -1, EFAULT);
    }
  }
  const uint8_t *bytes = urb->buffer != nullptr ? urb->buffer->data : nullptr;

  if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
    if (urb->length < 8) return Complete(client, -1, EINVAL);
    urb->setup = SetupPacket{bytes[0], bytes[1], static_cast<uint16_t>(bytes[2] | bytes[3] << 8),
                             static_cast<uint16_t>(bytes[4] | bytes[5] << 8),
                             static_cast<uint16_t>(bytes[6] | bytes[7] << 8)};
    if (urb->setup.length > urb->length - 8) return Complete(client, -1, EINVAL);
    if (!urb->setup.is_in()) urb->out.assign(bytes + 8, bytes + 8 + urb->setup.length);
  } else if (urb->type == USBDEVFS_URB_TYPE_BULK || urb->type == USBDEVFS_URB_TYPE_INTERRUPT) {
    if (!urb->is_in() && bytes != nullptr) urb->out.assign(bytes, bytes + urb->length);
  } else {
    return Complete(client, -1, EINVAL);  // isochronous transfers are not emulated
  }

  bool halted;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (urb->type != USBDEVFS_URB_TYPE_CONTROL) {
      if (!EndpointExistsLocked(urb->endpoint)) return Complete(client, -1, ENOENT);
      // usbfs refuses continuation URBs after an earlier URB of the same bulk
      // transfer ended short or failed; libusb then takes the transfer as done.
      if (urb->type == USBDEVFS_URB_TYPE_BULK) {
        if (!(urb->flags & USBDEVFS_URB_BULK_CONTINUATION))
          continuation_off_.erase(urb->endpoint);
        else if (continuation_off_.count(urb->endpoint))
          return Complete(client, -1, EREMOTEIO);
      }
    }
    pending_.push_back(urb);
    halted = halted_.count(urb->endpoint) != 0 && urb->type != USBDEVFS_URB_TYPE_CONTROL;
  }
  Complete(client, 0);

  // The submit has returned; now the device side answers.
  if (halted) {
    std::lock_guard<std::mutex> lock(mu_);
    FinishLocked(urb, -EPIPE, {});
    return;
  }
  if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
    if (urb->setup.request_type == (USB_DIR_IN | USB_TYPE_STANDARD | USB_RECIP_DEVICE) &&
        urb->setup.request == USB_REQ_GET_DESCRIPTOR)
      return ControlStandard(urb, urb->setup);
    return Answer(urb, model_->Control(*this, urb->setup, urb->out));
  }
  if (!urb->is_in()) return Answer(urb, model_->Out(*this, urb->endpoint, urb->out));
  model_->InRequested(*this, urb->endpoint, static_cast<size_t>(urb->length));
  std::lock_guard<std::mutex> lock(mu_);
  ServiceInLocked(urb->endpoint);
}

void Device::ControlStandard(const UrbPtr &urb, const SetupPacket &setup) {
  uint8_t type = setup.value >> 8, index = setup.value & 0xff;
  std::vector<uint8_t> d;
  if (type == USB_DT_DEVICE) d = DeviceDescriptor(desc_);
  if (type == USB_DT_CONFIG) d = ConfigDescriptor(desc_, index);
  if (type == USB_DT_STRING) d = StringDescriptor(desc_, index);
  Answer(urb, d.empty() ? Reply::Stall() : Reply::Ack(std::move(d)));
}

void Device::Answer(const UrbPtr &urb, Reply reply) {
  if (reply.kind == Reply::Kind::kWithhold) return;
  auto apply = [this, urb, kind = reply.kind, data = std::move(reply.data)]() mutable {
    std::lock_guard<std::mutex> lock(mu_);
    if (urb->finished) return;  // cancelled or unplugged meanwhile
    if (kind == Reply::Kind::kStall) {
      if (urb->type != USBDEVFS_URB_TYPE_CONTROL) halted_.insert(urb->endpoint);
      FinishLocked(urb, -EPIPE, {});
    } else {
      FinishLocked(urb, 0, std::move(data));
    }
  };
  if (reply.delay.count() > 0)
    scheduler_->At(Clock::now() + reply.delay, std::move(apply));
  else
    apply();
}

void Device::FinishLocked(const UrbPtr &urb, int status, std::vector<uint8_t> in_data) {
  if (urb->finished) return;
  urb->finished = true;
  pending_.remove(urb);
  // The client's memory is written when the URB is reaped, on the worker
  // thread, within the ioctl that carries it back.
  urb->status = status;
  if (urb->type == USBDEVFS_URB_TYPE_CONTROL && status == 0 && !urb->setup.is_in()) {
    urb->actual = urb->setup.length;
  } else if (urb->is_in()) {
    size_t room = urb->length - (urb->type == USBDEVFS_URB_TYPE_CONTROL ? 8 : 0);
    if (urb->type == USBDEVFS_URB_TYPE_CONTROL) room = std::min<size_t>(room, urb->setup.length);
    in_data.resize(std::min(in_data.size(), room));
    urb->actual = static_cast<int>(in_data.size());
    urb->in = in_data;
  } else if (status == 0) {
    urb->actual = urb->length;
  }
  finished_.push_back(urb);

  LogEntry entry;
  entry.event = EventOf(urb->type);
  entry.endpoint = urb->type == USBDEVFS_URB_TYPE_CONTROL ? (urb->setup.request_type & USB_DIR_IN)
                                                          : urb->endpoint;
  entry.setup = urb->setup;
  entry.data = urb->is_in() ? urb->in : urb->out;
  entry.status = status;
  entry.flags = urb->flags;
  log_.push_back(std::move(entry));

  if (urb->type == USBDEVFS_URB_TYPE_BULK && status < 0 && status != -ENOENT &&
      status != -ECONNRESET) {
    continuation_off_.insert(urb->endpoint);
    std::vector<UrbPtr> rest;
    for (const UrbPtr &p : pending_)
      if (p->endpoint == urb->endpoint && (p->flags & USBDEVFS_URB_BULK_CONTINUATION))
        rest.push_back(p);
    for (const UrbPtr &p : rest) FinishLocked(p, -ECONNRESET, {});
  }
  UpdateReadinessLocked();
}

void Device::ServiceInLocked(uint8_t endpoint) {
  std::vector<UrbPtr> waiting;
  for (const UrbPtr &p : pending_)
    if (p->type != USBDEVFS_URB_TYPE_CONTROL && p->endpoint == endpoint) waiting.push_back(p);
  if (halted_.count(endpoint)) {
    for (const UrbPtr &p : waiting) FinishLocked(p, -EPIPE, {});
    return;
  }
  std::deque<InItem> &queue = in_queues_[endpoint];
  for (const UrbPtr &urb : waiting) {
    if (urb->finished) continue;  // cancelled by an earlier short read
    if (queue.empty() || queue.front().ready_at > Clock::now()) return;
    InItem &item = queue.front();
    size_t take = std::min(item.data.size(), static_cast<size_t>(urb->length));
    std::vector<uint8_t> chunk(item.data.begin(), item.data.begin() + take);
    if (take == item.data.size())
      queue.pop_front();
    else
      item.data.erase(item.data.begin(), item.data.begin() + take);
    bool short_read = take < static_cast<size_t>(urb->length);
    int status = short_read && (urb->flags & USBDEVFS_URB_SHORT_NOT_OK) ? -EREMOTEIO : 0;
    FinishLocked(urb, status, std::move(chunk));
  }
}

void Device::ReapUrb(UMockdevIoctlClient *client) {
  UrbPtr urb;
  {
    std::lock_guard<std::mutex> lock(mu_);
    auto it = std::find_if(finished_.begin(), finished_.end(),
                           [&](const UrbPtr &u) { return u->client == client; });
    if (it == finished_.end()) return Complete(client, -1, connected_ ? EAGAIN : ENODEV);
    urb = *it;
    finished_.erase(it);
    UpdateReadinessLocked();
  }
  usbdevfs_urb *raw = urb->raw();
  raw->status = urb->status;
  raw->actual_length = urb->actual;
  if (!urb->in.empty()) {
    size_t offset = urb->type == USBDEVFS_URB_TYPE_CONTROL ? 8 : 0;
    std::copy(urb->in.begin(), urb->in.end(), urb->buffer->data + offset);
  }
  GError *error = nullptr;
  UMockdevIoctlData *slot = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0,
                                                        sizeof(void *), &error);
  if (slot == nullptr) {
    g_clear_error(&error);
    return Complete(client, -1, EFAULT);
  }
  umockdev_ioctl_data_set_ptr(slot, 0, urb->data);
  Complete(client, 0);
  g_object_unref(slot);
}

void Device::DiscardUrb(UMockdevIoctlClient *client) {
  UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
  gulong address = 0;
  std::memcpy(&address, arg->data, std::min<size_t>(sizeof address, arg->data_len));
  std::lock_guard<std::mutex> lock(mu_);
  for (const UrbPtr &p : pending_) {
    if (p->client == client && p->data->client_addr == address) {
      FinishLocked(UrbPtr(p), -ECONNRESET, {});
      return Complete(client, 0);
    }
  }
  Complete(client, -1, EINVAL);  // already finished: the caller reaps it
}

void Device::Claim(UMockdevIoctlClient *client, bool disconnect_claim) {
  unsigned number = 0;
  size_t size = disconnect_claim ? sizeof(usbdevfs_disconnect_claim) : sizeof(unsigned);
  if (!ReadArgUint(client, &number, 0, size)) return Complete(client, -1, EFAULT);
  {
    std::lock_guard<std::mutex> lock(mu_);
    const auto &interfaces = desc_.configurations.front().interfaces;
    if (std::none_of(interfaces.begin(), interfaces.end(),
                     [&](const InterfaceDesc &i) { return i.number == number; }))
      return Complete(client, -1, ENOENT);
    if (claimed_.count(number)) return Complete(client, 0);
  }
  if (!model_->Claim(*this, number)) return Complete(client, -1, EBUSY);
  {
    std::lock_guard<std::mutex> lock(mu_);
    claimed_.insert(number);
    LogEntry e;
    e.event = Event::kClaim;
    e.number = number;
    log_.push_back(e);
  }
  Complete(client, 0);
}

void Device::ReleaseInterface(UMockdevIoctlClient *client) {
  unsigned number = 0;
  if (!ReadArgUint(client, &number)) return Complete(client, -1, EFAULT);
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (!claimed_.erase(number)) return Complete(client, -1, EINVAL);
    // Releasing an interface kills the transfers still queued on it.
    std::vector<UrbPtr> doomed;
    for (const UrbPtr &p : pending_)
      if (p->type != USBDEVFS_URB_TYPE_CONTROL &&
          InterfaceOfLocked(p->endpoint) == static_cast<int>(number))
        doomed.push_back(p);
    for (const UrbPtr &p : doomed) FinishLocked(p, -ENOENT, {});
    LogEntry e;
    e.event = Event::kRelease;
    e.number = number;
    log_.push_back(e);
  }
  model_->Release(*this, number);
  Complete(client, 0);
}

void Device::SetInterface(UMockdevIoctlClient *client) {
  GError *error = nullptr;
  UMockdevIoctlData *d = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0,
                                                     sizeof(usbdevfs_setinterface), &error);
  if (d == nullptr) {
    g_clear_error(&error);
    return Complete(client, -1, EFAULT);
  }
  usbdevfs_setinterface s;
  std::memcpy(&s, d->data, sizeof s);
  g_object_unref(d);
  const auto &interfaces = desc_.configurations.front().interfaces;
  if (std::none_of(interfaces.begin(), interfaces.end(), [&](const InterfaceDesc &i) {
        return i.number == s.interface && i.alternate == s.altsetting;
      }))
    return Complete(client, -1, EINVAL);
  if (!model_->SetAlternate(*this, s.interface, s.altsetting)) return Complete(client, -1, EINVAL);
  {
    std::lock_guard<std::mutex> lock(mu_);
    LogEntry e;
    e.event = Event::kSetInterface;
    e.number = s.interface;
    e.alternate = s.altsetting;
    log_.push_back(e);
  }
  Complete(client, 0);
}

void Device::ClearHalt(UMockdevIoctlClient *client, bool log) {
  unsigned endpoint = 0;
  if (!ReadArgUint(client, &endpoint)) return Complete(client, -1, EFAULT);
  std::lock_guard<std::mutex> lock(mu_);
  if (!EndpointExistsLocked(static_cast<uint8_t>(endpoint))) return Complete(client, -1, ENOENT);
  halted_.erase(static_cast<uint8_t>(endpoint));
  if (log) {
    LogEntry e;
    e.event = Event::kClearHalt;
    e.endpoint = static_cast<uint8_t>(endpoint);
    log_.push_back(e);
  }
  Complete(client, 0);
}

void Device::ResetDevice(UMockdevIoctlClient *client) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    std::vector<UrbPtr> doomed(pending_.begin(), pending_.end());
    for (const UrbPtr &p : doomed) FinishLocked(p, -ENOENT, {});
    in_queues_.clear();
    halted_.clear();
    continuation_off_.clear();
    LogEntry e;
    e.event = Event::kReset;
    log_.push_back(e);
  }
  model_->Reset(*this);
  Complete(client, 0);
}

void Device::QueueIn(uint8_t endpoint, std::vector<uint8_t> data, std::chrono::milliseconds delay) {
  Clock::time_point when = Clock::now() + delay;
  {
    std::lock_guard<std::mutex> lock(mu_);
    in_queues_[endpoint].push_back(InItem{std::move(data), when});
    if (delay.count() <= 0) {
      ServiceInLocked(endpoint);
      return;
    }
  }
  scheduler_->At(when, [this, endpoint] {
    std::lock_guard<std::mutex> lock(mu_);
    ServiceInLocked(endpoint);
  });
}

void Device::Stall(uint8_t endpoint) {
  std::lock_guard<std::mutex> lock(mu_);
  halted_.insert(endpoint);
  std::vector<UrbPtr> doomed;
  for (const UrbPtr &p : pending_)
    if (p->type != USBDEVFS_URB_TYPE_CONTROL && p->endpoint == endpoint) doomed.push_back(p);
  for (const UrbPtr &p : doomed) FinishLocked(p, -EPIPE, {});
}

bool Device::Halted(uint8_t endpoint) const {
  std::lock_guard<std::mutex> lock(mu_);
  return halted_.count(endpoint) != 0;
}

bool Device::Claimed(unsigned number) const {
  std::lock_guard<std::mutex> lock(mu_);
  return claimed_.count(number) != 0;
}

void Device::Unplug() {
  std::lock_guard<std::mutex> lock(mu_);
  connected_ = false;
  std::vector<UrbPtr> doomed(pending_.begin(), pending_.end());
  for (const UrbPtr &p : doomed) FinishLocked(p, -ENODEV, {});
}

bool Device::Connected() const {
  std::lock_guard<std::mutex> lock(mu_);
  return connected_;
}

std::vector<LogEntry> Device::Log() const {
  std::lock_guard<std::mutex> lock(mu_);
  return log_;
}

void Device::ClearLog() {
  std::lock_guard<std::mutex> lock(mu_);
  log_.clear();
}

size_t Device::PendingUrbs() const {
  std::lock_guard<std::mutex> lock(mu_);
  return pending_.size();
}

}  // namespace usb_emul
