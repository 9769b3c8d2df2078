# SPDX-License-Identifier: MIT
"""vorlixd as a D-Bus service on private buses, driven by real clients against emulated mice."""

import pytest

from buses import FAILED, INTERFACE, MICE, NOBODY, OBJECT_PATH, SERVICE, Bus, Reply
from expected import (FREQUENCY_REFUSED, NO_MOUSE, OPEN_FAILED, SEND_FAILED, SPEED_REFUSED, arguments,
                      configure_line, report_for, startup_lines)
from mice import WIRELESS, Mouse
from mouse_rig import NO_NODE, NOTHING_TAKEN, SEND_FAILS, STRINGS_UNREADABLE

KEPT = (False, True, False, True, 250, 4)
KEPT_LINE = " ".join(arguments(KEPT)) + "\n"  # kept settings are kept as the options that send them
EARLIER_LINE = KEPT_LINE.replace("250", "500")

ARGUMENTS = "".join(f'      <arg direction="in" type="{t}" name="{name}"/>\n' for t, name in [
    ("b", "liftOffDetection"), ("b", "smartScrolling"), ("b", "remapWheelPress"), ("b", "remapGestureButton"),
    ("i", "frequency"), ("i", "speed")])
# The first mouse's interface, exactly; ours stands beside it.
INTROSPECTION = f"""\
  <interface name="org.vorlix.mouse.vorlixd">
    <property access="read" type="b" name="devicePresent"/>
    <property access="read" type="s" name="deviceName"/>
    <method name="configure">
{ARGUMENTS}    </method>
  </interface>
"""
OURS = [f'<interface name="{MICE}">', 'type="aa{sv}" name="mice"', 'type="a{sv}" name="keptSettings"',
        'type="a{sv}" name="administratorSettings"',
        '<method name="configureAndKeep">', '<method name="forgetKeptSettings"/>',
        '<method name="configureMouseAndKeep">', '<method name="forgetMouseSettings">']


def keep_line(values):
    """The daemon's line for configureAndKeep."""
    return "设置并保存鼠标：" + " ".join(arguments(values))


@pytest.mark.parametrize("user, chosen, other", [(None, "system", "session"), (NOBODY, "session", "system")],
                         ids=["root: system bus", "nobody: session bus"])
def test_bus_is_chosen_by_user_id(workdir, start_daemon, user, chosen, other):
    buses = {"system": Bus(workdir / "system"), "session": Bus(workdir / "session", "session", "", owner=user)}
    try:
        daemon = start_daemon({**buses["system"].environment(), **buses["session"].environment()}, user=user)
        client = user if chosen == "session" else None
        assert buses[chosen].wait_for_name(user=client)
        assert daemon.new_lines() == startup_lines(user or 0, chosen)
        assert not buses[other].has_owner(user=user if other == "session" else None)
    finally:
        for bus in buses.values():
            bus.close()


def test_unreachable_bus_is_reported_and_the_daemon_runs_on(workdir, start_daemon):
    daemon = start_daemon({"DBUS_SYSTEM_BUS_ADDRESS": f"unix:path={workdir}/no-bus-here"})
    lines = daemon.wait_for_startup()
    assert lines[:5] == ["vorlixd", "即将启动守护进程", "uid = 0", "未连接", "qt_default_system_bus"]
    assert lines[5] != ""  # the framework's reason
    assert daemon.running()


@pytest.mark.parametrize("tool, command", [
    ("dbus-send", ["--print-reply=literal", f"--dest={SERVICE}", OBJECT_PATH,
                   "org.freedesktop.DBus.Introspectable.Introspect"]),
    ("busctl", ["call", SERVICE, OBJECT_PATH, "org.freedesktop.DBus.Introspectable", "Introspect"]),
])
def test_introspection_shows_the_interface(serve, system_bus, tool, command):
    serve([])
    result = system_bus.client(tool, *command)
    text = result.stdout.encode().decode("unicode_escape") if tool == "busctl" else result.stdout
    assert INTROSPECTION in text
    assert all(part in text for part in OURS)
    interfaces = text.split("<interface")
    assert not any("<signal" in part for part in interfaces if f'name="{SERVICE}' in part.split(">")[0])


@pytest.mark.parametrize("mice, name, value, lines", [
    ([Mouse(WIRELESS)], "devicePresent", "b true", ["checking mouse presence: present"]),
    ([], "devicePresent", "b false", ["checking mouse presence: ", f"HID错误: {NO_MOUSE}"]),
    ([Mouse(WIRELESS, fault=NO_NODE)], "devicePresent", "b false",
     ["checking mouse presence: ", f"HID错误: {OPEN_FAILED}"]),
    ([Mouse(WIRELESS)], "deviceName", 's "Glide M3"', ["读取鼠标名称： Glide M3"]),
    ([Mouse(WIRELESS, product="")], "deviceName", 's ""', ["读取鼠标名称： "]),
    ([], "deviceName", 's ""', ["读取鼠标名称： ", f"HID错误: {NO_MOUSE}"]),
    ([Mouse(WIRELESS, fault=STRINGS_UNREADABLE)], "deviceName", 's ""',
     ["读取鼠标名称： ", "HID错误: 无法获取产品名称。"]),
], ids=["present", "absent", "not openable", "name", "empty name", "no name without mouse", "name unreadable"])
def test_property_reads(serve, system_bus, mice, name, value, lines):
    daemon, _ = serve(mice)
    assert system_bus.get_property(name) == value
    assert daemon.new_lines() == lines


