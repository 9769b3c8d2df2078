# SPDX-License-Identifier: MIT
"""The settings window against root's real daemon on a private system bus and X server: what it says,
what the mouse receives, what it keeps. tests/settings/SettingsWindowTest.cpp drives the window, one
scene per run; this file sets the scene and checks the mouse.
"""

import contextlib
import itertools
import os
import signal
import socket
import subprocess
from collections import namedtuple
from pathlib import Path

import pytest

from buses import MICE, NOBODY, Bus, as_user
from expected import report_for
from mice import DEFAULT_REPORT, WIRED_COMPACT, WIRED_PRO, WIRELESS, Mouse, plug
from mouse_rig import NO_NODE, SEND_FAILS, plain_environment
from polkit_authority import ACTION, PolkitAuthority

BUILD = Path(__file__).resolve().parents[2] / "build"
WINDOW_TEST = Path(os.environ.get("SETTINGS_WINDOW_TEST", BUILD / "tests" / "settings" / "settings-window-test"))
SETTINGS = os.environ.get("VORLIXD_SETTINGS", BUILD / "settings" / "vorlixd-settings")
SCREENSHOTS = WINDOW_TEST.parent / "screenshots"
SHIPPED_POLICY = Path(__file__).resolve().parents[2] / "packaging" / "org.vorlix.mouse.vorlixd.conf"

APPLIED = "The settings were applied and kept."
PARTLY_TAKEN = "The settings were kept, but not every mouse took them."
M3 = "Glide M3 (0xC652)"
A_MOUSE = [Mouse(WIRELESS)]
MISSING = "The mouse service is not installed or not reachable."
NOT_ALLOWED = ("You may not change the mouse settings. An administrator can allow it, for example by adding you to "
               "the group plugdev.")
CHOSEN = (False, True, False, True, 500, 2)  # what appliesChangedSettings chooses: no two neighbours alike
SHOWN_CHOSEN = "false true false true 500 2"
HOSTILE_NAME = '<h1 style="color:red">Unplug me!</h1><img src=/usr/share/icons/x.png>\x1b[31m'
LONG_NAME = "Glide " + "M3" * 60
EARLIER = "liftOffDetection=false\nsmartScrolling=true\nremapWheelPress=true\nremapGestureButton=false\n"
SAVED = EARLIER + "frequency=500\nspeed=3\n"
KEPT_SHOWN = "Showing the settings the service keeps for the mouse."
NO_SYSTEM_BUS = "The system bus cannot be reached: nothing was sent.\n"
USAGE = "Usage: vorlixd-settings [--apply | --help]\n"


def earlier_version_file(config_home, text):
    """Settings saved the way versions before kept settings saved them; returns the file."""
    (config_home / "vorlixd").mkdir()
    file = config_home / "vorlixd" / "vorlixd-settings.conf"
    file.write_text("[General]\n" + text)
    return file


@pytest.fixture
def window(user_environment):
    """window(scene, bus, user=None, language=..., **variables) runs one scene, which must pass."""
    def run(scene, bus, user=None, language="C.UTF-8", **variables):
        result = subprocess.run(as_user(user, [WINDOW_TEST, scene]), capture_output=True, text=True, timeout=120,
                                env=user_environment(bus, language, **variables))
        assert result.returncode == 0, result.stdout + result.stderr
    return run


@contextlib.contextmanager
def scene_that_waits(scene, environment):
    """with scene_that_waits(scene, environment) as go_on: runs a scene until it prints "waiting";
    go_on() lets it finish, and it must pass."""
    process = subprocess.Popen([WINDOW_TEST, scene], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True, env=environment)
    before = list(itertools.takewhile(lambda line: line != "waiting\n", process.stdout))

    def go_on():
        after, _ = process.communicate("\n", timeout=60)
        assert process.returncode == 0, "".join(before) + after
    yield go_on


def apply_saved(environment):
    """Runs `vorlixd-settings --apply`; returns its line and exit code."""
    result = subprocess.run([SETTINGS, "--apply"], capture_output=True, text=True, timeout=60, env=environment)
    return result.stdout, result.returncode


NO_SETTINGS_YET = "Showing the defaults: the service keeps no settings yet."
UNREAD = "Showing the defaults: the settings the service keeps could not be read."
# Each row: the mice, the bus policy (None: no service; "no bus": none reachable), who runs the window, what polkit
# answers everyone (None: no polkit), the administrator's options, the lines shown (source line: before Apply) and
# the language. WindowStateTest.cpp tables which line follows which answer; these keep each way one reaches the window.
Row = namedtuple("Row", "mice service user answer options mouse_line access_line administrator_line "
                 "result_line source_line language",
                 defaults=(A_MOUSE, "open", None, None, None, M3, "", "", APPLIED, NO_SETTINGS_YET, "C"))
