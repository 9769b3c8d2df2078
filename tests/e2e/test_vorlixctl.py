# SPDX-License-Identifier: MIT
"""vorlixctl, the service's command-line client, against root's service on a private system bus:
each case, the mice and the commands run in turn, each with what it prints, its exit status and
the reports the mice got so far."""

import json
import os
import select
import subprocess

import pytest

from buses import NOBODY, Bus, as_user
from expected import SPEED_REFUSED, report_for
from mice import WIRED_PRO, WIRELESS, Mouse
from mouse_rig import SEND_FAILS
from polkit_authority import PolkitAuthority

DEFAULTS = (True, False, True, True, 1000, 3)
A_TOOK = "Glide M3 (0xC652, serial number A), USB device 1-01: took the settings."
A_LEFT = "Glide M3 (0xC652, serial number A), USB device 1-01: keeps its own settings, and was left as it is."
A_FOLLOWS = "Glide M3 (0xC652, serial number A), USB device 1-01: follows the kept settings again."
P_TOOK = "Glide M3 (0xC656, serial number P), USB device 1-02: took the settings."
OWN = DEFAULTS[:5] + (5,)


def vorlixctl(vorlixd, bus, *args, user=None, stdin=None):
    """vorlixctl run as `user` against the bus, in English, without the mice's preload."""
    program = os.path.join(os.path.dirname(os.path.dirname(vorlixd)), "vorlixctl", "vorlixctl")
    environment = {name: value for name, value in os.environ.items() if name not in ("LD_PRELOAD", "UMOCKDEV_DIR")}
    return subprocess.run(as_user(user, [program, *args]), env={**environment, "LANG": "C.UTF-8", **bus.environment()},
                          input=stdin, capture_output=True, text=True, timeout=60)


# Each step: the arguments, then the exit status and the lines printed (standard output, then
# standard error), then the settings each mouse has been sent so far.
CASES = {
    "keep changes only what is given": (
        [Mouse(WIRELESS, serial="A")],
        [(["keep", "--frequency", "250"], 0, [A_TOOK], [(True, False, True, True, 250, 3)]),
         (["keep", "--speed", "4"], 0, [A_TOOK],
          [(True, False, True, True, 250, 3), (True, False, True, True, 250, 4)])]),
    "a refused value sends nothing": (
        [Mouse(WIRELESS, serial="A")],
        [(["keep", "--speed", "9"], 6, ["命令行错误： " + SPEED_REFUSED.format(9)], [])]),
    "a mouse that does not take them is named": (
        [Mouse(WIRELESS, serial="A"), Mouse(WIRED_PRO, serial="P", fault=SEND_FAILS)],
        [(["keep"], 1, [A_TOOK, "Glide M3 (0xC656, serial number P), USB device 1-02: did not take them: it took only "
                                "part of the report, or none."], [DEFAULTS])]),
    "a wrong command prints the usage": ([], [(["fetch"], 6, None, [])]),
    "forget": ([], [(["forget"], 0, ["No settings are kept any more."], [])]),
    "one mouse its own settings, left as it is by a keep for all": (
        [Mouse(WIRELESS, serial="A"), Mouse(WIRED_PRO, serial="P")],
        [(["keep", "--mouse", "A", "--speed", "5"], 0, [A_TOOK], [OWN]),
         (["keep", "--speed", "4"], 0, [A_LEFT, P_TOOK], [OWN]),
         (["forget", "--mouse", "1-01"], 0, [A_FOLLOWS], [OWN, (True, False, True, True, 1000, 4)])]),
    "a mouse named twice or not at all": (
        [Mouse(WIRELESS, serial="A"), Mouse(WIRELESS, serial="B")],
        [(["keep", "--mouse", "glide", "--speed", "5"], 6,
          ["glide names more than one mouse: Glide M3 (0xC652, serial number A), USB device 1-01; Glide M3 (0xC652, "
           "serial number B), USB device 1-02."], []),
         (["forget", "--mouse", "9-9"], 6, ["No supported mouse is 9-9."], [])]),
}


@pytest.mark.parametrize("mice, steps", CASES.values(), ids=CASES)
def test_vorlixctl(serve, system_bus, vorlixd, mice, steps):
    _, devices = serve(mice)
    for args, status, lines, sent in steps:
        result = vorlixctl(vorlixd, system_bus, *args)
        assert result.returncode == status, result.stderr
        if lines is not None:
            assert (result.stdout + result.stderr).splitlines() == lines
        else:
            assert result.stderr.startswith("Usage: vorlixctl")
        assert (devices[0].reports if devices else []) == [report_for(values) for values in sent]


