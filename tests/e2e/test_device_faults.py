# SPDX-License-Identifier: MIT
"""The mouse misbehaves while one daemon runs: it vanishes, comes back under a new node, is
replaced, cannot be opened, hides its name, fails a send. Each scenario is a table of steps,
each step a change to the mouse or a call with the reply, the lines and the reports it must give.
Last, names that are not plain text, and names with control characters in them."""

from collections import namedtuple

import pytest

from buses import FAILED, MICE, Reply
from expected import (FREQUENCY_REFUSED, NAME_UNREADABLE, NO_MOUSE, OPEN_FAILED, SEND_FAILED, configure_line,
                      report_for)
from gio_client import Client, get, configure as configure_call
from mice import WIRED_PRO, WIRELESS, Mouse, plug
from mouse_rig import NO_NODE, SEND_FAILS, SEND_FAILS_ONCE, STRINGS_UNREADABLE

# A call, what it must answer, the daemon's lines for it, and per mouse (by plug-in order)
# the reports received and the reports refused.
Step = namedtuple("Step", "call reply lines received refused", defaults=({}, {}))

A, B, C = (True, False, True, True, 500, 2), (False, True, False, False, 125, 5), (True, True, True, False, 1000, 1)
WIRED = Mouse(WIRED_PRO, product="Glide M3 Wired")


def present(error=None):
    if error:
        return Step("devicePresent", "b false", ["checking mouse presence: ", f"HID错误: {error}"])
    return Step("devicePresent", "b true", ["checking mouse presence: present"])


def name(text="Glide M3", error=None):
    if error:
        return Step("deviceName", 's ""', ["读取鼠标名称： ", f"HID错误: {error}"])
    return Step("deviceName", f's "{text}"', [f"读取鼠标名称： {text}"])


def configure(values, error=None, mouse=0):
    """A valid configure: sent to `mouse`, or failed with the mouse error (a failed send is refused by it)."""
    if error is None:
        return Step(values, Reply(None, None), [configure_line(values)], {mouse: [report_for(values)]})
    refused = {mouse: [report_for(values)]} if error == SEND_FAILED else {}
    return Step(values, Reply(FAILED, error), [configure_line(values), f"HID错误: {error}"], {}, refused)


# Changes to the mice between calls, by name.
CHANGES = {
    "unplug": lambda rig, mice: rig.unplug(mice[0]),
    "replug": lambda rig, mice: rig.replug(mice[0]),
    "plug in the wired mouse": lambda rig, mice: mice.extend(plug(rig, [WIRED])),
    "node unopenable": lambda rig, mice: setattr(mice[0], "fault", NO_NODE),
    "name unreadable": lambda rig, mice: setattr(mice[0], "fault", STRINGS_UNREADABLE),
    "send fails once": lambda rig, mice: setattr(mice[0], "fault", SEND_FAILS_ONCE),
    "sends fail": lambda rig, mice: setattr(mice[0], "fault", SEND_FAILS),
    "fault cleared": lambda rig, mice: setattr(mice[0], "fault", None),
}

GONE = [present(NO_MOUSE), name(error=NO_MOUSE), configure(B, NO_MOUSE)]
BACK = [present(), name(), configure(B)]

SCENARIOS = {
    # Each return brings a new /dev/hidrawN; the old node answers nothing any more.
    "vanishes and comes back": [configure(A), "unplug", *GONE, "replug", *BACK,
                                "unplug", *GONE, "replug", *BACK, configure(C)],
    "replaced by another mouse": [configure(A), "unplug", "plug in the wired mouse",
                                  present(), name("Glide M3 Wired"), configure(B, mouse=1)],
    "returns ahead of a mouse plugged in meanwhile": [
        "unplug", "plug in the wired mouse", configure(A, mouse=1), "replug",
        name(), configure(B, mouse=0)],  # the wireless one ranks first
    "a send fails once": ["send fails once", configure(A, SEND_FAILED), configure(B), present(), configure(C)],
    # A refused value never reaches the mouse, so the failure waits for the next valid call.
    "a send fails once after a refusal": [
        "send fails once", Step((True, False, True, True, 0, 3), Reply(FAILED, FREQUENCY_REFUSED.format(0)),
                                [configure_line((True, False, True, True, 0, 3))]),
        present(), configure(A, SEND_FAILED), configure(B)],
    "sends fail until they work again": ["sends fail", configure(A, SEND_FAILED), configure(B, SEND_FAILED),
                                         "fault cleared", configure(C)],
    "node cannot be opened for a while": ["node unopenable", present(OPEN_FAILED), name(error=OPEN_FAILED),
                                          configure(A, OPEN_FAILED), "fault cleared", *BACK],
    "name cannot be read for a while": ["name unreadable", present(), name(error=NAME_UNREADABLE), configure(A),
                                        "fault cleared", name(), configure(B)],
}


def call(bus, step):
    if isinstance(step.call, str):
        return bus.get_property(step.call)
    return bus.configure(step.call, "gdbus")


