# SPDX-License-Identifier: MIT
"""The settings window against root's real daemon on a private system bus, on a private
X server: what it says, what the mouse receives, what it keeps for the next time.

The window itself is driven by the QTest program tests/settings/SettingsWindowTest.cpp,
one scene per run; this file sets the scene and checks the mouse.
"""

import os
import subprocess
from pathlib import Path

import pytest

from buses import NOBODY, Bus, as_user
from expected import OPEN_FAILED, report_for
from mice import DEFAULT_REPORT, WIRELESS, Mouse, plug
from mouse_rig import NO_NODE

BUILD = Path(__file__).resolve().parents[2] / "build"
WINDOW_TEST = Path(os.environ.get("SETTINGS_WINDOW_TEST", BUILD / "tests" / "settings" / "settings-window-test"))
SETTINGS = os.environ.get("VORLIXD_SETTINGS", BUILD / "settings" / "vorlixd-settings")
SCREENSHOTS = WINDOW_TEST.parent / "screenshots"
LEAK_SUPPRESSIONS = Path(__file__).resolve().parents[1] / "settings" / "leak-sanitizer.supp"
SHIPPED_POLICY = Path(__file__).resolve().parents[2] / "packaging" / "org.vorlix.mouse.vorlixd.conf"

APPLIED = "The settings were applied."
NO_MOUSE = "No supported mouse was found."
UNREACHABLE = "The mouse service is not installed or not reachable."
NOT_ALLOWED = ("You may not change the mouse settings. Ask an administrator to add you to the group plugdev, "
               "then log in again.")
CHOSEN = (True, True, True, True, 500, 2)  # what appliesChangedSettings chooses


def plain_environment():
    """This process's environment without umockdev's preload: only the daemon sees the mice."""
    return {k: v for k, v in os.environ.items()
            if k not in ("LD_PRELOAD", "UMOCKDEV_DIR", "LANGUAGE", "LC_ALL", "LC_MESSAGES")}