# list and list --json: two mice, one of which did not take its last send.
def test_list(serve, system_bus, vorlixd):
    serve([Mouse(WIRELESS, serial="A"), Mouse(WIRED_PRO, serial="P", fault=SEND_FAILS)])
    vorlixctl(vorlixd, system_bus, "keep", "--speed", "2")
    text = vorlixctl(vorlixd, system_bus).stdout.splitlines()
    assert text[:2] == ["Glide M3 (0xC652, serial number A)", "  USB device 1-01"]
    assert text[2].startswith("  Took the kept settings through the service, ")
    assert text[3] == "  Follows the kept settings; its own would be kept for c652/serial/A"
    assert text[6].startswith("  Did not take the kept settings through the service, ")
    assert text[8:] == ["Kept settings: --lift-off-detection true --smart-scrolling false --remap-wheel-press true "
                        "--remap-gesture-button true --frequency 1000 --speed 2"]
    listed = json.loads(vorlixctl(vorlixd, system_bus, "list", "--json").stdout)
    assert (listed["version"], listed["keptSettings"]["speed"], listed["administratorWins"]) == (1, 2, False)
    assert [(m["usbDevice"], m["productId"], m["serialNumber"], m["sentBy"], m["sentFrom"], m["sendError"],
             m["sentSettings"]["speed"], m["identity"], m["ownSettings"]) for m in listed["mice"]] == [
        ("1-01", WIRELESS, "A", "service", "family", "", 2, "c652/serial/A", {}),
        ("1-02", WIRED_PRO, "P", "service", "family", "org.vorlix.mouse.vorlixd.Error.SendFailed", 2, "c656/serial/P",
         {})]


# Exported, forgotten and imported again, the kept settings and each mouse's own are what they were.
def test_export_forget_import(serve, system_bus, vorlixd):
    serve([Mouse(WIRELESS), Mouse(WIRED_PRO, serial="P")])
    vorlixctl(vorlixd, system_bus, "keep", "--smart-scrolling", "true", "--frequency", "500")
    vorlixctl(vorlixd, system_bus, "keep", "--mouse", "P", "--speed", "1")
    exported = vorlixctl(vorlixd, system_bus, "export").stdout
    before = system_bus.get_property("keptSettings", interface="org.vorlix.mouse.vorlixd.Mice")
    assert vorlixctl(vorlixd, system_bus, "forget").returncode == 0
    assert vorlixctl(vorlixd, system_bus, "forget", "--mouse", "P").returncode == 0
    assert vorlixctl(vorlixd, system_bus, "import", "-", stdin=exported).returncode == 0
    assert system_bus.get_property("keptSettings", interface="org.vorlix.mouse.vorlixd.Mice") == before
    own = {**json.loads(exported)["keptSettings"], "speed": 1}
    assert [m["ownSettings"] for m in json.loads(vorlixctl(vorlixd, system_bus, "list", "--json").stdout)["mice"]] == [
        {}, own]
    assert vorlixctl(vorlixd, system_bus, "import", "-", stdin='{"version": 1, "keptSettings": {"speed": 9}}'
                     ).returncode == 6


# monitor --json prints the state it starts from, then an object for a mouse plugged in and for a
# keep made by another client.
def test_monitor(serve, system_bus, vorlixd, mouse_rig):
    serve([])
    program = os.path.join(os.path.dirname(os.path.dirname(vorlixd)), "vorlixctl", "vorlixctl")
    monitor = subprocess.Popen([program, "monitor", "--json"], env={**os.environ, **system_bus.environment(),
                                                                    "LD_PRELOAD": ""},
                               stdout=subprocess.PIPE, text=True)

    def next_state():
        assert select.select([monitor.stdout], [], [], 30)[0], "the monitor said nothing"
        return json.loads(monitor.stdout.readline())

    try:
        assert next_state()["mice"] == []
        mouse_rig.add(0x256F, WIRELESS, serial="A")
        assert [m["serialNumber"] for m in next_state()["mice"]] == ["A"]
        system_bus.configure(DEFAULTS, "gdbus", member="configureAndKeep", interface="org.vorlix.mouse.vorlixd.Mice")
        assert next_state()["keptSettings"]["speed"] == 3
    finally:
        monitor.terminate()
        monitor.wait()


# Without the service, or for a caller polkit refuses without asking, one line says so.
def test_no_service_and_refused(serve, system_bus, vorlixd, workdir):
    empty = Bus(workdir / "empty")
    try:
        result = vorlixctl(vorlixd, empty, "list")
        assert (result.returncode, result.stderr) == (1, "The mouse service is not installed or not reachable.\n")
    finally:
        empty.close()
    _, (mouse,) = serve([Mouse(WIRELESS)])
    polkit = PolkitAuthority(system_bus, "challenge")
    try:
        result = vorlixctl(vorlixd, system_bus, "keep", "--no-ask-password", user=NOBODY)
    finally:
        polkit.close()
    assert (result.returncode, result.stderr) == (4, "You may not change the mouse settings: nothing was sent.\n")
    assert mouse.reports == []
