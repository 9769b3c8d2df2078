# SPDX-License-Identifier: MIT
"""Our own interface over every supported mouse and the settings kept for all of them: what
configureAndKeep sends, keeps and answers, and how the one reader of the kept file reads it
for the service and for vorlixd-apply alike."""

import json
import os
import shutil
import time
from pathlib import Path

import pytest

from buses import ERROR, MICE, NOBODY, OBJECT_PATH, SERVICE, Bus, Reply
from expected import (FREQUENCY_REFUSED, NAMES, NO_MOUSE, OPEN_FAILED, SEND_FAILED, arguments, configure_line,
                      mouse_entry, report_for)
from gio_client import Gio, GLib
from mice import WIRED_COMPACT, WIRED_PRO, WIRELESS, Mouse
from mouse_rig import NO_NODE, NOTHING_TAKEN, SEND_FAILS, SHORT_SEND

KEPT = (False, True, False, True, 250, 4)
KEPT_LINE = " ".join(arguments(KEPT)) + "\n"  # kept as the options that send them
EARLIER_LINE = KEPT_LINE.replace("250", "500")
KEPT_PROPERTY = ('a{sv} 6 "frequency" i 250 "liftOffDetection" b false "remapGestureButton" b true '
                 '"remapWheelPress" b false "smartScrolling" b true "speed" i 4')
NOT_KEPT = "鼠标已设置，但无法保存设置。"


def keep_line(values):
    return "设置并保存鼠标：" + " ".join(arguments(values))


def mice_of(bus, *busctl, user=None):
    """The mice that busctl's call or get-property answers, as dicts, or the error busctl printed."""
    result = bus.client("busctl", "--json=short", *busctl, user=user)
    if result.returncode != 0:
        return result.stderr.strip()
    data = json.loads(result.stdout)["data"]
    mice = data[0] if busctl[0] == "call" else data  # a call's reply is a list of its arguments
    return [{key: shown(key, value["data"]) for key, value in mouse.items()} for mouse in mice]


def shown(key, value):
    """A mice entry's value as mouse_entry gives it: a time as whether it is set."""
    if key in ("sentAt", "appearedAt"):
        return value != 0
    if key in ("sentSettings", "ownSettings"):
        return {name: setting["data"] for name, setting in value.items()}
    return value


def keep(bus, values, user=None):
    """configureAndKeep's reply: each mouse as a dict, or the error busctl printed."""
    return mice_of(bus, "call", SERVICE, OBJECT_PATH, MICE, "configureAndKeep", "bbbbii",
                   *(str(v).lower() for v in values), user=user)


def keep_own(bus, usb_device, values):
    """configureMouseAndKeep's reply as a dict, or the error busctl printed."""
    result = bus.client("busctl", "--json=short", "call", SERVICE, OBJECT_PATH, MICE, "configureMouseAndKeep",
                        "sbbbbii", usb_device, *(str(v).lower() for v in values))
    if result.returncode != 0:
        return result.stderr.strip()
    return {key: shown(key, value["data"]) for key, value in json.loads(result.stdout)["data"][0].items()}


