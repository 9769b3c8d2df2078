// SPDX-License-Identifier: MIT
// The hidapi calls one run of vorlixd makes, and nothing else: what the same work costs
// without the program around it. tools/bench measures it. An optional count repeats the
// whole sequence, as the service does once per call.
#include <hidapi/hidapi.h>
#include <stdlib.h>
#include <wchar.h>

static int configure(void) {
    if (hid_init() != 0) {
        return 1;
    }
    struct hid_device_info* devices = hid_enumerate(0x256F, 0);
    hid_free_enumeration(devices);
    hid_device* device = hid_open(0x256F, 0xC652, NULL);
    if (device == NULL) {
        return 1;
    }
    wchar_t manufacturer[200], product[200];
    // The report of "--speed 2 --frequency 500".
    unsigned char report[32] = {0x10, 0x00, 0x0E, 0x00, 0x01, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00,
                                0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x0A, 0x0B, 0x0C,
                                0x0F, 0x0E, 0x0D, 0x10, 0x00, 0x1E, 0x00, 0x00, 0x00, 0x02};
    int failed = hid_get_manufacturer_string(device, manufacturer, 200) != 0 ||
                 hid_get_product_string(device, product, 200) != 0 ||
                 hid_send_feature_report(device, report, sizeof report) <= 0;
    hid_close(device);
    hid_exit();
    return failed;
}

int main(int argc, char* argv[]) {
    int count = argc > 1 ? atoi(argv[1]) : 1;
    for (int i = 0; i < count; i++) {
        if (configure() != 0) {
            return 1;
        }
    }
    return 0;
}
