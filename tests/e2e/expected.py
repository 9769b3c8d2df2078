# SPDX-License-Identifier: MIT
"""What the daemon answers, prints and sends: its messages, its line per configure call,
and the settings report that a valid configure call sends."""

from mice import DEFAULT_REPORT, with_bytes

INT_MIN, INT_MAX = -2**31, 2**31 - 1

NO_MOUSE = "没有识别到适配的鼠标。"
OPEN_FAILED = "无法打开HID设备。是否以root权限运行？是否连接了设备？"
SEND_FAILED = "无法发送功能报文。"
NAME_UNREADABLE = "无法获取产品名称。"
FREQUENCY_REFUSED = "无法解析轮询率值：{} – 期待值为：125，250，500，1000"
SPEED_REFUSED = "无法解析鼠标速度：{} – 期待值为：1，2，3，4，5"

FREQUENCIES = {125: 0x08, 250: 0x04, 500: 0x02, 1000: 0x01}  # polling interval in ms
SPEEDS = {1: 0x0A, 2: 0x0E, 3: 0x1C, 4: 0x2C, 5: 0x54}


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
    """The 32-byte report that configure with these valid values sends."""
    lift_off, smart_scrolling, wheel, gesture, frequency, speed = values
    report = with_bytes(DEFAULT_REPORT, b2=SPEEDS[speed], b3=0x00 if lift_off else 0x1F,
                        b22=0x0F if wheel else 0x0C, b25=0x10 if gesture else 0x2F, b31=FREQUENCIES[frequency])
    scrolling = bytes.fromhex("00000001" if smart_scrolling else "01FF0000")
    return report[:4] + scrolling + report[8:]
