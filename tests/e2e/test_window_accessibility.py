# SPDX-License-Identifier: MIT
"""The settings window as a screen reader reads it over the accessibility bus (AT-SPI), served by
root's real daemon. Only the accessible tree is read, never the widgets: what a screen-reader user gets.
"""

import json
import os
import re
import signal
import subprocess
import time
from pathlib import Path

import pytest

from buses import MICE, Bus
from mice import WIRED_COMPACT, WIRED_PRO, WIRELESS, Mouse
from mouse_rig import NO_NODE, plain_environment

BUILD = Path(__file__).resolve().parents[2] / "build"
SETTINGS = os.environ.get("VORLIXD_SETTINGS", BUILD / "settings" / "vorlixd-settings")
READER = Path(__file__).with_name("accessible_tree.py")
SCREEN = (1280, 1024)  # the display fixture's, in pixels
AT = r"(\d{4}-\d\d-\d\d )?\d\d:\d\d"  # when, as a row tells it

LONG_NAME = "Glide Mini " + "M3" * 40  # cut short on the screen, whole to a screen reader
TOOK = "Took the kept settings through the service, {at}."
# Each mouse served, its row's name, and its row's description: what it was last sent, {at} when.
MOUSE_ROWS = [(Mouse(WIRELESS), "Glide M3 (0xC652)", TOOK),
              (Mouse(WIRED_PRO, product="Glide Pro", fault=NO_NODE), "Glide Pro (0xC656)",
               "Did not take the kept settings through the service, {at}: it could not be opened. Apply to try again."),
              (Mouse(WIRED_COMPACT, product=LONG_NAME), f"{LONG_NAME} (0xC655)", TOOK)]

# Every control, whether this scene shows it or not: its role, and the name a screen reader says for it.
CONTROLS = [("combo box", "Polling rate"), ("combo box", "Settings for"), ("slider", "Pointer speed"),
            *(("check box", name) for name in ("Lift-off detection", "Smart scrolling", "Remap wheel press",
                                               "Remap gesture button")),
            *(("push button", name) for name in ("Apply", "Defaults", "Follow the kept settings"))]


@pytest.fixture
def desktop(display, workdir):
    """The accessibility bus and a window manager on the display; the window's and the reader's environment."""
    runtime = workdir / "runtime"  # the accessibility bus's socket, never in a folder other runs share
    runtime.mkdir(mode=0o700)
    session = Bus(workdir / "session", kind="session")
    environment = {**plain_environment(), **session.environment(), "DISPLAY": display, "XDG_RUNTIME_DIR": str(runtime),
                   "XDG_CACHE_HOME": str(workdir / "cache"), "GSETTINGS_BACKEND": "memory"}
    # The bus and its registry stay in the launcher's process group. Given the display, the launcher would
    # set the bus's name on the root window and remove it at moments of its own: it is set here instead.
    launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                env={k: v for k, v in environment.items() if k != "DISPLAY"}, start_new_session=True,
                                stderr=subprocess.DEVNULL)
    manager = subprocess.Popen(["openbox", "--sm-disable"], env=environment, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        # As on a desktop, the window opens under a window manager that is already there.
        deadline = time.monotonic() + 30
        while "window id" not in root_window("_NET_SUPPORTING_WM_CHECK", environment=environment):
            assert manager.poll() is None and time.monotonic() < deadline, "the window manager did not start"
            time.sleep(0.05)
        # Qt 5's bridge connects at once to the bus named on the root window; told it only on the
        # session bus, it may register before it is connected, and the window is never listed.
        assert session.wait_for_name("org.a11y.Bus")
        reply = session.client("busctl", "call", "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress")
        root_window("-f", "AT_SPI_BUS", "8s", "-set", "AT_SPI_BUS", reply.stdout.split('"')[1], environment=environment)
        yield environment
    finally:
        root_window("-remove", "AT_SPI_BUS", environment=environment)  # the display outlives this desktop
        manager.terminate()
        manager.wait(timeout=10)
        os.killpg(launcher.pid, signal.SIGTERM)
        launcher.wait(timeout=10)
        session.close()


def root_window(*arguments, environment):
    return subprocess.run(["xprop", "-root", *arguments], env=environment, check=True, capture_output=True,
                          text=True).stdout


def faults(tree, scale):
    """What the accessible tree gets wrong, one line each; none once the window is as it should be."""
    if tree is None:
        return ["the window is not on the accessibility bus"]
    found = []
    for _, name, words in MOUSE_ROWS:
        described = re.compile(re.escape(words).replace(re.escape("{at}"), AT))
        rows = [node for node in tree if node["name"] == name and described.fullmatch(node["description"])]
        if len(rows) != 1:
            found.append(f"{len(rows)} accessibles named {name!r} and described as {words!r}")

    # A combo box's items are its values, chosen with arrow keys; a line whose text may be selected is no control.
    controls = [node for node in tree if node["focusable"] and node["role"] != "label"
                and "combo box" not in node["within"]]
    said = sorted((node["role"], node["spoken"]) for node in controls)
    if said != sorted(CONTROLS):
        found.append(f"the focusable controls are {said}")

    # Every button shown is on the screen, in Qt's pixels (the screen's divided by the scale). Scaled, a frame
    # of an odd number of the screen's pixels is a fraction of Qt's: the window may stand half a pixel lower.
    width, height = (side // scale + (scale > 1) for side in SCREEN)
    for button in (node for node in controls if node["role"] == "push button" and node["visible"]):
        x, y, w, h = button["extents"]
        if not (button["showing"] and w > 0 and h > 0 and x >= 0 and y >= 0 and x + w <= width and y + h <= height):
            found.append(f"{button['spoken']!r} is not on the {width}x{height} screen: {button}")
    return found


def accessible_tree(environment):
    """Every accessible under the window, or None while it is not listed."""
    result = subprocess.run(["/usr/bin/python3", READER, "vorlixd-settings"], capture_output=True, text=True,
                            timeout=60, env=environment)
    return json.loads(result.stdout) if result.returncode == 0 else None


@pytest.mark.parametrize("scale", [1, 2])
def test_a_screen_reader_reaches_the_whole_window(serve, system_bus, user_environment, desktop, scale):
    serve([mouse for mouse, _, _ in MOUSE_ROWS])
    assert system_bus.configure((True, False, True, False, 500, 2), member="configureAndKeep",
                                interface=MICE).error is None
    window = subprocess.Popen([SETTINGS], env=user_environment(
        system_bus, **desktop, QT_ACCESSIBILITY="1", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_SCALE_FACTOR=str(scale)))
    # The window fills in as the service answers, and moves once it has grown: read until it has settled.
    deadline = time.monotonic() + 60
    try:
        while faults(tree := accessible_tree(desktop), scale) and time.monotonic() < deadline:
            time.sleep(0.2)
    finally:
        window.terminate()
        window.wait(timeout=10)
    assert faults(tree, scale) == []
