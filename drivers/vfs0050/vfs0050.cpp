#include "drivers/vfs0050/vfs0050.h"

namespace {

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
    // The imaging operations come with the driver.
    .open = nullptr,
    .close = nullptr,
    .activate = nullptr,
    .change_state = nullptr,
    .deactivate = nullptr,
};
