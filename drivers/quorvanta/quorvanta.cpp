#include "drivers/quorvanta/quorvanta.h"

const struct usb_id quorvanta_id_table[] = {
    {0x3c5d, 0x3b11, 0x3b11}, {0x3c5d, 0x3b12, 0x3b12}, {0x3c5d, 0x3b13, 0x3b13},
    {0x3c5d, 0x3b14, 0x3b14}, {0x3c5d, 0x3b15, 0x3b15}, {0x3c5d, 0x3b16, 0x3b16},
    {0x3c5d, 0x3b11, 0x3b11}, {0x3c5d, 0x4841, 0x4841}, {0x3c5d, 0x4842, 0x4842},
    {0x3c5d, 0x3b17, 0x4843}, {0x3c5d, 0x3b18, 0x3b18}, {0x3c5d, 0x3b19, 0x3b19},
    {0x3c5d, 0x3b1a, 0x3b1a}, {0, 0, 0},
};

struct fp_img_driver quorvanta_driver = {
    .driver =
        {
            .id = 35,
            .name = "quorvanta",
            .full_name = "Validity ZQ4842",
            .id_table = quorvanta_id_table,
            .type = DRIVER_IMAGING,
            .scan_type = FP_SCAN_TYPE_PRESS,
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
    // Replaced by the sensor's size at the first open.
    .img_width = 160,
    .img_height = 160,
    .bz3_threshold = 20,
    // The imaging operations come with the driver.
    .open = nullptr,
    .close = nullptr,
    .activate = nullptr,
    .change_state = nullptr,
    .deactivate = nullptr,
};