# Two models and a twin: one mouse is given its own speed, a keep for the family leaves it as it
# is, and once it follows the family's again it gets them at once, or the administrator's while
# those are valid. An unknown mouse keeps nothing.
def test_each_mouse_its_own_settings(serve, system_bus, workdir):
    _, devices = serve([Mouse(WIRELESS, serial="A"), Mouse(WIRED_PRO, serial="P"), Mouse(WIRELESS, serial="A")])
    first, pro, twin = devices
    own = KEPT[:5] + (5,)
    assert keep_own(system_bus, "1-01", own) == mouse_entry(first, "", own, "service", present=devices, source="own",
                                                            own=own)
    assert [len(d.reports) for d in devices] == [1, 0, 0]
    replied = keep(system_bus, KEPT)
    assert [(m["usbDevice"], m["error"]) for m in replied] == [("1-01", ERROR + "OwnSettings"), ("1-03", ""),
                                                               ("1-02", "")]
    assert [d.reports for d in devices] == [[report_for(own)], [report_for(KEPT)], [report_for(KEPT)]]
    assert system_bus.configure(("'1-01'",), "gdbus", member="forgetMouseSettings", interface=MICE) == Reply(None, None)
    assert first.reports[-1] == report_for(KEPT)
    listed = mice_of(system_bus, "get-property", SERVICE, OBJECT_PATH, MICE, "mice")
    assert [(m["identity"], m["sentFrom"], m["ownSettings"]) for m in listed] == [
        ("c652/port/1-01", "family", {}), ("c652/port/1-03", "family", {}), ("c656/serial/P", "family", {})]
    # While the administrator's file is valid, a mouse that follows the family's again gets its settings.
    administrator = KEPT[:5] + (1,)
    (workdir / "defaults").write_text(f'VORLIXD_OPTIONS="{" ".join(arguments(administrator))}"\n')
    keep_own(system_bus, "1-02", own)
    assert system_bus.configure(("'1-02'",), "gdbus", member="forgetMouseSettings", interface=MICE) == Reply(None, None)
    assert pro.reports[-1] == report_for(administrator)
    written = (workdir / "state" / "own-settings").read_text()
    assert keep_own(system_bus, "9-9", own).endswith("这个 USB 设备上没有适配的鼠标。")
    assert (workdir / "state" / "own-settings").read_text() == written == ""


# What configureAndKeep leaves in the state folder: the new settings only once a mouse took
# them, written as a new file that replaces the old one whole (the old inode is untouched).
@pytest.mark.parametrize("member, mice, values, reply, kept", [
    ("configureAndKeep", [Mouse(WIRELESS)], KEPT, Reply(None, None), KEPT_LINE),
    ("configure", [Mouse(WIRELESS)], KEPT, Reply(None, None), EARLIER_LINE),
    ("configureAndKeep", [Mouse(WIRELESS)], KEPT[:4] + (300, 4),
     Reply(ERROR + "InvalidValue", FREQUENCY_REFUSED.format(300)), EARLIER_LINE),
    ("configureAndKeep", [], KEPT, Reply(ERROR + "NoMouse", NO_MOUSE), EARLIER_LINE),
    ("configureAndKeep", [Mouse(WIRELESS, fault=NO_NODE)], KEPT, Reply(ERROR + "CannotOpen", OPEN_FAILED),
     EARLIER_LINE),
    ("configureAndKeep", [Mouse(WIRELESS, fault=SEND_FAILS)], KEPT, Reply(ERROR + "SendFailed", SEND_FAILED),
     EARLIER_LINE),
    ("configureAndKeep", [Mouse(WIRELESS)], KEPT, Reply(ERROR + "NotKept", NOT_KEPT), None),
], ids=["kept", "configure keeps nothing", "refused value", "no mouse", "cannot open", "send fails",
        "state folder gone"])
def test_settings_are_kept_only_once_a_mouse_took_them(serve, system_bus, workdir, member, mice, values, reply,
                                                       kept):
    daemon, devices = serve(mice)
    state = workdir / "state"
    (state / "kept-settings").write_text(EARLIER_LINE)
    with open(state / "kept-settings") as earlier:
        if kept is None:
            (state / "kept-settings").unlink()
            state.rmdir()
        interface = MICE if member == "configureAndKeep" else SERVICE
        assert system_bus.configure(values, "gdbus", member=member, interface=interface) == reply
        assert earlier.read() == EARLIER_LINE
    assert sorted(p.name for p in state.glob("*") if p.suffix != ".lock") == (["kept-settings"] if kept else [])
    assert kept is None or (state / "kept-settings").read_text() == kept
    taken = reply == Reply(None, None) or kept is None
    assert [d.reports for d in devices] == [[report_for(values)] if taken else []] * len(devices)
    if taken:  # through either interface, the mouse's record says so
        assert [m["sentBy"] for m in mice_of(system_bus, "get-property", SERVICE, OBJECT_PATH, MICE, "mice")] == [
            "service"]
    assert daemon.new_lines()[0] == (keep_line(values) if member == "configureAndKeep" else configure_line(values))


