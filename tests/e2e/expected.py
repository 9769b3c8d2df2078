# SPDX-License-Identifier: MIT
"""What the daemon answers, prints and sends: its messages, its line per configure call,
and the settings report that a valid configure call sends."""

from collections import namedtuple

from mice import DEFAULT_REPORT

INT_MIN, INT_MAX = -2**31, 2**31 - 1

NO_MOUSE = "没有识别到适配的鼠标。"
OPEN_FAILED = "无法打开HID设备。是否以root权限运行？是否连接了设备？"
SEND_FAILED = "无法发送功能报文。"
NAME_UNREADABLE = "无法获取产品名称。"
FREQUENCY_REFUSED = "无法解析轮询率值：{} – 期待值为：125，250，500，1000"
SPEED_REFUSED = "无法解析鼠标速度：{} – 期待值为：1，2，3，4，5"

# The six settings, in the order of configure's arguments: the option, where its bytes go in
# the report, the bytes of each accepted value, and the default (whose bytes DEFAULT_REPORT has).
Setting = namedtuple("Setting", "option offset codes default")
SETTINGS = (
    Setting("--lift-off-detection", 3, {True: "00", False: "1F"}, True),
    Setting("--smart-scrolling", 4, {True: "00 00 00 01", False: "01 FF 00 00"}, False),
    Setting("--remap-wheel-press", 22, {True: "0F", False: "0C"}, True),
    Setting("--remap-gesture-button", 25, {True: "10", False: "2F"}, True),
    Setting("--frequency", 31, {125: "08", 250: "04", 500: "02", 1000: "01"}, 1000),  # polling interval in ms
    Setting("--speed", 2, {1: "0A", 2: "0E", 3: "1C", 4: "2C", 5: "54"}, 3),
)
FREQUENCIES, SPEEDS = SETTINGS[4].codes, SETTINGS[5].codes


def startup_lines(uid, bus_kind):
    """What the daemon prints before it serves: the user ID decides the bus."""
    return ["vorlixd", "即将启动守护进程", f"uid = {uid}", "已连接", f"qt_default_{bus_kind}_bus", ""]


def configure_line(values):
    """The line the daemon prints for configure(liftOff, smart, wheel, gesture, frequency, speed)."""
    flags = [int(v) for v in values[:4]]
    return ("设置鼠标： liftOffDetection={} smartScrolling={} remapWheelPress={} remapGestureButton={}"
            " frequency={} speed={}").format(*flags, *values[4:])


def refusal(values):
    """The Failed message for refused values, or None when both are valid (frequency is checked first)."""
    frequency, speed = values[4:]
    if frequency not in FREQUENCIES:
        return FREQUENCY_REFUSED.format(frequency)
    if speed not in SPEEDS:
        return SPEED_REFUSED.format(speed)
    return None


def report_for(values):
    """The 32-byte report that configure with these valid values (or the same options) sends."""
    report = bytearray(DEFAULT_REPORT)
    for setting, value in zip(SETTINGS, values, strict=True):
        code = bytes.fromhex(setting.codes[value])
        report[setting.offset:setting.offset + len(code)] = code
    return bytes(report)


def arguments(values):
    """The command line that sets all six settings to these values."""
    return [word for setting, value in zip(SETTINGS, values, strict=True)
            for word in (setting.option, str(value).lower())]


# The six settings' names on the bus, in the order of configure's arguments.
NAMES = ("liftOffDetection", "smartScrolling", "remapWheelPress", "remapGestureButton", "frequency", "speed")


def identity_of(device, present=()):
    """What a mouse's own settings are kept under: its serial number while no other mouse of its
    model present shares it, else the port it is on."""
    twins = [d for d in present if d.usb_device != device.usb_device and d.product_id == device.product_id
             and d.serial == device.serial]
    return f"{device.product_id:04x}/" + (f"serial/{device.serial}" if device.serial and not twins
                                          else f"port/{device.usb_device}")


def mouse_entry(device, error=None, sent=None, by="", send_error="", appeared=False, present=(), source="family",
                own=None):
    """An emulated mouse as the mice property lists it among the mice `present`; given its error
    ("" for none), as configureAndKeep's reply lists it. Then what it was last sent (the six
    values), by whom, from whose settings and with what error, whether vorlixd saw it appear, and
    its own settings; a time as whether it is set."""
    entry = {"productId": device.product_id, "productName": device.product or "",
             "serialNumber": device.serial or "", "usbDevice": device.usb_device,
             "sentSettings": dict(zip(NAMES, sent or (), strict=True)) if sent else {}, "sentAt": sent is not None,
             "sentBy": by, "sentFrom": source if sent else "", "sendError": send_error, "appearedAt": appeared,
             "identity": identity_of(device, present), "ownSettings": dict(zip(NAMES, own, strict=True)) if own else {}}
    return entry if error is None else {**entry, "error": error}
