# SPDX-License-Identifier: MIT
"""One-shot runs of the real binary against emulated mice.

Each case: the mice plugged in (in enumeration order) and the arguments, then the
output lines, the exit code and the reports each mouse received.
"""

import subprocess
from collections import namedtuple

import pytest

from expected import report_for
from mice import DEFAULT_REPORT, VENDOR, WIRED_COMPACT, WIRED_PRO, WIRELESS, Mouse, plug
from mouse_rig import NO_NODE, NOTHING_TAKEN, SEND_FAILS, SHORT_SEND, STRINGS_UNREADABLE

OPENED = ["vorlixd", "鼠标已打开...", "制造商：Quillon Labs", "产品名称：Glide M3"]
NO_MOUSE = ["vorlixd", "HID错误： 没有识别到适配的鼠标。"]
OPEN_FAILED = ["vorlixd", "HID错误： 无法打开HID设备。是否以root权限运行？是否连接了设备？"]

Case = namedtuple("Case", "id mice args lines exit_code reports")


def run_case(rig, vorlixd, case):
    mice = plug(rig, case.mice)
    result = rig.run([vorlixd, *case.args])
    assert result.stdout.splitlines() == case.lines
    assert result.returncode == case.exit_code
    # Every mouse not named received nothing.
    assert {i: m.reports for i, m in enumerate(mice) if m.reports} == case.reports


DISCOVERY = [
    Case("wireless beats a wired mouse listed before it",
         [Mouse(WIRED_COMPACT), Mouse(WIRED_PRO), Mouse(WIRELESS)], [], OPENED, 0, {2: [DEFAULT_REPORT]}),
    Case("wired pro beats wired compact",
         [Mouse(WIRED_COMPACT), Mouse(WIRED_PRO)], [], OPENED, 0, {1: [DEFAULT_REPORT]}),
    Case("first listed of equal product IDs, by its serial number",
         [Mouse(WIRELESS, serial="A-001"), Mouse(WIRELESS, serial="B-002")], [], OPENED, 0,
         {0: [DEFAULT_REPORT]}),
    Case("second serial number opened when it ranks first",
         [Mouse(WIRED_PRO, serial="A-001"), Mouse(WIRELESS, serial="B-002")], [], OPENED, 0,
         {1: [DEFAULT_REPORT]}),
    Case("no serial number: the first with the IDs",
         [Mouse(WIRELESS), Mouse(WIRELESS)], [], OPENED, 0, {0: [DEFAULT_REPORT]}),
    Case("other vendors and unknown product IDs are ignored",
         [Mouse(WIRELESS, vendor_id=0x1234), Mouse(0xC999), Mouse(WIRED_COMPACT)], [], OPENED, 0,
         {2: [DEFAULT_REPORT]}),
    Case("only strangers: no mouse", [Mouse(WIRELESS, vendor_id=0x1234), Mouse(0xC999)], [], NO_MOUSE, 1, {}),
    Case("nothing plugged in", [], [], NO_MOUSE, 1, {}),
    Case("an open failure is final, no other mouse is tried",
         [Mouse(WIRED_PRO), Mouse(WIRELESS, fault=NO_NODE)], [], OPEN_FAILED, 1, {}),
]

HID_FAILURES = [
    Case("manufacturer unreadable: the label stays on the line",
         [Mouse(WIRELESS, fault=STRINGS_UNREADABLE)], [],
         ["vorlixd", "鼠标已打开...", "制造商：HID错误： 无法获取制造商名称。"], 1, {}),
    Case("send fails", [Mouse(WIRELESS, fault=SEND_FAILS)], [], OPENED + ["HID错误： 无法发送功能报文。"], 1, {}),
    Case("short send still succeeds", [Mouse(WIRELESS, fault=SHORT_SEND)], [], OPENED, 0, {}),
    Case("no byte taken is a failed send", [Mouse(WIRELESS, fault=NOTHING_TAKEN)], [],
         OPENED + ["HID错误： 无法发送功能报文。"], 1, {}),
    Case("empty names leave the labels alone", [Mouse(WIRELESS, manufacturer="", product="")], [],
         ["vorlixd", "鼠标已打开...", "制造商：", "产品名称："], 0, {0: [DEFAULT_REPORT]}),
]

REPORTS = [
    Case("defaults", [Mouse(WIRELESS)], [], OPENED, 0, {0: [DEFAULT_REPORT]}),
    Case("everything off, slowest", [Mouse(WIRELESS)],
         ["--lift-off-detection", "false", "--smart-scrolling", "false", "--frequency", "125",
          "--remap-wheel-press", "false", "--remap-gesture-button", "false", "--speed", "1"],
         OPENED, 0, {0: [report_for((False, False, False, False, 125, 1))]}),
    Case("everything on, fastest", [Mouse(WIRELESS)],
         ["--smart-scrolling", "true", "--speed", "5", "--daemon", "false"], OPENED, 0,
         {0: [report_for((True, True, True, True, 1000, 5))]}),
    Case("last occurrence wins", [Mouse(WIRELESS)], ["--speed", "2", "--frequency", "250", "--speed", "4"],
         OPENED, 0, {0: [report_for((True, False, True, True, 250, 4))]}),
]

BAD = "命令行错误： "
COMMAND_LINE_FAILURES = [
    Case("bad value", [Mouse(WIRELESS)], ["--speed", "9", "--speed", "4"],
         ["vorlixd", BAD + "无法解析鼠标速度：9 – 期待值为：1，2，3，4，5"], 6, {}),
    Case("missing value", [Mouse(WIRELESS)], ["--speed", "2", "--frequency"],
         ["vorlixd", BAD + "在该值之后的命令行参数缺失：--frequency"], 6, {}),
    Case("joined form", [Mouse(WIRELESS)], ["--frequency=500"],
         ["vorlixd", BAD + "不支持的命令行选项： --frequency=500"], 6, {}),
    Case("bad boolean", [Mouse(WIRELESS)], ["--smart-scrolling", "yes"],
         ["vorlixd", BAD + "无法解析布尔值：yes – 期待值为： true 或 false"], 6, {}),
    Case("malformed UTF-8", [Mouse(WIRELESS)], ["--speed", b"3\xe9\x80"],
         [BAD + "无法解码命令行参数。"], 6, {}),
]


@pytest.mark.parametrize("case", DISCOVERY + HID_FAILURES + REPORTS + COMMAND_LINE_FAILURES,
                         ids=lambda case: case.id)
def test_one_shot(mouse_rig, vorlixd, case):
    run_case(mouse_rig, vorlixd, case)


@pytest.mark.parametrize("locale", [{}, {"LC_ALL": "C"}, {"LANG": "POSIX"}, {"LC_ALL": "C.UTF-8"}],
                         ids=["unset", "LC_ALL=C", "LANG=POSIX", "LC_ALL=C.UTF-8"])
def test_messages_survive_a_missing_locale(mouse_rig, vorlixd, locale):
    mouse_rig.add(VENDOR, WIRELESS)
    env = {k: v for k, v in mouse_rig.env().items() if not k.startswith(("LC_", "LANG"))}
    result = subprocess.run([vorlixd], env={**env, **locale}, capture_output=True)
    assert result.stdout.decode("utf-8").splitlines() == OPENED