# Every supported mouse gets the settings, each at the interface discovery would open, and the
# reply says of each whether it took them; the settings are kept once one did. A mouse is a USB
# device: two alike are two mice, whatever their serial numbers, and two interfaces are one.
@pytest.mark.parametrize("mice, errors, reports", [
    ([Mouse(WIRED_COMPACT, serial="B"), Mouse(WIRELESS, serial="A")], ["", ""], [1, 1]),
    ([Mouse(WIRELESS, serial="A"), Mouse(WIRELESS, serial="B")], ["", ""], [1, 1]),
    ([Mouse(WIRELESS, serial="A"), Mouse(WIRELESS, serial="A")], ["", ""], [1, 1]),
    ([Mouse(WIRELESS), Mouse(WIRELESS)], ["", ""], [1, 1]),
    ([Mouse(WIRELESS, serial="A"), Mouse(WIRELESS, serial="A", interface=1)], [""], [1, 0]),
    ([Mouse(WIRELESS, fault=NO_NODE), Mouse(WIRED_PRO, serial="P")], ["CannotOpen", ""], [0, 1]),
    ([Mouse(WIRELESS, fault=SEND_FAILS), Mouse(WIRED_PRO, serial="P")], ["SendFailed", ""], [0, 1]),
    ([Mouse(WIRELESS, fault=NOTHING_TAKEN), Mouse(WIRED_PRO, serial="P")], ["SendFailed", ""], [0, 1]),
    ([Mouse(WIRELESS, fault=SHORT_SEND), Mouse(WIRED_PRO, serial="P")], ["SendFailed", ""], [0, 1]),
], ids=["two products", "same product, two serials", "same product, one serial", "same product, no serial",
        "two interfaces of one mouse", "one cannot be opened", "one did not take them", "one took nothing of them",
        "one took part of them"])
def test_every_mouse_gets_the_settings(serve, system_bus, workdir, mice, errors, reports):
    daemon, devices = serve(mice)
    listed = mice_of(system_bus, "get-property", SERVICE, OBJECT_PATH, MICE, "mice", user=NOBODY)
    replied = keep(system_bus, KEPT)
    # Discovery's order: the wireless receiver first, whatever the system lists first.
    ranked = sorted((d for d in devices if d.interface == 0), key=lambda device: device.product_id != WIRELESS)
    assert listed == [mouse_entry(device, present=devices) for device in ranked]
    # Each mouse's record says what it was sent and whether it took the whole report.
    named = [ERROR + error if error else "" for error in errors]
    assert replied == [mouse_entry(device, error, KEPT, "service", error, present=devices)
                       for device, error in zip(ranked, named, strict=True)]
    assert [len(d.reports) for d in devices] == reports
    assert all(r == report_for(KEPT) for d in devices for r in d.reports)
    assert (workdir / "state" / "kept-settings").read_text() == KEPT_LINE


def symlink_to_kept(path):
    (path.parent / "elsewhere").write_text(KEPT_LINE)
    path.symlink_to(path.parent / "elsewhere")


# The kept file is read by one reader for the service and for vorlixd-apply: what keptSettings
# shows is exactly what a mouse gets when it comes back, and anything but the line the service
# writes is refused by both. A pipe or a link there is refused at once, never waited on or followed.
DAMAGED = "保存的设置无法读取或不完整：{}"
NOT_A_FILE = "保存的设置不是普通文件，已拒绝：{}"


