"""Fixtures for the end-to-end tests against emulated mice.

Launch from the repository root with Debian's interpreter (it has python3-gi)
under the umockdev preload:

    VORLIXD=build/src/vorlixd umockdev-wrapper /usr/bin/python3 -m pytest tests/e2e
"""

import os

import pytest

LAUNCH = "umockdev-wrapper /usr/bin/python3 -m pytest tests/e2e"
DEFAULT_VORLIXD = os.path.join(os.path.dirname(__file__), "..", "..", "build", "src", "vorlixd")


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
