# SPDX-License-Identifier: MIT
"""Fixtures for the end-to-end tests against emulated mice.

Launch from the repository root with Debian's interpreter (it has python3-gi)
under the umockdev preload:

    VORLIXD=build/src/vorlixd umockdev-wrapper /usr/bin/python3 -m pytest tests/e2e
"""

import os
import shutil
import subprocess
import tempfile
import time
from pathlib import Path

import pytest

from buses import NOBODY, Bus, as_user
from expected import startup_lines
from mice import plug

LAUNCH = "umockdev-wrapper /usr/bin/python3 -m pytest tests/e2e"
DEFAULT_VORLIXD = os.path.join(os.path.dirname(__file__), "..", "..", "build", "src", "vorlixd")
LEAK_SUPPRESSIONS = Path(__file__).resolve().parents[1] / "settings" / "leak-sanitizer.supp"


def pytest_configure(config):
    # mouse_rig is imported here rather than at the top so that a wrong
    # launch ends in one plain message instead of an import traceback.
    try:
        import mouse_rig
    except ImportError as error:
        raise pytest.UsageError(
            f"{error}: the end-to-end tests need Debian's python3-gi and "
            f"gir1.2-umockdev-1.0; launch them as: {LAUNCH}")
    if not mouse_rig.preload_active():
        raise pytest.UsageError(
            f"the end-to-end tests must run under umockdev-wrapper; launch them as: {LAUNCH}")


@pytest.fixture
def mouse_rig():
    """An empty rig; add mice with mouse_rig.add(...)."""
    from mouse_rig import MouseRig

    rig = MouseRig()
    yield rig
    rig.close()


@pytest.fixture(scope="session")
def vorlixd():
    """Path of the vorlixd binary under test (VORLIXD, set by CTest)."""
    path = os.path.abspath(os.environ.get("VORLIXD", DEFAULT_VORLIXD))
    if not os.access(path, os.X_OK):
        pytest.fail(f"no vorlixd binary at {path}: build it or set VORLIXD", pytrace=False)
    return path


@pytest.fixture(scope="session")
def vorlixd_apply(vorlixd):
    """Path of vorlixd-apply, built in the folder beside vorlixd's."""
    return os.path.join(os.path.dirname(os.path.dirname(vorlixd)), "apply", "vorlixd-apply")


@pytest.fixture
def workdir():
    """A temporary folder that every user can reach (buses of other users live here)."""
    folder = Path(tempfile.mkdtemp(prefix="vorlixd-e2e-"))
    folder.chmod(0o755)
    yield folder
    shutil.rmtree(folder, ignore_errors=True)


@pytest.fixture
def system_bus(workdir):
    """A private system bus where root may own the service name and anyone may call it."""
    bus = Bus(workdir / "system")
    yield bus
    bus.close()


@pytest.fixture(scope="module")
def display():
    """A private X server with a 1280x1024 screen, for the settings window."""
    from mouse_rig import plain_environment

    # Without a reset whenever its last client leaves: a client that connects just then is turned
    # away, and what the root window holds is lost.
    server = subprocess.Popen(["Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-noreset", "-screen", "0",
                               "1280x1024x24"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
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
    """user_environment(bus, language, **extra): the environment of the settings window on the display."""
    from mouse_rig import plain_environment

    def environment(bus, language="C.UTF-8", **extra):
        # No OpenGL: the window draws without it, and the GL driver leaks at exit in the sanitizer build.
        return {**plain_environment(), **bus.environment(), "DISPLAY": display, "QT_QPA_PLATFORM": "xcb",
                "QT_XCB_GL_INTEGRATION": "none",
                "LSAN_OPTIONS": f"suppressions={LEAK_SUPPRESSIONS}:print_suppressions=0",
                "XDG_CONFIG_HOME": str(config_home), "LANG": language, **extra}
    return environment


class RunningDaemon:
    """`vorlixd --daemon true` with its standard output in a file.

    The daemon flushes every line before it answers a call, so once a client has its
    reply, the lines of that call are in the file.
    """

    STARTUP_LINES = 6

    def __init__(self, rig, vorlixd, output, environment, user, args):
        self.output = output
        self.process = rig.popen(as_user(user, [vorlixd, "--daemon", "true", *args]), env_extra=environment,
                                 stdout=output.open("w"), stderr=output.with_suffix(".err").open("w"))
        self._seen = 0

    def lines(self):
        return self.output.read_text().splitlines()

    def new_lines(self):
        """The lines written since the last call of this method."""
        lines = self.lines()
        new, self._seen = lines[self._seen:], len(lines)
        return new

    def wait_for_startup(self, timeout=10):
        """The start-up lines, once all are written (fewer if the daemon ended or hung)."""
        deadline = time.monotonic() + timeout
        while len(self.lines()) < self.STARTUP_LINES and self.running() and time.monotonic() < deadline:
            time.sleep(0.05)
        return self.new_lines()

    def running(self):
        return self.process.poll() is None

    def stop(self):
        if self.running():
            self.process.terminate()
            self.process.wait(timeout=10)


@pytest.fixture
def start_daemon(mouse_rig, vorlixd, workdir):
    """start_daemon(environment, user=None, args=()) starts a daemon against the rig."""
    daemons = []

    def start(environment, user=None, args=()):
        output = workdir / f"daemon{len(daemons)}.out"
        # Kept settings go to a folder of the test's, never to the machine's state directory, and
        # the administrator's file is the test's too.
        state = workdir / "state"
        state.mkdir(exist_ok=True)
        environment = {"STATE_DIRECTORY": str(state), "VORLIXD_DEFAULTS_FILE": str(workdir / "defaults"), **environment}
        daemons.append(RunningDaemon(mouse_rig, vorlixd, output, environment, user, args))
        return daemons[-1]

    yield start
    for daemon in daemons:
        daemon.stop()


@pytest.fixture
def polkit(system_bus):
    """polkit's authority on the system bus, allowing everyone."""
    from polkit_authority import PolkitAuthority

    authority = PolkitAuthority(system_bus, "yes")
    yield authority
    authority.close()


@pytest.fixture
def serve(mouse_rig, system_bus, start_daemon):
    """serve(mice, args=()) plugs the mice in and starts root's daemon on the system bus;
    returns the daemon, its start-up lines already read, and the emulated mice."""
    def start(mice, args=()):
        devices = plug(mouse_rig, mice)
        daemon = start_daemon(system_bus.environment(), args=args)
        assert system_bus.wait_for_name()
        assert daemon.new_lines() == startup_lines(0, "system")
        return daemon, devices

    return start