@pytest.mark.parametrize("content, shown, reason", [
    (None, False, None),
    (KEPT_LINE, True, None),
    (KEPT_LINE[:60] + "\n", False, "不支持的命令行选项： --remap-wh"),
    (KEPT_LINE.strip(), False, DAMAGED),
    (KEPT_LINE.replace("\n", " \n"), False, "不支持的命令行选项： "),
    (" " + KEPT_LINE, False, "不支持的命令行选项： "),
    (KEPT_LINE.replace(" ", "  ", 1), False, "无法解析布尔值： – 期待值为： true 或 false"),
    (KEPT_LINE.replace(" ", "\t", 1), False, "不支持的命令行选项： --lift-off-detection\\x09false"),
    (KEPT_LINE.replace("\n", "\0\n"), False, "无法解析鼠标速度：4\\x00 – 期待值为：1，2，3，4，5"),
    ("\ufeff" + KEPT_LINE, False, DAMAGED),
    (" ".join(arguments(KEPT)[2:] + arguments(KEPT)[:2]) + "\n", False, DAMAGED),
    (KEPT_LINE.replace("--speed 4", "--speed 4 --speed 4"), False, DAMAGED),
    (KEPT_LINE.replace("--speed 4", "--speed 4 --daemon true"), False, "不支持的命令行选项： --daemon"),
    (KEPT_LINE.replace("250", "300"), False, FREQUENCY_REFUSED.format(300)),
    (KEPT_LINE.replace("false", "\x1b[2J", 1), False, "无法解析布尔值：\\x1b[2J – 期待值为： true 或 false"),
    (KEPT_LINE * 5, False, DAMAGED),
    (os.mkfifo, False, NOT_A_FILE),
    (symlink_to_kept, False, NOT_A_FILE),
], ids=["nothing kept", "kept", "cut short", "no line end", "trailing blank", "leading blank", "doubled blank",
        "tab", "NUL", "byte-order mark", "options reordered", "an option twice", "an option too many",
        "refused value", "control bytes", "too long", "pipe", "link"])
def test_what_is_shown_is_what_is_sent(serve, system_bus, mouse_rig, vorlixd_apply, workdir, content, shown,
                                       reason):
    daemon, (mouse,) = serve([Mouse(WIRELESS)])
    path = workdir / "state" / "kept-settings"
    if callable(content):
        content(path)
    elif content is not None:
        path.write_bytes(content.encode())
    assert system_bus.get_property("keptSettings", user=NOBODY, interface=MICE) == (
        KEPT_PROPERTY if shown else "a{sv} 0")
    if reason:
        assert daemon.new_lines() == ["读取保存的设置： ", "已忽略：" + reason.replace("{}", str(path))]
    else:
        assert daemon.new_lines() == ["读取保存的设置： " + (KEPT_LINE.strip() if shown else "无")]
    result = mouse_rig.run([vorlixd_apply], env_extra={"STATE_DIRECTORY": str(path.parent),
                                                       "VORLIXD_DEFAULTS_FILE": str(workdir / "none")})
    assert result.returncode == 0
    assert mouse.reports == ([report_for(KEPT)] if shown else [])


def test_forgotten_settings_are_gone(serve, system_bus, workdir):
    daemon, _ = serve([])
    (workdir / "state" / "kept-settings").symlink_to(workdir / "state" / "elsewhere")
    (workdir / "state" / "elsewhere").write_text(KEPT_LINE)
    for _ in range(2):  # forgetting what is not kept is no failure
        assert system_bus.configure((), "gdbus", member="forgetKeptSettings", interface=MICE) == Reply(None, None)
        assert system_bus.get_property("keptSettings", interface=MICE) == "a{sv} 0"
    # The link went, not what it named; the lock of the kept file stays.
    assert sorted(p.name for p in (workdir / "state").iterdir()) == ["elsewhere", "kept-settings.lock"]
    assert daemon.new_lines() == ["忘记保存的设置", "读取保存的设置： 无"] * 2


# A user's own service on her session bus keeps in her own state folder.
@pytest.mark.parametrize("state_home, folder", [(None, ".local/state/vorlixd"), ("xdg", "xdg/vorlixd")],
                         ids=["default", "XDG_STATE_HOME"])
