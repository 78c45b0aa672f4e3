// One emulated USB device: answers libusb's usbfs ioctls from a DeviceModel,
// keeps IN data queues, halts and the transfer log.
//
// Thread rules: the usbfs requests are served on umockdev's worker thread;
// delayed answers and IN data on the testbed's timer thread. Every public
// call below is thread-safe and may be made from the test thread or from a
// model callback.
#ifndef TESTS_EMUL_DEVICE_H_
#define TESTS_EMUL_DEVICE_H_

#include <chrono>
#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "emul/device_model.h"
#include "emul/device_desc.h"
#include "emul/transfer_log.h"

typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace usb_emul {

class Scheduler;

class Device {
 public:
  // Built by Testbed::AddDevice only.
  Device(const DeviceDesc &desc, std::shared_ptr<DeviceModel> model, Scheduler *scheduler);
  ~Device();
  Device(const Device &) = delete;
  Device &operator=(const Device &) = delete;

  // Queues `data` as one IN transfer on `endpoint`, available after `delay`.
  // A read takes at most its length from the head item and leaves the rest
  // queued; an item shorter than the read ends that read short.
  void QueueIn(uint8_t endpoint, std::vector<uint8_t> data,
               std::chrono::milliseconds delay = std::chrono::milliseconds(0));
  // Halts `endpoint` (bulk or interrupt): every transfer on it stalls until
  // the host clears the halt.
  void Stall(uint8_t endpoint);
  // True while `endpoint` is halted.
  bool Halted(uint8_t endpoint) const;
  // True while the host holds interface `number`.
  bool Claimed(unsigned number) const;
  // Unplugs the device: transfers in flight end with -ENODEV, every later
  // request fails with ENODEV. The testbed removes it from sysfs as well.
  void Unplug();
  // True until Unplug().
  bool Connected() const;
  // Every finished URB and device request so far, in order.
  std::vector<LogEntry> Log() const;
  // Forgets the log.
  void ClearLog();
  // URBs submitted and not yet answered (withheld or delayed).
  size_t PendingUrbs() const;
  // The description the device was made from.
  const DeviceDesc &desc() const { return desc_; }
  // The device node, "/dev/bus/usb/BBB/DDD".
  const std::string &devnode() const { return devnode_; }
  // The model the device runs.
  DeviceModel &model() const { return *model_; }

  // The device's sysfs path inside the testbed.
  const std::string &syspath() const { return syspath_; }

 private:
  friend class Testbed;
  struct Urb;
  struct InItem {
    std::vector<uint8_t> data;
    std::chrono::steady_clock::time_point ready_at;
  };
  using UrbPtr = std::shared_ptr<Urb>;

  static int OnIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, void *self);
  void Dispatch(UMockdevIoctlClient *client);
  void SubmitUrb(UMockdevIoctlClient *client);
  void ReapUrb(UMockdevIoctlClient *client);
  void DiscardUrb(UMockdevIoctlClient *client);
  void Claim(UMockdevIoctlClient *client, bool disconnect_claim);
  void ReleaseInterface(UMockdevIoctlClient *client);
  void SetInterface(UMockdevIoctlClient *client);
  void ClearHalt(UMockdevIoctlClient *client, bool log);
  void ResetDevice(UMockdevIoctlClient *client);
  void Answer(const UrbPtr &urb, Reply reply);
  void ControlStandard(const UrbPtr &urb, const SetupPacket &setup);

  // With mu_ held.
  bool EndpointExistsLocked(uint8_t endpoint) const;
  int InterfaceOfLocked(uint8_t endpoint) const;
  void FinishLocked(const UrbPtr &urb, int status, std::vector<uint8_t> in_data);
  void ServiceInLocked(uint8_t endpoint);
  void UpdateReadinessLocked();
  // Replaces the device node at `path` by a FIFO that is writable exactly
  // while an URB waits to be reaped.
  void OpenReadinessFifo(const std::string &path);

  const DeviceDesc desc_;
  const std::string devnode_;
  const std::shared_ptr<DeviceModel> model_;
  Scheduler *const scheduler_;
  UMockdevIoctlBase *handler_ = nullptr;
  std::string syspath_;

  mutable std::mutex mu_;
  bool connected_ = true;
  std::list<UrbPtr> pending_;    // submitted, not answered
  std::deque<UrbPtr> finished_;  // answered, not reaped
  std::map<uint8_t, std::deque<InItem>> in_queues_;
  std::set<uint8_t> halted_;
  std::set<uint8_t> continuation_off_;  // bulk endpoints refusing continuation URBs
  std::set<unsigned> claimed_;
  std::vector<LogEntry> log_;
  int fifo_fd_ = -1;
  bool fifo_ready_ = true;
};

}  // namespace usb_emul

#endif  // TESTS_EMUL_DEVICE_H_