WINDOW_ROWS = {
    "applied": Row(),
    # The mice are listed without opening them, so a mouse that cannot be opened is listed too;
    # the serial number comes from the mouse itself.
    "working mouse beside one not openable": Row(
        mice=[Mouse(WIRELESS, fault=NO_NODE), Mouse(WIRED_COMPACT, product="Glide Mini", serial="0042")],
        mouse_line=f"{M3}\nGlide Mini (0xC655, serial number 0042)", result_line=PARTLY_TAKEN),
    "send failed, told by its name": Row(mice=[Mouse(WIRELESS, fault=SEND_FAILS)],
                                         result_line="No mouse took the settings."),
    "no service": Row(service=None, mouse_line=MISSING, source_line=UNREAD,
                      result_line="The mouse service is not installed or not reachable: nothing was sent."),
    "no bus": Row(service="no bus", source_line=UNREAD,
                  mouse_line="The system bus cannot be reached, so the mouse service cannot be asked.",
                  result_line="The system bus cannot be reached: nothing was sent."),
    "polkit says no": Row(service="shipped", user=NOBODY, answer="no", access_line=NOT_ALLOWED, result_line=""),
    "polkit asks for a password": Row(service="shipped", user=NOBODY, answer="challenge",
                                      access_line="You will be asked for a password when you apply."),
    "polkit not there": Row(service="shipped", user=NOBODY,
                            result_line="You may not change the mouse settings: nothing was sent."),
    "name with markup": Row(mice=[Mouse(WIRELESS, product=HOSTILE_NAME)],
                            mouse_line=HOSTILE_NAME.replace("\x1b", "\\x1b") + " (0xC652)"),
    "long name": Row(mice=[Mouse(WIRELESS, product=LONG_NAME)], mouse_line=LONG_NAME + " (0xC652)"),
    "administrator's settings": Row(options='VORLIXD_OPTIONS="--speed 2"\n', administrator_line="The administrator's "
                                    "settings in {} are sent whenever a mouse comes back, in place of the settings "
                                    "kept here."),
    "no mouse, in Chinese": Row(mice=[], mouse_line="没有找到受支持的鼠标。",
                                result_line="没有找到受支持的鼠标：未发送任何内容。",
                                source_line="显示的是默认值：服务尚未保存任何设置。", language="zh_CN"),
}


@pytest.mark.parametrize("row", WINDOW_ROWS.values(), ids=WINDOW_ROWS)
def test_window_says_what_the_service_answers(workdir, mouse_rig, start_daemon, window, row):
    devices = plug(mouse_rig, row.mice)
    bus = Bus(workdir / "bus", **({"policy": "", "includes": [SHIPPED_POLICY]} if row.service == "shipped" else {}))
    authority = PolkitAuthority(bus, row.answer) if row.answer else None
    defaults = workdir / "defaults"
    defaults.write_text(row.options or '#VORLIXD_OPTIONS=""\n')
    try:
        if row.service in ("open", "shipped"):
            start_daemon({**bus.environment(), "STATE_DIRECTORY": str(workdir / "state")})
            assert bus.wait_for_name()
        no_bus = {"DBUS_SYSTEM_BUS_ADDRESS": f"unix:path={workdir}/no-bus"} if row.service == "no bus" else {}
        kept = row.result_line.startswith((APPLIED, PARTLY_TAKEN))
        source_after = KEPT_SHOWN if kept else row.source_line
        window("explainsWhatTheServiceAnswers", bus, row.user, f"{row.language}.UTF-8", **no_bus,
               EXPECTED_MOUSE=row.mouse_line, EXPECTED_ACCESS=row.access_line, EXPECTED_RESULT=row.result_line,
               EXPECTED_ADMINISTRATOR=row.administrator_line.format(defaults), VORLIXD_DEFAULTS_FILE=str(defaults),
               EXPECTED_SOURCE=row.source_line, EXPECTED_SOURCE_AFTER=source_after)
        # Only a mouse said to have taken the settings has them, and only what a mouse took is kept.
        assert [d.reports for d in devices] == [[DEFAULT_REPORT] if kept and not m.fault else []
                                                for m, d in zip(row.mice, devices)]
        assert (workdir / "state" / "kept-settings").exists() == kept
    finally:
        if authority:
            authority.close()
        bus.close()


