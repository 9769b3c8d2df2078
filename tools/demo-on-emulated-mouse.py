# SPDX-License-Identifier: MIT
"""Runs vorlixd once against an emulated mouse and shows what the mouse received.

Usage (under umockdev's preload): umockdev-wrapper /usr/bin/python3 THIS VORLIXD [OPTIONS...]
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "e2e"))
from mice import VENDOR, WIRELESS  # noqa: E402
from mouse_rig import MouseRig  # noqa: E402

SPEED_STEPS = {0x0A: 1, 0x0E: 2, 0x1C: 3, 0x2C: 4, 0x54: 5}
SMART_SCROLLING = {bytes.fromhex("00000001"): "on", bytes.fromhex("01FF0000"): "off"}
POLLING_RATES = {0x08: "125 Hz", 0x04: "250 Hz", 0x02: "500 Hz", 0x01: "1000 Hz"}


def decode(report):
    """The settings a report carries, by name; unknown codes are shown raw."""
    def name(table, key):
        return table.get(key, f"unknown ({key.hex() if isinstance(key, bytes) else hex(key)})")

    return [
        ("speed step", name(SPEED_STEPS, report[2])),
        ("lift-off detection", name({0x00: "on", 0x1F: "off"}, report[3])),
        ("smart scrolling", name(SMART_SCROLLING, report[4:8])),
        ("wheel press", name({0x0F: "remapped", 0x0C: "not remapped"}, report[22])),
        ("gesture button", name({0x10: "remapped", 0x2F: "not remapped"}, report[25])),
        ("polling rate", name(POLLING_RATES, report[31])),
    ]


def main(vorlixd, *options):
    rig = MouseRig()
    mouse = rig.add(VENDOR, WIRELESS, serial="DEMO-0001", manufacturer="Quillon Labs", product="Glide M3")
    print(f"$ vorlixd {' '.join(options)}".rstrip())
    result = rig.run([vorlixd, *options])
    print(result.stdout, end="")
    print(f"(exit code {result.returncode})\n")
    if not mouse.reports:
        print("The emulated mouse received no report.")
    for report in mouse.reports:
        print(f"The emulated mouse received {len(report)} bytes:")
        print(" ".join(f"{byte:02X}" for byte in report))
        for setting, value in decode(report):
            print(f"  {setting:<20} {value}")
    rig.close()
    return result.returncode


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
