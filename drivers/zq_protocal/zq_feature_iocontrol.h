// The factory and test entry of the open sensor: sensor size and
// information, the bridge firmware download, and the production tests
// (interrupt pin, dead pixels, a one-press enrol and identify, a touch
// count). Runs in the caller's thread on the state the open left behind.
#ifndef DRIVERS_ZQ_PROTOCAL_ZQ_FEATURE_IOCONTROL_H_
#define DRIVERS_ZQ_PROTOCAL_ZQ_FEATURE_IOCONTROL_H_

#ifdef __cplusplus
extern "C" {
#endif

// Commands of zq_feature_iocontrol_OnMultiDistrute; any other code (0 to 4,
// 12 to 255) returns 0 and does nothing.
typedef enum zq_iocontrol_command {
  ZQ_IOCTL_SENSOR_SIZE = 5,   // data: 2 writable bytes, width and height
  ZQ_IOCTL_SENSOR_INFO = 6,   // data: 44 writable bytes, zq_sensor_info_t's form
  ZQ_IOCTL_DOWNLOAD_FW = 7,   // data: 1 writable byte, 1 once the firmware is in
  ZQ_IOCTL_TEST_PIN = 8,      // interrupt-pin test
  ZQ_IOCTL_TEST_DEAD_PIXEL = 9,
  ZQ_IOCTL_TEST_SCENE = 10,   // one press, enrolled and identified
  ZQ_IOCTL_TEST_QUALITY = 11, // data (length > 1): touch count, time limit in s
} zq_iocontrol_command;

// The driver version text of the sensor information.
#define ZQ_DRIVER_VERSION_TEXT "v1.2.3.35"

// Runs `command` on the open sensor. Returns 0 on success; -201 for a NULL
// `data` with commands 5, 6 and 7; -205 when a finger poll fails (10, 11);
// -1 for a failed test or no finger within the limit; -12 without memory;
// otherwise the failing step's code (a bridge, module or sensor-library
// result).
int zq_feature_iocontrol_OnMultiDistrute(unsigned char command, void *data,
                                         unsigned long length);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_ZQ_PROTOCAL_ZQ_FEATURE_IOCONTROL_H_