# An earlier version's file beside kept settings: the kept ones are shown, and the login entry
# of an earlier version leaves sending them to the service.
def test_applied_settings_are_sent_kept_and_shown_again(serve, system_bus, mouse_rig, user_environment, window,
                                                        config_home):
    _, (mouse,) = serve(A_MOUSE)
    with scene_that_waits("appliesChangedSettings", user_environment(system_bus)) as go_on:
        (second,) = plug(mouse_rig, [Mouse(WIRED_PRO, product="Glide Pro")])
        go_on()
    assert mouse.reports == second.reports == [report_for(CHOSEN)]
    earlier_version_file(config_home, EARLIER + "frequency=250\nspeed=4\n")
    window("opensWithTheSavedSettings", system_bus, EXPECTED_SOURCE=KEPT_SHOWN, EXPECTED_SHOWN=SHOWN_CHOSEN)
    assert mouse.reports == [report_for(CHOSEN)]  # neither opening nor Defaults sends anything
    assert apply_saved(user_environment(system_bus)) == (
        "The service sends the settings it keeps whenever a mouse comes back: nothing was sent.\n", 0)
    assert mouse.reports == [report_for(CHOSEN)]


# One mouse of two given its own speed from the window, by keyboard; the other is sent nothing.
# Set back, it gets the kept settings.
def test_one_mouse_its_own_settings(serve, system_bus, user_environment):
    _, (first, second) = serve([Mouse(WIRELESS), Mouse(WIRED_PRO, product="Glide Pro")])
    assert system_bus.configure(CHOSEN, member="configureAndKeep", interface=MICE).error is None
    own = CHOSEN[:5] + (3,)
    with scene_that_waits("givesOneMouseItsOwnSettings", user_environment(system_bus)) as go_on:
        assert (first.reports, second.reports) == ([report_for(CHOSEN)], [report_for(CHOSEN), report_for(own)])
        go_on()
    assert second.reports[-1] == report_for(CHOSEN)


def test_settings_of_an_earlier_version_are_shown_as_far_as_they_can_be_read(serve, system_bus, window, config_home):
    _, (mouse,) = serve(A_MOUSE)
    file = earlier_version_file(config_home, "liftOffDetection=false\nsmartScrolling=true\nremapWheelPress=false\n"
                                "remapGestureButton=false\nfrequency=0\nspeed=0\n")
    before = file.read_text()
    window("opensWithTheSavedSettings", system_bus, EXPECTED_SHOWN="false true false false 1000 3",
           EXPECTED_SOURCE=f"Showing what could be read of the settings you saved with an earlier version in {file}; "
           "the defaults stand in for the rest. That file is left as it is.")
    assert file.read_text() == before and mouse.reports == []


# Settings saved by an earlier version, the administrator's options, the mice, and what
# `--apply` prints, returns and sends (the service keeps nothing, before or after).
@pytest.mark.parametrize("saved, options, mice, line, code, sent", [
    (EARLIER + "frequency=250\nspeed=4\n", None, A_MOUSE, "The saved mouse settings were applied.\n", 0,
     (False, True, True, False, 250, 4)),
    (None, None, A_MOUSE, "No saved mouse settings: nothing was sent.\n", 1, None),
    (EARLIER + "frequency=0\nspeed=0\n", None, A_MOUSE,
     "The saved mouse settings could not be read (frequency, speed): nothing was sent.\n", 1, None),
    (SAVED, None, [], "No supported mouse was found: nothing was sent.\n", 1, None),
    (SAVED, '#VORLIXD_OPTIONS="--speed 2"\nVORLIXD_OPTIONS="--speed 2"\n', A_MOUSE,
     "The administrator's settings in {} apply: nothing was sent.\n", 0, None),
    (SAVED, 'VORLIXD_OPTIONS="--speed 9"\n', A_MOUSE, "The saved mouse settings were applied.\n", 0,
     (False, True, True, False, 500, 3)),
    (SAVED, None, A_MOUSE, NO_SYSTEM_BUS, 1, None),
    (SAVED, None, A_MOUSE, NO_SYSTEM_BUS, 1, None),
], ids=["earlier version's settings", "nothing saved", "damaged file", "no mouse", "administrator's settings",
        "administrator's file invalid", "no bus", "silent bus"])
def test_apply_without_a_window(serve, system_bus, config_home, workdir, user_environment, request, saved, options,
                                mice, line, code, sent):
    _, devices = serve(mice)
    if saved:
        earlier_version_file(config_home, saved)
    defaults = workdir / "defaults"
    defaults.write_text(options or '#VORLIXD_OPTIONS=""\n')
    # A socket nobody listens on, and one that takes connections but never answers them.
    unreachable = {"no bus": "no-bus", "silent bus": "silent-bus"}.get(request.node.callspec.id)
    with socket.socket(socket.AF_UNIX) as silent:
        silent.bind(str(workdir / "silent-bus"))
        silent.listen()
        bus = {"DBUS_SYSTEM_BUS_ADDRESS": f"unix:path={workdir}/{unreachable}"} if unreachable else {}
        environment = user_environment(system_bus, VORLIXD_DEFAULTS_FILE=str(defaults), **bus)
        assert apply_saved(environment) == (line.format(defaults), code)
    assert [d.reports for d in devices] == [[report_for(sent)] if sent else [] for d in devices]
    assert system_bus.get_property("keptSettings", interface=MICE) == "a{sv} 0"  # sending is not keeping