def test_a_users_own_service_keeps(mouse_rig, workdir, start_daemon, state_home, folder):
    home = workdir / "home"
    home.mkdir()
    os.chown(home, NOBODY, NOBODY)
    mouse = mouse_rig.add(0x256F, WIRELESS)
    mouse_rig.open_to_everyone()
    bus = Bus(workdir / "session", "session", "", owner=NOBODY)
    try:
        environment = {**bus.environment(), "STATE_DIRECTORY": None, "HOME": str(home),
                       "XDG_STATE_HOME": str(home / state_home) if state_home else None}
        start_daemon(environment, user=NOBODY)
        assert bus.wait_for_name(user=NOBODY)
        assert keep(bus, KEPT, user=NOBODY) == [mouse_entry(mouse, "", KEPT, "service")]
        assert (home / folder / "kept-settings").read_text() == KEPT_LINE
        assert bus.get_property("keptSettings", user=NOBODY, interface=MICE) == KEPT_PROPERTY
    finally:
        bus.close()
    assert mouse.reports == [report_for(KEPT)]


# configure answers success for a short send, as it always has; the mouse's record does not.
def test_a_short_send_through_configure_is_recorded_as_not_taken(serve, system_bus):
    serve([Mouse(WIRELESS, fault=SHORT_SEND)])
    assert system_bus.configure(KEPT, "gdbus") == Reply(None, None)
    [mouse] = mice_of(system_bus, "get-property", SERVICE, OBJECT_PATH, MICE, "mice")
    assert (mouse["sentBy"], mouse["sendError"]) == ("service", ERROR + "SendFailed")


# A client's proxy follows the mice coming and going, their records and the kept settings from
# the standard signal, without asking again; also once the records' folder was removed and made
# anew. Only a change is announced: a file of another name in the records' folder is none.
def test_clients_follow_without_asking(serve, system_bus, mouse_rig, vorlixd_apply, workdir):
    _, (first,) = serve([Mouse(WIRELESS, serial="A")])
    flags = Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION
    connection = Gio.DBusConnection.new_for_address_sync(system_bus.address, flags, None, None)
    proxy = Gio.DBusProxy.new_sync(connection, Gio.DBusProxyFlags.NONE, None, SERVICE, OBJECT_PATH, MICE, None)
    announced = []
    proxy.connect("g-properties-changed", lambda _, changed, __: announced.append(changed.unpack().get("mice")))

    def shows(name, condition, timeout=10):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            while GLib.MainContext.default().iteration(False):
                pass
            if condition(proxy.get_cached_property(name).unpack()):
                return True
            time.sleep(0.02)
        return False

    (Path(mouse_rig.records) / "unrelated").write_text("")
    time.sleep(0.5)  # its event alone, before the next
    mouse_rig.add(0x256F, WIRED_PRO, serial="P")
    assert shows("mice", lambda mice: [m["serialNumber"] for m in mice] == ["A", "P"])
    assert [[m["serialNumber"] for m in mice] for mice in announced if mice] == [["A", "P"]]
    mouse_rig.unplug(first)
    assert shows("mice", lambda mice: [m["serialNumber"] for m in mice] == ["P"])
    keep(system_bus, KEPT)
    assert shows("keptSettings", lambda kept: kept == dict(zip(NAMES, KEPT)))
    assert shows("mice", lambda mice: [m["sentBy"] for m in mice] == ["service"])
    shutil.rmtree(mouse_rig.records)
    time.sleep(0.5)  # each change its own event, over before the next
    os.mkdir(mouse_rig.records)
    time.sleep(0.5)
    assert mouse_rig.run([vorlixd_apply], env_extra={"STATE_DIRECTORY": str(workdir / "state")}).returncode == 0
    assert shows("mice", lambda mice: [m["sentBy"] for m in mice] == ["by-hand"])
    system_bus.configure((), "gdbus", member="forgetKeptSettings", interface=MICE)
    assert shows("keptSettings", lambda kept: kept == {})
