// Finding the bridge with lsusb and resetting it through its usbfs node.
// Nothing in the driver calls these; they stay for field diagnosis.
#ifndef DRIVERS_ZQ_SENSOR_ZQ_USBFS_H_
#define DRIVERS_ZQ_SENSOR_ZQ_USBFS_H_

#ifdef __cplusplus
extern "C" {
#endif

// Size of the buffer get_system_console_return_value fills.
#define ZQ_CONSOLE_BUF_SIZE 4096
// Collected output beyond this many bytes ends the search with -1.
#define ZQ_CONSOLE_TEXT_MAX 3072

// The usbfs node recorded by isNeedResetUsb ("/dev/bus/usb/BBB/DDD"), empty
// until then; it keeps its first value for the life of the process.
extern char g_usb_dev_path[128];

// Runs `command` through popen and collects its output lines into a
// 4096-byte buffer, copied to `out` (NUL-terminated) in every case. Returns
// the byte offset of the first line containing "ID 3c5d", or -1 when the
// output ends without one, passes 3072 bytes, or the command cannot run (or
// either argument is NULL).
int get_system_console_return_value(const char *command, char out[ZQ_CONSOLE_BUF_SIZE]);

// Resets the USB device at usbfs node `node` with the USBDEVFS_RESET ioctl.
// Returns 0 on success, 1 when the node cannot be opened or the ioctl fails.
int m_usb_reset(const char *node);

// Looks for the bridge in the output of "lsusb". Found for the first time:
// records its node from the line's bus (offset 4) and device (offset 15)
// numbers in g_usb_dev_path. Not found: resets the recorded node. Returns 0.
int isNeedResetUsb(void);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_ZQ_SENSOR_ZQ_USBFS_H_