def test_window_follows_a_mouse_that_arrived(serve, system_bus, mouse_rig, user_environment):
    serve([])
    with scene_that_waits("followsAMouseThatArrived", user_environment(system_bus)) as go_on:
        plug(mouse_rig, A_MOUSE)
        kept = system_bus.configure((True, False, True, False, 250, 4), member="configureAndKeep", interface=MICE)
        assert kept.error is None, kept
        go_on()


def test_window_stays_responsive_while_the_service_is_stuck(serve, system_bus, user_environment):
    daemon, (mouse,) = serve(A_MOUSE)
    daemon.process.send_signal(signal.SIGSTOP)
    with scene_that_waits("staysResponsiveWhileTheServiceIsStuck", user_environment(system_bus)) as go_on:
        daemon.process.kill()  # it goes away without answering
        go_on()


def test_focus_asks_polkit_only(serve, system_bus, polkit, window, workdir):
    daemon, _ = serve(A_MOUSE)
    window("focusChangesAskNothingOfTheService", system_bus, NOBODY)
    # One reading when the window opens, nothing for the focus changes.
    assert daemon.new_lines() == ["读取保存的设置： 无", "列出鼠标： 1"]
    # The window asks about itself (a connection of its own, not the service's), never offering a prompt.
    questions = polkit.questions()
    assert len(questions) > 1 and {(kind, name[0], action, flags) for kind, name, action, flags in questions} == {
        ("system-bus-name", ":", ACTION, 0)}
    assert system_bus.unique_name() not in [name for _, name, _, _ in questions]
    assert "Rejected" not in (workdir / "system" / "system.log").read_text()


# The arguments are read before a display is needed: none is given here.
@pytest.mark.parametrize("arguments, output, code", [
    (["--help"], USAGE, 0), (["--bogus"], USAGE, 2), (["--apply", "--help"], USAGE, 2),
    ([], "No display to open the window on.\n", 1),
], ids=["help", "unknown argument", "two arguments", "no display"])
def test_arguments_without_a_display(arguments, output, code):
    environment = {k: v for k, v in plain_environment().items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    result = subprocess.run([SETTINGS, *arguments], capture_output=True, text=True, timeout=60,
                            env={**environment, "LANG": "C.UTF-8"})
    assert (result.stdout + result.stderr, result.returncode) == (output, code)


def test_every_control_is_reachable_by_tab(serve, system_bus, window):
    serve(A_MOUSE)
    window("everyControlIsReachableByTabAndNamed", system_bus)


# From one to four mice, each with a sentence of two lines after Apply at scale 1; four at scale 2.
@pytest.mark.parametrize("count, scale", [(1, "1"), (2, "1"), (3, "1"), (4, "1"), (4, "2")])
def test_window_grows_to_what_it_shows(serve, system_bus, window, count, scale):
    serve([Mouse(WIRELESS, product="Glide M3 " + "M3" * 30, fault=NO_NODE) for _ in range(count)])
    window("growsToWhatItShows", system_bus, MICE=str(count), QT_SCALE_FACTOR=scale)


# Three mice, one of which could not be opened when the settings were kept.
@pytest.mark.parametrize("scale", ["1", "2"])
@pytest.mark.parametrize("language", ["en", "zh_CN"])
def test_screenshot_in_each_language(serve, system_bus, window, language, scale):
    serve([Mouse(WIRELESS), Mouse(WIRED_PRO, product="Glide Pro", fault=NO_NODE),
           Mouse(WIRED_COMPACT, product="Glide Mini " + "M3" * 40)])
    assert system_bus.configure((True, False, True, False, 500, 2), member="configureAndKeep",
                                interface=MICE).error is None
    SCREENSHOTS.mkdir(exist_ok=True)
    path = SCREENSHOTS / f"settings-window-{language}-scale{scale}"
    window("screenshot", system_bus, language=f"{language}.UTF-8", SCREENSHOT=str(path), QT_SCALE_FACTOR=scale,
           EXPECTED_MOUSE=f"{M3}\nGlide Pro (0xC656)\nGlide Mini {'M3' * 40} (0xC655)")
    assert path.with_name(path.name + ".png").stat().st_size > 0