@pytest.fixture(scope="module")
def display():
    server = subprocess.Popen(["Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                              env=plain_environment())
    yield ":" + server.stdout.readline().strip()
    server.terminate()
    server.wait(timeout=10)


@pytest.fixture
def config_home(workdir):
    """The XDG config folder of the user at the window (nobody may write there too)."""
    folder = workdir / "config"
    folder.mkdir()
    os.chown(folder, NOBODY, NOBODY)
    return folder


@pytest.fixture
def user_environment(display, config_home):
    def environment(bus, language="C.UTF-8", **extra):
        # No OpenGL: the window draws without it, and the GL driver leaks at exit in the sanitizer build.
        return {**plain_environment(), **bus.environment(), "DISPLAY": display, "QT_QPA_PLATFORM": "xcb",
                "QT_XCB_GL_INTEGRATION": "none",
                "LSAN_OPTIONS": f"suppressions={LEAK_SUPPRESSIONS}:print_suppressions=0",
                "XDG_CONFIG_HOME": str(config_home), "LANG": language, **extra}
    return environment


@pytest.fixture
def window(user_environment):
    """window(scene, bus, user=None, language=..., **variables) runs one scene of the window test."""
    def run(scene, bus, user=None, language="C.UTF-8", **variables):
        result = subprocess.run(as_user(user, [WINDOW_TEST, scene]), capture_output=True, text=True, timeout=120,
                                env=user_environment(bus, language, **variables))
        assert result.returncode == 0, result.stdout + result.stderr
    return run


@pytest.fixture
def apply_saved(user_environment):
    """Runs `vorlixd-settings --apply`; returns its line and exit code."""
    def run(bus):
        result = subprocess.run([SETTINGS, "--apply"], capture_output=True, text=True, timeout=60,
                                env=user_environment(bus))
        return result.stdout, result.returncode
    return run


@pytest.mark.parametrize("mice, service, user, mouse_line, access_line, result_line", [
    ([Mouse(WIRELESS)], "open", None, "Glide M3", "", APPLIED),
    ([], "open", None, NO_MOUSE, "", NO_MOUSE),
    # The service cannot tell an unopenable mouse from none until it tries to send.
    ([Mouse(WIRELESS, fault=NO_NODE)], "open", None, NO_MOUSE, "",
     f"The service could not configure the mouse: {OPEN_FAILED}"),
    ([Mouse(WIRELESS)], None, None, UNREACHABLE, "", UNREACHABLE),
    ([Mouse(WIRELESS)], "shipped", NOBODY, "Glide M3", NOT_ALLOWED, NOT_ALLOWED),
], ids=["applied", "no mouse", "mouse not openable", "no service", "user not in plugdev"])
def test_window_says_what_the_service_answers(workdir, mouse_rig, start_daemon, window, config_home, mice, service,
                                              user, mouse_line, access_line, result_line):
    devices = plug(mouse_rig, mice)
    bus = Bus(workdir / "bus", **({"policy": "", "includes": [SHIPPED_POLICY]} if service == "shipped" else {}))
    try:
        if service:
            start_daemon(bus.environment())
            assert bus.wait_for_name()
        window("explainsWhatTheServiceAnswers", bus, user, EXPECTED_MOUSE=mouse_line, EXPECTED_ACCESS=access_line,
               EXPECTED_RESULT=result_line)
        assert [d.reports for d in devices] == [[DEFAULT_REPORT] if result_line == APPLIED else [] for d in devices]
        # Only what the mouse took is kept.
        assert (config_home / "vorlixd" / "vorlixd-settings.conf").exists() == (result_line == APPLIED)
    finally:
        bus.close()


def test_applied_settings_are_sent_kept_and_sent_again_by_apply(serve, system_bus, window, apply_saved):
    _, (mouse,) = serve([Mouse(WIRELESS)])
    window("appliesChangedSettings", system_bus)
    assert mouse.reports == [report_for(CHOSEN)]
    window("showsTheAppliedSettingsAgain", system_bus)
    assert mouse.reports == [report_for(CHOSEN)]  # neither opening nor Defaults sends anything
    assert apply_saved(system_bus) == ("The saved mouse settings were applied.\n", 0)
    assert mouse.reports == [report_for(CHOSEN)] * 2


@pytest.mark.parametrize("saved, mice, line", [
    (None, [Mouse(WIRELESS)], "No saved mouse settings: nothing was sent.\n"),
    ("frequency=300", [Mouse(WIRELESS)], "No saved mouse settings: nothing was sent.\n"),
    ("frequency=500", [], NO_MOUSE + "\n"),
], ids=["nothing saved", "damaged file", "no mouse"])
def test_apply_without_a_window_fails_plainly(serve, system_bus, config_home, apply_saved, saved, mice, line):
    _, devices = serve(mice)
    if saved:
        (config_home / "vorlixd").mkdir()
        (config_home / "vorlixd" / "vorlixd-settings.conf").write_text(
            "[General]\nliftOffDetection=true\nsmartScrolling=false\nremapWheelPress=true\n"
            f"remapGestureButton=true\nspeed=3\n{saved}\n")
    assert apply_saved(system_bus) == (line, 1)
    assert all(d.reports == [] for d in devices)


def test_refresh_shows_a_mouse_that_arrived(serve, system_bus, mouse_rig, user_environment):
    serve([])
    scene = subprocess.Popen([WINDOW_TEST, "refreshShowsAMouseThatArrived"], stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                             env=user_environment(system_bus))
    before = []
    for line in scene.stdout:
        before.append(line)
        if line == "waiting\n":
            break
    plug(mouse_rig, [Mouse(WIRELESS)])
    after, _ = scene.communicate("\n", timeout=60)
    assert scene.returncode == 0, "".join(before) + after


@pytest.mark.parametrize("scene", ["applyAtLoginWritesAnAutostartEntry", "everyControlIsReachableByTabAndNamed"])
def test_window_scene(serve, system_bus, window, scene):
    serve([Mouse(WIRELESS)])
    window(scene, system_bus)


@pytest.mark.parametrize("language", ["en", "zh_CN"])
def test_screenshot_in_each_language(serve, system_bus, window, language):
    serve([Mouse(WIRELESS)])
    SCREENSHOTS.mkdir(exist_ok=True)
    path = SCREENSHOTS / f"settings-window-{language}.png"
    window("screenshot", system_bus, language=f"{language}.UTF-8", SCREENSHOT=str(path))
    assert path.stat().st_size > 0
