# SPDX-License-Identifier: MIT
"""The supported mice, and the report they receive when every setting keeps its default."""

from collections import namedtuple

VENDOR = 0x256F
WIRELESS, WIRED_PRO, WIRED_COMPACT = 0xC652, 0xC656, 0xC655

DEFAULT_REPORT = bytes.fromhex("10 00 1C 00 01 FF 00 00 00 00 00 00 00 00 00 00"
                               "00 03 00 0A 0B 0C 0F 0E 0D 10 00 1E 00 00 00 01")

# A mouse to plug into the rig; the names are invented. An interface above 0 is another
# interface of the mouse listed just before it.
Mouse = namedtuple("Mouse", "product_id vendor_id serial manufacturer product fault interface",
                   defaults=(VENDOR, None, "Quillon Labs", "Glide M3", None, 0))


def plug(rig, mice):
    """Plugs the mice in, in enumeration order; returns the emulated devices."""
    return [rig.add(m.vendor_id, m.product_id, m.serial, m.manufacturer, m.product, m.fault, m.interface)
            for m in mice]