@pytest.mark.parametrize("steps", SCENARIOS.values(), ids=SCENARIOS)
def test_one_daemon_follows_the_mouse_through_faults(mouse_rig, system_bus, serve, steps):
    daemon, mice = serve([Mouse(WIRELESS)])
    for number, step in enumerate(steps):
        if isinstance(step, str):
            CHANGES[step](mouse_rig, mice)
            continue
        before = [(len(mouse.reports), len(mouse.rejected)) for mouse in mice]
        reply = call(system_bus, step)
        received = {i: mouse.reports[n:] for i, (mouse, (n, _)) in enumerate(zip(mice, before)) if mouse.reports[n:]}
        refused = {i: mouse.rejected[n:] for i, (mouse, (_, n)) in enumerate(zip(mice, before)) if mouse.rejected[n:]}
        assert (reply, daemon.new_lines(), received, refused) == step[1:], f"step {number}: {step.call}"
    assert daemon.running()


# A name as the mouse reports it, in bytes, and what deviceName must answer: the name itself,
# "" for bytes that are not text, or (None) any answer at all, as long as it is valid text:
# a reply that is not would cost the daemon its bus connection.
@pytest.mark.parametrize("raw, answer", [
    ("Glide ✦ 鼠标 \U0001F5B1".encode(), "Glide ✦ 鼠标 \U0001F5B1"),
    (b"Glide\nM3", "Glide\nM3"),
    (b"Glide \xff\xfe M3", ""),
    (b"Gl\xed\xa0\x80ide", ""),
    (b"Glide \xc3", ""),
    (b"Glide \xf4\x90\x80\x80", None),
], ids=["beyond the first plane", "line break", "stray bytes", "surrogate", "cut character",
        "beyond the last code point"])
def test_names_that_are_not_plain_text_are_answered_and_serving_goes_on(mouse_rig, system_bus, serve, raw, answer):
    _, (mouse,) = serve([Mouse(WIRELESS)])
    mouse_rig.testbed.set_attribute_binary(f"/sys{mouse.usb_path}", "product", raw)
    client = Client(system_bus.address)
    reply = client.call(get("deviceName"))
    assert reply.error is None and isinstance(reply.message, str)
    assert answer is None or reply.message == answer
    assert client.call(configure_call(A)) == Reply(None, None)
    assert mouse.reports == [report_for(A)]


# A name with control or format characters or unusual spaces in it, and how both modes print it:
# as \xNN or \uNNNN, so that a name can neither drive the terminal nor reorder or forge a line of
# the log, nor pass one space for another. deviceName and the list of mice answer the name unchanged.
PRINTED_NAMES = {
    "escape sequences": ("Glide\x1b[2J\x1b[31m M3", "Glide\\x1b[2J\\x1b[31m M3"),
    "forged line": ("Glide M3\nHID错误: 无法发送功能报文。", "Glide M3\\x0aHID错误: 无法发送功能报文。"),
    "bell, tab, carriage return": ("\aGlide\tM3\r!", "\\x07Glide\\x09M3\\x0d!"),
    "C1 controls, delete": ("Glide\x85\x9b2J\x7f M3", "Glide\\x85\\x9b2J\\x7f M3"),
    "edges of the control ranges": ("\x1fGlide\x20M3~\x9f\xa1!", "\\x1fGlide M3~\\x9f\xa1!"),
    "spaces other than U+0020": ("Glide\xa0M3\u3000\u2009!", "Glide\\u00a0M3\\u3000\\u2009!"),
    "Chinese unchanged": ("滑翔鼠标 M3 ✦", "滑翔鼠标 M3 ✦"),
    "right-to-left override": ("Glide \u202eM3 evil\u202c end", "Glide \\u202eM3 evil\\u202c end"),
    "marks and isolates": ("\u200f\u061c\u2066Glide\u2069\u200e", "\\u200f\\u061c\\u2066Glide\\u2069\\u200e"),
    "zero-width characters": ("\ufeffGl\u200bi\u200dd\u2060e", "\\ufeffGl\\u200bi\\u200dd\\u2060e"),
    "line and paragraph separators": ("Glide\u2028M3\u2029end", "Glide\\u2028M3\\u2029end"),
    "format character beyond U+FFFF": ("Glide\U000e0041", "Glide\\U000e0041"),
}


@pytest.mark.parametrize("name, printed", PRINTED_NAMES.values(), ids=PRINTED_NAMES)
def test_names_are_printed_with_control_characters_escaped(mouse_rig, system_bus, serve, vorlixd, name, printed):
    daemon, _ = serve([Mouse(WIRELESS, manufacturer=name, product=name)])
    one_shot = mouse_rig.run([vorlixd])
    assert one_shot.stdout.splitlines() == ["vorlixd", "鼠标已打开...", f"制造商：{printed}", f"产品名称：{printed}"]
    client = Client(system_bus.address)
    assert client.call(get("deviceName")) == Reply(None, name)
    assert daemon.new_lines() == [f"读取鼠标名称： {printed}"]
    assert [mouse["productName"] for mouse in client.call(get("mice", MICE)).message] == [name]
