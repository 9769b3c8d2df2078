# SPDX-License-Identifier: MIT
"""Runs vorlixd once against an emulated mouse and shows what the mouse received.

Usage (under umockdev's preload): umockdev-wrapper /usr/bin/python3 THIS VORLIXD [OPTIONS...]
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "e2e"))
from expected import SETTINGS  # noqa: E402
from mice import VENDOR, WIRELESS  # noqa: E402
from mouse_rig import MouseRig  # noqa: E402


def decode(report):
    """Each setting's option and the value its bytes in the report stand for (the raw bytes are shown too)."""
    for setting in SETTINGS:
        tail = report[setting.offset:]
        values = [str(value).lower() for value, code in setting.codes.items() if tail.startswith(bytes.fromhex(code))]
        yield setting.option, values[0] if values else "unknown bytes"


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
        for option, value in decode(report):
            print(f"  {option:<24} {value}")
    rig.close()
    return result.returncode


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
