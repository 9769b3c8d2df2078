// SPDX-License-Identifier: MIT
// The least that giving a mouse that appeared its settings can cost: udev runs this on the
// hidraw node, and it sends the report given in hex with one ioctl, nothing else. The system
// tier builds it statically and times it the same way as vorlixd's own path.
// Usage: send-report /dev/hidrawN HEX   (HEX: the 32-byte report, 64 hex digits)
#include <fcntl.h>
#include <linux/hidraw.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

int main(int argc, char* argv[]) {
    unsigned char report[32];
    if (argc != 3 || strlen(argv[2]) != 2 * sizeof report) {
        return 2;
    }
    for (size_t i = 0; i < sizeof report; ++i) {
        if (sscanf(argv[2] + 2 * i, "%2hhx", &report[i]) != 1) {
            return 2;
        }
    }
    const int device = open(argv[1], O_RDWR | O_CLOEXEC);
    if (device < 0) {
        return 1;
    }
    const int sent = ioctl(device, HIDIOCSFEATURE(sizeof report), report);
    close(device);
    return sent > 0 ? 0 : 1;
}
