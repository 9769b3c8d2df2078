# SPDX-License-Identifier: MIT
"""The shipped system-bus policy, loaded by a private system bus, and polkit's say over each
change: who may own the name, read the properties and change the mouse."""

import os
import signal
from pathlib import Path

import pytest

from buses import ERROR, INTERFACE, MICE, NOBODY, OBJECT_PATH, SERVICE, Bus, Reply, reply_of
from mice import WIRELESS, Mouse, plug
from polkit_authority import ACTION, PolkitAuthority

POLICY = Path(__file__).resolve().parents[2] / "packaging" / "org.vorlix.mouse.vorlixd.conf"
ACCESS_DENIED = "org.freedesktop.DBus.Error.AccessDenied"
VALUES = (True, False, True, True, 500, 2)


NOT_ALLOWED = "无权更改鼠标设置。"
NEEDS_PASSWORD = "更改鼠标设置需要先通过身份认证。"
NO_POLKIT = "无法询问 polkit：只有 root 可以更改鼠标设置。"


@pytest.fixture
def policy_bus(workdir, mouse_rig, start_daemon):
    """Root's daemon on a system bus that knows only the shipped policy, with one mouse."""
    bus = Bus(workdir / "system", policy="", includes=[POLICY])
    try:
        (mouse,) = plug(mouse_rig, [Mouse(WIRELESS)])
        daemon = start_daemon(bus.environment())
        assert bus.wait_for_name()
        yield bus, mouse, daemon
    finally:
        bus.close()


def test_only_root_may_own_the_name(policy_bus):
    bus, _, _ = policy_bus
    result = bus.client("dbus-send", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                        "org.freedesktop.DBus.RequestName", f"string:{SERVICE}", "uint32:0", user=NOBODY)
    assert result.stderr.startswith(f"Error {ACCESS_DENIED}:")


@pytest.mark.parametrize("call", [
    ["org.freedesktop.DBus.Introspectable.Introspect"],
    ["org.freedesktop.DBus.Properties.Get", f"string:{INTERFACE}", "string:devicePresent"],
    ["org.freedesktop.DBus.Properties.GetAll", f"string:{INTERFACE}"],
], ids=["introspect", "get", "get all"])
def test_everyone_may_look(policy_bus, call):
    bus, _, _ = policy_bus
    result = bus.client("dbus-send", "--print-reply", f"--dest={SERVICE}", OBJECT_PATH, *call, user=NOBODY)
    assert (result.returncode, result.stderr) == (0, "")


def call(bus, member, args, user=None, interactive=False, interface=INTERFACE):
    """The Reply to a method, called with gdbus (which names the error)."""
    return reply_of("gdbus", bus.client("gdbus", "call", "--dest", SERVICE, "--object-path", OBJECT_PATH,
                                        "--method", f"{interface}.{member}", *(["--interactive"] * interactive),
                                        "--", *(str(a).lower() for a in args), user=user))


# polkit's answer to everyone, or None when polkit is not there; whether the caller lets an
# agent ask for a password; what the caller is told.
@pytest.mark.parametrize("user, answer, interactive, refusal", [
    (None, None, False, None),
    (NOBODY, "yes", False, None),
    (NOBODY, "no", True, NOT_ALLOWED),
    (NOBODY, "challenge", False, NEEDS_PASSWORD),
    (NOBODY, "challenge", True, None),
    (NOBODY, None, False, NO_POLKIT),
], ids=["root without polkit", "allowed", "refused", "password needed", "password given", "polkit unreachable"])
def test_polkit_decides_who_changes_the_mouse(policy_bus, user, answer, interactive, refusal):
    bus, mouse, daemon = policy_bus
    polkit = PolkitAuthority(bus, answer) if answer else None
    try:
        reply = call(bus, "configure", VALUES, user, interactive)
        questions = polkit.questions() if polkit else []
    finally:
        if polkit:
            polkit.close()
    assert reply == Reply(ACCESS_DENIED if refusal else None, refusal)
    assert len(mouse.reports) == (0 if refusal else 1)
    # Asked once, about the caller: a connection of its own, not the service's.
    assert [(kind, name[0], action, flags) for kind, name, action, flags in questions] == (
        [("system-bus-name", ":", ACTION, int(interactive))] if polkit else [])
    assert bus.unique_name() not in [name for _, name, _, _ in questions]
    assert daemon.lines()[-1].endswith(f"： {refusal}") if refusal else "已拒绝" not in daemon.lines()[-1]


# Keeping and forgetting settings are changes too; only reading them is open to all.
@pytest.mark.parametrize("member, args", [("configureAndKeep", VALUES), ("forgetKeptSettings", ())])
def test_keeping_and_forgetting_ask_polkit_too(policy_bus, member, args):
    bus, mouse, _ = policy_bus
    assert call(bus, "configureAndKeep", (False, False, False, False, 125, 1), interface=MICE) == Reply(None, None)
    kept = bus.get_property("keptSettings", user=NOBODY, interface=MICE)
    polkit = PolkitAuthority(bus, "no")
    try:
        assert call(bus, member, args, NOBODY, interface=MICE) == Reply(ERROR + "NotAllowed", NOT_ALLOWED)
    finally:
        polkit.close()
    assert bus.get_property("keptSettings", user=NOBODY, interface=MICE) == kept
    assert len(mouse.reports) == 1


# A caller that left before the service asked the bus who it was can no longer be told apart
# from root: it is refused. The service is held still while the caller sends and leaves.
def test_a_caller_that_left_is_refused(policy_bus):
    bus, mouse, daemon = policy_bus
    os.kill(daemon.process.pid, signal.SIGSTOP)
    try:
        sent = bus.client("dbus-send", "--type=method_call", f"--dest={SERVICE}", OBJECT_PATH,
                          f"{INTERFACE}.configure", "boolean:true", "boolean:false", "boolean:true", "boolean:true",
                          "int32:500", "int32:2", user=NOBODY)
    finally:
        os.kill(daemon.process.pid, signal.SIGCONT)
    assert sent.returncode == 0
    assert bus.get_property("devicePresent") == "b true"  # the call before this one was answered
    assert daemon.lines()[-2].endswith("： 无法确认调用者的身份。")
    assert mouse.reports == []


def test_nothing_else_is_opened(policy_bus):
    bus, _, _ = policy_bus
    result = bus.client("dbus-send", "--print-reply", f"--dest={SERVICE}", OBJECT_PATH,
                        "org.freedesktop.DBus.Properties.Set", f"string:{INTERFACE}", "string:devicePresent",
                        "variant:boolean:false", user=NOBODY)
    assert result.stderr.startswith(f"Error {ACCESS_DENIED}:")
