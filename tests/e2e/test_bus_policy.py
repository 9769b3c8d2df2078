# SPDX-License-Identifier: MIT
"""The shipped system-bus policy, loaded by a private system bus: who may own the name,
read the properties and change the mouse."""

import grp
from pathlib import Path

import pytest

from buses import INTERFACE, NOBODY, OBJECT_PATH, SERVICE, Bus
from mice import WIRELESS, Mouse, plug

POLICY = Path(__file__).resolve().parents[2] / "packaging" / "org.vorlix.mouse.vorlixd.conf"
PLUGDEV = grp.getgrnam("plugdev").gr_gid
ACCESS_DENIED = "org.freedesktop.DBus.Error.AccessDenied"
VALUES = (True, False, True, True, 500, 2)


@pytest.fixture
def policy_bus(workdir, mouse_rig, start_daemon):
    """Root's daemon on a system bus that knows only the shipped policy, with one mouse."""
    bus = Bus(workdir / "system", policy="", includes=[POLICY])
    try:
        (mouse,) = plug(mouse_rig, [Mouse(WIRELESS)])
        start_daemon(bus.environment())
        assert bus.wait_for_name()
        yield bus, mouse
    finally:
        bus.close()


def test_only_root_may_own_the_name(policy_bus):
    bus, _ = policy_bus
    result = bus.client("dbus-send", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                        "org.freedesktop.DBus.RequestName", f"string:{SERVICE}", "uint32:0", user=NOBODY)
    assert result.stderr.startswith(f"Error {ACCESS_DENIED}:")


@pytest.mark.parametrize("call", [
    ["org.freedesktop.DBus.Introspectable.Introspect"],
    ["org.freedesktop.DBus.Properties.Get", f"string:{INTERFACE}", "string:devicePresent"],
    ["org.freedesktop.DBus.Properties.GetAll", f"string:{INTERFACE}"],
], ids=["introspect", "get", "get all"])
def test_everyone_may_look(policy_bus, call):
    bus, _ = policy_bus
    result = bus.client("dbus-send", "--print-reply", f"--dest={SERVICE}", OBJECT_PATH, *call, user=NOBODY)
    assert (result.returncode, result.stderr) == (0, "")


@pytest.mark.parametrize("user, groups, error, reports", [
    (None, (), None, 1),
    (NOBODY, (PLUGDEV,), None, 1),
    (NOBODY, (), ACCESS_DENIED, 0),
], ids=["root", "plugdev member", "other user"])
def test_changing_the_mouse_needs_root_or_plugdev(policy_bus, user, groups, error, reports):
    bus, mouse = policy_bus
    assert bus.configure(VALUES, "dbus-send", user=user, groups=groups).error == error
    assert len(mouse.reports) == reports


def test_nothing_else_is_opened(policy_bus):
    bus, _ = policy_bus
    result = bus.client("dbus-send", "--print-reply", f"--dest={SERVICE}", OBJECT_PATH,
                        "org.freedesktop.DBus.Properties.Set", f"string:{INTERFACE}", "string:devicePresent",
                        "variant:boolean:false", user=NOBODY, groups=(PLUGDEV,))
    assert result.stderr.startswith(f"Error {ACCESS_DENIED}:")
