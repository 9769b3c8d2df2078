# SPDX-License-Identifier: MIT
"""Hostile and unusual D-Bus input against a running daemon, through real clients.

Every call gets its own right reply or error, the mouse receives nothing but whole,
valid reports (exactly one per successful configure), and the daemon serves on.
"""

import os
import time
from collections import Counter
from concurrent.futures import ThreadPoolExecutor

import pytest
from gi.repository import Gio, GLib

from buses import FAILED, INTERFACE, OBJECT_PATH, SERVICE, Reply, reply_of
from expected import (FREQUENCY_REFUSED, INT_MAX, INT_MIN, SPEED_REFUSED, configure_line, refusal,
                      report_for)
from gio_client import PROPERTIES, Call, Client, configure, finish_burst, get, start_burst
from mice import WIRELESS, Mouse
from soak import open_descriptors

ERROR = "org.freedesktop.DBus.Error."
VALUES = (False, True, False, True, 250, 4)
PRESENT_LINE = "checking mouse presence: present"
NAME_LINE = "读取鼠标名称： Glide M3"
LARGEST_ARGUMENT = 120_000  # bytes; the kernel takes at most 128 KiB per command-line argument


@pytest.fixture
def served(serve):
    """One mouse and root's daemon on the system bus, start-up lines already read."""
    daemon, (mouse,) = serve([Mouse(WIRELESS)])
    return daemon, mouse


def wait_for(condition, timeout=10.0):
    """True once condition() holds, False if it never did within the timeout."""
    deadline = time.monotonic() + timeout
    while not condition() and time.monotonic() < deadline:
        time.sleep(0.05)
    return condition()


def serves_on(bus, daemon, mouse):
    """A plain call still works and sends its one report; nothing was ever sent in part."""
    before = len(mouse.reports)
    assert bus.configure(VALUES, "dbus-send") == Reply(None, None)
    assert daemon.new_lines() == [configure_line(VALUES)]
    assert mouse.reports[before:] == [report_for(VALUES)]
    assert mouse.rejected == []


def dbus_send(call):
    """dbus-send's arguments for a call whose body holds only strings, integers, booleans and string variants."""
    types = {"s": "string", "i": "int32", "b": "boolean", "v": "variant:string"}
    texts = {"b": lambda v: str(v).lower(), "v": GLib.Variant.get_string}
    args = [f"{types[t]}:{texts.get(t, str)(v)}" for t, v in zip(call.signature.strip("()"), call.args)]
    return ["--print-reply", f"--dest={SERVICE}", call.path, f"{call.interface}.{call.member}", *args]


def send(bus, client, request):
    """The Reply to a request: a Call for the library client, command arguments for the others."""
    if client == "gio":
        return Client(bus.address).call(request)
    return reply_of(client, bus.client(client, *request))