def test_reading_all_properties_opens_the_mouse_twice(serve, system_bus):
    daemon, _ = serve([Mouse(WIRELESS)])
    result = system_bus.client("busctl", "call", SERVICE, OBJECT_PATH, "org.freedesktop.DBus.Properties",
                               "GetAll", "s", INTERFACE)
    assert result.stdout.strip() == 'a{sv} 2 "deviceName" s "Glide M3" "devicePresent" b true'
    assert sorted(daemon.new_lines()) == ["checking mouse presence: present", "读取鼠标名称： Glide M3"]


# A fault makes the send fail: the reply and the log say so, and the mouse took no report.
@pytest.mark.parametrize("tool, values, fault", [
    ("busctl", (True, False, True, True, 500, 2), None),
    ("gdbus", (False, False, False, False, 125, 1), None),
    ("dbus-send", (True, True, True, True, 1000, 5), None),
    ("dbus-send", (True, False, True, True, 1000, 3), SEND_FAILS),
    ("gdbus", (True, False, True, True, 1000, 3), NOTHING_TAKEN),
], ids=["busctl", "gdbus", "dbus-send", "send fails", "no byte taken"])
def test_configure_sends_one_report(serve, system_bus, tool, values, fault):
    daemon, (mouse,) = serve([Mouse(WIRELESS, fault=fault)])
    assert system_bus.configure(values, tool) == (Reply(FAILED, SEND_FAILED) if fault else Reply(None, None))
    assert daemon.new_lines() == [configure_line(values)] + ([f"HID错误: {SEND_FAILED}"] if fault else [])
    assert mouse.reports == ([] if fault else [report_for(values)])


# The mouse cannot be opened: a call that got as far as opening it would fail differently.
@pytest.mark.parametrize("tool, frequency, speed, message", [
    ("gdbus", 0, 3, FREQUENCY_REFUSED.format(0)),
    ("dbus-send", 300, 3, FREQUENCY_REFUSED.format(300)),
    ("busctl", -125, 3, FREQUENCY_REFUSED.format(-125)),
    ("gdbus", 1000, 6, SPEED_REFUSED.format(6)),
    ("dbus-send", 1000, 0, SPEED_REFUSED.format(0)),
    ("dbus-send", 300, 6, FREQUENCY_REFUSED.format(300)),
])
def test_refused_values_never_open_the_mouse(serve, system_bus, tool, frequency, speed, message):
    daemon, _ = serve([Mouse(WIRELESS, fault=NO_NODE)])
    values = (True, False, True, True, frequency, speed)
    assert system_bus.configure(values, tool) == Reply(FAILED if tool != "busctl" else "", message)
    assert daemon.new_lines() == [configure_line(values)]


@pytest.mark.parametrize("mice, message", [([], NO_MOUSE), ([Mouse(WIRELESS, fault=NO_NODE)], OPEN_FAILED)],
                         ids=["no mouse", "open fails"])
def test_configure_reports_mouse_failures(serve, system_bus, mice, message):
    daemon, _ = serve(mice)
    values = (True, False, True, True, 1000, 3)
    assert system_bus.configure(values, "gdbus") == Reply(FAILED, message)
    assert daemon.new_lines() == [configure_line(values), f"HID错误: {message}"]


def test_second_instance_runs_on_without_the_name(serve, system_bus, start_daemon):
    first, _ = serve([Mouse(WIRELESS)])
    second = start_daemon(system_bus.environment())
    assert second.wait_for_startup() == startup_lines(0, "system")
    assert second.running()
    assert system_bus.owner_pid() == first.process.pid


@pytest.mark.parametrize("args, lines, exit_code", [
    (["--speed", "9"], ["vorlixd", "命令行错误： " + SPEED_REFUSED.format(9)], 6),
    (["--frequency"], ["vorlixd", "命令行错误： 在该值之后的命令行参数缺失：--frequency"], 6),
])
def test_bad_settings_stop_the_daemon_before_it_starts(mouse_rig, vorlixd, args, lines, exit_code):
    result = mouse_rig.run([vorlixd, "--daemon", "true", *args])
    assert (result.stdout.splitlines(), result.returncode) == (lines, exit_code)


def test_settings_given_with_the_daemon_are_not_sent(serve, system_bus):
    daemon, (mouse,) = serve([Mouse(WIRELESS)], args=["--speed", "2"])
    assert system_bus.get_property("devicePresent") == "b true"
    assert mouse.reports == []


@pytest.mark.parametrize("command, error", [
    ([f"{INTERFACE}.configure", "boolean:true"], "UnknownMethod"),
    ([f"{INTERFACE}.configure", *["int32:1"] * 6], "UnknownMethod"),
    ([f"{INTERFACE}.reset"], "UnknownMethod"),
    (["org.example.Elsewhere.configure"], "UnknownInterface"),
    (["org.freedesktop.DBus.Properties.Set", f"string:{INTERFACE}", "string:devicePresent", "variant:boolean:false"],
     "PropertyReadOnly"),
    (["org.freedesktop.DBus.Properties.Get", f"string:{INTERFACE}", "string:battery"], "UnknownProperty"),
], ids=["too few arguments", "wrong types", "unknown method", "unknown interface", "write", "unknown property"])
def test_calls_outside_the_interface_are_refused_and_serving_goes_on(serve, system_bus, command, error):
    daemon, (mouse,) = serve([Mouse(WIRELESS)])
    result = system_bus.client("dbus-send", "--print-reply", f"--dest={SERVICE}", OBJECT_PATH, *command)
    assert result.stderr.startswith(f"Error org.freedesktop.DBus.Error.{error}:")
    assert daemon.new_lines() == []
    assert system_bus.get_property("devicePresent") == "b true"
    assert mouse.reports == []