def repeated(text, size):
    """`text` repeated to `size` bytes (less a character cut in two)."""
    unit = text.encode()
    return (unit * (size // len(unit) + 1))[:size].decode(errors="ignore")


@pytest.mark.parametrize("tool, frequency, speed, message", [
    ("busctl", INT_MIN, 3, FREQUENCY_REFUSED.format("-2147483648")),
    ("gdbus", INT_MAX, 3, FREQUENCY_REFUSED.format("2147483647")),
    ("dbus-send", 0, 3, FREQUENCY_REFUSED.format("0")),
    ("busctl", -1, 3, FREQUENCY_REFUSED.format("-1")),
    ("gdbus", -1000, 5, FREQUENCY_REFUSED.format("-1000")),
    ("dbus-send", 1000, INT_MIN, SPEED_REFUSED.format("-2147483648")),
    ("busctl", 125, INT_MAX, SPEED_REFUSED.format("2147483647")),
    ("gdbus", 250, 0, SPEED_REFUSED.format("0")),
    ("dbus-send", 500, -3, SPEED_REFUSED.format("-3")),
    ("busctl", INT_MIN, INT_MAX, FREQUENCY_REFUSED.format("-2147483648")),
    ("gdbus", INT_MAX, INT_MIN, FREQUENCY_REFUSED.format("2147483647")),
    ("dbus-send", 0, 0, FREQUENCY_REFUSED.format("0")),
])
def test_extreme_integers_are_refused_with_their_value(served, system_bus, tool, frequency, speed, message):
    daemon, mouse = served
    values = (True, False, True, True, frequency, speed)
    assert system_bus.configure(values, tool) == Reply("" if tool == "busctl" else FAILED, message)
    assert daemon.new_lines() == [configure_line(values)]
    assert mouse.reports == []
    serves_on(system_bus, daemon, mouse)


def _configure_args(*args):
    return ["--print-reply", f"--dest={SERVICE}", OBJECT_PATH, f"{INTERFACE}.configure", *args]


BOOLEANS = ["boolean:true"] * 4


@pytest.mark.parametrize("client, request_, error", [
    ("dbus-send", _configure_args(*BOOLEANS, "int32:500", "int32:2", "int32:2"), "UnknownMethod"),
    ("dbus-send", _configure_args(*BOOLEANS, "uint32:500", "uint32:2"), "UnknownMethod"),
    ("dbus-send", _configure_args(*BOOLEANS, "int64:500", "int64:2"), "UnknownMethod"),
    ("dbus-send", _configure_args(*["byte:1"] * 4, "int32:500", "int32:2"), "UnknownMethod"),
    ("gio", Call(INTERFACE, "configure", "((bbbbii))", ((True, True, True, True, 500, 2),)), "UnknownMethod"),
    ("gio", Call(INTERFACE, "configure", "(bbbbvv)", (True, True, True, True, GLib.Variant("i", 500),
                                                      GLib.Variant("i", 2))), "UnknownMethod"),
    ("dbus-send", ["--print-reply", f"--dest={SERVICE}", OBJECT_PATH, f"{INTERFACE}.devicePresent"],
     "UnknownMethod"),
    ("gio", Call(PROPERTIES, "Get", "(s)", (INTERFACE,)), "UnknownMethod"),
    ("gio", Call(PROPERTIES, "GetAll", "(i)", (1,)), "UnknownMethod"),
    ("gio", Call(PROPERTIES, "GetAll", "(s)", ("org.example.Elsewhere",)), "UnknownInterface"),
    ("gio", Call(PROPERTIES, "Get", "(ss)", ("org.example.Elsewhere", "devicePresent")), "UnknownInterface"),
    ("gio", Call("org.freedesktop.DBus.Introspectable", "Introspect", "(s)", ("x",)), "UnknownMethod"),
    ("gio", configure((True, True, True, True, 500, 2))._replace(path=f"{OBJECT_PATH}/mouse0"), "UnknownObject"),
    ("gio", configure((True, True, True, True, 500, 2))._replace(path="/org/vorlix"), "UnknownInterface"),
], ids=["seven arguments", "unsigned integers", "64-bit integers", "bytes for booleans", "one struct",
        "variants", "property called as method", "Get with one argument", "GetAll of an integer",
        "GetAll of unknown interface", "Get from unknown interface", "Introspect with argument",
        "path below the object", "path above the object"])
def test_calls_that_match_nothing_are_refused(served, system_bus, client, request_, error):
    daemon, mouse = served
    assert send(system_bus, client, request_).error == ERROR + error
    assert daemon.new_lines() == []
    assert mouse.reports == []
    serves_on(system_bus, daemon, mouse)


def _set(tool, name, value, interface=INTERFACE):
    """Properties.Set through one of the command-line clients; value in that client's syntax."""
    if tool == "busctl":
        return ["call", SERVICE, OBJECT_PATH, PROPERTIES, "Set", "ssv", interface, name, *value.split(" ", 1)]
    if tool == "gdbus":
        return ["call", "--dest", SERVICE, "--object-path", OBJECT_PATH, "--method", f"{PROPERTIES}.Set",
                interface, name, value]
    return ["--print-reply", f"--dest={SERVICE}", OBJECT_PATH, f"{PROPERTIES}.Set", f"string:{interface}",
            f"string:{name}", f"variant:{value}"]


READ_ONLY = "Property org.vorlix.mouse.vorlixd.{} is read-only"


@pytest.mark.parametrize("tool, request_, reply", [
    ("busctl", ["set-property", SERVICE, OBJECT_PATH, INTERFACE, "devicePresent", "b", "false"],
     Reply("", READ_ONLY.format("devicePresent"))),
    ("busctl", _set("busctl", "deviceName", "s Someone's mouse"), Reply("", READ_ONLY.format("deviceName"))),
    ("gdbus", _set("gdbus", "devicePresent", "<false>"), Reply(ERROR + "PropertyReadOnly",
                                                               READ_ONLY.format("devicePresent"))),
    ("dbus-send", _set("dbus-send", "deviceName", "int32:7"), Reply(ERROR + "PropertyReadOnly",
                                                                    READ_ONLY.format("deviceName"))),
    ("dbus-send", _set("dbus-send", "devicePresent", "boolean:false", interface=""),
     Reply(ERROR + "PropertyReadOnly", "Property devicePresent is read-only")),
    ("gdbus", _set("gdbus", "battery", "<42>"), Reply(ERROR + "UnknownProperty",
     f"Property org.vorlix.mouse.vorlixd.battery was not found in object {OBJECT_PATH}")),
], ids=["busctl set-property", "busctl Set name", "gdbus Set", "wrong type", "no interface", "unknown property"])
def test_properties_cannot_be_written(served, system_bus, tool, request_, reply):
    daemon, mouse = served
    assert send(system_bus, tool, request_) == reply
    assert daemon.new_lines() == []
    assert system_bus.get_property("devicePresent") == "b true"
    assert system_bus.get_property("deviceName") == 's "Glide M3"'
    assert daemon.new_lines() == [PRESENT_LINE, NAME_LINE]
    serves_on(system_bus, daemon, mouse)


MIXED = "鼠标x"  # one- and three-byte characters
# An unknown property name is echoed as its UTF-8 bytes read as Latin-1 (the bus framework's
# doing, and harmless: the error is still the right one), so property names stay ASCII here.
ASCII = "abcdefgh"

# Where the oversized text goes: (its pattern, the call, the error, the message). Each message
# echoes the text, which must come back whole.
NOT_FOUND = "{} was not found in object " + OBJECT_PATH
OVERSIZED = {
    "Get's interface": (MIXED, lambda big: Call(PROPERTIES, "Get", "(ss)", (big, "devicePresent")),
                        "UnknownInterface", NOT_FOUND.format("Interface {big}")),
    "Get's property": (ASCII, lambda big: Call(PROPERTIES, "Get", "(ss)", (INTERFACE, big)),
                       "UnknownProperty", NOT_FOUND.format(f"Property {INTERFACE}.{{big}}")),
    "GetAll's interface": (MIXED, lambda big: Call(PROPERTIES, "GetAll", "(s)", (big,)),
                           "UnknownInterface", NOT_FOUND.format("Interface {big}")),
    "Set's interface": (MIXED, lambda big: Call(PROPERTIES, "Set", "(ssv)",
                                                (big, "deviceName", GLib.Variant("s", "x"))),
                        "UnknownInterface", NOT_FOUND.format("Interface {big}")),
    "Set's property": (ASCII, lambda big: Call(PROPERTIES, "Set", "(ssv)", (INTERFACE, big, GLib.Variant("s", "x"))),
                       "UnknownProperty", NOT_FOUND.format(f"Property {INTERFACE}.{{big}}")),
    "Set's value": (MIXED, lambda big: Call(PROPERTIES, "Set", "(ssv)",
                                            (INTERFACE, "deviceName", GLib.Variant("s", big))),
                    "PropertyReadOnly", READ_ONLY.format("deviceName")),
    "string for frequency": (MIXED, lambda big: Call(INTERFACE, "configure", "(bbbbsi)",
                                                     (True, True, True, True, big, 2)),
                             "UnknownMethod", f"No such method 'configure' in interface '{INTERFACE}' at object "
                                              f"path '{OBJECT_PATH}' (signature 'bbbbsi')"),
    "object path": ("/x", lambda big: configure(VALUES)._replace(path=OBJECT_PATH + big),
                    "UnknownObject", f"No such object path '{OBJECT_PATH}{{big}}'"),
}


# busctl prints no more than about 2 KiB of an error, so it cannot show the echo whole.
@pytest.mark.parametrize("client, size", [("gio", 512 * 1024), ("dbus-send", LARGEST_ARGUMENT)])
@pytest.mark.parametrize("where", OVERSIZED)
def test_oversized_strings_are_refused_whole(served, system_bus, where, client, size):
    daemon, mouse = served
    text, make, error, message = OVERSIZED[where]
    big = repeated(text, size)
    request_ = make(big)
    assert send(system_bus, client, request_ if client == "gio" else dbus_send(request_)) == Reply(
        ERROR + error, message.format(big=big))
    assert daemon.new_lines() == []
    assert mouse.reports == []
    serves_on(system_bus, daemon, mouse)


@pytest.mark.parametrize("envelope, values", [
    ("no interface", (True, True, False, False, 125, 5)),
    ("no reply wanted", (False, False, True, True, 1000, 1)),
    ("descriptors attached", (True, False, False, True, 500, 3)),
])
def test_valid_calls_in_unusual_envelopes_configure_once(served, system_bus, envelope, values):
    daemon, mouse = served
    if envelope == "no interface":  # the daemon has to find the method by its name alone
        message = Gio.DBusMessage.new_method_call(SERVICE, OBJECT_PATH, None, "configure")
        message.set_body(GLib.Variant("(bbbbii)", values))
        assert Client(system_bus.address).send(message) == Reply(None, None)
    elif envelope == "no reply wanted":
        message = Gio.DBusMessage.new_method_call(SERVICE, OBJECT_PATH, INTERFACE, "configure")
        message.set_body(GLib.Variant("(bbbbii)", values))
        message.set_flags(Gio.DBusMessageFlags.NO_REPLY_EXPECTED)
        connection = Client(system_bus.address).connection
        connection.send_message(message, Gio.DBusSendMessageFlags.NONE)
        connection.flush_sync(None)
        assert mouse.wait_for_reports(1)
    else:
        read_end, write_end = os.pipe()
        try:
            reply = Client(system_bus.address).call(configure(values), fds=[read_end, write_end])
            assert reply == Reply(None, None)
        finally:
            os.close(read_end)
            os.close(write_end)
    assert daemon.new_lines() == [configure_line(values)]
    assert mouse.reports == [report_for(values)]
    serves_on(system_bus, daemon, mouse)


@pytest.mark.parametrize("call, reply", [
    (configure((True, False, True, True, 1000, 3)), Reply(None, None)),
    (configure((True, False, True, True, 999, 3)), Reply(FAILED, FREQUENCY_REFUSED.format("999"))),
    (get("deviceName"), Reply(None, "Glide M3")),
    (Call(INTERFACE, "configure", "(bbbbiih)", (True, False, True, True, 1000, 3, 0)),
     Reply(ERROR + "UnknownMethod", f"No such method 'configure' in interface '{INTERFACE}' at object path "
                                    f"'{OBJECT_PATH}' (signature 'bbbbiih')")),
], ids=["configure", "refused configure", "property", "descriptor as argument"])
def test_descriptors_sent_with_calls_are_not_kept(served, system_bus, call, reply):
    daemon, mouse = served
    client = Client(system_bus.address)
    before = open_descriptors(daemon.process.pid)
    read_end, write_end = os.pipe()
    try:
        assert [client.call(call, fds=[read_end, write_end]) for _ in range(50)] == [reply] * 50
    finally:
        os.close(read_end)
        os.close(write_end)
    daemon.new_lines()
    serves_on(system_bus, daemon, mouse)  # the last call's message is gone once the next is answered
    assert open_descriptors(daemon.process.pid) == before


# Valid and refused values and both properties, with the reply each must get.
MIX = [configure((True, False, True, True, 125, 1)), configure((False, True, False, True, 1000, 5)),
       configure((True, True, False, False, 250, 3)), configure((False, False, True, False, 500, 4)),
       configure((True, False, True, True, 0, 3)), configure((True, False, True, True, 1000, 6)),
       configure((True, False, True, True, INT_MIN, INT_MAX)), get("devicePresent"), get("deviceName")]


def expected_reply(call):
    if call.member == "Get":
        return Reply(None, {"devicePresent": True, "deviceName": "Glide M3"}[call.args[1]])
    message = refusal(call.args)
    return Reply(FAILED, message) if message else Reply(None, None)


def expected_effects(calls):
    """The lines the daemon prints and the reports the mouse receives for these calls, in any order."""
    lines, reports = Counter(), Counter()
    for call in calls:
        if call.member == "Get":
            lines[PRESENT_LINE if call.args[1] == "devicePresent" else NAME_LINE] += 1
            continue
        lines[configure_line(call.args)] += 1
        if refusal(call.args) is None:
            reports[report_for(call.args)] += 1
    return lines, reports


def test_many_calls_in_flight_from_several_clients(served, system_bus):
    daemon, mouse = served
    bursts = [MIX[i:] + MIX * 9 + MIX[:i] for i in range(4)]  # each client starts somewhere else
    processes = [start_burst(system_bus.address, calls) for calls in bursts]
    tools = ["busctl", "gdbus", "dbus-send"]
    cli_calls = [call for call in MIX if call.member == "configure"] * 2
    with ThreadPoolExecutor(len(tools)) as pool:
        cli_replies = pool.map(lambda tool: [system_bus.configure(c.args, tool) for c in cli_calls], tools)
    for tool, replies in zip(tools, cli_replies):
        expected = [expected_reply(c) for c in cli_calls]
        assert replies == [r._replace(error="") if tool == "busctl" and r.error else r for r in expected], tool
    for process, calls in zip(processes, bursts):
        assert finish_burst(process) == [expected_reply(c) for c in calls]

    lines, reports = expected_effects([c for calls in bursts for c in calls] + cli_calls * len(tools))
    assert Counter(daemon.new_lines()) == lines
    assert Counter(mouse.reports) == reports
    serves_on(system_bus, daemon, mouse)


def test_changes_left_by_a_departed_client_are_carried_out_or_refused(served, system_bus):
    """A change served while its sender is still there is carried out; once the sender has
    left, nobody can tell who it was, so the change is refused. None is lost or sent in part."""
    daemon, mouse = served
    valid = [c for c in MIX if c.member == "configure" and refusal(c.args) is None] * 10
    calls = [c for c in MIX if c.member == "Get"] * 5 + valid
    assert finish_burst(start_burst(system_bus.address, calls, wait=False)) == []
    lines = []

    def refused():
        lines.extend(daemon.new_lines())
        return [line for line in lines if line.endswith("： 无法确认调用者的身份。")]

    assert wait_for(lambda: len(mouse.reports) + len(refused()) == len(valid))
    _, reports = expected_effects(calls)
    assert not Counter(mouse.reports) - reports
    assert Counter(line for line in lines if line not in refused()) == expected_effects(calls)[0]
    serves_on(system_bus, daemon, mouse)
